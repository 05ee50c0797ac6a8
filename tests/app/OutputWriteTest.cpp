#include "OutputFiles.h"

#include "MeasureMemory.h"
#include "ReplacementFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <climits>
#include <cstring>

#include <dirent.h>
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

// The names of the hidden files in a folder, as the file system holds them.
std::vector<std::string> hiddenNamesIn (const juce::File& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir (dir.getFullPathName().toRawUTF8()))
    {
        while (const dirent* entry = readdir (d))
            if (entry->d_name[0] == '.' && strcmp (entry->d_name, ".") != 0 && strcmp (entry->d_name, "..") != 0)
                names.emplace_back (entry->d_name);
        closedir (d);
    }
    return names;
}
// Runs hook on each temporary right after its creation, while it lives.
struct OnTemporaryCreated
{
    explicit OnTemporaryCreated (std::function<void (const juce::File&)> hook)
    {
        replacementFileOnCreated (std::move (hook));
    }
    ~OnTemporaryCreated() { replacementFileOnCreated ({}); }
    OnTemporaryCreated (const OnTemporaryCreated&) = delete;
    OnTemporaryCreated& operator= (const OnTemporaryCreated&) = delete;
};
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
// the mode of any new file, and also for names up to the file system's 255
// bytes, of one-byte and of multi-byte letters, whose temporary cannot spell
// them out in full: its name is cut in whole letters and stays within 255
// bytes.
TEST (OutputFiles, CompleteWriteReplacesTheEarlierFileAndLeavesOnlyIt)
{
    TempDir tmp;
    const Channels two ({{0.5f, -0.25f, 0.125f}, {0.0f, 1.0f, -1.0f}});
    const mode_t mask = umask (022);
    umask (mask);

    auto repeated = [] (const char* letter, int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += letter;
        return text;
    };
    // With the four bytes of the extension: 6, 244, 254, 253 and 252 bytes.
    const std::string bases[] = {"ir", std::string (240, 'n'), repeated (u8"\u00fc", 125), repeated (u8"\u97f3", 83),
                                 repeated (u8"\U0001F3B5", 62)};

    std::vector<std::string> temporaries;
    const OnTemporaryCreated listHiddenNames ([&] (const juce::File& temporary)
                                              { temporaries = hiddenNamesIn (temporary.getParentDirectory()); });

    for (const auto& base : bases)
        for (int bits : {0, 16, 24, 32})
        {
            const auto file =
                tmp.dir.getChildFile (juce::String::fromUTF8 (base.c_str()) + (bits == 0 ? ".txt" : ".wav"));
            const auto what = std::to_string (bits) + " bits, name of " + std::to_string (base.size()) + " bytes";
            // Not replaceWithText: its own temporary name would be too long.
            FILE* earlier = fopen (file.getFullPathName().toRawUTF8(), "w");
            ASSERT_NE (earlier, nullptr) << what;
            fputs ("earlier", earlier);
            fclose (earlier);

            temporaries.clear();
            ASSERT_EQ (writeResponse (bits, file, two), "") << what;
            if (bits == 0)
                EXPECT_EQ (file.loadFileAsString(), "0.5\t0\n-0.25\t1\n0.125\t-1\n") << what;
            else
                EXPECT_EQ (readWavBack (file).info.frames, 3) << what;

            struct stat info;
            ASSERT_EQ (stat (file.getFullPathName().toRawUTF8(), &info), 0);
            EXPECT_EQ (info.st_mode & 0777, 0666 & ~mask) << what;
            EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (file.getFileName())) << what;

            ASSERT_EQ (temporaries.size(), 1u) << what;
            const auto& temporary = temporaries[0];
            EXPECT_LE (temporary.size(), (size_t)NAME_MAX) << what;
            ASSERT_TRUE (juce::CharPointer_UTF8::isValidString (temporary.c_str(), (int)temporary.size())) << what;
            const auto kept = juce::String::fromUTF8 (temporary.c_str()).fromFirstOccurrenceOf (".", false, false);
            const auto keptName =
                kept.upToLastOccurrenceOf (".", false, false).upToLastOccurrenceOf (".", false, false);
            EXPECT_TRUE (keptName.isNotEmpty() && file.getFileName().startsWith (keptName))
                << what << ": " << temporary;
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

// In a folder that others may write, the temporary's name can be taken over
// between its creation and the write: a link to another file put in its
// place is neither written through nor renamed over the target. The write
// fails, the earlier file stays, and the other file is untouched.
TEST (OutputFiles, ATemporaryNameTakenOverIsNeitherWrittenNorRenamed)
{
    const Channels one ({std::vector<float> (1000, 0.5f)});
    const char* const plants[] = {"symbolic link", "hard link"};
    for (int bits : {0, 16, 24, 32})
        for (const char* plant : plants)
        {
            TempDir tmp;
            const auto what = std::to_string (bits) + " bits, " + plant;
            const auto file = tmp.file (bits == 0 ? "ir.txt" : "ir.wav");
            ASSERT_TRUE (file.replaceWithText ("earlier"));
            const auto other = tmp.file ("other");
            ASSERT_TRUE (other.replaceWithText ("another user's file"));

            const OnTemporaryCreated takeOver (
                [&] (const juce::File& temporary)
                {
                    const auto path = temporary.getFullPathName();
                    EXPECT_EQ (rename (path.toRawUTF8(), tmp.file ("moved").getFullPathName().toRawUTF8()), 0);
                    const auto target = other.getFullPathName().toRawUTF8();
                    const int planted =
                        plant == plants[0] ? symlink (target, path.toRawUTF8()) : link (target, path.toRawUTF8());
                    EXPECT_EQ (planted, 0) << what;
                });
            const auto error = writeResponse (bits, file, one);

            EXPECT_EQ (error, "Error writing file " + file.getFileName()) << what;
            EXPECT_EQ (other.loadFileAsString(), "another user's file") << what;
            EXPECT_EQ (file.loadFileAsString(), "earlier") << what;
            EXPECT_GT (tmp.file ("moved").getSize(), 1000) << what << ": the bytes went to the created file";
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

// A disk that fills up, by a file-size limit in a child process. A large
// file fails while its samples go out; a small text file only when it is
// flushed at close; a WAV file whose samples all fit fails at close on its
// pad byte (24-bit mono, three frames: 9 bytes of samples, so 53 bytes hold
// the header and the samples but not the pad). Either way the earlier result
// of that name stays byte for byte and no temporary is left.
TEST (OutputFailures, ShortWriteKeepsTheEarlierFileAndLeavesNothingElse)
{
    const Channels earlierResponse ({std::vector<float> (3000, -0.25f)});
    const Channels small ({{0.5f, 0.25f, 0.125f}});
    const Channels large ({std::vector<float> (200000, 0.5f)});

    const struct
    {
        int bits; // 0 for text
        const char* where;
        const Channels& response;
        rlim_t limit;
    } failures[] = {
        {0, "at close", small, 8},           {0, "in the samples", large, 4096},
        {16, "in the samples", large, 4096}, {24, "in the samples", large, 4096},
        {32, "in the samples", large, 4096}, {24, "at close, the pad byte", small, 53},
    };

    for (const auto& c : failures)
    {
        TempDir tmp;
        const auto what = std::to_string (c.bits) + " bits, " + c.where;
        const auto name = juce::String ("ir.") + (c.bits == 0 ? "txt" : "wav");
        const auto file = tmp.dir.getChildFile (name);
        ASSERT_EQ (writeResponse (c.bits, file, earlierResponse), "");
        juce::MemoryBlock earlier;
        ASSERT_TRUE (file.loadFileAsData (earlier));

        const auto error = runInChildProcess (
            [&]
            {
                const FileSizeLimit limit (c.limit);
                return writeResponse (c.bits, file, c.response).toStdString();
            });
        EXPECT_EQ (error, ("Error writing file " + name).toStdString()) << what;

        juce::MemoryBlock after;
        EXPECT_TRUE (file.loadFileAsData (after) && after == earlier) << what;
        EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (name)) << what;
    }

    // Without the limit that small WAV file is its header, 9 bytes and the pad.
    TempDir tmp;
    ASSERT_EQ (writeResponse (24, tmp.file ("ir.wav"), small), "");
    EXPECT_EQ (tmp.file ("ir.wav").getSize(), 44 + 9 + 1);
}

// A temporary whose data cannot be brought to the disk, or that cannot be
// closed (an I/O error, EIO, which is also how a failed write of a WAV
// header's sizes shows up), is a failed write: the earlier file stays byte
// for byte and nothing is left beside it.
TEST (OutputFailures, ATemporaryThatCannotReachTheDiskIsAFailedWrite)
{
    const Channels earlierResponse ({std::vector<float> (3000, -0.25f)});
    const Channels one ({{0.5f, 0.25f, 0.125f}});
    const struct
    {
        const char* what;
        void (*arm) (int);
    } failures[] = {{"sync", replacementFileFailSync}, {"close", replacementFileFailClose}};

    for (const auto& f : failures)
        for (int bits : {0, 16, 24, 32})
        {
            TempDir tmp;
            const auto what = std::string (f.what) + " fails, " + std::to_string (bits) + " bits";
            const auto name = juce::String ("ir.") + (bits == 0 ? "txt" : "wav");
            const auto file = tmp.file (name.toRawUTF8());
            ASSERT_EQ (writeResponse (bits, file, earlierResponse), "");
            juce::MemoryBlock earlier;
            ASSERT_TRUE (file.loadFileAsData (earlier));

            f.arm (0);
            const auto error = writeResponse (bits, file, one);
            f.arm (-1);

            EXPECT_EQ (error, "Error writing file " + name) << what;
            juce::MemoryBlock after;
            EXPECT_TRUE (file.loadFileAsData (after) && after == earlier) << what;
            EXPECT_EQ (namesIn (tmp.dir), juce::StringArray (name)) << what;
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
