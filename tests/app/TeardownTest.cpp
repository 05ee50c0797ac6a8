#include "MainComponentHarness.h"

#include "support/JackServer.h"
#include "support/ModalBoxRecorder.h"

namespace
{
class TeardownTest : public harness::MainComponentTest
{
};
} // namespace

// Closing the window in the middle of a run: the device is stopped and closed
// before the run buffers that its callback reads are freed. The sanitizer
// build turns a callback on a freed buffer into a failure here.
TEST_F (TeardownTest, ClosingDuringARunStopsTheDeviceBeforeTheBuffersGo)
{
    JackServer server;
    ASSERT_TRUE (server.isRunning());
    build ({{"numRecChan", "1"},
            {"numPlayChan", "1"},
            {"type", "Sweep"},
            {"sweepTime", "10"},
            {"gapDelay", "1"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"fmt", "WAV 24-bit"},
            {"dir", home->path()}});

    auto& manager = component->getDeviceManager();
    ASSERT_NE (manager.getCurrentAudioDevice(), nullptr);
    ASSERT_TRUE (runMessageLoopUntil (
        [&manager]
        {
            auto* device = manager.getCurrentAudioDevice();
            return device->getActiveInputChannels().countNumberOfSetBits() > 0 &&
                   device->getActiveOutputChannels().countNumberOfSetBits() > 0;
        },
        5000));

    ModalBoxRecorder recorder;
    auto* start = harness::findChildAs<juce::Button> (*component, "startButton");
    start->triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([start] { return start->getButtonText() == "Stop"; }, 5000));
    EXPECT_TRUE (recorder.boxes().empty());
    EXPECT_TRUE (manager.getCurrentAudioDevice()->isPlaying());
    runMessageLoopFor (300);
    ASSERT_FALSE (server.ports ("JUCEJack").empty());

    settings->saveIfNeeded();
    component = nullptr;

    // The device's client has left the server, and teardown wrote no setting.
    EXPECT_TRUE (server.waitForPort ("system:", 1000));
    EXPECT_TRUE (server.ports ("JUCEJack").empty());
    EXPECT_FALSE (settings->needsToBeSaved());
    EXPECT_TRUE (recorder.boxes().empty());
}

TEST_F (TeardownTest, WithoutARunOrADeviceTheComponentGoesQuietly)
{
    build ({});
    EXPECT_EQ (component->getDeviceManager().getCurrentAudioDevice(), nullptr);
    settings->saveIfNeeded();
    component = nullptr;
    EXPECT_FALSE (settings->needsToBeSaved());
}
