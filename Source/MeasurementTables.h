#pragma once

#include <cstdint>

// The constant tables that turn a control's choice into a value.
// Declared once here; defined in MeasurementTables.cpp.

constexpr int kNumMlsBits = 13;
constexpr int kNumAmps = 5;
constexpr int kNumCropThresh = 16;
constexpr int kNumInitDelayTimes = 7;
constexpr int kNumMeasurementTypes = 2;
constexpr int kNumFmts = 4;
constexpr int kNumTsFmts = 3;
constexpr int kNumMaskTab = 20;

extern const int gMlsBits[kNumMlsBits];             // MLS orders in bits
extern const float gAmps[kNumAmps];                 // stimulus level, dB
extern const float gCropThresh[kNumCropThresh];     // auto-crop threshold, dB below peak
extern const float gInitDelayTimes[kNumInitDelayTimes]; // initial delay, s
extern const char* const gMeasurementTypes[kNumMeasurementTypes];
extern const char* const gFmts[kNumFmts];           // output formats, item id = index + 1
extern const char* const gExts[kNumFmts];           // file extension per output format
extern const char* const gTsFmts[kNumTsFmts];       // true-stereo channel orders
extern const int32_t mask_tab[kNumMaskTab];         // MLS feedback masks, index = order - 1
