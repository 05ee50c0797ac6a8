#include "WavTestSupport.h"

#include "audiofile/WAVChunk.h"

#include <climits>

TEST (WavFileLayout, FreshWriterReportsClosedIntegerPcmAndZeroProperties)
{
    WaveNativeFileOut w;
    EXPECT_FALSE (w.IsFileOpen());
    EXPECT_EQ (w.GetType(), 1);
    EXPECT_STREQ (w.GetErrorText(), "");
    EXPECT_EQ (w.GetNumChannels(), 0);
    EXPECT_EQ (w.GetBitsPerSamp(), 0);
    EXPECT_EQ (w.GetSampSize(), 0);
    EXPECT_EQ (w.GetFrameSize(), 0);
    EXPECT_EQ (w.GetSampRate(), 0);
    EXPECT_EQ (w.GetFormat(), AFileIOFormatInteger);
    EXPECT_TRUE (w.Close());
}

TEST (WavFileLayout, GetFormatReportsWhatSetFormatStored)
{
    WaveNativeFileOut w;
    for (int value : {1, 0, 7})
    {
        EXPECT_TRUE (w.SetFormat (AFileIOFormat (value)));
        EXPECT_EQ (w.GetFormat(), value);
    }
}

TEST (WavFileLayout, MonoSixteenBitThreeFramesIsFiftyBytes)
{
    TempDir dir;
    const std::string path = dir.file ("mono16.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (path.c_str(), 44100, 16, 1));
    EXPECT_TRUE (w.IsFileOpen());
    EXPECT_EQ (w.GetSampSize(), 2);
    EXPECT_EQ (w.GetFrameSize(), 2);
    const int16_t frames[] = {1, -2, 0x1234};
    EXPECT_EQ (w.WriteShortFrames (frames, 3), 3);
    EXPECT_TRUE (w.Close());
    EXPECT_FALSE (w.IsFileOpen());

    Bytes expected = wavHeader (6, 1, 1, 44100, 2, 16);
    putLE (expected, 1, 2);
    putLE (expected, uint16_t (-2), 2);
    putLE (expected, 0x1234, 2);
    const Bytes file = readFile (path);
    EXPECT_EQ (file, expected);
    ASSERT_EQ (file.size(), 50u);
    EXPECT_EQ (le32 (file, 4), 42u);
    EXPECT_EQ (le32 (file, 28), 88200u);
    EXPECT_EQ (le16 (file, 32), 2u);
}

TEST (WavFileLayout, OddDataSizeIsFollowedByAZeroPadByte)
{
    TempDir dir;
    const std::string path = dir.file ("mono24.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (path.c_str(), 48000, 24, 1));
    const float frames[] = {0.5f, -0.5f, 0.0f, 1.0f, -1.0f};
    EXPECT_EQ (w.WriteFloatFrames (frames, 5), 5);
    EXPECT_TRUE (w.Close());

    Bytes expected = wavHeader (15, 1, 1, 48000, 3, 24);
    for (int32_t v : {4194304, -4194304, 0, 8388607, -8388608})
        putLE (expected, uint32_t (v), 3);
    expected.push_back (0);
    const Bytes file = readFile (path);
    EXPECT_EQ (file, expected);
    ASSERT_EQ (file.size(), 60u);
    EXPECT_EQ (le32 (file, 4), 52u);
    EXPECT_EQ (le32 (file, 40), 15u);
}

TEST (WavFileLayout, FloatFileHasTagThreeAndTheSixteenByteFmtChunk)
{
    TempDir dir;
    const std::string path = dir.file ("float.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.SetFormat (AFileIOFormatFloat));
    ASSERT_TRUE (w.Open (path.c_str(), 96000, 32, 3));
    const float frames[] = {0.25f, -1.5f, 3.0f};
    EXPECT_EQ (w.WriteFloatFrames (frames, 1), 1);
    EXPECT_TRUE (w.Close());

    Bytes expected = wavHeader (12, 3, 3, 96000, 4, 32);
    for (float f : frames)
    {
        uint32_t bits;
        std::memcpy (&bits, &f, 4);
        putLE (expected, bits, 4);
    }
    EXPECT_EQ (readFile (path), expected);
}

TEST (WavFileLayout, OddCustomChunkIsPaddedAndDataFollowsIt)
{
    TempDir dir;
    const std::string path = dir.file ("custom.wav");
    const char payload[] = "xyz";
    WaveNativeFileOut w;
    ASSERT_TRUE (w.AddChunk ("cue ", payload, 3));
    ASSERT_TRUE (w.Open (path.c_str(), 8000, 8, 1));
    const int16_t frames[] = {256};
    EXPECT_EQ (w.WriteShortFrames (frames, 1), 1);
    EXPECT_TRUE (w.Close());

    const Bytes file = readFile (path);
    ASSERT_EQ (file.size(), 36u + 12 + 8 + 1 + 1);
    EXPECT_EQ (fourcc (file, 36), "cue ");
    EXPECT_EQ (le32 (file, 40), 3u);
    EXPECT_EQ (std::string (file.begin() + 44, file.begin() + 47), "xyz");
    EXPECT_EQ (file[47], 0);
    EXPECT_EQ (fourcc (file, 48), "data");
    EXPECT_EQ (le32 (file, 52), 1u);
    EXPECT_EQ (file[56], 129);
    EXPECT_EQ (file[57], 0);
    EXPECT_EQ (le32 (file, 4), file.size() - 8);
}

TEST (WavFileLayout, SecondAddChunkIsRefusedAndTheFirstIsWritten)
{
    TempDir dir;
    const std::string path = dir.file ("two.wav");
    const char first[] = "ab";
    const char second[] = "cdef";
    WaveNativeFileOut w;
    ASSERT_TRUE (w.AddChunk ("one ", first, 2));
    EXPECT_FALSE (w.AddChunk ("two ", second, 4));
    EXPECT_STREQ (w.GetErrorText(), "only one custom chunk supported");
    ASSERT_TRUE (w.Open (path.c_str(), 8000, 16, 1));
    EXPECT_TRUE (w.Close());

    const Bytes file = readFile (path);
    ASSERT_EQ (file.size(), 36u + 10 + 8);
    EXPECT_EQ (fourcc (file, 36), "one ");
    EXPECT_EQ (le32 (file, 40), 2u);
    EXPECT_EQ (fourcc (file, 46), "data");
    // The failure's text stays after later successes.
    EXPECT_STREQ (w.GetErrorText(), "only one custom chunk supported");
}

TEST (WavFileLayout, AddChunkThatOpenCouldNotReadIsRefused)
{
    WaveNativeFileOut w;
    const char payload[] = "x";
    EXPECT_FALSE (w.AddChunk ("neg ", payload, -1));
    EXPECT_FALSE (w.AddChunk ("null", nullptr, 4));
    EXPECT_STRNE (w.GetErrorText(), "");
    EXPECT_TRUE (w.AddChunk ("zero", nullptr, 0));
}

TEST (WavFileLayout, BaseAddChunkRecordsThenReportsNotImplemented)
{
    // The smallest writer kind that keeps the base AddChunk.
    struct BaseOnly : WaveNativeFileOut
    {
        bool AddChunk (const char* id, const void* data, int len) override
        {
            return AFileOut::AddChunk (id, data, len);
        }
    } w;
    const char payload[] = "ab";
    EXPECT_FALSE (w.AddChunk ("abcd", payload, 2));
    EXPECT_STREQ (w.GetErrorText(), "not implemented");
    EXPECT_FALSE (w.AddChunk ("efgh", payload, 2));
    EXPECT_STREQ (w.GetErrorText(), "only one custom chunk supported");
}

TEST (WavFileLayout, CloseTwiceSecondDoesNothing)
{
    TempDir dir;
    const std::string path = dir.file ("twice.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (path.c_str(), 8000, 16, 2));
    EXPECT_TRUE (w.Close());
    const Bytes first = readFile (path);
    EXPECT_TRUE (w.Close());
    EXPECT_EQ (readFile (path), first);
    EXPECT_EQ (first, wavHeader (0, 1, 2, 8000, 2, 16));
}

TEST (WavFileLayout, DestroyingAnOpenWriterCompletesTheFile)
{
    TempDir dir;
    const std::string path = dir.file ("destroyed.wav");
    {
        WaveNativeFileOut w;
        ASSERT_TRUE (w.Open (path.c_str(), 8000, 16, 1));
        const int16_t frames[] = {7, 8};
        ASSERT_EQ (w.WriteShortFrames (frames, 2), 2);
    }
    const Bytes file = readFile (path);
    ASSERT_EQ (file.size(), 48u);
    EXPECT_EQ (le32 (file, 40), 4u);
    EXPECT_EQ (le32 (file, 4), 40u);
}

TEST (WavFileLayout, ReopenedWriterWritesASecondCompleteFile)
{
    TempDir dir;
    const std::string a = dir.file ("a.wav");
    const std::string b = dir.file ("b.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (a.c_str(), 8000, 16, 1));
    const int16_t frames[] = {1, 2, 3};
    ASSERT_EQ (w.WriteShortFrames (frames, 3), 3);
    ASSERT_TRUE (w.Close());
    EXPECT_EQ (w.GetNumChannels(), 1);
    EXPECT_EQ (w.GetSampRate(), 8000);

    ASSERT_TRUE (w.Open (b.c_str(), 22050, 24, 2));
    ASSERT_EQ (w.WriteShortFrames (frames, 1), 1);
    ASSERT_TRUE (w.Close());
    EXPECT_EQ (readFile (a).size(), 50u);
    const Bytes file = readFile (b);
    ASSERT_EQ (file.size(), 50u);
    EXPECT_EQ (Bytes (file.begin(), file.begin() + 44), wavHeader (6, 1, 2, 22050, 3, 24));
}

TEST (WavFileLayout, OpenOnAnOpenWriterIsRefusedAndTheFirstFileCompletes)
{
    TempDir dir;
    const std::string a = dir.file ("a.wav");
    const std::string b = dir.file ("b.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (a.c_str(), 8000, 16, 1));
    EXPECT_FALSE (w.Open (b.c_str(), 8000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "File already open");
    EXPECT_TRUE (w.IsFileOpen());
    EXPECT_FALSE (std::filesystem::exists (b));
    const int16_t frames[] = {5};
    EXPECT_EQ (w.WriteShortFrames (frames, 1), 1);
    EXPECT_TRUE (w.Close());
    EXPECT_EQ (readFile (a).size(), 46u);
}

TEST (WavFileLayout, PathInMissingDirectoryCannotBeOpened)
{
    TempDir dir;
    const std::string path = dir.file ("missing/x.wav");
    WaveNativeFileOut w;
    EXPECT_FALSE (w.Open (path.c_str(), 48000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "Can't open");
    EXPECT_FALSE (w.IsFileOpen());
    EXPECT_TRUE (w.Close());
    EXPECT_FALSE (w.Open (nullptr, 48000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "Can't open");
    EXPECT_FALSE (w.IsFileOpen());
}

TEST (WavFileLayout, FloatFormatNeedsThirtyTwoBits)
{
    TempDir dir;
    const std::string path = dir.file ("float24.wav");
    WaveNativeFileOut w;
    w.SetFormat (AFileIOFormatFloat);
    EXPECT_FALSE (w.Open (path.c_str(), 48000, 24, 1));
    EXPECT_STREQ (w.GetErrorText(), "Expected 32 bits per sample for float format");
    EXPECT_TRUE (w.IsFileOpen());
    EXPECT_TRUE (w.Close());
    EXPECT_FALSE (w.IsFileOpen());
}

TEST (WavFileLayout, FramesAreRefusedAfterAFailedOpen)
{
    // Each Open fails with the writer open on a partial file; no write may
    // add samples to it, and Close leaves only what Open wrote.
    TempDir dir;
    const char payload[] = "x";
    const struct
    {
        const char* name;
        bool wroteAFileBefore;
        bool hugeChunk;
        size_t fileSize;
    } cases[] = {
        {"float at 24 bits", false, false, 12},
        {"float at 24 bits, second file", true, false, 12},
        {"custom chunk too large", false, true, 36},
    };
    for (const auto& c : cases)
    {
        const std::string path = dir.file ("partial.wav");
        WaveNativeFileOut w;
        const int16_t shorts[] = {1, 2, 3};
        const int32_t longs[] = {1, 2, 3};
        const float floats[] = {0.25f, 0.5f, 0.75f};
        if (c.wroteAFileBefore)
        {
            ASSERT_TRUE (w.Open (dir.file ("good.wav").c_str(), 8000, 16, 1));
            ASSERT_EQ (w.WriteShortFrames (shorts, 3), 3);
            ASSERT_TRUE (w.Close());
        }
        if (c.hugeChunk)
            ASSERT_TRUE (w.AddChunk ("huge", payload, INT_MAX));
        else
            w.SetFormat (AFileIOFormatFloat);
        ASSERT_FALSE (w.Open (path.c_str(), 8000, c.hugeChunk ? 16 : 24, 1)) << c.name;
        ASSERT_TRUE (w.IsFileOpen()) << c.name;

        EXPECT_EQ (w.WriteFloatFrames (floats, 3), -1) << c.name;
        EXPECT_STREQ (w.GetErrorText(), "No data chunk to write to") << c.name;
        EXPECT_EQ (w.WriteShortFrames (shorts, 3), -1) << c.name;
        EXPECT_EQ (w.WriteLongFrames (longs, 3), -1) << c.name;
        EXPECT_EQ (w.Write (reinterpret_cast<const unsigned char*> (shorts), 6), -1) << c.name;
        EXPECT_TRUE (w.Close()) << c.name;
        EXPECT_EQ (readFile (path).size(), c.fileSize) << c.name;
    }
}

TEST (WavFileLayout, CloseAfterFailedOpenEndsOnlyThatFilesChunks)
{
    // The writer's previous file left a "data" record behind; the failed Open
    // must not patch its size into the new file.
    TempDir dir;
    const std::string good = dir.file ("good.wav");
    const std::string bad = dir.file ("bad.wav");
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (good.c_str(), 8000, 16, 1));
    const int16_t frames[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ (w.WriteShortFrames (frames, 8), 8);
    ASSERT_TRUE (w.Close());

    w.SetFormat (AFileIOFormatFloat);
    ASSERT_FALSE (w.Open (bad.c_str(), 8000, 16, 1));
    EXPECT_TRUE (w.Close());
    Bytes expected;
    putText (expected, "RIFF");
    putLE (expected, 4, 4);
    putText (expected, "WAVE");
    EXPECT_EQ (readFile (bad), expected);
}

TEST (WavFileLayout, CustomChunkThatWouldReachTwoGibibytesIsRefusedAtOpen)
{
    TempDir dir;
    const std::string path = dir.file ("huge.wav");
    const char payload[] = "x";
    WaveNativeFileOut w;
    ASSERT_TRUE (w.AddChunk ("huge", payload, INT_MAX));
    EXPECT_FALSE (w.Open (path.c_str(), 8000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "File would reach 2 GiB");
    EXPECT_TRUE (w.Close());
    EXPECT_LT (readFile (path).size(), 64u);
}

TEST (WavFileLayout, StreamingFileHasZeroSizesAndEndsWithTheLastSample)
{
    TempDir dir;
    const std::string path = dir.file ("stream.wav");
    const char payload[] = "abc";
    WaveNativeFileOut w;
    w.SetIsStreaming (true);
    ASSERT_TRUE (w.AddChunk ("note", payload, 3));
    ASSERT_TRUE (w.Open (path.c_str(), 48000, 24, 1));
    const int32_t frames[] = {0x12345678};
    EXPECT_EQ (w.WriteLongFrames (frames, 1), 1);
    EXPECT_TRUE (w.Close());

    const Bytes file = readFile (path);
    ASSERT_EQ (file.size(), 36u + 12 + 8 + 3);
    EXPECT_EQ (le32 (file, 4), 0u);
    EXPECT_EQ (fourcc (file, 36), "note");
    EXPECT_EQ (file[47], 0);
    EXPECT_EQ (fourcc (file, 48), "data");
    EXPECT_EQ (le32 (file, 52), 0u);
    EXPECT_EQ (Bytes (file.end() - 3, file.end()), (Bytes{0x56, 0x34, 0x12}));
}

TEST (WavFileLayout, ErrorCodesHaveTheirTexts)
{
    EXPECT_STREQ (WAVErrorMessage (33), "File not found");
    EXPECT_STREQ (WAVErrorMessage (35), "Can't open");
    EXPECT_STREQ (WAVErrorMessage (39), "Can't seek");
    EXPECT_STREQ (WAVErrorMessage (47), "Too many files open");
    EXPECT_STREQ (WAVErrorMessage (48), "invalid file");
    for (int code : {0, 32, 49, -1})
        EXPECT_STREQ (WAVErrorMessage (code), "Unknown WAV error") << code;
    for (int code = 33; code <= 48; ++code)
        EXPECT_STREQ (WAVErrorMessage (code), WAVErrorText[code - 33]) << code;
}

TEST (WavFileLayout, ErrorTextIsCutTo127Characters)
{
    WaveNativeFileOut w;
    const std::string longText (200, 'e');
    w.SetErrorText (longText.c_str());
    EXPECT_EQ (std::string (w.GetErrorText()), longText.substr (0, 127));
    w.SetErrorText ("short");
    EXPECT_STREQ (w.GetErrorText(), "short");
}

TEST (WavFileLayout, SetRawFormatChangesNothing)
{
    TempDir dir;
    const std::string a = dir.file ("a.wav");
    const std::string b = dir.file ("b.wav");
    const int16_t frames[] = {1, -1};
    for (const std::string& path : {a, b})
    {
        WaveNativeFileOut w;
        AFileRawFormat raw;
        if (path == b)
            w.SetRawFormat (&raw);
        ASSERT_TRUE (w.Open (path.c_str(), 8000, 16, 2));
        ASSERT_EQ (w.WriteShortFrames (frames, 1), 1);
        ASSERT_TRUE (w.Close());
    }
    EXPECT_EQ (readFile (a), readFile (b));
}

TEST (WavFileLayout, StandardOutputPipeNeedsStreaming)
{
    for (const char* name : {"-", "stdout"})
    {
        std::string report;
        runInChild (
            [name]
            {
                WaveNativeFileOut w;
                const bool opened = w.Open (name, 48000, 16, 1);
                return std::string (opened ? "opened" : "failed: ") + w.GetErrorText();
            },
            report);
        EXPECT_EQ (report, "failed: invalid file") << name;
    }
}

TEST (WavFileLayout, StreamingToStandardOutputPipeEndsWithTheLastSample)
{
    for (const char* name : {"-", "stdout"})
    {
        std::string report;
        const Bytes data = runInChild (
            [name]
            {
                WaveNativeFileOut w;
                w.SetIsStreaming (true);
                if (!w.Open (name, 48000, 24, 1))
                    return std::string ("open: ") + w.GetErrorText();
                const int16_t frames[] = {0x0102, -1, 3};
                if (w.WriteShortFrames (frames, 3) != 3)
                    return std::string ("write: ") + w.GetErrorText();
                return std::string (w.Close() ? "ok" : "close failed");
            },
            report);
        EXPECT_EQ (report, "ok") << name;
        Bytes expected = wavHeader (9, 1, 1, 48000, 3, 24);
        expected[4] = expected[5] = expected[6] = expected[7] = 0;
        expected[40] = expected[41] = expected[42] = expected[43] = 0;
        for (uint32_t v : {0x010200u, 0xffff00u, 0x000300u})
            putLE (expected, v, 3);
        EXPECT_EQ (data, expected) << name;
    }
}

TEST (WavFileLayout, FrameSizeBeyondAnIntIsRefusedAtOpen)
{
    TempDir dir;
    const std::string path = dir.file ("absurd.wav");
    const int cases[][2] = {{32, INT_MAX}, {INT_MAX, 8}, {INT_MIN, INT_MAX}};
    for (const auto& c : cases)
    {
        WaveNativeFileOut w;
        EXPECT_FALSE (w.Open (path.c_str(), 48000, c[0], c[1])) << c[0] << " bits, " << c[1] << " channels";
        EXPECT_STREQ (w.GetErrorText(), "Unsupported frame size");
        EXPECT_FALSE (w.IsFileOpen());
    }
    EXPECT_FALSE (std::filesystem::exists (path));
}
