#include "WavTestSupport.h"

#include <sndfile.h>

#include <cmath>

// Files the writer produces, opened and decoded by libsndfile.
namespace
{
enum class Source
{
    Short,
    Long,
    Float
};

struct FileFormat
{
    const char* name;
    int bits;
    AFileIOFormat format;
    int subtype;
};

const FileFormat fileFormats[] = {
    {"8-bit", 8, AFileIOFormatInteger, SF_FORMAT_PCM_U8},      {"16-bit", 16, AFileIOFormatInteger, SF_FORMAT_PCM_16},
    {"24-bit", 24, AFileIOFormatInteger, SF_FORMAT_PCM_24},    {"32-bit", 32, AFileIOFormatInteger, SF_FORMAT_PCM_32},
    {"32-bit float", 32, AFileIOFormatFloat, SF_FORMAT_FLOAT},
};

// Deterministic samples that reach past full scale in both directions.
struct Samples
{
    explicit Samples (size_t n)
    {
        uint32_t state = 12345;
        for (size_t i = 0; i < n; ++i)
        {
            state = state * 1664525u + 1013904223u;
            const int32_t r = int32_t (state);
            longs.push_back (i % 7 == 0 ? (i % 2 ? INT32_MAX : INT32_MIN) : r);
            shorts.push_back (i % 5 == 0 ? (i % 2 ? INT16_MAX : INT16_MIN) : int16_t (r >> 16));
            floats.push_back (i % 11 == 0 ? (i % 2 ? 1.0f : -1.0f) : float (r) / 1.8e9f);
        }
    }
    std::vector<int16_t> shorts;
    std::vector<int32_t> longs;
    std::vector<float> floats;
};

// The integer a sample of the given size holds, by the writer's rounding and clipping.
int64_t expectedInteger (Source source, const Samples& s, size_t i, int bits)
{
    switch (source)
    {
    case Source::Short:
        return bits == 8 ? int64_t (std::floor (s.shorts[i] / 256.0))
                         : int64_t (s.shorts[i]) * (int64_t (1) << (bits - 16));
    case Source::Long:
        return int64_t (std::floor (s.longs[i] / std::ldexp (1.0, 32 - bits)));
    case Source::Float:
        break;
    }
    const float x = s.floats[i];
    if (bits == 8 || bits == 16)
    {
        const double m = bits == 8 ? 127 : 32767;
        return int64_t (std::max (-m, std::min (m, std::round (double (x * float (m))))));
    }
    const double top = 2147483647.0;
    const double l = std::max (-top, std::min (top, std::round (double (x * 2147483648.0f))));
    return bits == 32 ? int64_t (l) : int64_t (std::floor (l / 256.0));
}

float expectedFloat (Source source, const Samples& s, size_t i)
{
    switch (source)
    {
    case Source::Short:
        return float (s.shorts[i]) * (1.0f / 32767.0f);
    case Source::Long:
        return float (s.longs[i]) * (1.0f / 2147483648.0f);
    case Source::Float:
        break;
    }
    return s.floats[i];
}

int64_t writeAll (WaveNativeFileOut& w, Source source, const Samples& s, int64_t frames)
{
    switch (source)
    {
    case Source::Short:
        return w.WriteShortFrames (s.shorts.data(), frames);
    case Source::Long:
        return w.WriteLongFrames (s.longs.data(), frames);
    case Source::Float:
        break;
    }
    return w.WriteFloatFrames (s.floats.data(), frames);
}

void checkFileReads (const std::string& path, int channels, const FileFormat& f, int64_t frames, Source source,
                     const std::string& name)
{
    const Samples samples (size_t (frames * channels));
    {
        WaveNativeFileOut w;
        w.SetFormat (f.format);
        ASSERT_TRUE (w.Open (path.c_str(), 44100, f.bits, channels)) << name;
        ASSERT_EQ (writeAll (w, source, samples, frames), frames) << name;
        ASSERT_TRUE (w.Close()) << name;
    }

    SF_INFO info = {};
    SNDFILE* sf = sf_open (path.c_str(), SFM_READ, &info);
    ASSERT_NE (sf, nullptr) << name << ": " << sf_strerror (nullptr);
    EXPECT_EQ (info.channels, channels) << name;
    EXPECT_EQ (info.samplerate, 44100) << name;
    EXPECT_EQ (info.frames, frames) << name;
    EXPECT_EQ (info.format, SF_FORMAT_WAV | f.subtype) << name;

    const size_t n = size_t (frames * channels);
    size_t mismatches = 0;
    if (f.format == AFileIOFormatFloat)
    {
        std::vector<float> got (n + size_t (channels));
        EXPECT_EQ (sf_readf_float (sf, got.data(), frames + 1), frames) << name;
        for (size_t i = 0; i < n; ++i)
            if (got[i] != expectedFloat (source, samples, i) && mismatches++ < 3)
                ADD_FAILURE() << name << ": sample " << i << " is " << got[i];
    }
    else
    {
        // libsndfile scales every integer sample to 32 bits.
        std::vector<int> got (n + size_t (channels));
        EXPECT_EQ (sf_readf_int (sf, got.data(), frames + 1), frames) << name;
        for (size_t i = 0; i < n; ++i)
        {
            const int64_t expected = expectedInteger (source, samples, i, f.bits) * (int64_t (1) << (32 - f.bits));
            if (got[i] != expected && mismatches++ < 3)
                ADD_FAILURE() << name << ": sample " << i << " is " << got[i] << ", expected " << expected;
        }
    }
    EXPECT_EQ (mismatches, 0u) << name;
    sf_close (sf);
}

const char* sourceName (Source s)
{
    return s == Source::Short ? "16-bit frames" : s == Source::Long ? "32-bit frames" : "float frames";
}
} // namespace

TEST (SndfileRead, ReaderSeesTheChannelsRateFramesAndSamplesWritten)
{
    TempDir dir;
    const std::string path = dir.file ("read.wav");
    for (int channels : {1, 2, 4, 16})
        for (const FileFormat& f : fileFormats)
            for (int64_t frames : {0, 1, 1001, 5000})
                for (Source source : {Source::Short, Source::Long, Source::Float})
                    checkFileReads (path, channels, f, frames, source,
                                    std::to_string (channels) + " channels, " + f.name + ", " +
                                        std::to_string (frames) + " frames from " + sourceName (source));
}

TEST (SndfileRead, FramesWiderThanTheScratchBufferReadBack)
{
    TempDir dir;
    const std::string path = dir.file ("wide.wav");
    for (const FileFormat& f : fileFormats)
        for (Source source : {Source::Short, Source::Float})
            checkFileReads (path, 700, f, 3, source,
                            std::string ("700 channels, ") + f.name + " from " + sourceName (source));
}
