#pragma once

// The writer's error texts that have no code (the coded ones are WAVErrorText).
inline constexpr const char* kTextOnlyOneChunk = "only one custom chunk supported";
inline constexpr const char* kTextNotImplemented = "not implemented";
inline constexpr const char* kTextFloatNeeds32Bits = "Expected 32 bits per sample for float format";
inline constexpr const char* kTextErrorWritingFmt = "Error writing fmt chunk";
inline constexpr const char* kTextErrorWritingCustom = "Error writing custom chunk";
inline constexpr const char* kTextCantClose = "Can't close";
inline constexpr const char* kTextErrorWritingSamples = "Error writing samples";
inline constexpr const char* kTextUnsupportedBits = "Unsupported number of bits";

// Refusals of calls that would otherwise damage memory or the file.
inline constexpr const char* kTextBadCustomChunk = "Custom chunk has a negative length or no data";
inline constexpr const char* kTextAlreadyOpen = "File already open";
inline constexpr const char* kTextUnsupportedFrameSize = "Unsupported frame size";
inline constexpr const char* kTextNotOpen = "No file open";
inline constexpr const char* kTextNoDataChunk = "No data chunk to write to";
inline constexpr const char* kTextNegativeCount = "Negative sample count";
inline constexpr const char* kTextNoChannels = "No channels";
inline constexpr const char* kTextWriteTooLarge = "Write of 2 GiB or more";
inline constexpr const char* kTextFileTooLarge = "File would reach 2 GiB";
