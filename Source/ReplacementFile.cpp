#include "ReplacementFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Room for the temporary's prefix and suffix within a file name's 255 bytes.
constexpr int kMaxTargetNameBytes = 200;

juce::String resolvedPath (const juce::File& target)
{
    char resolved[PATH_MAX];
    if (realpath (target.getFullPathName().toRawUTF8(), resolved) != nullptr)
        return juce::String::fromUTF8 (resolved);
    return target.getFullPathName();
}

// Makes the rename itself survive a power cut, so that a file reported as
// written is still there. Nothing is lost if it fails: the earlier file or
// the complete new one stands.
void syncDirectoryOf (const juce::String& path)
{
    const int dir =
        open (juce::File (path).getParentDirectory().getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    fsync (dir);
    close (dir);
}
} // namespace

ReplacementFile::ReplacementFile (const juce::File& target) : finalPath (resolvedPath (target))
{
    struct stat info;
    if (stat (finalPath.toRawUTF8(), &info) == 0)
    {
        if (!S_ISREG (info.st_mode))
        {
            inPlace = true;
            writePath = target.getFullPathName();
            return;
        }
        if (access (finalPath.toRawUTF8(), W_OK) != 0)
            return;
    }

    for (int attempt = 0; attempt < maxAttempts && descriptor < 0; ++attempt)
    {
        writePath = temporaryFor (juce::File (finalPath), attempt).getFullPathName();
        descriptor = open (writePath.toRawUTF8(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    created = descriptor >= 0;
}

ReplacementFile::~ReplacementFile()
{
    if (descriptor >= 0)
        close (descriptor);
    if (created)
        unlink (writePath.toRawUTF8());
}

bool ReplacementFile::commit()
{
    if (inPlace)
        return true;
    if (descriptor < 0)
        return false;

    // The data reaches the disk before the name does: a crash just after the
    // rename must not leave an empty or partial file under the target's name.
    // EINVAL: the file system cannot sync at all, which no write can mend.
    bool ok = fsync (descriptor) == 0 || errno == EINVAL;
    ok = close (descriptor) == 0 && ok;
    descriptor = -1;

    if (!ok || rename (writePath.toRawUTF8(), finalPath.toRawUTF8()) != 0)
        return false;

    created = false;
    syncDirectoryOf (finalPath);
    return true;
}

juce::File ReplacementFile::temporaryFor (const juce::File& target, int attempt)
{
    auto name = target.getFileName();
    while (name.getNumBytesAsUTF8() > (size_t)kMaxTargetNameBytes)
        name = name.dropLastCharacters (1);
    return target.getSiblingFile ("." + name + "." + juce::String ((int)getpid()) + "-" + juce::String (attempt) +
                                  ".tmp");
}
