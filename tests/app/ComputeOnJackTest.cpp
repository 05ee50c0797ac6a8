#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MeasureComponentTest.h"
#include "support/MessageLoop.h"
#include "support/WavReadBack.h"

namespace
{
class ComputeOnJack : public MeasureComponentTest
{
};
} // namespace

// Outputs looped back to the inputs of the same number on a real JACK server,
// which adds exactly one period: every direct pair gives 1 at lag 256, every
// crossed pair silence.
TEST_F (ComputeOnJack, LoopBackGivesUnitImpulseAtOnePeriod)
{
    auto& server = startJackServer();
    ASSERT_TRUE (server.isRunning()) << server.startError();
    const auto out = folder.getChildFile ("out");
    out.createDirectory();

    struct Case
    {
        const char* type;
        size_t responseLen;
    };

    for (const Case c : {Case{"Sweep", 24000 + 9600}, Case{"MLS", 8191}})
    {
        build ({{"numPlayChan", "2"},
                {"numRecChan", "2"},
                {"type", c.type},
                {"sweepTime", "0.5"},
                {"gapDelay", "0.2"},
                {"initDelay", "0"},
                {"ampDb", "-6"},
                {"mlsBits", "13"},
                {"numReps", "3"},
                {"file", "ir"},
                {"dir", out.getFullPathName()},
                {"fmt", "WAV 32-bit float"},
                {"outFileFmt", "2"},
                {"normalize", "0"},
                {"autoCrop", "0"},
                {"audioSettings", JackServer::deviceSetupXml()}});

        auto* device = peer().deviceManager().getCurrentAudioDevice();
        ASSERT_NE (device, nullptr) << c.type;
        ASSERT_EQ (device->getTypeName(), "JACK") << c.type;

        const auto outs = server.ports (":out_1");
        ASSERT_FALSE (outs.empty()) << c.type;
        ASSERT_EQ (server.loopback (outs[0].substr (0, outs[0].find (':'))), 2) << c.type;

        ModalBoxRecorder recorder;
        component->buttonClicked (harness::findChildAs<juce::Button> (*component, "startButton"));
        ASSERT_TRUE (peer().state().measuring) << c.type;
        ASSERT_TRUE (runMessageLoopUntil ([&] { return !recorder.boxes().empty(); }, 120000)) << c.type;
        ASSERT_EQ (recorder.boxes()[0].title, "Impulse response written") << c.type;

        for (const auto& [name, direct] : {std::pair{"ir_LL.wav", true}, std::pair{"ir_LR.wav", false},
                                           std::pair{"ir_RL.wav", false}, std::pair{"ir_RR.wav", true}})
        {
            const auto w = readWavBack (out.getChildFile (name));
            ASSERT_TRUE (w.ok) << c.type << " " << name;
            ASSERT_EQ (w.info.channels, 1) << c.type << " " << name;
            ASSERT_EQ ((size_t)w.info.frames, c.responseLen) << c.type << " " << name;

            if (direct)
            {
                EXPECT_EQ (w.peakFrame (0), 256) << c.type << " " << name;
                EXPECT_NEAR (w.at (256, 0), 1.0f, 0.01f) << c.type << " " << name;
            }
            else
            {
                EXPECT_LT (std::fabs (w.at (w.peakFrame (0), 0)), 1.0e-4f) << c.type << " " << name;
            }
        }
    }
}
