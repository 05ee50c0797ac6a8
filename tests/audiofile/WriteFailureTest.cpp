#include "WavTestSupport.h"

#include "support/FileSizeLimit.h"

#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <memory>

TEST (WriteFailure, FullDiskIsReportedByTheWriteOnEveryPath)
{
    // Streaming, so that Open never repositions and its header waits in the
    // stdio buffer: the first write must report that nothing reached the disk.
    struct FullCase
    {
        const char* name;
        int bits;
        int64_t frames;
        bool shortFrames;
    };
    const FullCase cases[] = {
        {"direct, buffered", 16, 3, true},
        {"direct, large", 16, 100000, true},
        {"converting, buffered", 16, 3, false},
        {"converting, large", 24, 100000, false},
    };
    for (const FullCase& c : cases)
    {
        std::vector<int16_t> shorts (size_t (c.frames), 1000);
        std::vector<float> floats (size_t (c.frames), 0.5f);
        WaveNativeFileOut w;
        w.SetIsStreaming (true);
        ASSERT_TRUE (w.Open ("/dev/full", 48000, c.bits, 1)) << c.name;
        const int64_t result =
            c.shortFrames ? w.WriteShortFrames (shorts.data(), c.frames) : w.WriteFloatFrames (floats.data(), c.frames);
        EXPECT_EQ (result, -1) << c.name;
        EXPECT_STREQ (w.GetErrorText(), "Error writing samples") << c.name;
    }
}

TEST (WriteFailure, FullDiskFailsOpenWhenTheHeaderCannotBeWritten)
{
    WaveNativeFileOut w;
    EXPECT_FALSE (w.Open ("/dev/full", 48000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "Can't seek");
    EXPECT_TRUE (w.IsFileOpen());
    EXPECT_FALSE (w.Close());
}

TEST (WriteFailure, NoScratchBufferRefusesOpenAndKeepsTheEarlierFile)
{
    TempDir dir;
    const std::string path = dir.file ("earlier.wav");
    std::ofstream (path) << "keep";
    ProbeWriter w;
    w.dropScratchBuffer();
    EXPECT_FALSE (w.Open (path.c_str(), 48000, 16, 1));
    EXPECT_STREQ (w.GetErrorText(), "Out of memory");
    EXPECT_FALSE (w.IsFileOpen());
    const Bytes file = readFile (path);
    EXPECT_EQ (std::string (file.begin(), file.end()), "keep");
}

TEST (WriteFailure, FullDiskAtThePadByteIsReportedAsAFailedWrite)
{
    // 5 frames of 24 bits: 15 data bytes, so the pad byte is the file's 60th.
    TempDir dir;
    const std::string path = dir.file ("odd.wav");
    const float frames[] = {0.5f, -0.5f, 0.25f, -0.25f, 0.125f};
    auto w = std::make_unique<WaveNativeFileOut>();
    ASSERT_TRUE (w->Open (path.c_str(), 48000, 24, 1));
    ASSERT_EQ (w->WriteFloatFrames (frames, 5), 5);
    bool closed = true;
    std::string error;
    {
        const FileSizeLimit limit (59);
        closed = w->Close();
        error = w->GetErrorText();
        w.reset(); // the destructor's second Close meets the same full disk
    }
    EXPECT_FALSE (closed);
    EXPECT_EQ (error, "Can't write");
    const Bytes file = readFile (path);
    ASSERT_EQ (file.size(), 59u);
    EXPECT_EQ (le32 (file, 40), 15u) << "the data size is patched before the pad byte";
}

TEST (WriteFailure, DiskFillingDuringTheSamplesFailsTheWrite)
{
    // A file size limit stands in for a disk that fills after the header.
    TempDir dir;
    for (bool converting : {false, true})
    {
        const std::string path = dir.file (converting ? "conv.wav" : "direct.wav");
        std::string report;
        runInChild (
            [&]
            {
                std::signal (SIGXFSZ, SIG_IGN);
                const rlimit limit = {1044, 1044};
                setrlimit (RLIMIT_FSIZE, &limit);
                const std::vector<int16_t> shorts (50000, 1000);
                const std::vector<int32_t> longs (50000, 1 << 20);
                WaveNativeFileOut w;
                if (!w.Open (path.c_str(), 48000, 16, 1))
                    return std::string ("open: ") + w.GetErrorText();
                const int64_t result =
                    converting ? w.WriteLongFrames (longs.data(), 50000) : w.WriteShortFrames (shorts.data(), 50000);
                return std::to_string (result) + " " + w.GetErrorText();
            },
            report);
        EXPECT_EQ (report, "-1 Error writing samples") << path;
        const Bytes file = readFile (path);
        ASSERT_GE (file.size(), 44u) << path;
        EXPECT_EQ (fourcc (file, 36), "data") << path;
    }
}

TEST (WriteFailure, OneWriteOfTwoGibibytesIsRefusedUnread)
{
    TempDir dir;
    const std::string path = dir.file ("big.wav");
    const int16_t frames[] = {1, 2};
    WaveNativeFileOut w;
    ASSERT_TRUE (w.Open (path.c_str(), 48000, 16, 1));
    EXPECT_EQ (w.Write (reinterpret_cast<const unsigned char*> (frames), int64_t (1) << 31), -1);
    EXPECT_STREQ (w.GetErrorText(), "Write of 2 GiB or more");
    w.SetErrorText ("");
    EXPECT_EQ (w.WriteShortFrames (frames, int64_t (1) << 30), -1);
    EXPECT_STREQ (w.GetErrorText(), "Write of 2 GiB or more");
    EXPECT_EQ (w.WriteShortFrames (frames, INT64_MAX), -1);
    EXPECT_EQ (w.WriteFloatFrames (reinterpret_cast<const float*> (frames), INT64_MAX), -1);
    EXPECT_STREQ (w.GetErrorText(), "File would reach 2 GiB");
    ASSERT_TRUE (w.Close());
    EXPECT_EQ (readFile (path).size(), 44u);
}

TEST (WriteFailure, FileStopsShortOfTwoGibibytes)
{
    // Real writes through the file layer into /dev/null, up to the writer's range.
    const int64_t piece = 16 << 20;
    std::vector<unsigned char> zeros (size_t (piece), 0);
    ProbeWriter w;
    ASSERT_TRUE (w.Open ("/dev/null", 48000, 16, 1));
    while (int64_t (w.byteCount()) + 2 * piece < INT32_MAX)
        ASSERT_EQ (w.Write (zeros.data(), piece), piece);

    // The file may grow to 2^31 - 1 bytes with the pad byte a data chunk may need.
    const int64_t room = int64_t (INT32_MAX) - 1 - w.byteCount();
    ASSERT_GT (room, piece);
    const int32_t before = w.byteCount();
    const std::vector<int16_t> shorts (size_t (room / 2 + 1), 0);
    const std::vector<float> floats (size_t (room / 2 + 1), 0.0f);
    EXPECT_EQ (w.WriteShortFrames (shorts.data(), room / 2 + 1), -1);
    EXPECT_STREQ (w.GetErrorText(), "File would reach 2 GiB");
    EXPECT_EQ (w.WriteFloatFrames (floats.data(), room / 2 + 1), -1);
    EXPECT_EQ (w.Write (zeros.data(), room + 1 - piece), room + 1 - piece);
    EXPECT_EQ (w.Write (zeros.data(), piece), -1);
    EXPECT_STREQ (w.GetErrorText(), "File would reach 2 GiB");
    EXPECT_EQ (w.byteCount(), before + room + 1 - piece);
    EXPECT_EQ (w.Write (zeros.data(), piece - 1), piece - 1);
    EXPECT_EQ (int64_t (w.byteCount()), int64_t (INT32_MAX) - 1);
    EXPECT_EQ (w.WriteShortFrames (shorts.data(), 1), -1);
}
