#pragma once
// A file made under a temporary name beside its destination and put in the
// destination's place in one step once it is complete, so that a failed or
// abandoned conversion never leaves a half-made file at the destination and
// never costs the file that was there before.

#include "framework/Text.h"

class PendingFile {
public:
    // Picks a free temporary name in the destination's folder: a hidden
    // file named after the destination. Nothing is created yet.
    explicit PendingFile(String destination);
    // Discards the temporary file unless it was put in place.
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const String& Path() const { return path_; }  // the temporary name
    const String& Destination() const { return destination_; }
    // True while something is at the temporary name (a Cancel may have
    // deleted it meanwhile).
    bool Exists() const;

    // Puts the temporary file in the destination's place, replacing the
    // file there in one step: the file is synced to the disk, renamed and
    // the folder synced. False when it could not be done, with the system's
    // reason in `why`; the destination is then as it was.
    bool PutInPlace(String& why);
    // Removes the temporary file and what a database left beside it while
    // it wrote it (its "-journal", "-wal" and "-shm" files).
    void Discard();

private:
    String destination_;
    String path_;
    bool placed_ = false;
};

// True when a file exists at `path` and may not be replaced: the file or
// the folder that holds it cannot be written to.
bool CannotBeReplaced(const String& path);
