#include <gtest/gtest.h>

#include "log/QvLog.h"

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>

namespace
{
int clockReads = 0;
bool clockFixed = false;
time_t fixedNow = 0;
} // namespace

// Stands in for the C library's clock in this test program, so that a test can
// count the readings and set the time; it reads the real clock unless fixed.
extern "C" time_t time (time_t* out) noexcept
{
    ++clockReads;
    time_t now = fixedNow;
    if (!clockFixed)
    {
        timespec ts{};
        clock_gettime (CLOCK_REALTIME, &ts);
        now = ts.tv_sec;
    }
    if (out != nullptr)
        *out = now;
    return now;
}

namespace
{
struct Captured
{
    int calls = 0;
    void* arg = nullptr;
    int level = 0;
    std::string line;
};

void captureFn (void* arg, int level, const char* line)
{
    auto* c = static_cast<Captured*> (arg);
    ++c->calls;
    c->arg = arg;
    c->level = level;
    c->line = line;
}

std::string prefixOf (time_t t)
{
    const struct tm* local = localtime (&t);
    return std::string (QvAsciiDate (local)) + QvAsciiTime (local) + "MainComponent ";
}

class QvLogTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Half an hour off any whole-hour zone, so UTC or a wrong offset shows.
        setenv ("TZ", "TST-05:30", 1);
        tzset();
    }

    void SetUp() override
    {
        gQvLogFn = captureFn;
        gQvLogFnArg = &captured;
        clockReads = 0;
        clockFixed = false;
    }

    void TearDown() override
    {
        gQvLogFn = nullptr;
        gQvLogFnArg = nullptr;
        clockFixed = false;
    }

    void fixClock (time_t t)
    {
        clockFixed = true;
        fixedNow = t;
    }

    Captured captured;
};

TEST_F (QvLogTest, WithoutSinkNothingHappensAndTheClockIsNotRead)
{
    gQvLogFn = nullptr;
    QvLog2 (2, "done %d", 1);
    EXPECT_EQ (clockReads, 0);
    EXPECT_EQ (captured.calls, 0);
}

TEST_F (QvLogTest, LineCarriesLocalDateTimeTagAndMessage)
{
    const time_t before = time (nullptr);
    QvLog2 (7, "done");
    const time_t after = time (nullptr);

    ASSERT_EQ (captured.calls, 1);
    EXPECT_EQ (captured.arg, &captured);
    EXPECT_EQ (captured.level, 7);
    EXPECT_EQ (clockReads, 3) << "the call reads the clock once";
    const std::string line = captured.line;
    EXPECT_TRUE (line == prefixOf (before) + "done\n" || line == prefixOf (after) + "done\n") << line;
    EXPECT_EQ (line.size(), 38u + 5u);
}

TEST_F (QvLogTest, DateAndTimeFields)
{
    struct Case
    {
        time_t utc;
        const char* line;
    };
    const Case cases[] = {
        {1796805309, "09-12-2026 14:05:09.000 MainComponent done\n"}, // 08:35:09 UTC
        {1798741800, "01-01-2027 00:00:00.000 MainComponent done\n"}, // 18:30 UTC the day before
    };
    for (const auto& c : cases)
    {
        fixClock (c.utc);
        QvLog2 (2, "done");
        EXPECT_EQ (captured.line, c.line) << "at " << c.utc;
    }
}

TEST_F (QvLogTest, UnconvertibleClockStillLogsTheMessage)
{
    fixClock (std::numeric_limits<time_t>::max());
    QvLog2 (2, "done");
    EXPECT_EQ (captured.line, "00-01-1900 00:00:00.000 MainComponent done\n");
}

TEST_F (QvLogTest, NewlineRules)
{
    struct Case
    {
        const char* format;
        const char* value;
        const char* message;
    };
    const Case cases[] = {
        {"done", "", "done\n"}, {"done\n", "", "done\n"},
        {"", "", "\n"},         {"%s", "x\n", "x\n\n"}, // only the format is looked at
        {"a%s", "b", "ab\n"},
    };
    fixClock (1796805309);
    for (const auto& c : cases)
    {
        QvLog2 (2, c.format, c.value);
        EXPECT_EQ (captured.line, prefixOf (1796805309) + c.message) << "format \"" << c.format << "\"";
    }
}

TEST_F (QvLogTest, MessageIsCutAfter217CharactersAndTheLineStillEnds)
{
    struct Case
    {
        std::string message;
        const char* format;
        std::string kept; // what the line holds after the 38-character prefix
    };
    const std::string x217 (217, 'x');
    const Case cases[] = {
        {std::string (216, 'x'), "%s", std::string (216, 'x') + "\n"},
        {x217, "%s", x217 + "\n"},
        {x217 + "y", "%s", x217 + "\n"},
        {x217 + std::string (183, 'y'), "%s", x217 + "\n"},
        {std::string (216, 'x'), "%s\n", std::string (216, 'x') + "\n"},
        {x217, "%s\n", x217 + "\n"}, // the format's own newline is the one cut
        {std::string (216, 'x') + "\nyy", "%s", std::string (216, 'x') + "\n"}, // cut just after a newline
    };
    fixClock (1796805309);
    for (const auto& c : cases)
    {
        QvLog2 (2, c.format, c.message.c_str());
        EXPECT_EQ (captured.line, prefixOf (1796805309) + c.kept)
            << c.message.size() << " characters with \"" << c.format << "\"";
    }
}

class QvLogFileTest : public QvLogTest
{
protected:
    void SetUp() override
    {
        QvLogTest::SetUp();
        char name[] = "/tmp/qvlogXXXXXX";
        const int fd = mkstemp (name);
        ASSERT_GE (fd, 0);
        path = name;
        fp = fdopen (fd, "w");
        ASSERT_NE (fp, nullptr);
        gQvLogFp = fp;
        gQvLogFn = QvLogToFileFn;
        gQvLogFnArg = fp;
    }

    void TearDown() override
    {
        QvLogTest::TearDown();
        gQvLogFp = nullptr;
        if (fp != nullptr)
            fclose (fp);
        unlink (path.c_str());
    }

    // What another reader of the file sees now, while the stream is still open.
    std::string fileText() const
    {
        std::ifstream in (path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string path;
    FILE* fp = nullptr;
};

TEST_F (QvLogFileTest, EveryLineIsOnDiskAtOnce)
{
    fixClock (1796805309);
    QvLog2 (2, "first %d", 1);
    EXPECT_EQ (fileText(), "09-12-2026 14:05:09.000 MainComponent first 1\n");
    QvLog2 (2, "second");
    EXPECT_EQ (fileText(), "09-12-2026 14:05:09.000 MainComponent first 1\n"
                           "09-12-2026 14:05:09.000 MainComponent second\n");
}

TEST_F (QvLogFileTest, CutMessagesStayLinesOfTheirOwn)
{
    fixClock (1796805309);
    QvLog2 (2, "%s", std::string (300, 'a').c_str());
    QvLog2 (2, "%s", std::string (300, 'b').c_str());
    QvLog2 (2, "done");
    const std::string prefix = "09-12-2026 14:05:09.000 MainComponent ";
    EXPECT_EQ (fileText(),
               prefix + std::string (217, 'a') + "\n" + prefix + std::string (217, 'b') + "\n" + prefix + "done\n");
}

TEST_F (QvLogFileTest, PerCentSignsReachTheFileUnchanged)
{
    fixClock (1796805309);
    QvLog2 (2, "%s", "Normalized by 100% %d %s %n");
    QvLogToFileFn (fp, 2, "50% %s %n\n");
    EXPECT_EQ (fileText(), "09-12-2026 14:05:09.000 MainComponent Normalized by 100% %d %s %n\n"
                           "50% %s %n\n");
}

TEST_F (QvLogFileTest, SinkWithoutStreamWritesNothing)
{
    QvLogToFileFn (nullptr, 2, "lost\n");
    QvLogToFileFn (fp, 2, nullptr);
    EXPECT_EQ (fileText(), "");
}
} // namespace
