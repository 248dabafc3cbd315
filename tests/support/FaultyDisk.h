#pragma once
// A disk that fails on purpose, for the program's own SQLite (the SQLCipher
// copy that framework_sql links into every test executable): while a
// FaultyDisk lives, a file-system layer of the tests' own (an SQLite VFS) is
// registered over the default one. It passes every call on, counts the
// writes and syncs and fails the Nth of them with SQLITE_FULL or
// SQLITE_IOERR, once or from then on, as a disk that has filled up or that
// failed. Syncs are counted but not carried out: tests do not need the data
// on the platter and run faster without.
//
// It also records which files were opened for writing and how many writes
// reached each, so that a test can show that a source was never written.

#include <functional>
#include <map>
#include <string>

class FaultyDisk {
public:
    enum class Fault {
        Full,     // SQLITE_FULL from the Nth write or sync on: the disk stays full
        IoError,  // SQLITE_IOERR (a write or sync error) from the Nth alone
    };

    FaultyDisk();   // registers itself as the default
    ~FaultyDisk();  // puts the previous default back
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

    // The Nth write or sync from now on (1: the very next) fails; 0 for none.
    // Clears the counts.
    void failAt(int n, Fault fault);
    // Writes and syncs since the last failAt (or since the start).
    int operations() const { return operations_; }
    // Writes that reached the file at `path`.
    int writesTo(const std::string& path) const;
    // True when the file at `path` was opened for writing.
    bool openedForWriting(const std::string& path) const;

    // Runs each time SQLite has let go of every lock on a file, with the
    // file's path: the moments at which another program can take it.
    std::function<void(const std::string& path)> onUnlocked;

    // Called by the layer.
    int next();  // 0 to go on, or the failure's code
    void noteOpen(const std::string& path, bool forWriting);
    void noteWrite(const std::string& path) { ++writes_[path]; }

private:
    int failAt_ = 0;
    Fault fault_ = Fault::Full;
    int operations_ = 0;
    std::map<std::string, int> writes_;
    std::map<std::string, bool> openedForWriting_;
};
