#include "MainComponentHarness.h"

#include "OutputFiles.h"
#include "TolvaneApplication.h"
#include "dsp/fft.h"
#include "dsp/fft_basis.h"
#include "log/QvLog.h"
#include "support/FileSizeLimit.h"
#include "support/MessageLoop.h"
#include "support/ModalBoxRecorder.h"
#include "support/PrivateXServer.h"
#include "support/ProgramUnderTest.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>

namespace
{
// The keys and texts a first start writes, in the order they are seeded.
const auto& defaultsInOrder = harness::seededDefaultsInOrder();

std::vector<std::pair<juce::String, juce::String>> readSettingsFile (const juce::File& file)
{
    std::vector<std::pair<juce::String, juce::String>> values;
    if (auto xml = juce::parseXML (file))
        for (auto* v : xml->getChildWithTagNameIterator ("VALUE"))
            values.emplace_back (v->getStringAttribute ("name"), v->getStringAttribute ("val"));
    return values;
}

void writeSettingsFile (const juce::File& file, const std::vector<std::pair<juce::String, juce::String>>& values)
{
    juce::XmlElement root ("PROPERTIES");
    for (const auto& [key, value] : values)
    {
        auto* v = root.createNewChildElement ("VALUE");
        v->setAttribute ("name", key);
        v->setAttribute ("val", value);
    }
    file.getParentDirectory().createDirectory();
    ASSERT_TRUE (root.writeTo (file));
}

juce::DocumentWindow* findMainWindow()
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = dynamic_cast<TolvaneApplication::MainWindow*> (desktop.getComponent (i)))
            return window;
    return nullptr;
}

// Runs the application's start-up and shutdown in this process, as the
// framework's entry would, on a temporary home.
class ShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gQvLogLevel = 2;
        settingsFile = juce::File (home.settingsFile());
        logFile = juce::File (home.logFile());
    }

    void TearDown() override { quit(); }

    void start()
    {
        app = std::make_unique<TolvaneApplication>();
        app->initialise ({});
    }

    void quit()
    {
        if (app == nullptr)
            return;
        app->shutdown();
        app = nullptr;
    }

    MainComponent* mainComponent()
    {
        auto* window = findMainWindow();
        return window != nullptr ? dynamic_cast<MainComponent*> (window->getContentComponent()) : nullptr;
    }

    TempHome home;
    juce::File settingsFile, logFile;
    std::unique_ptr<TolvaneApplication> app;
};
} // namespace

TEST_F (ShellTest, FirstStartCreatesTheFoldersAndAFileOfExactlyTheDefaults)
{
    ASSERT_FALSE (settingsFile.getParentDirectory().exists());
    start();
    EXPECT_TRUE (settingsFile.getParentDirectory().isDirectory());
    EXPECT_EQ (readSettingsFile (settingsFile), defaultsInOrder);
}

TEST_F (ShellTest, KeysPresentInAnyLetterCaseKeepTheirValues)
{
    writeSettingsFile (settingsFile, {{"NUMRECCHAN", "3"}, {"AmpDb", ""}, {"numreps", "7"}, {"file", "hall"}});
    start();

    auto values = readSettingsFile (settingsFile);
    std::vector<std::pair<juce::String, juce::String>> expected = {
        {"NUMRECCHAN", "3"}, {"AmpDb", ""}, {"numreps", "7"}, {"file", "hall"}};
    for (const auto& d : defaultsInOrder)
        if (!d.first.equalsIgnoreCase ("numRecChan") && !d.first.equalsIgnoreCase ("ampDb") &&
            !d.first.equalsIgnoreCase ("numReps"))
            expected.push_back (d);

    // The stored keys first, as they were, then the missing defaults in seeding order.
    EXPECT_EQ (values, expected);
}

TEST_F (ShellTest, ADamagedFileIsReplacedByTheDefaults)
{
    settingsFile.getParentDirectory().createDirectory();
    ASSERT_TRUE (settingsFile.replaceWithText ("<PROPERTIES><VALUE name=\"numRecChan\" val=\"4\"/><VAL"));
    start();
    EXPECT_EQ (readSettingsFile (settingsFile), defaultsInOrder);
}

TEST_F (ShellTest, LogLevelsAtOrBelowZeroOpenNoLog)
{
    for (const char* level : {"0", "-3", "abc", "-4294967295"})
    {
        SCOPED_TRACE (juce::String ("logLevel ") + level);
        writeSettingsFile (settingsFile, {{"logLevel", level}});
        logFile.deleteFile();
        start();
        EXPECT_FALSE (logFile.exists());
        EXPECT_EQ (gQvLogLevel, 2);
        EXPECT_EQ (gQvLogFn, nullptr);
        quit();
    }

    // An existing log is not emptied either.
    writeSettingsFile (settingsFile, {{"logLevel", "0"}});
    ASSERT_TRUE (logFile.replaceWithText ("earlier run\n", false, false, "\n"));
    start();
    EXPECT_EQ (logFile.loadFileAsString(), "earlier run\n");
}

TEST_F (ShellTest, PositiveLogLevelsSetTheLevelAndOpenAnEmptyLog)
{
    for (const auto& [text, level] :
         {std::pair{"1", 1}, std::pair{"5", 5}, std::pair{"2", 2}, std::pair{"4294967296", INT_MAX}})
    {
        SCOPED_TRACE (juce::String ("logLevel ") + text);
        writeSettingsFile (settingsFile, {{"logLevel", text}});
        ASSERT_TRUE (logFile.replaceWithText ("earlier run\n", false, false, "\n"));
        gQvLogLevel = 2;
        start();
        EXPECT_EQ (gQvLogLevel, level);
        EXPECT_NE (gQvLogFn, nullptr);
        EXPECT_NE (gQvLogFp, nullptr);
        EXPECT_TRUE (logFile.existsAsFile());
        EXPECT_EQ (logFile.getSize(), 0);
        quit();
        EXPECT_EQ (gQvLogFn, nullptr);
        EXPECT_EQ (gQvLogFnArg, nullptr);
        EXPECT_EQ (gQvLogFp, nullptr);
    }
}

TEST_F (ShellTest, ALogFilePathIsUsedUnchanged)
{
    const auto custom = juce::File (home.path()).getChildFile ("elsewhere.log");
    writeSettingsFile (settingsFile, {{"logFile", custom.getFullPathName()}});
    start();
    EXPECT_TRUE (custom.existsAsFile());
    EXPECT_FALSE (logFile.exists());
    quit();

    // A path that cannot be opened leaves logging off, without a message.
    writeSettingsFile (settingsFile, {{"logFile", home.path() + "/no/such/folder/x.log"}});
    start();
    EXPECT_EQ (gQvLogFn, nullptr);
    EXPECT_EQ (gQvLogFp, nullptr);
}

TEST_F (ShellTest, AChangeJustBeforeQuittingStillReachesTheFile)
{
    start();
    auto* component = mainComponent();
    ASSERT_NE (component, nullptr);
    auto* norm = harness::findChildAs<juce::Button> (*component, "normButton");
    ASSERT_NE (norm, nullptr);
    const auto normalizeInFile = [this]
    {
        for (const auto& [key, value] : readSettingsFile (settingsFile))
            if (key == "normalize")
                return value.toStdString();
        return std::string ("<absent>");
    };

    // The handler runs at once, as a click's does, and no message loop runs
    // before the quit, so the store's own save (500 ms after a change, on the
    // message loop) cannot have come first, however slow the machine.
    norm->setToggleState (false, juce::sendNotificationSync);
    ASSERT_EQ (normalizeInFile(), "1") << "the change was saved before the quit";
    quit();
    EXPECT_EQ (normalizeInFile(), "0");
}

// Under a file-size limit (ulimit -f, as shared machines set it) a write
// past the limit is a failed write, as on a full disk: the program goes on,
// shows the "Error" box and keeps the earlier file, with nothing left beside
// it. What SIGXFSZ does is left to the program's own start-up.
TEST_F (ShellTest, AWritePastAFileSizeLimitFailsAndTheProgramGoesOn)
{
    start();
    ASSERT_NE (mainComponent(), nullptr);

    const auto dir = juce::File (home.path()).getChildFile ("out");
    ASSERT_TRUE (dir.createDirectory());
    const auto file = dir.getChildFile ("impulse.wav");
    const float earlierSamples[] = {0.5f, -0.5f};
    const float* earlierChannels[] = {earlierSamples};
    ASSERT_EQ (writeResponseWav (file, earlierChannels, 2, 1, 48000, 32), "");
    juce::MemoryBlock earlier;
    ASSERT_TRUE (file.loadFileAsData (earlier));

    // A 2 x 2 sweep's four responses in one 32-bit float file: 480 kB.
    const int len = 30000;
    auto** responses = static_cast<float**> (calloc (4, sizeof (float*)));
    for (int i = 0; i < 4; ++i)
        responses[i] = static_cast<float*> (calloc ((size_t)len, sizeof (float)));

    OutputStageRequest request;
    request.dirText = dir.getFullPathName();
    request.baseName = "impulse";
    request.formatIndex = 3;
    request.organisation = kOutputSingleFile;
    request.numPlayChan = 2;
    request.numRecChan = 2;
    request.sampleRate = 48000;

    ModalBoxRecorder boxes;
    juce::String status;
    {
        const FileSizeLimit limit (400 * 1024, FileSizeLimit::leaveSignalAlone);
        EXPECT_FALSE (runOutputStage (request, responses, len, status));
    }

    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Error");
    EXPECT_EQ (boxes.boxes()[0].message, "Error writing file impulse.wav");
    juce::MemoryBlock after;
    EXPECT_TRUE (file.loadFileAsData (after) && after == earlier);
    EXPECT_EQ (dir.findChildFiles (juce::File::findFilesAndDirectories, false).size(), 1);
    EXPECT_NE (mainComponent(), nullptr);
}

TEST_F (ShellTest, TheWindowHoldsTheFixedPanelAndATooltipWindow)
{
    start();
    auto* window = findMainWindow();
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getName(), "Tolvane");
    EXPECT_TRUE (window->isVisible());
    EXPECT_TRUE (window->isUsingNativeTitleBar());
    EXPECT_FALSE (window->isResizable());
    auto* content = dynamic_cast<MainComponent*> (window->getContentComponent());
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getWidth(), 700);
    EXPECT_EQ (content->getHeight(), 600);
    EXPECT_EQ (window->getContentComponent()->getBounds().getWidth(), 700);

    int tooltipWindows = 0;
    for (auto* c : window->getChildren())
        tooltipWindows += dynamic_cast<juce::TooltipWindow*> (c) != nullptr ? 1 : 0;
    EXPECT_EQ (tooltipWindows, 1);
}

namespace
{
// What the shutdown had done by two moments: when the log's stream was
// closed, and when the main window was deleted.
struct ShutdownMoments
{
    juce::File settingsFile;

    bool logClosed = false;
    bool cacheFullAtLogClose = false;
    bool windowAtLogClose = false;

    bool windowDeleted = false;
    bool logClearedAtWindow = false;
    bool cacheEmptyAtWindow = false;
    bool settingsUnsavedAtWindow = false;

    // The pending change (normalize "0") has not reached the file yet.
    bool settingsUnsaved() const
    {
        auto xml = juce::parseXML (settingsFile);
        auto* value = xml != nullptr ? xml->getChildByAttribute ("name", "normalize") : nullptr;
        return value != nullptr && value->getStringAttribute ("val") == "1";
    }
};

// A log stream that notes, as it is closed, how far the shutdown had got.
FILE* openObservedLogStream (ShutdownMoments& moments)
{
    cookie_io_functions_t io{};
    io.write = [] (void*, const char*, size_t size) -> ssize_t { return (ssize_t)size; };
    io.close = [] (void* cookie) -> int
    {
        auto& m = *static_cast<ShutdownMoments*> (cookie);
        m.logClosed = true;
        m.cacheFullAtLogClose = lroot != nullptr;
        m.windowAtLogClose = findMainWindow() != nullptr;
        return 0;
    };
    return fopencookie (&moments, "w", io);
}

struct WindowDeletionObserver : juce::ComponentListener
{
    explicit WindowDeletionObserver (ShutdownMoments& m) : moments (m) {}

    void componentBeingDeleted (juce::Component&) override
    {
        moments.windowDeleted = true;
        moments.logClearedAtWindow = gQvLogFp == nullptr && gQvLogFn == nullptr && gQvLogFnArg == nullptr;
        moments.cacheEmptyAtWindow = lroot == nullptr;
        moments.settingsUnsavedAtWindow = moments.settingsUnsaved();
    }

    ShutdownMoments& moments;
};
} // namespace

// The close button quits; the shutdown then closes the log and clears its
// sink, frees the twiddle cache, deletes the window and, last, saves the
// settings that are still pending.
TEST_F (ShellTest, TheCloseButtonQuitsAndShutsDownInOrder)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    // Runs in a child process, since quitting ends this process's message loop for good.
    auto startAndClose = [this]
    {
        writeSettingsFile (settingsFile, {{"logLevel", "3"}});
        start();

        ShutdownMoments moments;
        moments.settingsFile = settingsFile;
        std::fclose (gQvLogFp);
        gQvLogFp = openObservedLogStream (moments);
        gQvLogFnArg = gQvLogFp;

        float samples[16] = {};
        fft_real_packed_spect (samples, 16);

        auto* window = findMainWindow();
        WindowDeletionObserver observer (moments);
        window->addComponentListener (&observer);
        window->closeButtonPressed();
        juce::MessageManager::getInstance()->runDispatchLoop();

        // A change made now is still pending at shutdown: no message loop
        // runs any more, so the store's 500 ms save cannot come first.
        auto* norm = harness::findChildAs<juce::Button> (*window->getContentComponent(), "normButton");
        norm->setToggleState (false, juce::sendNotificationSync);
        const bool pendingBefore = lroot != nullptr && moments.settingsUnsaved();

        quit();

        const std::pair<bool, const char*> checks[] = {
            {pendingBefore, "the cache and the pending change were there before shutdown"},
            {moments.logClosed, "the log stream was closed"},
            {moments.cacheFullAtLogClose, "the twiddle cache was still there when the log closed"},
            {moments.windowAtLogClose, "the window was still there when the log closed"},
            {moments.windowDeleted, "the window was deleted"},
            {moments.logClearedAtWindow, "the log and its sink were cleared when the window went"},
            {moments.cacheEmptyAtWindow, "the twiddle cache was empty when the window went"},
            {moments.settingsUnsavedAtWindow, "the pending change was not saved before the window went"},
            {!moments.settingsUnsaved(), "the pending change was saved in the end"},
            {gQvLogFp == nullptr && gQvLogFn == nullptr && findMainWindow() == nullptr, "the end state"},
        };
        bool ok = true;
        for (const auto& [held, what] : checks)
            if (!held)
            {
                std::fprintf (stderr, "failed: %s\n", what);
                ok = false;
            }

        // _Exit skips the fixture's destructor: remove the child's home here.
        std::error_code ignored;
        std::filesystem::remove_all (home.path(), ignored);
        std::_Exit (ok ? 0 : 1);
    };
    EXPECT_EXIT (startAndClose(), ::testing::ExitedWithCode (0), "");
}

namespace
{
juce::File sourceRoot()
{
    // The build folder's cache names the source folder.
    auto buildDir =
        juce::File::getSpecialLocation (juce::File::currentExecutableFile).getParentDirectory().getParentDirectory();
    juce::StringArray lines;
    buildDir.getChildFile ("CMakeCache.txt").readLines (lines);
    for (const auto& line : lines)
        if (line.startsWith ("CMAKE_HOME_DIRECTORY:INTERNAL="))
            return juce::File (line.fromFirstOccurrenceOf ("=", false, false));
    return buildDir.getParentDirectory();
}

// Runs a tool on the given X display for at most 20 s and returns what it
// wrote to standard output. Its error messages are not taken for output.
std::string runTool (const std::string& display, const juce::StringArray& args)
{
    juce::StringArray command{"env", "DISPLAY=" + juce::String (display), "timeout", "20"};
    command.addArray (args);
    juce::ChildProcess process;
    if (!process.start (command, juce::ChildProcess::wantStdOut))
        return {};
    auto out = process.readAllProcessOutput();
    process.waitForProcessToFinish (1000);
    return out.trim().toStdString();
}

// The first window id that xdotool listed, or an empty text.
juce::String firstWindowId (const std::string& listing)
{
    for (const auto& line : juce::StringArray::fromLines (juce::String (listing)))
        if (line.isNotEmpty() && line.containsOnly ("0123456789"))
            return line;
    return {};
}

// The id of a visible window of the process, searched for again until the
// deadline: one search can end early on an X error when any window (the
// program's own passing ones included) goes away while it looks.
juce::String findVisibleWindow (const std::string& display, pid_t pid, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    do
    {
        const auto window =
            firstWindowId (runTool (display, {"xdotool", "search", "--onlyvisible", "--pid", juce::String (pid)}));
        if (window.isNotEmpty())
            return window;
        juce::Thread::sleep (100);
    } while (juce::Time::getMillisecondCounter() < deadline);
    return {};
}

int waitForExit (pid_t pid, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (juce::Time::getMillisecondCounter() < deadline)
    {
        int status = 0;
        if (waitpid (pid, &status, WNOHANG) == pid)
            return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
        juce::Thread::sleep (20);
    }
    kill (pid, SIGKILL);
    waitpid (pid, nullptr, 0);
    return -1;
}
} // namespace

// The real program, started as a user would under an X server without a
// window manager, shows its window, and quits cleanly. The server is the
// test's own, so no other test's windows come and go during the search. The
// window is kept as a screenshot in test-artifacts/ for people to look at.
TEST_F (ShellTest, TheProgramStartsShowsItsWindowAndQuits)
{
    const auto program = builtProgram();
    ASSERT_TRUE (program.existsAsFile()) << program.getFullPathName();

    PrivateXServer xServer;
    ASSERT_TRUE (xServer.isRunning());
    const auto& display = xServer.display();

    const pid_t pid = startBuiltProgram (xServer.environment());
    ASSERT_GT (pid, 0);

    // Deadlines, not waits: a sanitized program on a loaded machine may take long to start and to end.
    const auto window = findVisibleWindow (display, pid, 60000);
    EXPECT_TRUE (window.isNotEmpty());
    EXPECT_TRUE (runMessageLoopUntil ([this] { return settingsFile.existsAsFile(); }, 60000));
    // Time to paint, for the screenshot that people look at; no check depends
    // on it: the size is set before the window is shown, and the start-up
    // notification that stores "outFileFmt" is queued ahead of the quit that
    // SIGINT asks for.
    juce::Thread::sleep (1000);

    // Only a real window id goes to import: without one it would wait for a
    // click and hold the X server from every other client.
    if (window.isNotEmpty())
    {
        auto artifacts = sourceRoot().getChildFile ("test-artifacts");
        artifacts.createDirectory();
        const auto shot = artifacts.getChildFile ("main-window.png");
        shot.deleteFile();
        runTool (display, {"import", "-window", window, shot.getFullPathName()});
        EXPECT_TRUE (shot.existsAsFile());

        const auto geometry = runTool (display, {"xdotool", "getwindowgeometry", window});
        EXPECT_NE (geometry.find ("700x600"), std::string::npos) << geometry;
    }

    kill (pid, SIGINT);
    EXPECT_EQ (waitForExit (pid, 60000), 0);
    EXPECT_EQ (readSettingsFile (settingsFile).size(), defaultsInOrder.size() + 1); // + "outFileFmt"
}

namespace
{
// What ImageMagick's format escape gives for an area (WxH+X+Y) of a window.
std::string describeArea (const std::string& display, const juce::String& window, const char* area, const char* format)
{
    return runTool (display, {"import", "-window", window, "-crop", area, "+repage", "-format", format, "info:"});
}

// True once the child process has ended; it is left for waitForExit to collect.
bool hasEnded (pid_t pid)
{
    siginfo_t info{};
    return waitid (P_PID, (id_t)pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid;
}

const std::string panelColour = "srgb(51,62,68)";

// Waits until the panel's colour shows in a corner where nothing else lies:
// the window has then been painted, the whole of it at once. Gives up when
// the program ends. Returns the corner's colour as last seen.
std::string waitForPaintedWindow (const std::string& display, const juce::String& window, pid_t pid)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 60000;
    std::string corner;
    while ((corner = describeArea (display, window, "1x1+690+5", "%[pixel:p{0,0}]")) != panelColour &&
           !hasEnded (pid) && juce::Time::getMillisecondCounter() < deadline)
        juce::Thread::sleep (100);
    return corner;
}

// The value of key in a settings file's values, or null when it is absent.
const juce::String* findValue (const std::vector<std::pair<juce::String, juce::String>>& values,
                               const juce::String& key)
{
    const auto found = std::find_if (values.begin(), values.end(), [&key] (const auto& v) { return v.first == key; });
    return found != values.end() ? &found->second : nullptr;
}

using StoredTexts = std::vector<std::pair<juce::String, juce::String>>;

// Starts the real program on the default settings with the given texts put
// in, and once its window is painted lets checkScreen read the screen. Then
// the program must close at once when asked, and the settings file must
// still hold every text as the user wrote it.
void runProgramOnStoredTexts (
    const juce::File& settingsFile, const StoredTexts& texts,
    const std::function<void (const std::string& display, const juce::String& window)>& checkScreen)
{
    auto values = defaultsInOrder;
    for (const auto& [key, text] : texts)
    {
        const auto existing =
            std::find_if (values.begin(), values.end(), [&key] (const auto& v) { return v.first == key; });
        if (existing != values.end())
            existing->second = text;
        else
            values.emplace_back (key, text);
    }
    writeSettingsFile (settingsFile, values);

    PrivateXServer xServer;
    ASSERT_TRUE (xServer.isRunning());
    const auto& display = xServer.display();
    const pid_t pid = startBuiltProgram (xServer.environment());
    ASSERT_GT (pid, 0);

    const auto window = findVisibleWindow (display, pid, 60000);
    const bool painted = window.isNotEmpty() && waitForPaintedWindow (display, window, pid) == panelColour;
    EXPECT_TRUE (painted) << "the window was not painted";
    if (painted)
        checkScreen (display, window);

    kill (pid, SIGINT);
    EXPECT_EQ (waitForExit (pid, 20000), 0);

    const auto after = readSettingsFile (settingsFile);
    for (const auto& [key, text] : texts)
    {
        const auto* kept = findValue (after, key);
        ASSERT_NE (kept, nullptr) << key;
        EXPECT_TRUE (*kept == text) << key << " holds " << kept->length() << " characters";
    }
}
} // namespace

// Ten megabytes of digits in each timing key: the real program starts, shows
// the fallback (no text) in the three timing combos, closes at once when asked
// and leaves the file holding what the user wrote.
TEST_F (ShellTest, TheProgramStartsAndClosesAtOnceWithTenMegabytesOfTimingText)
{
    ASSERT_TRUE (builtProgram().existsAsFile()) << builtProgram().getFullPathName();

    const auto huge = juce::String::repeatedString ("5", 10 << 20);
    const StoredTexts texts{{"gapDelay", huge}, {"sweepTime", huge}, {"initDelay", huge}};
    runProgramOnStoredTexts (
        settingsFile, texts,
        [] (const std::string& display, const juce::String& window)
        {
            // An area inside each combo's text, of a single colour when it shows no text.
            const std::pair<const char*, const char*> textAreas[] = {{"gapDelayCombo", "44x16+588+116"},
                                                                     {"sweepTimeCombo", "44x16+124+164"},
                                                                     {"initDelayCombo", "44x16+292+268"}};
            for (const auto& [combo, area] : textAreas)
                EXPECT_EQ (describeArea (display, window, area, "%k"), "1") << combo << " shows a text";
        });
}

// Two megabytes of text in "dir" and in "file", far beyond any path or file
// name: the real program starts, shows the fallbacks (an empty folder field,
// "impulse" in the file field), closes at once when asked and leaves the file
// holding what the user wrote.
TEST_F (ShellTest, TheProgramStartsAndClosesAtOnceWithMegabytesOfFolderAndFileText)
{
    ASSERT_TRUE (builtProgram().existsAsFile()) << builtProgram().getFullPathName();

    const StoredTexts texts{{"dir", "/" + juce::String::repeatedString ("d", 2 << 20)},
                            {"file", juce::String::repeatedString ("f", 2 << 20)}};
    runProgramOnStoredTexts (
        settingsFile, texts,
        [] (const std::string& display, const juce::String& window)
        {
            // Inside the fields, of a single colour where they show no text: the
            // folder field shows none, the file field a short word at its left
            // ("impulse" takes some 50 pixels) and nothing beyond it.
            EXPECT_EQ (describeArea (display, window, "360x16+108+308", "%k"), "1") << "dirText shows a text";
            EXPECT_NE (describeArea (display, window, "40x16+108+348", "%k"), "1") << "fileText shows no text";
            EXPECT_EQ (describeArea (display, window, "290x16+176+348", "%k"), "1") << "fileText shows a long text";
        });
}
