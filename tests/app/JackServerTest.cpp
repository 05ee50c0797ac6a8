#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "support/JackServer.h"

#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The server's destructor is where a test that left its device open would
// end through JACK's server-death path: it fails that test instead.
TEST (TestFixtures, JackServerFailsATestThatLeavesAClientOnIt)
{
    jack_client_t* client = nullptr;
    EXPECT_NONFATAL_FAILURE (
        {
            JackServer server;
            EXPECT_TRUE (server.isRunning()) << server.startError();
            const std::string name = "tolvane_left_" + std::to_string (getpid());
            client = jack_client_open (name.c_str(), JackNoStartServer, nullptr);
            if (client != nullptr)
                jack_port_register (client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        },
        "close the device before the server");
    ASSERT_NE (client, nullptr);
    jack_client_close (client);
}

namespace
{
// A lock file in a folder of its own that every user may enter.
struct LockFolder
{
    LockFolder()
    {
        char pattern[] = "/tmp/tolvane-lock-XXXXXX";
        folder = mkdtemp (pattern);
        chmod (folder.c_str(), 0755);
    }
    ~LockFolder() { std::filesystem::remove_all (folder); }
    std::string lock() const { return folder + "/test.lock"; }
    std::string folder;
};
} // namespace

// The lock file is made by whoever takes the lock first, under whatever umask;
// another user takes it all the same.
TEST (TestFixtures, JackServerTestLockIsTakenByAnyUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a second user";

    LockFolder folder;
    std::string error;
    const mode_t oldMask = umask (077);
    const int first = JackServer::takeTestLock (folder.lock(), 5, error);
    umask (oldMask);
    ASSERT_GE (first, 0) << error;
    close (first);

    const std::string lock = folder.lock(); // nothing allocated after the fork
    const pid_t child = fork();
    if (child == 0)
    {
        // nobody, and nothing but what async-signal-safe calls allow.
        if (setgid (65534) != 0 || setuid (65534) != 0)
            _exit (2);
        std::string childError;
        _exit (JackServer::takeTestLock (lock, 5, childError) >= 0 ? 0 : 1);
    }
    ASSERT_GT (child, 0);
    int status = 0;
    ASSERT_EQ (waitpid (child, &status, 0), child);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 0) << "a second user could not take the lock";
}

TEST (TestFixtures, JackServerTestLockWaitsBoundedAndNamesTheLock)
{
    LockFolder folder;
    std::string error;
    const int holder = JackServer::takeTestLock (folder.lock(), 5, error);
    ASSERT_GE (holder, 0) << error;

    const int second = JackServer::takeTestLock (folder.lock(), 1, error);
    EXPECT_EQ (second, -1);
    EXPECT_NE (error.find (folder.lock()), std::string::npos) << error;
    EXPECT_NE (error.find ("still held"), std::string::npos) << error;

    close (holder);
    error.clear();
    const int third = JackServer::takeTestLock (folder.lock(), 5, error);
    EXPECT_GE (third, 0) << error;
    close (third);
}
