#include "OutputFiles.h"

#include "MeasureMemory.h"
#include "ReplacementFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "support/ChildProcess.h"
#include "support/FileSizeLimit.h"
#include "support/WavReadBack.h"

namespace
{
// A fresh temporary folder, removed with the object.
struct TempDir
{
    TempDir() { dir.createDirectory(); }
    ~TempDir() { dir.deleteRecursively(); }
    juce::File file (const char* name) const { return dir.getChildFile (name); }
    juce::File dir = juce::File::createTempFile ("");
};

// Responses as channel vectors, with the pointer table the writers take.
struct Channels
{
    explicit Channels (std::vector<std::vector<float>> values) : data (std::move (values))
    {
        for (auto& c : data)
            ptrs.push_back (c.data());
    }
    int frames() const { return (int)data[0].size(); }
    int count() const { return (int)data.size(); }
    std::vector<std::vector<float>> data;
    std::vector<const float*> ptrs;
};

// One response file: text for bits 0, else WAV of those bits at 48000 Hz.
juce::String writeResponse (int bits, const juce::File& file, const Channels& channels)
{
    if (bits == 0)
        return writeResponseTxt (file, channels.ptrs.data(), channels.frames(), channels.count());
    return writeResponseWav (file, channels.ptrs.data(), channels.frames(), channels.count(), 48000, bits);
}

// Every name in a folder, hidden ones too, sorted.
juce::StringArray namesIn (const juce::File& dir)
{
    juce::StringArray names;
    for (const auto& f : dir.findChildFiles (juce::File::findFilesAndDirectories, false))
        names.add (f.getFileName());
    names.sort (false);
    return names;
}
} // namespace

TEST (OutputText, TabsBetweenChannelsAndOneLinePerFrame)
{
    TempDir tmp;
    const Channels two ({{0.5f, -1.0f, 1e-5f}, {0.123456789f, 100000.0f, 1e6f}});
    const auto file = tmp.file ("ir.txt");

    ASSERT_EQ (writeResponseTxt (file, two.ptrs.data(), two.frames(), two.count()), "");
    EXPECT_EQ (file.loadFileAsString(), "0.5\t0.123457\n-1\t100000\n1e-05\t1e+06\n");

    ASSERT_TRUE (file.replaceWithText ("old contents"));
    ASSERT_EQ (writeResponseTxt (file, two.ptrs.data(), 0, two.count()), "");
    EXPECT_EQ (file.getSize(), 0) << "no frames: the file is replaced by an empty one";
}

TEST (OutputWav, ChannelsAndSampleFormatsReadBack)
{
    TempDir tmp;
    const Channels three ({{0.5f, -0.25f, 0.0f, 1.0f}, {-0.5f, 0.75f, 0.125f, -1.0f}, {0.1f, 0.2f, 0.3f, 0.4f}});

    const struct
    {
        int bits;
        int subtype;
        float tolerance;
    } cases[] = {
        {16, SF_FORMAT_PCM_16, 1.0f / 32767},
        {24, SF_FORMAT_PCM_24, 1.0f / 8388607},
        {32, SF_FORMAT_FLOAT, 0.0f},
    };
    for (const auto& c : cases)
    {
        const auto file = tmp.file (("ir" + std::to_string (c.bits) + ".wav").c_str());
        ASSERT_EQ (writeResponseWav (file, three.ptrs.data(), three.frames(), three.count(), 44100, c.bits), "");

        const auto back = readWavBack (file);
        ASSERT_TRUE (back.ok) << c.bits;
        EXPECT_EQ (back.info.channels, 3);
        EXPECT_EQ (back.info.samplerate, 44100);
        EXPECT_EQ (back.info.frames, 4);
        EXPECT_EQ (back.info.format, SF_FORMAT_WAV | c.subtype) << c.bits;
        for (int j = 0; j < 4; ++j)
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_NEAR (back.samples[(size_t)(j * 3 + ch)], three.data[(size_t)ch][(size_t)j], c.tolerance * 1.01f)
                    << c.bits << " bits, frame " << j << " channel " << ch;
    }
}

// A complete file takes the earlier one's place and is all that is left: with
// the mode of any new file, and also for a name so long that a temporary
// spelling it out in full would pass the file system's 255 bytes.
TEST (OutputFiles, CompleteWriteReplacesTheEarlierFileAndLeavesOnlyIt)
{
    TempDir tmp;
    const Channels two ({{0.5f, -0.25f, 0.125f}, {0.0f, 1.0f, -1.0f}});
    const mode_t mask = umask (022);
    umask (mask);

    for (const auto& base : {std::string ("ir"), std::string (240, 'n')})
        for (int bits : {0, 16, 24, 32})
        {
            const auto file = tmp.dir.getChildFile (juce::String (base) + (bits == 0 ? ".txt" : ".wav"));
            const auto what = std::to_string (bits) + " bits, name of " + std::to_string (base.size());
            // Not replaceWithText: its own temporary name would be too long.
            FILE* earlier = fopen (file.getFullPathName().toRawUTF8(), "w");
            ASSERT_NE (earlier, nullptr) << what;
            fputs ("earlier", earlier);
            fclose (earlier);

            ASSERT_EQ (writeResponse (bits, file, two), "") << what;
            if (bits == 0)
                EXPECT_EQ (file.loadFileAsString(), "0.5\t0\n-0.25\t1\n0.125\t-1\n") << what;
            else
                EXPECT_EQ (readWavBack (file).info.frames, 3) << what;

            struct stat info;
            ASSERT_EQ (stat (file.getFullPathName().toRawUTF8(), &info), 0);
            EXPECT_EQ (info.st_mode & 0777, 0666 & ~mask) << what;
            EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (file.getFileName())) << what;
            file.deleteFile();
        }
}

// A link at the name stays a link: the file it points to is the one replaced,
// in its own folder.
TEST (OutputFiles, LinkedFileIsReplacedAndTheLinkStays)
{
    TempDir tmp;
    const auto elsewhere = tmp.file ("elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());
    const auto real = elsewhere.getChildFile ("real.txt");
    ASSERT_TRUE (real.replaceWithText ("earlier"));
    const auto link = tmp.file ("ir.txt");
    ASSERT_EQ (symlink (real.getFullPathName().toRawUTF8(), link.getFullPathName().toRawUTF8()), 0);

    const Channels one ({std::vector<float>{0.5f}});
    ASSERT_EQ (writeResponse (0, link, one), "");
    EXPECT_TRUE (link.isSymbolicLink());
    EXPECT_EQ (real.loadFileAsString(), "0.5\n");
    EXPECT_EQ (namesIn (tmp.dir), juce::StringArray ({"elsewhere", "ir.txt"}));
    EXPECT_EQ (namesIn (elsewhere), juce::StringArray ({"real.txt"}));
}

// The temporary is created exclusively: a user's file that has its name is
// passed over, and when every name is taken nothing is written at all.
TEST (OutputFiles, FileWithTheTemporaryNameIsNeverClobbered)
{
    const Channels one ({std::vector<float>{0.5f}});
    for (int bits : {0, 16})
    {
        TempDir tmp;
        const auto file = tmp.file (bits == 0 ? "ir.txt" : "ir.wav");
        ASSERT_TRUE (file.replaceWithText ("earlier"));
        auto occupy = [&] (int attempts)
        {
            for (int a = 0; a < attempts; ++a)
                ASSERT_TRUE (ReplacementFile::temporaryFor (file, a).replaceWithText ("user's " + juce::String (a)));
        };
        auto usersFilesStay = [&] (int attempts)
        {
            for (int a = 0; a < attempts; ++a)
                EXPECT_EQ (ReplacementFile::temporaryFor (file, a).loadFileAsString(), "user's " + juce::String (a))
                    << bits << " bits, name " << a;
            EXPECT_EQ (namesIn (tmp.dir).size(), attempts + 1) << bits;
        };

        occupy (2);
        ASSERT_EQ (writeResponse (bits, file, one), "") << bits;
        EXPECT_NE (file.loadFileAsString(), "earlier") << bits;
        usersFilesStay (2);

        ASSERT_TRUE (file.replaceWithText ("earlier"));
        occupy (ReplacementFile::maxAttempts);
        EXPECT_EQ (writeResponse (bits, file, one),
                   "Error creating file " + file.getFullPathName() + (bits == 0 ? "" : " : Can't open"));
        EXPECT_EQ (file.loadFileAsString(), "earlier") << bits;
        usersFilesStay (ReplacementFile::maxAttempts);
    }
}

TEST (OutputFailures, FullDeviceIsWrittenInPlaceAndNeverReportedAsWritten)
{
    const Channels small ({{0.5f, 0.25f, 0.125f}});
    const Channels large ({std::vector<float> (200000, 0.5f)});

    // A device holds no earlier result: it is opened as it is. /dev/full
    // takes the open and fails every write that reaches it.
    const juce::File full ("/dev/full");
    ASSERT_TRUE (full.exists());
    EXPECT_EQ (writeResponseTxt (full, small.ptrs.data(), small.frames(), 1), "Error writing file full");
    EXPECT_EQ (writeResponseTxt (full, large.ptrs.data(), large.frames(), 1), "Error writing file full");
    for (int bits : {16, 24, 32})
        EXPECT_TRUE (writeResponseWav (full, small.ptrs.data(), small.frames(), 1, 48000, bits).startsWith ("Error "))
            << bits;
}

// A disk that fills up, by a file-size limit in a child process: a small
// file fails only when it is flushed (for WAV: its sizes patched) at close, a
// large one while its samples go out. Either way the earlier result of that
// name stays byte for byte and no temporary is left.
TEST (OutputFailures, ShortWriteKeepsTheEarlierFileAndLeavesNothingElse)
{
    const Channels earlierResponse ({std::vector<float> (3000, -0.25f)});
    const Channels small ({{0.5f, 0.25f, 0.125f}});
    const Channels large ({std::vector<float> (200000, 0.5f)});

    const struct
    {
        int bits; // 0 for text
        rlim_t closeLimit;
    } formats[] = {{0, 8}, {16, 44 + 4}, {24, 44 + 4}, {32, 44 + 4}};

    for (const auto& f : formats)
    {
        TempDir tmp;
        const auto name = juce::String ("ir.") + (f.bits == 0 ? "txt" : "wav");
        const auto file = tmp.dir.getChildFile (name);
        ASSERT_EQ (writeResponse (f.bits, file, earlierResponse), "");
        juce::MemoryBlock earlier;
        ASSERT_TRUE (file.loadFileAsData (earlier));

        const struct
        {
            const char* where;
            const Channels& response;
            rlim_t limit;
        } failures[] = {{"at close", small, f.closeLimit}, {"in the samples", large, 4096}};
        for (const auto& c : failures)
        {
            const auto error = runInChildProcess (
                [&]
                {
                    const FileSizeLimit limit (c.limit);
                    return writeResponse (f.bits, file, c.response).toStdString();
                });
            EXPECT_EQ (error, ("Error writing file " + name).toStdString()) << f.bits << " bits, " << c.where;

            juce::MemoryBlock after;
            EXPECT_TRUE (file.loadFileAsData (after) && after == earlier) << f.bits << " bits, " << c.where;
            EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (name)) << f.bits << " bits, " << c.where;
        }
    }
}

// Without write permission an earlier file could still be renamed over, but
// the user has protected it: it is refused as opening it would be.
TEST (OutputFailures, AnEarlierFileThatMayNotBeWrittenIsRefused)
{
    TempDir tmp;
    ASSERT_EQ (chmod (tmp.dir.getFullPathName().toRawUTF8(), 0777), 0);
    const Channels one ({std::vector<float>{0.5f}});

    for (int bits : {0, 16})
    {
        const auto file = tmp.file (bits == 0 ? "ir.txt" : "ir.wav");
        ASSERT_TRUE (file.replaceWithText ("protected"));
        ASSERT_EQ (chmod (file.getFullPathName().toRawUTF8(), 0444), 0);

        // Root may write any file; the write runs as an ordinary user.
        const auto error = runInChildProcess (
            [&]
            {
                if (geteuid() == 0 && (setgid (65534) != 0 || setuid (65534) != 0))
                    return std::string ("cannot leave root");
                return writeResponse (bits, file, one).toStdString();
            });
        EXPECT_EQ (
            error,
            ("Error creating file " + file.getFullPathName() + (bits == 0 ? "" : " : Can't open")).toStdString());
        EXPECT_EQ (file.loadFileAsString(), "protected") << bits;
        EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (file.getFileName())) << bits;
        file.deleteFile();
    }
}

TEST (OutputFailures, FilesThatCannotBeCreated)
{
    TempDir tmp;
    const Channels one ({std::vector<float>{0.5f}});
    const auto missing = tmp.file ("no/such/dir/ir.wav");

    EXPECT_EQ (writeResponseTxt (missing, one.ptrs.data(), 1, 1), "Error creating file " + missing.getFullPathName());
    EXPECT_EQ (writeResponseWav (missing, one.ptrs.data(), 1, 1, 48000, 16),
               "Error creating file " + missing.getFullPathName() + " : Can't open");

    // Refused before the file is touched: an earlier file of that name stays.
    const auto existing = tmp.file ("ir.wav");
    ASSERT_TRUE (existing.replaceWithText ("keep"));
    const struct
    {
        const char* refusal;
        int frames;
        bool outOfMemory;
        juce::String error;
    } refusals[] = {
        {"2 GiB", 1 << 29, false, "Error creating file " + existing.getFullPathName() + " : file too large"},
        {"interleave buffer", 1, true, "Error writing file ir.wav : Out of memory"},
    };
    for (const auto& c : refusals)
    {
        measureFailRequest (c.outOfMemory ? 0 : -1);
        const auto error = writeResponseWav (existing, one.ptrs.data(), c.frames, 1, 48000, 32);
        EXPECT_FALSE (measureFailPending()) << c.refusal;
        measureFailRequest (-1);
        EXPECT_TRUE (error.startsWith (c.error)) << c.refusal << ": " << error;
        EXPECT_EQ (existing.loadFileAsString(), "keep") << c.refusal;
        EXPECT_EQ (namesIn (tmp.dir), juce::StringArray ("ir.wav")) << c.refusal;
    }
}
