#include "TolvaneApplication.h"
#include "support/ProgramUnderTest.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace
{
struct ProgramRun
{
    int status = -1; // exit status, 128 + signal, or -1 when it had to be killed
    juce::String out, err;
};

// Runs the real program with this process's environment, DISPLAY set to
// display (or removed when display is null), for at most 20 s, and keeps
// what it wrote to standard output and standard error.
ProgramRun runProgram (const char* display, const juce::File& outputFolder)
{
    auto variables = environmentWithDisplay (display);

    std::vector<char*> envp;
    for (auto& v : variables)
        envp.push_back (v.data());
    envp.push_back (nullptr);

    const auto outFile = outputFolder.getChildFile ("stdout.txt");
    const auto errFile = outputFolder.getChildFile ("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, outFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC,
                                      0600);
    posix_spawn_file_actions_addopen (&actions, 2, errFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC,
                                      0600);

    const std::string path = builtProgram().getFullPathName().toStdString();
    char* argv[] = {const_cast<char*> (path.c_str()), nullptr};
    pid_t pid = -1;
    ProgramRun run;
    const int spawned = posix_spawn (&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy (&actions);
    if (spawned != 0)
        return run;

    const auto deadline = juce::Time::getMillisecondCounter() + 20000;
    int status = 0;
    bool ended = false;
    while (!ended && juce::Time::getMillisecondCounter() < deadline)
    {
        ended = waitpid (pid, &status, WNOHANG) == pid;
        if (!ended)
            juce::Thread::sleep (20);
    }
    if (ended)
        run.status = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
    else
    {
        kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }

    run.out = outFile.loadFileAsString();
    run.err = errFile.loadFileAsString();
    return run;
}

// The display number of an X server that does not run here.
juce::String absentDisplay()
{
    for (int n = 4711;; ++n)
        if (!juce::File ("/tmp/.X11-unix/X" + juce::String (n)).exists())
            return ":" + juce::String (n);
}
} // namespace

// Started where no display can be opened (over SSH without X forwarding, in a
// container), the real program says why on one line and exits with status 1,
// leaving the settings file as it was.
TEST (HeadlessStart, WithoutADisplayTheProgramSaysWhyAndExitsWithStatusOne)
{
    ASSERT_TRUE (builtProgram().existsAsFile()) << builtProgram().getFullPathName();

    struct Case
    {
        const char* name;
        bool displaySet;
        bool settingsFileBefore;
    };
    const Case cases[] = {
        {"DISPLAY naming no server, settings file present", true, true},
        {"DISPLAY unset, first start", false, false},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);

        // Unset, the framework tries display :0: where a server runs there, a
        // display does open, so this case cannot be tried here.
        if (!c.displaySet && juce::File ("/tmp/.X11-unix/X0").exists())
            GTEST_SKIP() << "an X server runs on :0, which an unset DISPLAY opens";

        TempHome home;
        const juce::File settingsFile (home.settingsFile());
        const juce::String damaged = "<PROPERTIES><VALUE name=\"numRecChan\" val=\"4\"/><VAL";
        if (c.settingsFileBefore)
        {
            settingsFile.getParentDirectory().createDirectory();
            ASSERT_TRUE (settingsFile.replaceWithText (damaged));
        }

        const auto display = absentDisplay();
        const auto run = runProgram (c.displaySet ? display.toRawUTF8() : nullptr, juce::File (home.path()));

        EXPECT_EQ (run.status, 1);
        EXPECT_EQ (run.err, juce::String (TolvaneApplication::kNoDisplayMessage));
        EXPECT_TRUE (run.err.contains ("DISPLAY"));
        EXPECT_EQ (run.out, "");

        if (c.settingsFileBefore)
        {
            EXPECT_EQ (settingsFile.loadFileAsString(), damaged);
            EXPECT_FALSE (juce::File (home.logFile()).exists());
        }
        else
        {
            EXPECT_FALSE (settingsFile.getParentDirectory().getParentDirectory().exists()); // no "Quorvel" folder
        }
    }
}
