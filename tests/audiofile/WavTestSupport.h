#pragma once

#include "audiofile/AFileIO.h"
#include "audiofile/ByteOrder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A private temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir()
    {
        char pattern[] = "/tmp/audiofile_test_XXXXXX";
        const char* made = mkdtemp (pattern);
        EXPECT_NE (made, nullptr);
        path = made != nullptr ? made : "/tmp";
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all (path, ignored);
    }
    std::string file (const std::string& name) const { return path + "/" + name; }

    std::string path;
};

inline Bytes readFile (const std::string& path)
{
    std::ifstream in (path, std::ios::binary);
    return Bytes (std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>());
}

inline uint32_t le32 (const Bytes& b, size_t at)
{
    return uint32_t (b.at (at)) | uint32_t (b.at (at + 1)) << 8 | uint32_t (b.at (at + 2)) << 16 |
           uint32_t (b.at (at + 3)) << 24;
}

inline uint16_t le16 (const Bytes& b, size_t at)
{
    return uint16_t (b.at (at) | b.at (at + 1) << 8);
}

inline std::string fourcc (const Bytes& b, size_t at)
{
    return std::string (reinterpret_cast<const char*> (b.data()) + at, 4);
}

// Appends v as n little-endian bytes.
inline void putLE (Bytes& b, uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back (uint8_t (v >> (8 * i)));
}

// Byte by byte: GCC 12 at -O3 warns of an overflow it imagines in a range
// insert here.
inline void putText (Bytes& b, const char* text)
{
    for (const char* c = text; *c != '\0'; ++c)
        b.push_back (uint8_t (*c));
}

// The 44-byte header of a plain file as the writer lays it out.
inline Bytes wavHeader (uint32_t dataSize, int formatTag, int channels, uint32_t rate, int sampSize, int bits)
{
    Bytes b;
    putText (b, "RIFF");
    putLE (b, 36 + dataSize + (dataSize & 1), 4);
    putText (b, "WAVE");
    putText (b, "fmt ");
    putLE (b, 16, 4);
    putLE (b, formatTag, 2);
    putLE (b, channels, 2);
    putLE (b, rate, 4);
    putLE (b, rate * channels * sampSize, 4);
    putLE (b, channels * sampSize, 2);
    putLE (b, bits, 2);
    putText (b, "data");
    putLE (b, dataSize, 4);
    return b;
}

// A writer whose file state tests can see: the bytes written so far, the
// converter table, a missing scratch buffer, and the byte count at each piece
// of a converting write (each piece asks the sample size once).
class ProbeWriter : public WaveNativeFileOut
{
public:
    int GetSampSize() override
    {
        pieceStarts.push_back (handle != nullptr ? handle->byteCount : -1);
        return WaveNativeFileOut::GetSampSize();
    }
    int32_t byteCount() const { return handle->byteCount; }
    void setDirectCode (int code) { handle->byteOrder->directCode = code; }
    // As if the scratch buffer could not be allocated at construction.
    void dropScratchBuffer()
    {
        delete[] buffer;
        buffer = nullptr;
    }

    // Piece sizes in bytes of the last converting write.
    std::vector<int64_t> pieceBytes() const
    {
        std::vector<int64_t> sizes;
        for (size_t i = 0; i < pieceStarts.size(); ++i)
            sizes.push_back ((i + 1 < pieceStarts.size() ? pieceStarts[i + 1] : byteCount()) - pieceStarts[i]);
        return sizes;
    }

    std::vector<int32_t> pieceStarts;
};

// Runs body in a child process whose standard output is a pipe; returns what
// the child wrote there and, in report, what body returned.
inline Bytes runInChild (const std::function<std::string()>& body, std::string& report)
{
    int out[2];
    int rep[2];
    if (pipe (out) != 0 || pipe (rep) != 0)
        ADD_FAILURE() << "pipe";
    // Unflushed test output would otherwise reach the child's pipe too.
    std::fflush (nullptr);
    const pid_t child = fork();
    if (child == 0)
    {
        dup2 (out[1], STDOUT_FILENO);
        close (out[0]);
        close (out[1]);
        close (rep[0]);
        const std::string text = body();
        ssize_t ignored = write (rep[1], text.data(), text.size());
        (void)ignored;
        _exit (0);
    }
    close (out[1]);
    close (rep[1]);
    Bytes data;
    unsigned char chunk[4096];
    for (ssize_t n; (n = read (out[0], chunk, sizeof (chunk))) > 0;)
        data.insert (data.end(), chunk, chunk + n);
    char textChunk[256];
    for (ssize_t n; (n = read (rep[0], textChunk, sizeof (textChunk))) > 0;)
        report.append (textChunk, size_t (n));
    close (out[0]);
    close (rep[0]);
    int status = 0;
    waitpid (child, &status, 0);
    EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0);
    return data;
}
