#include "MainComponent.h"
#include "TolvaneApplication.h"

#include "support/JackServer.h"
#include "support/StallingJackClient.h"
#include "support/MessageLoop.h"
#include "support/ModalBoxRecorder.h"
#include "support/TempHome.h"
#include "support/WavReadBack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace
{
// JUCE's JACK device registers its client under this name.
constexpr const char* kJackClient = "JUCEJack";
// A loop from out_N to in_N delays by exactly one JACK period.
constexpr int kPeriod = 256;
constexpr int kRate = 48000;

const juce::String kChannelsWarning = "Warning: the audio device's channels changed during the measurement; these "
                                      "responses may belong to other channels, measure again. ";

// A whole measurement set-up: a temporary home, a private JACK server, the
// main window on settings that select its JACK device, the device's outputs
// looped to its inputs, every modal box recorded and dismissed.
class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        outDir = juce::File (home.path()).getChildFile ("responses");
        ASSERT_TRUE (outDir.createDirectory());
        ASSERT_TRUE (server.isRunning());
    }

    void TearDown() override
    {
        window = nullptr;
        settings = nullptr;
    }

    // Settings for a short run with normalisation off, per-response 32-bit float files.
    std::map<juce::String, juce::String> baseSettings() const
    {
        return {
            {"audioSettings", JackServer::deviceSetupXml()},
            {"numPlayChan", "1"},
            {"numRecChan", "1"},
            {"type", "Sweep"},
            {"sweepTime", "0.25"},
            {"gapDelay", "0.1"},
            {"initDelay", "0"},
            {"ampDb", "-6"},
            {"mlsBits", "12"},
            {"numReps", "3"},
            {"fmt", "WAV 32-bit float"},
            {"normalize", "0"},
            {"autoCrop", "0"},
            {"outFileFmt", "2"},
            {"trueStereoFmt", "LL, LR, RL, RR"},
            {"file", "impulse"},
            {"dir", outDir.getFullPathName()},
            {"logLevel", "2"},
        };
    }

    void open (const std::map<juce::String, juce::String>& values)
    {
        settings = std::make_unique<juce::PropertiesFile> (juce::File (home.settingsFile()),
                                                           TolvaneApplication::getSettingsOptions());
        for (const auto& [key, value] : values)
            settings->setValue (key, value);

        // On a loaded machine a JACK client can fail to open now and then;
        // a new window opens a new device.
        bool deviceOpen = false;
        for (int attempt = 0; attempt < 3 && !deviceOpen; ++attempt)
        {
            window = std::make_unique<juce::DocumentWindow> ("Tolvane", juce::Colours::lightgrey,
                                                             juce::DocumentWindow::allButtons, true);
            component = new MainComponent (settings.get());
            window->setContentOwned (component, true);
            window->setVisible (true);
            deviceOpen = server.waitForPort (std::string (kJackClient) + ":out_1", 20000);
        }
        ASSERT_TRUE (deviceOpen) << "the JACK device did not open";
        // The ports exist before the device has activated its client, and
        // JACK connects only active clients' ports: retry until both pairs hold.
        int looped = 0;
        ASSERT_TRUE (runMessageLoopUntil (
            [&]
            {
                looped += server.loopback (kJackClient);
                return looped >= 2;
            },
            10000))
            << looped << " of 2 loops connected";

        // Every port is connected, so the device has them all active.
        auto* device = component->getDeviceManager().getCurrentAudioDevice();
        ASSERT_NE (device, nullptr);
        ASSERT_TRUE (runMessageLoopUntil (
            [&]
            {
                return device->getActiveInputChannels().countNumberOfSetBits() == server.options().captureChannels &&
                       device->getActiveOutputChannels().countNumberOfSetBits() == server.options().playbackChannels;
            },
            10000));
    }

    juce::Button& button (const juce::String& name)
    {
        for (auto* child : component->getChildren())
            if (child->getName() == name)
                if (auto* b = dynamic_cast<juce::Button*> (child))
                    return *b;
        ADD_FAILURE() << "no button " << name;
        static juce::TextButton none;
        return none;
    }

    void click (const juce::String& name) { component->buttonClicked (&button (name)); }

    juce::String label() { return button ("startButton").getButtonText(); }

    bool waitForLabel (const juce::String& text, int timeoutMs = 10000)
    {
        return runMessageLoopUntil ([&] { return label() == text; }, timeoutMs);
    }

    // Waits until a tick of the component's timer has come after this call:
    // the timer puts back the label that it shows (while there is a device).
    bool waitForTick (int timeoutMs = 10000)
    {
        button ("startButton").setButtonText ("-");
        return runMessageLoopUntil ([&] { return label() != "-"; }, timeoutMs);
    }

    // Waits until the run has played some of its frames: the output meter shows them.
    bool waitForRunToPlay (int timeoutMs = 10000)
    {
        auto* meter = dynamic_cast<MultiMeterComponent*> (findChild ("outMeterComp"));
        return meter != nullptr &&
               runMessageLoopUntil ([meter] { return meter->getBar (0)->levelDb > -40.0f; }, timeoutMs);
    }

    // Waits until the server's clock has passed the end of a run of runFrames
    // started at startFrames, and then for a tick of the timer: whatever the
    // run would have done by its end has had its chance.
    bool waitPastTheRunsEnd (uint64_t startFrames, uint64_t runFrames, int timeoutMs = 60000)
    {
        const uint64_t end = startFrames + runFrames + 4 * kPeriod;
        return runMessageLoopUntil ([&] { return (uint64_t)server.frameTime() >= end; }, timeoutMs) && waitForTick();
    }

    juce::Component* findChild (const juce::String& name)
    {
        for (auto* child : component->getChildren())
            if (child->getName() == name)
                return child;
        return nullptr;
    }

    bool waitForBox (const juce::String& title, int timeoutMs)
    {
        return runMessageLoopUntil (
            [&]
            {
                for (const auto& b : boxes.boxes())
                    if (b.title == title)
                        return juce::Component::getCurrentlyModalComponent() == nullptr;
                return false;
            },
            timeoutMs);
    }

    // Starts a run and waits for its result box. A loaded machine drops out
    // now and then, and such a run is reported as damaged: like a user, the
    // test then measures again, so that it checks a clean run.
    void measure()
    {
        auto* device = component->getDeviceManager().getCurrentAudioDevice();
        ASSERT_NE (device, nullptr);

        // Bursts of load come and go: keep trying for up to a minute.
        const auto giveUp = juce::Time::getMillisecondCounter() + 60000;
        while (juce::Time::getMillisecondCounter() < giveUp)
        {
            boxes.clear();
            const int dropoutsBefore = device->getXRunCount();
            click ("startButton");
            ASSERT_TRUE (boxes.boxes().empty()) << boxes.boxes()[0].message;
            ASSERT_TRUE (waitForBox ("Impulse response written", 20000)) << boxes.titles().joinIntoString (", ");
            EXPECT_TRUE (waitForLabel ("Start")) << label();

            if (device->getXRunCount() == dropoutsBefore)
                return;
            runMessageLoopFor (500);
        }
        FAIL() << "every run had audio dropouts";
    }

    // After the server has ended during a run: one "Error" box says so,
    // Start is offered again and nothing was written.
    void expectTheRunEndedWithTheDeviceLost()
    {
        ASSERT_TRUE (waitForBox ("Error", 20000)) << boxes.titles().joinIntoString (", ");
        ASSERT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
        EXPECT_EQ (boxes.boxes()[0].message, "The audio device stopped during the measurement and nothing was written: "
                                             "check Audio Settings and measure again");
        EXPECT_EQ (label(), "Start");
        EXPECT_TRUE (writtenFiles().isEmpty());
    }

    juce::StringArray writtenFiles() const
    {
        juce::StringArray names;
        for (const auto& f : outDir.findChildFiles (juce::File::findFiles, false))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }

    TempHome home;
    JackServer server;
    ModalBoxRecorder boxes;
    juce::File outDir;
    std::unique_ptr<juce::PropertiesFile> settings;
    std::unique_ptr<juce::DocumentWindow> window;
    MainComponent* component = nullptr; // owned by the window
};
} // namespace

TEST_F (EndToEnd, SweepResponsePeaksAtTheLoopDelay)
{
    open (baseSettings());
    measure();

    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].message, "Wrote 1 mono impulse response files: impulse_LL.wav");
    ASSERT_EQ (writtenFiles(), juce::StringArray ({"impulse_LL.wav"}));

    const auto wav = readWavBack (outDir.getChildFile ("impulse_LL.wav"));
    ASSERT_TRUE (wav.ok);
    EXPECT_EQ (wav.info.channels, 1);
    EXPECT_EQ (wav.info.samplerate, 48000);
    EXPECT_EQ (wav.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ (wav.info.frames, 12000 + 4800) << "sweep and gap";
    EXPECT_EQ (wav.peakFrame (0), kPeriod);
    EXPECT_NEAR (wav.at (kPeriod, 0), 1.0f, 0.02f);
}

TEST_F (EndToEnd, MlsResponsePeaksAtTheLoopDelay)
{
    auto values = baseSettings();
    values["type"] = "MLS";
    open (values);
    measure();

    const auto wav = readWavBack (outDir.getChildFile ("impulse_LL.wav"));
    ASSERT_TRUE (wav.ok);
    EXPECT_EQ (wav.info.frames, 4095);
    EXPECT_EQ (wav.peakFrame (0), kPeriod);
    EXPECT_NEAR (wav.at (kPeriod, 0), 1.0f, 0.02f);
    EXPECT_NEAR (wav.at (kPeriod + 100, 0), -1.0f / 4095, 0.001f);
}

TEST_F (EndToEnd, TrueStereoSingleFileInTheChosenOrder)
{
    auto values = baseSettings();
    values["numPlayChan"] = "2";
    values["numRecChan"] = "2";
    values["outFileFmt"] = "0";
    values["trueStereoFmt"] = "LL, RR, LR, RL";
    open (values);
    measure();

    ASSERT_EQ (writtenFiles(), juce::StringArray ({"impulse.wav"}));
    EXPECT_EQ (boxes.boxes()[0].message, "Wrote a single 4-channel impulse response file: impulse.wav");
    const auto wav = readWavBack (outDir.getChildFile ("impulse.wav"));
    ASSERT_TRUE (wav.ok);
    ASSERT_EQ (wav.info.channels, 4);

    // The loop joins out_1 to in_1 and out_2 to in_2 only: LL and RR carry
    // the impulse, LR and RL are silent. In this order they are channels 0, 1.
    for (int c : {0, 1})
    {
        EXPECT_EQ (wav.peakFrame (c), kPeriod) << "channel " << c;
        EXPECT_NEAR (wav.at (kPeriod, c), 1.0f, 0.02f) << "channel " << c;
    }
    for (int c : {2, 3})
        EXPECT_LT (std::abs (wav.at (wav.peakFrame (c), c)), 0.01f) << "channel " << c;
}

TEST_F (EndToEnd, StopDuringARunComputesAndShowsNothing)
{
    auto values = baseSettings();
    values["sweepTime"] = "5";
    open (values);

    const uint64_t startFrames = (uint64_t)server.frameTime();
    click ("startButton");
    ASSERT_TRUE (waitForLabel ("Stop")) << label();
    click ("startButton");
    ASSERT_TRUE (waitPastTheRunsEnd (startFrames, (uint64_t)(5.1 * kRate)));

    EXPECT_EQ (label(), "Start");
    EXPECT_TRUE (boxes.boxes().empty()) << boxes.titles().joinIntoString (", ");
    EXPECT_TRUE (writtenFiles().isEmpty());
}

TEST_F (EndToEnd, AudioSettingsDuringARunThenStop)
{
    auto values = baseSettings();
    values["sweepTime"] = "2";
    open (values);

    const uint64_t startFrames = (uint64_t)server.frameTime();
    click ("startButton");
    ASSERT_TRUE (waitForRunToPlay());
    click ("audioSettingsButton"); // the dialog is recorded and dismissed
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Audio Settings");

    // The reopened device does not call the run: it never ends by itself,
    // and closing its device was no loss.
    ASSERT_TRUE (waitPastTheRunsEnd (startFrames, (uint64_t)(2.1 * kRate)));
    EXPECT_EQ (label(), "Stop");
    EXPECT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");

    click ("startButton");
    EXPECT_TRUE (waitForLabel ("Start")) << label();
    EXPECT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
    EXPECT_TRUE (writtenFiles().isEmpty());
}

TEST_F (EndToEnd, ClosingTheWindowMidRun)
{
    auto values = baseSettings();
    values["sweepTime"] = "5";
    open (values);

    const uint64_t startFrames = (uint64_t)server.frameTime();
    click ("startButton");
    ASSERT_TRUE (waitForRunToPlay());
    window = nullptr; // the component, its device and its buffers go while the device runs
    component = nullptr;
    ASSERT_TRUE (
        runMessageLoopUntil ([&] { return (uint64_t)server.frameTime() >= startFrames + (uint64_t)(5.1 * kRate); }, 60000));

    EXPECT_TRUE (boxes.boxes().empty());
    EXPECT_TRUE (writtenFiles().isEmpty());
}

// The server ends (as a crash would) during the run: the run ends with one
// "Error" box, nothing is written, and Start is offered again.
TEST_F (EndToEnd, JackServerKilledMidRunEndsTheRun)
{
    auto values = baseSettings();
    values["sweepTime"] = "5";
    open (values);

    click ("startButton");
    ASSERT_TRUE (waitForLabel ("Stop")) << label();
    ASSERT_TRUE (waitForRunToPlay());
    server.kill();

    ASSERT_NO_FATAL_FAILURE (expectTheRunEndedWithTheDeviceLost());

    // The next Start finds no device, or one that cannot run, and says so.
    click ("startButton");
    ASSERT_EQ (boxes.boxes().size(), 2u) << boxes.titles().joinIntoString (", ");
    EXPECT_EQ (boxes.boxes()[1].title, "Error");
    EXPECT_TRUE (writtenFiles().isEmpty());
}

// The end of a written run stops the JACK device and keeps it for the next
// run, whose server then ends: that run too ends with the "Error" box.
TEST_F (EndToEnd, JackServerKilledInALaterRunEndsIt)
{
    open (baseSettings());
    measure();
    ASSERT_EQ (writtenFiles(), juce::StringArray ({"impulse_LL.wav"}));
    ASSERT_TRUE (outDir.getChildFile ("impulse_LL.wav").deleteFile());

    auto* sweepTime = dynamic_cast<juce::ComboBox*> (findChild ("sweepTimeCombo"));
    ASSERT_NE (sweepTime, nullptr);
    sweepTime->setText ("5");
    boxes.clear();
    click ("startButton");
    ASSERT_TRUE (boxes.boxes().empty()) << boxes.boxes()[0].message;
    ASSERT_TRUE (waitForLabel ("Stop")) << label();
    server.kill();

    ASSERT_NO_FATAL_FAILURE (expectTheRunEndedWithTheDeviceLost());
}

// Another client holds up the server's cycle during the run: the server
// reports a dropout, and the result names it ahead of the files written.
TEST_F (EndToEnd, DropoutDuringTheRunHeadsTheResult)
{
    auto values = baseSettings();
    values["sweepTime"] = "2";
    open (values);
    StallingJackClient staller;
    ASSERT_TRUE (staller.isActive());
    // A client joining the graph may cost a dropout of its own: let the graph run with it first.
    ASSERT_TRUE (staller.waitForCycles (20));
    auto* device = component->getDeviceManager().getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    const int before = device->getXRunCount();
    ASSERT_GE (before, 0) << "JUCE's JACK device counts dropouts";

    const auto clicked = juce::Time::getMillisecondCounter();
    click ("startButton");
    ASSERT_TRUE (boxes.boxes().empty()) << boxes.boxes()[0].message;

    // A stall of about ten periods. The message loop does not run until the
    // device has counted the dropout, so the timer, which ends the run and
    // reads the count, cannot do so before it, however slow the machine.
    ASSERT_TRUE (staller.stallOnce (50));
    while (device->getXRunCount() == before && juce::Time::getMillisecondCounter() - clicked < 30000)
        juce::Thread::sleep (5);
    ASSERT_GT (device->getXRunCount(), before) << "the server reported no dropout during the run";

    ASSERT_TRUE (waitForBox ("Impulse response written", 20000)) << boxes.titles().joinIntoString (", ");
    ASSERT_EQ (boxes.boxes().size(), 1u);
    const juce::String message = boxes.boxes()[0].message;
    const juce::String head = "Warning: audio dropouts during the measurement (";
    const juce::String tail =
        "); these responses may be damaged, measure again. Wrote 1 mono impulse response files: impulse_LL.wav";
    ASSERT_TRUE (message.startsWith (head) && message.endsWith (tail)) << message;

    // The count the timer read lies between the one seen above and the one now.
    const juce::String count = message.substring (head.length(), message.length() - tail.length());
    EXPECT_TRUE (count.containsOnly ("0123456789")) << message;
    EXPECT_GE (count.getIntValue(), 1) << message;
    EXPECT_LE (count.getIntValue(), device->getXRunCount() - before) << message;
    EXPECT_EQ (writtenFiles(), juce::StringArray ({"impulse_LL.wav"}));
}

// Another program removes every connection of one of the device's input
// ports during the run, as a patchbay does. JUCE's JACK device then passes
// only the connected ports and restarts itself. When that moves one of the
// run's recorded channels, the result says so ahead of the files written;
// a port beyond the run's channels changes nothing.
TEST_F (EndToEnd, ChannelsMovedDuringTheRunHeadTheResult)
{
    const struct
    {
        const char* what;
        int numChan;  // played and recorded
        int cutInput; // the device channel whose port loses its connections
        bool warns;
        const char* written;
    } cases[] = {
        {"in_1 cut from a 2 x 2 run", 2, 0, true, "Wrote a single 4-channel impulse response file: impulse.wav"},
        {"in_2 cut from a 1 x 1 run", 1, 1, false, "Wrote a single 1-channel impulse response file: impulse.wav"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        boxes.clear();
        outDir.getChildFile ("impulse.wav").deleteFile();
        auto values = baseSettings();
        values["numPlayChan"] = juce::String (c.numChan);
        values["numRecChan"] = juce::String (c.numChan);
        values["sweepTime"] = "3";
        values["outFileFmt"] = "0";
        open (values);
        auto* device = component->getDeviceManager().getCurrentAudioDevice();
        ASSERT_NE (device, nullptr);
        const uint64_t segmentFrames = (uint64_t)(3.1 * kRate);
        const uint64_t runFrames = (uint64_t)c.numChan * segmentFrames;

        const uint64_t startFrames = (uint64_t)server.frameTime();
        click ("startButton");
        ASSERT_TRUE (boxes.boxes().empty()) << boxes.boxes()[0].message;
        ASSERT_TRUE (waitForRunToPlay());

        // Its capture port and the loop from out_N: two connections.
        const std::string port = std::string (kJackClient) + ":in_" + std::to_string (c.cutInput + 1);
        ASSERT_EQ (server.disconnectAll (port), 2) << port;
        ASSERT_TRUE (runMessageLoopUntil ([&] { return !device->getActiveInputChannels()[c.cutInput]; }, 10000))
            << "the device did not drop the port";
        // The device restarted before the server's clock reached the run's
        // end, so before the run's callback could have.
        const uint64_t restartedBy = (uint64_t)server.frameTime();
        ASSERT_LT (restartedBy, startFrames + runFrames) << "the restart came after the run";

        ASSERT_TRUE (waitForBox ("Impulse response written", 30000)) << boxes.titles().joinIntoString (", ");
        ASSERT_EQ (boxes.boxes().size(), 1u) << boxes.titles().joinIntoString (", ");
        juce::String message = boxes.boxes()[0].message;
        // A loaded machine may drop out too; that warning comes first.
        const bool dropouts = message.startsWith ("Warning: audio dropouts during the measurement (");
        if (dropouts)
            message = message.fromFirstOccurrenceOf ("measure again. ", false, false);
        EXPECT_EQ (message, (c.warns ? kChannelsWarning : juce::String()) + c.written);

        const auto wav = readWavBack (outDir.getChildFile ("impulse.wav"));
        ASSERT_TRUE (wav.ok);
        ASSERT_EQ (wav.info.channels, c.numChan * c.numChan);
        if (dropouts)
            continue;
        if (c.numChan == 1)
        {
            // in_1 still carried the run's one input: a clean response.
            EXPECT_EQ (wav.peakFrame (0), kPeriod);
            EXPECT_NEAR (wav.at (kPeriod, 0), 1.0f, 0.02f);
        }
        else if (restartedBy < startFrames + segmentFrames)
        {
            // Moved before out_2 played: its loop to in_2 was recorded as the
            // first input (RL, from R to L), and nothing as the second (RR).
            EXPECT_EQ (wav.peakFrame (2), kPeriod);
            EXPECT_NEAR (wav.at (kPeriod, 2), 1.0f, 0.02f);
            EXPECT_LT (std::abs (wav.at (wav.peakFrame (3), 3)), 0.01f);
        }
    }
}
