#include "WavTestSupport.h"

#include <climits>
#include <cmath>

namespace
{
enum class Source
{
    Short,
    Long,
    Float
};

const char* sourceName (Source s)
{
    return s == Source::Short ? "short" : s == Source::Long ? "long" : "float";
}

uint32_t bitsOf (float f)
{
    uint32_t bits;
    std::memcpy (&bits, &f, 4);
    return bits;
}

int64_t writeFrames (WaveNativeFileOut& w, Source source, const std::vector<double>& values, int64_t frameCount)
{
    switch (source)
    {
    case Source::Short:
    {
        std::vector<int16_t> in (values.begin(), values.end());
        return w.WriteShortFrames (in.data(), frameCount);
    }
    case Source::Long:
    {
        std::vector<int32_t> in (values.begin(), values.end());
        return w.WriteLongFrames (in.data(), frameCount);
    }
    case Source::Float:
    {
        std::vector<float> in;
        for (double v : values)
            in.push_back (float (v));
        return w.WriteFloatFrames (in.data(), frameCount);
    }
    }
    return -2;
}

struct ConversionCase
{
    Source source;
    int bits;
    AFileIOFormat format;
    bool direct; // the caller's frames already have the file's layout
    std::vector<double> in;
    std::vector<uint32_t> out; // each sample's value; its low bytes are written
};

const double nan = std::nan ("");

const std::vector<ConversionCase> conversionCases = {
    {Source::Float, 8, AFileIOFormatInteger, false, {0.5, 1, -1, 0, -0.5, 2, nan}, {192, 255, 1, 128, 64, 255, 128}},
    {Source::Float,
     16,
     AFileIOFormatInteger,
     false,
     {1, -1, 2, 0.5, -0.5, 0.25, -2, 1e-9, nan},
     {32767, uint32_t (-32767), 32767, 16384, uint32_t (-16384), 8192, uint32_t (-32767), 0, 0}},
    {Source::Float,
     24,
     AFileIOFormatInteger,
     false,
     {1, -1, 0.5, -0.5, -1e-9, 1e-9, 4, -4, nan},
     {8388607, uint32_t (-8388608), 4194304, uint32_t (-4194304), uint32_t (-1), 0, 8388607, uint32_t (-8388608), 0}},
    {Source::Float,
     32,
     AFileIOFormatInteger,
     false,
     {1, -1, 0.5, -0.5, 3, nan},
     {2147483647, uint32_t (-2147483647), 1073741824, uint32_t (-1073741824), 2147483647, 0}},
    {Source::Float,
     32,
     AFileIOFormatFloat,
     true,
     {1, -1.5, -0.0, 1e30, nan},
     {bitsOf (1.0f), bitsOf (-1.5f), bitsOf (-0.0f), bitsOf (1e30f), bitsOf (float (nan))}},
    {Source::Short, 8, AFileIOFormatInteger, false, {32767, -32768, -1, 255, 256, 0}, {255, 0, 127, 128, 129, 128}},
    {Source::Short,
     16,
     AFileIOFormatInteger,
     true,
     {32767, -32768, -1, 0},
     {32767, uint32_t (-32768), uint32_t (-1), 0}},
    {Source::Short, 24, AFileIOFormatInteger, false, {-32768, 1, 32767}, {uint32_t (-8388608), 256, 8388352}},
    {Source::Short, 32, AFileIOFormatInteger, false, {-32768, 32767, 1}, {0x80000000u, 2147418112, 65536}},
    {Source::Short,
     32,
     AFileIOFormatFloat,
     false,
     {32767, -32768, 0},
     {bitsOf (1.0f), bitsOf (-1.000030517578125f), bitsOf (0.0f)}},
    {Source::Long, 8, AFileIOFormatInteger, false, {INT32_MAX, INT32_MIN, -1, 0, 16777216}, {255, 0, 127, 128, 129}},
    {Source::Long,
     16,
     AFileIOFormatInteger,
     false,
     {-1, 65536, 65535, -65537, INT32_MIN, INT32_MAX},
     {uint32_t (-1), 1, 0, uint32_t (-2), uint32_t (-32768), 32767}},
    {Source::Long,
     24,
     AFileIOFormatInteger,
     false,
     {-1, 256, 255, INT32_MAX, INT32_MIN},
     {uint32_t (-1), 1, 0, 8388607, uint32_t (-8388608)}},
    {Source::Long,
     32,
     AFileIOFormatInteger,
     true,
     {INT32_MIN, INT32_MAX, -1, 0x12345678},
     {0x80000000u, 0x7fffffffu, 0xffffffffu, 0x12345678u}},
    {Source::Long,
     32,
     AFileIOFormatFloat,
     false,
     {INT32_MAX, INT32_MIN, 1 << 30, 0},
     {bitsOf (1.0f), bitsOf (-1.0f), bitsOf (0.5f), 0}},
};

std::string caseName (const ConversionCase& c, bool forceConverting)
{
    return std::string (sourceName (c.source)) + " into " + std::to_string (c.bits) +
           (c.format == AFileIOFormatFloat ? "-bit float" : "-bit") +
           (forceConverting ? ", converting path" : ", chosen path");
}
} // namespace

TEST (FrameWriting, EachConversionCellGivesItsEdgeValuesOnBothPaths)
{
    TempDir dir;
    for (const ConversionCase& c : conversionCases)
    {
        for (bool forceConverting : {false, true})
        {
            const std::string name = caseName (c, forceConverting);
            const std::string path = dir.file ("conv.wav");
            const int sampSize = c.bits / 8;
            ProbeWriter w;
            w.SetFormat (c.format);
            ASSERT_TRUE (w.Open (path.c_str(), 48000, c.bits, 1)) << name;
            if (forceConverting)
                w.setDirectCode (0);
            const int64_t n = int64_t (c.in.size());
            EXPECT_EQ (writeFrames (w, c.source, c.in, n), n) << name;
            // The direct path is one write of the caller's frames, without pieces.
            EXPECT_EQ (w.pieceStarts.empty(), c.direct && !forceConverting) << name;
            ASSERT_TRUE (w.Close()) << name;

            const Bytes file = readFile (path);
            Bytes expected;
            for (uint32_t v : c.out)
                putLE (expected, v, sampSize);
            ASSERT_GE (file.size(), 44 + expected.size()) << name;
            EXPECT_EQ (Bytes (file.begin() + 44, file.begin() + 44 + long (expected.size())), expected) << name;
            EXPECT_EQ (le32 (file, 40), expected.size()) << name;
        }
    }
}

TEST (FrameWriting, ConvertingPathWritesWholeFramePieces)
{
    struct PieceCase
    {
        int channels;
        int bits;
        int64_t frames;
        std::vector<int64_t> pieceFrames;
    };
    const PieceCase cases[] = {
        {4, 24, 1000, {170, 170, 170, 170, 170, 150}},
        {1, 16, 3000, {1024, 1024, 952}},
        {1, 24, 682, {682}},
        {2, 8, 1025, {1024, 1}},
    };
    TempDir dir;
    for (const PieceCase& c : cases)
    {
        const std::string name = std::to_string (c.channels) + " x " + std::to_string (c.bits) + " bits, " +
                                 std::to_string (c.frames) + " frames";
        const std::string path = dir.file ("pieces.wav");
        std::vector<float> frames (size_t (c.frames * c.channels));
        for (size_t i = 0; i < frames.size(); ++i)
            frames[i] = float (i % 200) / 100.0f - 1.0f;
        ProbeWriter w;
        ASSERT_TRUE (w.Open (path.c_str(), 48000, c.bits, c.channels)) << name;
        EXPECT_EQ (w.WriteFloatFrames (frames.data(), c.frames), c.frames) << name;
        std::vector<int64_t> expected;
        for (int64_t f : c.pieceFrames)
            expected.push_back (f * w.GetFrameSize());
        EXPECT_EQ (w.pieceBytes(), expected) << name;
        ASSERT_TRUE (w.Close()) << name;
        EXPECT_EQ (le32 (readFile (path), 40), uint32_t (c.frames * c.channels * (c.bits / 8))) << name;
    }
}

TEST (FrameWriting, FrameWiderThanTheScratchBufferIsWrittenInWholeSamples)
{
    // 700 channels of 24 bits: a frame of 2100 bytes.
    TempDir dir;
    const std::string path = dir.file ("wide.wav");
    const int channels = 700;
    std::vector<int16_t> frames (2 * channels);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = int16_t (i * 37 - 20000);
    ProbeWriter w;
    ASSERT_TRUE (w.Open (path.c_str(), 48000, 24, channels));
    EXPECT_EQ (w.WriteShortFrames (frames.data(), 2), 2);
    EXPECT_EQ (w.pieceBytes(), (std::vector<int64_t>{682 * 3, 682 * 3, 36 * 3}));
    ASSERT_TRUE (w.Close());

    Bytes expected = wavHeader (uint32_t (frames.size() * 3), 1, channels, 48000, 3, 24);
    for (int16_t x : frames)
        putLE (expected, uint32_t (x * 256), 3);
    EXPECT_EQ (readFile (path), expected);
}

TEST (FrameWriting, ZeroFramesWriteNothingOnBothPaths)
{
    TempDir dir;
    const std::string path = dir.file ("empty.wav");
    const float frames[] = {0.5f};
    const int16_t shorts[] = {1};
    ProbeWriter w;
    ASSERT_TRUE (w.Open (path.c_str(), 48000, 16, 1));
    EXPECT_EQ (w.WriteShortFrames (shorts, 0), 0);
    EXPECT_EQ (w.WriteFloatFrames (frames, 0), 0);
    w.setDirectCode (0);
    EXPECT_EQ (w.WriteShortFrames (shorts, 0), 0);
    EXPECT_EQ (w.Write (reinterpret_cast<const unsigned char*> (shorts), 0), 0);
    ASSERT_TRUE (w.Close());
    EXPECT_EQ (readFile (path), wavHeader (0, 1, 1, 48000, 2, 16));
}

TEST (FrameWriting, SampleSizesOutsideOneToFourBytesAreRefused)
{
    TempDir dir;
    for (int bits : {40, 64, 0, -8})
    {
        const std::string path = dir.file ("bits.wav");
        const int16_t shorts[] = {1, 2};
        const int32_t longs[] = {1, 2};
        const float floats[] = {0.5f, 0.25f};
        WaveNativeFileOut w;
        ASSERT_TRUE (w.Open (path.c_str(), 48000, bits, 2)) << bits;
        EXPECT_EQ (w.WriteShortFrames (shorts, 1), -1) << bits;
        EXPECT_STREQ (w.GetErrorText(), "Unsupported number of bits") << bits;
        w.SetErrorText ("");
        EXPECT_EQ (w.WriteLongFrames (longs, 1), -1) << bits;
        EXPECT_STREQ (w.GetErrorText(), "Unsupported number of bits") << bits;
        w.SetErrorText ("");
        EXPECT_EQ (w.WriteFloatFrames (floats, 1), -1) << bits;
        EXPECT_STREQ (w.GetErrorText(), "Unsupported number of bits") << bits;
        EXPECT_EQ (w.WriteFloatFrames (floats, 0), 0) << bits;
        ASSERT_TRUE (w.Close()) << bits;
        const Bytes file = readFile (path);
        ASSERT_EQ (file.size(), 44u) << bits;
        EXPECT_EQ (le16 (file, 34), uint16_t (bits)) << bits;
    }
}

TEST (FrameWriting, WritesOutsideAnOpenWriterWithChannelsAreRefused)
{
    struct Refusal
    {
        const char* name;
        int channels; // 0 = never opened
        bool closeFirst;
        int64_t count;
        const char* text;
    };
    const Refusal cases[] = {
        {"never opened", 0, false, 1, "No file open"},
        {"closed", 1, true, 1, "No file open"},
        {"negative count", 1, false, -1, "Negative sample count"},
        {"no channels", -1, false, 1, "No channels"},
        {"negative channels", -2, false, 1, "No channels"},
    };
    TempDir dir;
    for (const Refusal& c : cases)
    {
        for (int op = 0; op < 4; ++op)
        {
            const std::string name = std::string (c.name) + ", operation " + std::to_string (op);
            const std::string path = dir.file ("refused.wav");
            const int16_t shorts[] = {1, 2};
            const int32_t longs[] = {1, 2};
            const float floats[] = {0.5f, 0.25f};
            WaveNativeFileOut w;
            if (c.channels != 0)
            {
                ASSERT_TRUE (w.Open (path.c_str(), 48000, 16, c.channels == -1 ? 0 : c.channels)) << name;
            }
            if (c.closeFirst)
            {
                ASSERT_TRUE (w.Close()) << name;
            }
            int64_t result = 0;
            switch (op)
            {
            case 0:
                result = w.Write (reinterpret_cast<const unsigned char*> (shorts), c.count);
                break;
            case 1:
                result = w.WriteShortFrames (shorts, c.count);
                break;
            case 2:
                result = w.WriteLongFrames (longs, c.count);
                break;
            default:
                result = w.WriteFloatFrames (floats, c.count);
                break;
            }
            EXPECT_EQ (result, -1) << name;
            EXPECT_STREQ (w.GetErrorText(), c.text) << name;
            ASSERT_TRUE (w.Close()) << name;
            if (c.channels != 0)
            {
                EXPECT_EQ (readFile (path).size(), 44u) << name;
            }
        }
    }
}
