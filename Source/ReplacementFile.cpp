#include "ReplacementFile.h"

#include "FailureCountdown.h"

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

std::function<void (const juce::File&)> createdHook;
FailureCountdown syncFailure;
FailureCountdown closeFailure;

// The path by which this process opens again the very file that descriptor
// holds, wherever its name has gone meanwhile; empty where the system offers
// none (no /proc), so that the caller falls back to the name.
juce::String pathOfDescriptor (int descriptor, const struct stat& created)
{
    const auto path = "/proc/self/fd/" + juce::String (descriptor);
    struct stat info;
    if (stat (path.toRawUTF8(), &info) != 0 || info.st_dev != created.st_dev || info.st_ino != created.st_ino)
        return {};
    return path;
}

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
        temporaryPath = temporaryFor (juce::File (finalPath), attempt).getFullPathName();
        descriptor = open (temporaryPath.toRawUTF8(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0)
        return;

    struct stat createdInfo;
    if (fstat (descriptor, &createdInfo) != 0)
    {
        close (descriptor);
        descriptor = -1;
        unlink (temporaryPath.toRawUTF8());
        return;
    }
    created = true;
    createdDevice = createdInfo.st_dev;
    createdInode = createdInfo.st_ino;
    writePath = pathOfDescriptor (descriptor, createdInfo);
    if (writePath.isEmpty())
        writePath = temporaryPath;

    if (createdHook)
        createdHook (juce::File (temporaryPath));
}

ReplacementFile::~ReplacementFile()
{
    if (descriptor >= 0)
        close (descriptor);
    // A name that no longer holds the temporary is someone else's now.
    if (created && nameIsStillTheTemporary())
        unlink (temporaryPath.toRawUTF8());
}

bool ReplacementFile::nameIsStillTheTemporary() const
{
    struct stat info;
    return lstat (temporaryPath.toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode) && info.st_dev == createdDevice &&
           info.st_ino == createdInode;
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
    bool ok = !syncFailure.fails() && (fsync (descriptor) == 0 || errno == EINVAL);
    ok = close (descriptor) == 0 && !closeFailure.fails() && ok;
    descriptor = -1;

    // The rename goes by name: it must still be the temporary's, not a file
    // put in its place, which would otherwise take the target's name.
    if (!ok || !nameIsStillTheTemporary() || rename (temporaryPath.toRawUTF8(), finalPath.toRawUTF8()) != 0)
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

void replacementFileOnCreated (std::function<void (const juce::File& temporary)> hook)
{
    createdHook = std::move (hook);
}

void replacementFileFailSync (int n)
{
    syncFailure.arm (n);
}

void replacementFileFailClose (int n)
{
    closeFailure.arm (n);
}
