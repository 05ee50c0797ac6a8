#pragma once

#include <juce_core/juce_core.h>

#include <functional>

#include <sys/types.h>

// A file that is written under a temporary name beside its target and takes
// the target's name only once it is complete, so that a failed write never
// costs an earlier file of that name and never leaves a truncated one.
//
// The temporary is created exclusively, so that no file already there is
// clobbered, with mode 0666 less the umask like any new file, and it is
// written through what was created, not opened again by its name: in a
// folder that others may write, whatever they put at that name meanwhile is
// neither written nor renamed over the target (the write then fails). A target that is a symbolic link is resolved:
// the link stays and its file is replaced. A special file at the target (a
// named pipe, a device, a folder) holds no earlier result: it is opened in
// place, as the caller would open it.
class ReplacementFile
{
public:
    // Creates the temporary (nothing for a target written in place). An
    // existing target that this process may not write is refused, as opening
    // it would be.
    explicit ReplacementFile (const juce::File& target);

    // Removes the temporary unless it has been committed.
    ~ReplacementFile();

    // False when no temporary could be created; nothing was created then.
    bool isReady() const { return inPlace || descriptor >= 0; }

    // The path for the caller to open (truncating) and write: the temporary
    // as this process holds it open, or the target itself when it is written
    // in place.
    const char* getWritePath() const { return writePath.toRawUTF8(); }

    // Call once the caller has closed its file without error: brings the data
    // to the disk and renames the temporary over the target. False on failure,
    // with the temporary removed and the target untouched.
    bool commit();

    // The temporary's name for a target, for attempt 0, 1, ... up to
    // maxAttempts - 1 (the next is tried while a name is taken): hidden, and
    // named for its target and this process, within the file system's 255
    // bytes however long the target's name.
    static juce::File temporaryFor (const juce::File& target, int attempt);
    static constexpr int maxAttempts = 16;

private:
    bool nameIsStillTheTemporary() const;

    juce::String finalPath; // the target, its links resolved
    juce::String temporaryPath;
    juce::String writePath;
    int descriptor = -1; // the temporary, held open from its creation to its flush to the disk
    dev_t createdDevice = 0;
    ino_t createdInode = 0;
    bool inPlace = false;
    bool created = false;

    JUCE_DECLARE_NON_COPYABLE (ReplacementFile)
};

// Test hooks. The first runs with each temporary's path right after the
// temporary is created, before the caller opens it (an empty function for
// none). The others make the flush to the disk, or the close, of the n-th
// commit from now on (0 = the next one) fail with EIO, once; -1 cancels.
void replacementFileOnCreated (std::function<void (const juce::File& temporary)> hook);
void replacementFileFailSync (int n);
void replacementFileFailClose (int n);
