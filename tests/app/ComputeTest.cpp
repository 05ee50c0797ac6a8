#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MeasureComponentTest.h"
#include "MeasureMemory.h"
#include "ResponseWorkers.h"
#include "support/SimulatedSystem.h"
#include "support/WavReadBack.h"

namespace
{
// Short sweeps at 48 kHz, into 32-bit float WAV files in the test's folder.
std::map<juce::String, juce::String> computeSettings (const juce::File& dir)
{
    return {
        {"numPlayChan", "1"},
        {"numRecChan", "1"},
        {"type", "Sweep"},
        {"sweepTime", "0.1"},
        {"gapDelay", "0.05"},
        {"initDelay", "0"},
        {"ampDb", "-6"},
        {"mlsBits", "12"},
        {"numReps", "3"},
        {"file", "ir"},
        {"dir", dir.getFullPathName()},
        {"fmt", "WAV 32-bit float"},
        {"outFileFmt", "0"},
        {"normalize", "0"},
        {"autoCrop", "0"},
        {"cropThresh", "-42"},
    };
}

class Compute : public MeasureComponentTest
{
protected:
    void SetUp() override
    {
        MeasureComponentTest::SetUp();
        outDir = folder.getChildFile ("out");
        outDir.createDirectory();
    }

    // Starts a run and lays into the record buffer what the system of path
    // would have recorded, as the callback records it.
    void startAndRecord (const SimulatedPath& path)
    {
        ASSERT_EQ (errorOfStart(), std::nullopt);
        const auto s = peer().state();
        const std::vector<int16_t> play (s.playBuffer, s.playBuffer + s.totalLen * (uint64_t)s.playChans);
        const auto rec = simulateRecording (play, s.playChans, s.totalLen, s.recChans, path);
        std::copy (rec.begin(), rec.end(), peer().recordBuffer());
    }

    std::vector<ModalBoxRecorder::Box> endRun()
    {
        ModalBoxRecorder recorder;
        peer().endRunAndCompute();
        return recorder.boxes();
    }

    juce::File outDir;
};

const SimulatedPath halfGainDelay10 = [] (int, int) { return delayedTaps (10, {0.5f}); };
} // namespace

TEST_F (Compute, SweepResponsesOfEveryPairReachTheFile)
{
    auto stored = computeSettings (outDir);
    stored["numPlayChan"] = "2";
    build (stored);
    useDevice ({2, 2});

    startAndRecord ([] (int p, int r)
                    { return r == 0 ? delayedTaps (p == 0 ? 5 : 9, {p == 0 ? 0.8f : 0.4f}) : std::vector<float>{}; });
    const auto boxes = endRun();

    ASSERT_EQ (boxes.size(), 1u);
    EXPECT_EQ (boxes[0].title, "Impulse response written");

    const auto w = readWavBack (outDir.getChildFile ("ir.wav"));
    ASSERT_EQ (w.info.channels, 2);
    EXPECT_EQ (w.info.frames, 4800 + 2400);
    EXPECT_EQ (w.peakFrame (0), 5);
    EXPECT_NEAR (w.samples[5 * 2 + 0], 0.8f, 0.008f);
    EXPECT_EQ (w.peakFrame (1), 9);
    EXPECT_NEAR (w.samples[9 * 2 + 1], 0.4f, 0.004f);
}

TEST_F (Compute, MlsResponsesThroughTheMember)
{
    auto stored = computeSettings (outDir);
    stored["type"] = "MLS";
    stored["numRecChan"] = "2";
    build (stored);
    useDevice ({2, 2});

    startAndRecord ([] (int, int r) { return r == 0 ? std::vector<float>{1.0f} : delayedTaps (3, {-0.5f}); });
    ASSERT_EQ (endRun().size(), 1u);

    const auto w = readWavBack (outDir.getChildFile ("ir.wav"));
    ASSERT_EQ (w.info.channels, 2);
    ASSERT_EQ (w.info.frames, 4095);
    EXPECT_NEAR (w.samples[0], 1.0f, 1.0e-5f);
    EXPECT_NEAR (w.samples[2], -1.0f / 4095.0f, 1.0e-5f);
    EXPECT_NEAR (w.samples[3 * 2 + 1], -0.5f, 1.0e-4f);
    EXPECT_NEAR (w.samples[4 * 2 + 1], 0.5f / 4095.0f, 1.0e-4f);
}

TEST_F (Compute, SettingsAreReadWhenTheComputationRuns)
{
    struct Case
    {
        const char* name;
        const char* normalizeAtStart;
        const char* normalizeAtEnd;
        const char* autoCropAtStart;
        const char* autoCropAtEnd;
        bool normalized;
        bool cropped;
    };
    const Case cases[] = {
        {"normalize turned on during the run", "0", "1", "0", "0", true, false},
        {"normalize turned off during the run", "1", "0", "0", "0", false, false},
        {"auto-crop turned on during the run", "0", "0", "0", "1", false, true},
        {"both turned on during the run", "0", "1", "0", "1", true, true},
        {"both turned on by numbers beyond 32 bits", "0", "4294967296", "0", "8589934592", true, true},
    };

    for (const auto& c : cases)
    {
        auto stored = computeSettings (outDir);
        stored["normalize"] = c.normalizeAtStart;
        stored["autoCrop"] = c.autoCropAtStart;
        build (stored);
        useDevice ({2, 2});
        startAndRecord (halfGainDelay10);

        settings->setValue ("normalize", c.normalizeAtEnd);
        settings->setValue ("autoCrop", c.autoCropAtEnd);
        const auto boxes = endRun();
        ASSERT_EQ (boxes.size(), 1u) << c.name;

        const juce::String& text = boxes[0].message;
        const int applied = text.indexOf ("dB normalization gain. ");
        const int cropped = text.indexOf ("Cropped to ");
        EXPECT_EQ (applied >= 0, c.normalized) << c.name << ": " << text;
        EXPECT_EQ (cropped >= 0, c.cropped) << c.name << ": " << text;

        if (c.normalized)
        {
            EXPECT_TRUE (text.startsWith ("Applied ")) << c.name << ": " << text;
        }

        if (c.normalized && c.cropped)
        {
            EXPECT_LT (applied, cropped) << c.name << ": " << text;
        }

        const auto w = readWavBack (outDir.getChildFile ("ir.wav"));
        EXPECT_EQ (w.info.frames < 7200, c.cropped) << c.name;
        ASSERT_EQ (w.info.channels, 1) << c.name;
        EXPECT_NEAR (std::fabs (w.samples[(size_t)w.peakFrame (0)]), c.normalized ? 1.0f : 0.5f, 0.005f) << c.name;
    }
}

// The stored index is out of range, not the second choice wrapped around.
TEST_F (Compute, AnOutFileFmtBeyond32BitsWritesASingleFile)
{
    auto stored = computeSettings (outDir);
    stored["numPlayChan"] = "2";
    stored["outFileFmt"] = "4294967297";
    build (stored);
    useDevice ({2, 2});
    startAndRecord (halfGainDelay10);
    ASSERT_EQ (endRun().size(), 1u);

    EXPECT_EQ (readWavBack (outDir.getChildFile ("ir.wav")).info.channels, 2);
    EXPECT_FALSE (outDir.getChildFile ("ir_L.wav").exists());
    EXPECT_EQ (settings->getValue ("outFileFmt"), "4294967297");
}

TEST_F (Compute, OutOfMemoryShowsOneBoxAndWritesNothing)
{
    auto stored = computeSettings (outDir);
    stored["numPlayChan"] = "2";
    stored["numRecChan"] = "2";
    stored["normalize"] = "1";
    stored["autoCrop"] = "1";
    build (stored);
    useDevice ({2, 2});
    startAndRecord (halfGainDelay10);

    // Table, inverse filter, its transform, three per thread, one per pair,
    // then the crop's table and one per pair; after them the output stage's
    // interleave buffer.
    const int computeRequests = 3 + 3 * responseWorkerCount (4) + 4 + 1 + 4;
    int failures = 0;

    for (int n = 0; n < 100; ++n)
    {
        measureFailRequest (n);
        const auto boxes = endRun();
        const bool failed = !measureFailPending();
        measureFailRequest (-1);

        if (!failed)
        {
            ASSERT_EQ (boxes.size(), 1u);
            EXPECT_EQ (boxes[0].title, "Impulse response written");
            EXPECT_TRUE (outDir.getChildFile ("ir.wav").existsAsFile());
            break;
        }

        ++failures;
        ASSERT_EQ (boxes.size(), 1u) << "request " << n;
        EXPECT_EQ (boxes[0].title, "Error") << "request " << n;
        EXPECT_EQ (boxes[0].message, n < computeRequests ? "The responses could not be computed: not enough memory"
                                                         : "Error writing file ir.wav : Out of memory")
            << "request " << n;
        EXPECT_EQ (outDir.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0) << "request " << n;
    }

    EXPECT_EQ (failures, computeRequests + 1);
}
