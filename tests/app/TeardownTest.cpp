#include "MainComponentHarness.h"
#include "MeasureComponentTest.h"

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
    auto& server = startJackServer();
    ASSERT_TRUE (server.isRunning()) << server.startError();
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
        30000));

    ModalBoxRecorder recorder;
    auto* start = harness::findChildAs<juce::Button> (*component, "startButton");
    start->triggerClick();
    ASSERT_TRUE (runMessageLoopUntil ([start] { return start->getButtonText() == "Stop"; }, 60000));
    EXPECT_TRUE (recorder.boxes().empty());
    EXPECT_TRUE (manager.getCurrentAudioDevice()->isPlaying());
    // The run is under way: its callback has had a few periods.
    ASSERT_TRUE (harness::runMessageLoopForFrames (server, 10 * 256));
    ASSERT_FALSE (server.ports ("JUCEJack").empty());

    settings->saveIfNeeded();
    component = nullptr;

    // The device's client has left the server, and teardown wrote no setting.
    EXPECT_TRUE (server.isRunning());
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

namespace
{
class TeardownOrder : public MeasureComponentTest
{
};
} // namespace

// The same order, stepped on the test device: when the component goes in the
// middle of a run, the device stops while the play and record buffers that
// its callback reads are still the run's own.
TEST_F (TeardownOrder, TheDeviceStopsBeforeTheRunBuffersAreFreed)
{
    build ({{"numPlayChan", "1"},
            {"numRecChan", "1"},
            {"type", "Sweep"},
            {"sweepTime", "1"},
            {"gapDelay", "1"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"file", "impulse"},
            {"dir", home->path()}});
    auto* device = useDevice ({1, 1, 48000.0, 256});
    ASSERT_NE (device, nullptr);
    ASSERT_TRUE (clickStart().empty()) << "the run did not start";
    ASSERT_TRUE (device->runBlock (256));

    const auto run = peer().state();
    ASSERT_NE (run.playBuffer, nullptr);
    ASSERT_NE (run.recordBuffer, nullptr);

    MainComponent* goingComponent = component.get();
    int stops = 0;
    bool buffersAtStop = false;
    device->onStop = [&]
    {
        ++stops;
        const auto now = MeasureTestPeer (*goingComponent).state();
        buffersAtStop = now.playBuffer == run.playBuffer && now.recordBuffer == run.recordBuffer;
    };

    component = nullptr;
    EXPECT_EQ (stops, 1);
    EXPECT_TRUE (buffersAtStop) << "the run buffers were freed before the device stopped";
}
