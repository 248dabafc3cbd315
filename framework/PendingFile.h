#pragma once
// A file made under a temporary name beside its destination and put in the
// destination's place in one step once it is complete, so that a failed or
// abandoned conversion never leaves a half-made file at the destination and
// never costs the file that was there before.

#include "framework/Text.h"

class PendingFile {
public:
    // Creates the temporary file, empty and readable by its owner alone, in
    // the folder of the file that the destination names (a symbolic link is
    // followed), under a short name of its own that does not depend on the
    // destination's, and holds a lock on it while the object lives. Before
    // that it removes what earlier converters left in that folder and no
    // running one holds: the temporary files and journals that a crash or a
    // kill left behind. `mayReplace`: a file at the destination may be
    // replaced; when false, PutInPlace keeps a file that has appeared there
    // meanwhile. When the file cannot be created, Path() still names a free
    // temporary name and nothing is held.
    PendingFile(String destination, bool mayReplace);
    // Discards the temporary file unless it was put in place.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const String& Path() const { return path_; }  // the temporary name
    const String& Destination() const { return destination_; }  // as given
    // The file that the new one replaces: the destination with its
    // symbolic links followed (the links stay as they are).
    const String& Target() const { return target_; }
    // True while something is at the temporary name (a Cancel may have
    // deleted it meanwhile).
    bool Exists() const;

    enum class Placing {
        Done,       // the new file is at the destination and on the disk
        NotPlaced,  // the destination is as it was; `why` holds the system's reason
        Taken,      // a file appeared at a destination that had none and is
                    // kept; the new file is removed; `why` says so to the user
        Unsynced,   // the new file is at the destination, but the disk did
                    // not confirm its folder; `why` says so to the user
    };
    // Puts the temporary file in the destination's place in one step: it
    // takes the mode and, where this program may give it, the group of the
    // file it replaces (a new file: what the umask leaves of 0666), is
    // synced to the disk and renamed, and the folder is synced.
    Placing PutInPlace(String& why);
    // Removes the temporary file and what a database left beside it while
    // it wrote it (its "-journal", "-wal" and "-shm" files), and lets go of
    // its lock.
    void Discard();

private:
    void create();
    void release();

    String destination_;
    String target_;
    String path_;
    bool mayReplace_;
    int fd_ = -1;  // the temporary file, locked while it is held
    bool placed_ = false;
};

// The file that `path` names, its symbolic links followed (at most 40):
// `path` itself when it is no link. A link to a missing file gives the
// missing file's path.
String LinkTarget(const String& path);

// True when a file exists at `path` and may not be replaced: the file or
// the folder that holds it cannot be written to (a symbolic link's target
// and the target's folder count).
bool CannotBeReplaced(const String& path);
