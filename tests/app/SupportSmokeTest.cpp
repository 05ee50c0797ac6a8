#include <gtest/gtest.h>

#include "support/JackServer.h"
#include "support/MessageLoop.h"
#include "support/ModalBoxRecorder.h"
#include "support/TempHome.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <cstdlib>
#include <filesystem>

// The shared fixtures themselves, so a broken fixture fails here first.
TEST (TestFixtures, TempHomeRedirectsAndCleansUp)
{
    std::string root;
    {
        TempHome home;
        root = home.path();
        EXPECT_EQ (std::string (getenv ("HOME")), root);
        EXPECT_EQ (std::string (getenv ("XDG_CONFIG_HOME")), root + "/.config");
        EXPECT_EQ (juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName(),
                   juce::String (root + "/.config"));
    }
    EXPECT_FALSE (std::filesystem::exists (root));
}

TEST (TestFixtures, ModalBoxRecorderDismissesAndRecords)
{
    ModalBoxRecorder recorder;
    juce::AlertWindow::showOkCancelBox (juce::MessageBoxIconType::WarningIcon, "Error", "Please enter a filename", {},
                                        {}, nullptr, nullptr);
    ASSERT_EQ (recorder.boxes().size(), 1u);
    EXPECT_EQ (recorder.boxes()[0].title, "Error");
    EXPECT_EQ (recorder.boxes()[0].message, "Please enter a filename");
    EXPECT_EQ (recorder.boxes()[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (recorder.boxes()[0].numButtons, 2);
}

TEST (TestFixtures, JackServerLoopsJuceDevicePortsBack)
{
    JackServer server;
    ASSERT_TRUE (server.isRunning());
    EXPECT_EQ (server.ports ("system:capture_").size(), 2u);

    juce::AudioDeviceManager manager;
    auto setup = juce::parseXML (JackServer::deviceSetupXml());
    ASSERT_NE (setup, nullptr);
    const auto error = manager.initialise (2, 2, setup.get(), false);
    EXPECT_TRUE (error.isEmpty()) << error;
    auto* device = manager.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (device->getTypeName(), "JACK");
    EXPECT_EQ ((int)device->getCurrentSampleRate(), 48000);

    const auto outs = server.ports (":out_1");
    ASSERT_FALSE (outs.empty());
    const std::string client = outs[0].substr (0, outs[0].find (':'));
    EXPECT_EQ (server.loopback (client), 2);
    manager.closeAudioDevice();
}
