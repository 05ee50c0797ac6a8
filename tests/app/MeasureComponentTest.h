#pragma once

#include <optional>
#include <vector>

#include "MainComponentHarness.h"
#include "MeasureTestPeer.h"
#include "support/ModalBoxRecorder.h"
#include "support/TestAudioDevice.h"

// A MainComponent on the deterministic test device, with Start clicked
// directly and its boxes recorded.
class MeasureComponentTest : public harness::MainComponentTest
{
protected:
    MeasureTestPeer peer() { return MeasureTestPeer (*component); }

    TestAudioDevice* useDevice (const TestAudioDeviceConfig& config)
    {
        auto* device = useTestAudioDevice (peer().deviceManager(), config);
        EXPECT_NE (device, nullptr);
        return device;
    }

    TestAudioDevice* currentDevice()
    {
        return dynamic_cast<TestAudioDevice*> (peer().deviceManager().getCurrentAudioDevice());
    }

    // Clicks Start (or Stop) and returns the boxes it showed.
    std::vector<ModalBoxRecorder::Box> clickStart()
    {
        ModalBoxRecorder recorder;
        component->buttonClicked (harness::findChildAs<juce::Button> (*component, "startButton"));
        return recorder.boxes();
    }

    // The one "Error" box of a click, or nothing when the run started.
    std::optional<juce::String> errorOfStart()
    {
        const auto boxes = clickStart();

        if (boxes.empty())
            return std::nullopt;

        EXPECT_EQ (boxes.size(), 1u);
        EXPECT_EQ (boxes[0].title, "Error");
        EXPECT_EQ (boxes[0].icon, juce::MessageBoxIconType::WarningIcon);
        EXPECT_EQ (boxes[0].numButtons, 2);
        return boxes[0].message;
    }

    juce::TextEditor& fileText() { return *harness::findChildAs<juce::TextEditor> (*component, "fileText"); }

    bool deviceCallsComponent()
    {
        auto* device = currentDevice();
        return device != nullptr && device->isPlaying() && device->currentCallback() == component.get();
    }
};
