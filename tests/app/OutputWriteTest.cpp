#include "OutputFiles.h"

#include "MeasureMemory.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <vector>

#include "support/FileSizeLimit.h"
#include "support/WavReadBack.h"

namespace
{
// A fresh temporary folder, removed with the object.
struct TempDir
{
    TempDir() { dir.createDirectory(); }
    ~TempDir() { dir.deleteRecursively(); }
    juce::File file (const char* name) const { return dir.getChildFile (name); }
    juce::File dir = juce::File::createTempFile ("");
};

// Responses as channel vectors, with the pointer table the writers take.
struct Channels
{
    explicit Channels (std::vector<std::vector<float>> values) : data (std::move (values))
    {
        for (auto& c : data)
            ptrs.push_back (c.data());
    }
    int frames() const { return (int)data[0].size(); }
    int count() const { return (int)data.size(); }
    std::vector<std::vector<float>> data;
    std::vector<const float*> ptrs;
};
} // namespace

TEST (OutputText, TabsBetweenChannelsAndOneLinePerFrame)
{
    TempDir tmp;
    const Channels two ({{0.5f, -1.0f, 1e-5f}, {0.123456789f, 100000.0f, 1e6f}});
    const auto file = tmp.file ("ir.txt");

    ASSERT_EQ (writeResponseTxt (file, two.ptrs.data(), two.frames(), two.count()), "");
    EXPECT_EQ (file.loadFileAsString(), "0.5\t0.123457\n-1\t100000\n1e-05\t1e+06\n");

    ASSERT_TRUE (file.replaceWithText ("old contents"));
    ASSERT_EQ (writeResponseTxt (file, two.ptrs.data(), 0, two.count()), "");
    EXPECT_EQ (file.getSize(), 0) << "no frames: the file is replaced by an empty one";
}

TEST (OutputWav, ChannelsAndSampleFormatsReadBack)
{
    TempDir tmp;
    const Channels three ({{0.5f, -0.25f, 0.0f, 1.0f}, {-0.5f, 0.75f, 0.125f, -1.0f}, {0.1f, 0.2f, 0.3f, 0.4f}});

    const struct
    {
        int bits;
        int subtype;
        float tolerance;
    } cases[] = {
        {16, SF_FORMAT_PCM_16, 1.0f / 32767},
        {24, SF_FORMAT_PCM_24, 1.0f / 8388607},
        {32, SF_FORMAT_FLOAT, 0.0f},
    };
    for (const auto& c : cases)
    {
        const auto file = tmp.file (("ir" + std::to_string (c.bits) + ".wav").c_str());
        ASSERT_EQ (writeResponseWav (file, three.ptrs.data(), three.frames(), three.count(), 44100, c.bits), "");

        const auto back = readWavBack (file);
        ASSERT_TRUE (back.ok) << c.bits;
        EXPECT_EQ (back.info.channels, 3);
        EXPECT_EQ (back.info.samplerate, 44100);
        EXPECT_EQ (back.info.frames, 4);
        EXPECT_EQ (back.info.format, SF_FORMAT_WAV | c.subtype) << c.bits;
        for (int j = 0; j < 4; ++j)
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR (back.samples[(size_t)(j * 3 + ch)], three.data[(size_t)ch][(size_t)j], c.tolerance * 1.01f)
                    << c.bits << " bits, frame " << j << " channel " << ch;
    }
}

TEST (OutputFailures, FullDiskIsNeverReportedAsWritten)
{
    const Channels small ({{0.5f, 0.25f, 0.125f}});
    const Channels large ({std::vector<float> (200000, 0.5f)});

    // /dev/full takes the open and fails every write that reaches it.
    const juce::File full ("/dev/full");
    ASSERT_TRUE (full.exists());
    EXPECT_EQ (writeResponseTxt (full, small.ptrs.data(), small.frames(), 1), "Error writing file full");
    EXPECT_EQ (writeResponseTxt (full, large.ptrs.data(), large.frames(), 1), "Error writing file full");
    for (int bits : {16, 24, 32})
        EXPECT_TRUE (writeResponseWav (full, small.ptrs.data(), small.frames(), 1, 48000, bits).startsWith ("Error "))
            << bits;

    // A disk that fills up after the header: a small file fails only when
    // its sizes are patched at close, a large one while its samples go out.
    TempDir tmp;
    const auto file = tmp.file ("ir.wav");
    for (int bits : {16, 24, 32})
    {
        {
            const FileSizeLimit limit (44 + 4);
            EXPECT_EQ (writeResponseWav (file, small.ptrs.data(), small.frames(), 1, 48000, bits),
                       "Error writing file ir.wav")
                << bits << " bits, close";
        }
        {
            const FileSizeLimit limit (4096);
            EXPECT_EQ (writeResponseWav (file, large.ptrs.data(), large.frames(), 1, 48000, bits),
                       "Error writing file ir.wav")
                << bits << " bits, samples";
        }
    }
    const FileSizeLimit limit (4096);
    EXPECT_EQ (writeResponseTxt (tmp.file ("ir.txt"), large.ptrs.data(), large.frames(), 1),
               "Error writing file ir.txt");
}

TEST (OutputFailures, FilesThatCannotBeCreated)
{
    TempDir tmp;
    const Channels one ({std::vector<float>{0.5f}});
    const auto missing = tmp.file ("no/such/dir/ir.wav");

    EXPECT_EQ (writeResponseTxt (missing, one.ptrs.data(), 1, 1), "Error creating file " + missing.getFullPathName());
    EXPECT_EQ (writeResponseWav (missing, one.ptrs.data(), 1, 1, 48000, 16),
               "Error creating file " + missing.getFullPathName() + " : Can't open");

    // Refused before the file is touched: an earlier file of that name stays.
    const auto existing = tmp.file ("ir.wav");
    ASSERT_TRUE (existing.replaceWithText ("keep"));
    const struct
    {
        const char* refusal;
        int frames;
        bool outOfMemory;
        juce::String error;
    } refusals[] = {
        {"2 GiB", 1 << 29, false, "Error creating file " + existing.getFullPathName() + " : file too large"},
        {"interleave buffer", 1, true, "Error writing file ir.wav : Out of memory"},
    };
    for (const auto& c : refusals)
    {
        measureFailRequest (c.outOfMemory ? 0 : -1);
        const auto error = writeResponseWav (existing, one.ptrs.data(), c.frames, 1, 48000, 32);
        EXPECT_FALSE (measureFailPending()) << c.refusal;
        measureFailRequest (-1);
        EXPECT_TRUE (error.startsWith (c.error)) << c.refusal << ": " << error;
        EXPECT_EQ (existing.loadFileAsString(), "keep") << c.refusal;
    }
}
