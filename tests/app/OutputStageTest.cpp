#include "OutputFiles.h"

#include "log/QvLog.h"
#include "support/FileSizeLimit.h"
#include "support/ModalBoxRecorder.h"
#include "support/WavReadBack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::vector<std::string> gLogged;

void recordLine (void*, int, const char* line)
{
    gLogged.push_back (line);
}

// A temporary output folder, the log sink captured and every box recorded.
class OutputStage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.createDirectory();
        gLogged.clear();
        savedFn = gQvLogFn;
        savedLevel = gQvLogLevel;
        gQvLogFn = recordLine;
        gQvLogLevel = 2;
    }

    void TearDown() override
    {
        gQvLogFn = savedFn;
        gQvLogLevel = savedLevel;
        dir.deleteRecursively();
    }

    OutputStageRequest request (int organisation, int p, int r, int formatIndex = 1) const
    {
        OutputStageRequest q;
        q.dirText = dir.getFullPathName();
        q.baseName = "impulse";
        q.formatIndex = formatIndex;
        q.organisation = organisation;
        q.numPlayChan = p;
        q.numRecChan = r;
        q.sampleRate = 48000;
        return q;
    }

    // A malloc'd table of p * r malloc'd responses; response i holds i + 1 at index i.
    static float** makeResponses (int count, int len)
    {
        auto** table = static_cast<float**> (calloc ((size_t)count, sizeof (float*)));
        for (int i = 0; i < count; ++i)
        {
            table[i] = static_cast<float*> (calloc ((size_t)len, sizeof (float)));
            table[i][i % len] = 0.125f * (float)(i + 1);
        }
        return table;
    }

    bool run (const OutputStageRequest& q, int len, juce::String& status)
    {
        return runOutputStage (q, makeResponses (q.numPlayChan * q.numRecChan, len), len, status);
    }

    juce::StringArray filesInDir() const
    {
        juce::StringArray names;
        for (const auto& f : dir.findChildFiles (juce::File::findFilesAndDirectories, false))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }

    juce::File dir = juce::File::createTempFile ("");
    ModalBoxRecorder boxes;
    QvLogFn savedFn = nullptr;
    int savedLevel = 2;
};
} // namespace

TEST_F (OutputStage, StatusSentencesOfThreeRuns)
{
    const struct
    {
        int organisation, p, r;
        const char* before; // what the computation left in the status text
        const char* status;
    } cases[] = {
        {kOutputSingleFile, 1, 1, "", "Wrote a single 1-channel impulse response file: impulse.wav"},
        {kOutputPerOutput, 2, 1, "", "Wrote 2 1-channel impulse response files: impulse_L.wav, impulse_R.wav"},
        {kOutputPerResponse, 2, 2, "Applied 6.0 dB normalization gain. ",
         "Applied 6.0 dB normalization gain. Wrote 4 mono impulse response files: impulse_LL.wav, impulse_LR.wav, "
         "impulse_RL.wav, impulse_RR.wav"},
    };

    for (const auto& c : cases)
    {
        boxes.clear();
        gLogged.clear();
        juce::String status (c.before);
        EXPECT_TRUE (run (request (c.organisation, c.p, c.r), 8, status));
        EXPECT_EQ (status, c.status);

        ASSERT_EQ (boxes.boxes().size(), 1u) << c.status;
        EXPECT_EQ (boxes.boxes()[0].title, "Impulse response written");
        EXPECT_EQ (boxes.boxes()[0].message, c.status);
        EXPECT_EQ (boxes.boxes()[0].icon, juce::MessageBoxIconType::InfoIcon);
        EXPECT_EQ (boxes.boxes()[0].numButtons, 1);

        ASSERT_EQ (gLogged.size(), 1u);
        EXPECT_NE (gLogged[0].find (std::string ("MainComponent ") + c.status + "\n"), std::string::npos) << gLogged[0];
    }
}

TEST_F (OutputStage, LoggedAtLevelTwoOnlyAndUnchanged)
{
    gQvLogLevel = 1;
    juce::String status;
    EXPECT_TRUE (run (request (kOutputSingleFile, 1, 1), 4, status));
    EXPECT_TRUE (gLogged.empty());

    gQvLogLevel = 2;
    auto q = request (kOutputSingleFile, 1, 1);
    q.baseName = "100%d %s %n";
    status = {};
    EXPECT_TRUE (run (q, 4, status));
    ASSERT_EQ (gLogged.size(), 1u);
    EXPECT_NE (gLogged[0].find ("file: 100%d %s %n.wav\n"), std::string::npos) << gLogged[0];
    EXPECT_TRUE (dir.getChildFile ("100%d %s %n.wav").existsAsFile());
}

TEST_F (OutputStage, FilesMatchTheirResponsesAndTheTrueStereoOrder)
{
    auto q = request (kOutputSingleFile, 2, 2, 3);
    q.tsFmtIndex = 1; // "LL, RR, LR, RL"
    juce::String status;
    ASSERT_TRUE (run (q, 4, status));

    const auto w = readWavBack (dir.getChildFile ("impulse.wav"));
    ASSERT_TRUE (w.ok);
    ASSERT_EQ (w.info.channels, 4);
    ASSERT_EQ (w.info.frames, 4);

    // Response i holds 0.125 * (i + 1) at index i; file channel c takes response order[c].
    const int order[] = {0, 3, 1, 2};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ (w.at (order[c], c), 0.125f * (float)(order[c] + 1)) << "file channel " << c;
}

TEST_F (OutputStage, DirectoryFallbackWritesToTheWorkingDirectory)
{
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (dir.setAsCurrentWorkingDirectory());
    auto q = request (kOutputPerOutput, 2, 1, 0);
    q.dirText = dir.getChildFile ("missing").getFullPathName();
    juce::String status;
    EXPECT_TRUE (run (q, 3, status));
    cwd.setAsCurrentWorkingDirectory();
    EXPECT_EQ (filesInDir(), juce::StringArray ({"impulse_L.txt", "impulse_R.txt"}));
}

TEST_F (OutputStage, UnknownOrganisationWritesASingleFile)
{
    juce::String status;
    EXPECT_TRUE (run (request (5, 2, 1), 4, status));
    EXPECT_EQ (status, "Wrote a single 2-channel impulse response file: impulse.wav");
    EXPECT_EQ (filesInDir(), juce::StringArray ({"impulse.wav"}));
}

TEST_F (OutputStage, SecondOfFourFilesFailingStopsTheStage)
{
    // A folder in the way of the second file's name: its open fails.
    ASSERT_TRUE (dir.getChildFile ("impulse_LR.wav").createDirectory());
    juce::String status ("Applied 6.0 dB normalization gain. ");
    EXPECT_FALSE (run (request (kOutputPerResponse, 2, 2), 16, status));

    EXPECT_EQ (filesInDir(), juce::StringArray ({"impulse_LL.wav", "impulse_LR.wav"}));
    EXPECT_GT (dir.getChildFile ("impulse_LL.wav").getSize(), 44);
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Error");
    EXPECT_EQ (boxes.boxes()[0].icon, juce::MessageBoxIconType::WarningIcon);
    EXPECT_EQ (boxes.boxes()[0].numButtons, 2);
    EXPECT_EQ (boxes.boxes()[0].message,
               "Error creating file " + dir.getChildFile ("impulse_LR.wav").getFullPathName() + " : Can't open");
    EXPECT_TRUE (gLogged.empty());
    EXPECT_EQ (status, "Applied 6.0 dB normalization gain. ");
}

TEST_F (OutputStage, FullDiskShowsAnErrorAndNoResult)
{
    for (int formatIndex : {0, 1, 3})
    {
        boxes.clear();
        juce::String status;
        {
            const FileSizeLimit limit (4096);
            EXPECT_FALSE (run (request (kOutputSingleFile, 1, 2, formatIndex), 10000, status)) << formatIndex;
        }
        const auto name = juce::String ("impulse.") + (formatIndex == 0 ? "txt" : "wav");
        ASSERT_EQ (boxes.boxes().size(), 1u) << formatIndex;
        EXPECT_EQ (boxes.boxes()[0].title, "Error");
        EXPECT_EQ (boxes.boxes()[0].message, "Error writing file " + name);
        EXPECT_TRUE (status.isEmpty());
        EXPECT_TRUE (gLogged.empty());
    }
}

// Text files of silence are smaller than the others ("0" a line), so that a
// file-size limit cuts the second of three per-response files short: the
// first is complete, and the earlier files of the second and third names stay.
TEST_F (OutputStage, ShortWriteKeepsTheFilesBeforeItAndEveryEarlierFile)
{
    const char* names[] = {"impulse_L0.txt", "impulse_L1.txt", "impulse_L2.txt"};
    for (const char* name : names)
        ASSERT_TRUE (dir.getChildFile (name).replaceWithText (juce::String ("earlier ") + name));

    const int len = 1000;
    auto** table = makeResponses (3, len);
    for (int r = 1; r < 3; ++r)
        for (int i = 0; i < len; ++i)
            table[r][i] = 0.123456f;

    juce::String status ("Applied 6.0 dB normalization gain. ");
    {
        const FileSizeLimit limit (4096); // 2004 bytes of the first file, 9000 of the second
        EXPECT_FALSE (runOutputStage (request (kOutputPerResponse, 1, 3, 0), table, len, status));
    }

    juce::String silence ("0.125\n");
    for (int i = 1; i < len; ++i)
        silence += "0\n";
    EXPECT_EQ (dir.getChildFile (names[0]).loadFileAsString(), silence);
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ (dir.getChildFile (names[i]).loadFileAsString(), juce::String ("earlier ") + names[i]);
    EXPECT_EQ (filesInDir(), juce::StringArray (names, 3));

    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Error");
    EXPECT_EQ (boxes.boxes()[0].message, "Error writing file impulse_L1.txt");
    EXPECT_TRUE (gLogged.empty());
    EXPECT_EQ (status, "Applied 6.0 dB normalization gain. ");
}

TEST_F (OutputStage, FileTooLargeIsRefusedNamingFileAndLimit)
{
    // A 1 x 1 float file of 2^29 frames would be 2 GiB and 44 bytes. The
    // response is allocated but never touched, so it costs no real memory.
    juce::String first;
    ASSERT_TRUE (run (request (kOutputPerOutput, 1, 1, 1), 4, first));
    boxes.clear();
    gLogged.clear();
    const int len = 1 << 29;
    auto** table = static_cast<float**> (calloc (1, sizeof (float*)));
    table[0] = static_cast<float*> (malloc ((size_t)len * sizeof (float)));
    ASSERT_NE (table[0], nullptr);

    juce::String status;
    EXPECT_FALSE (runOutputStage (request (kOutputPerResponse, 1, 1, 3), table, len, status));
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Error");
    const auto file = dir.getChildFile ("impulse_LL.wav");
    EXPECT_TRUE (boxes.boxes()[0].message.startsWith ("Error creating file " + file.getFullPathName() + " : "))
        << boxes.boxes()[0].message;
    EXPECT_TRUE (boxes.boxes()[0].message.contains ("2 GiB")) << boxes.boxes()[0].message;
    EXPECT_FALSE (file.exists());
    EXPECT_TRUE (dir.getChildFile ("impulse_L.wav").existsAsFile()) << "files already written stay";
    EXPECT_TRUE (gLogged.empty());
}

TEST_F (OutputStage, MissingResponsesAreAnErrorNotACrash)
{
    // A computation that ran out of memory may hand over null entries or no table.
    auto** table = makeResponses (4, 8);
    free (table[2]);
    table[2] = nullptr;
    juce::String status;
    EXPECT_FALSE (runOutputStage (request (kOutputPerResponse, 2, 2), table, 8, status));
    EXPECT_EQ (filesInDir(), juce::StringArray ({"impulse_LL.wav", "impulse_LR.wav"}));
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].message, "Error writing file impulse_RL.wav : Out of memory");

    boxes.clear();
    EXPECT_FALSE (runOutputStage (request (kOutputSingleFile, 1, 1), nullptr, 8, status));
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].message, "Error writing file impulse.wav : Out of memory");
    EXPECT_TRUE (status.isEmpty());
    EXPECT_TRUE (gLogged.empty());
}

// The directory is decided once per run. When it disappears while the first
// file is being written, the next file fails: it is not sent to the working
// directory. The first file is a named pipe that this test reads, so the
// stage blocks in it until the directory is gone: larger than a pipe holds,
// the file cannot be finished before the test reads it.
TEST_F (OutputStage, DirectoryThatDisappearsMidRunFailsTheNextFile)
{
    const auto out = dir.getChildFile ("out");
    const auto workingDir = dir.getChildFile ("working");
    ASSERT_TRUE (out.createDirectory());
    ASSERT_TRUE (workingDir.createDirectory());
    const std::string pipePath = out.getChildFile ("impulse_L.txt").getFullPathName().toStdString();
    ASSERT_EQ (mkfifo (pipePath.c_str(), 0600), 0);

    bool directoryRemoved = false;
    int64_t bytesRead = 0;
    std::thread reader (
        [&]
        {
            const int fd = open (pipePath.c_str(), O_RDONLY); // returns once the stage opened the file
            if (fd < 0)
                return;
            directoryRemoved = unlink (pipePath.c_str()) == 0 && out.deleteFile();
            char buffer[4096];
            for (ssize_t n; (n = read (fd, buffer, sizeof buffer)) > 0;)
                bytesRead += n;
            close (fd);
        });

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    ASSERT_TRUE (workingDir.setAsCurrentWorkingDirectory());
    auto q = request (kOutputPerOutput, 2, 1, 0);
    q.dirText = out.getFullPathName();
    juce::String status;
    const int frames = 200000; // "0.125\n", then "0\n" for every other frame
    const bool ok = run (q, frames, status);
    cwd.setAsCurrentWorkingDirectory();

    // Should the stage never have opened the pipe, the reader still waits for a writer.
    const int fd = open (pipePath.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
        close (fd);
    reader.join();

    ASSERT_TRUE (directoryRemoved);
    EXPECT_EQ (bytesRead, 6 + 2 * (frames - 1)) << "the first file was written whole";
    EXPECT_FALSE (ok);
    ASSERT_EQ (boxes.boxes().size(), 1u);
    EXPECT_EQ (boxes.boxes()[0].title, "Error");
    EXPECT_EQ (boxes.boxes()[0].message, "Error creating file " + out.getChildFile ("impulse_R.txt").getFullPathName());
    EXPECT_TRUE (workingDir.findChildFiles (juce::File::findFilesAndDirectories, false).isEmpty());
    EXPECT_TRUE (status.isEmpty());
    EXPECT_TRUE (gLogged.empty());
}
