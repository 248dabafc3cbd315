#pragma once
// Another program that holds a database file, as the Brevolan program or a
// database tool would: the sqlite3 command-line tool runs some SQL on the
// file (for example "BEGIN EXCLUSIVE; ..." or a read transaction) and then
// waits, keeping the locks that this took, until it is released.

#include <string>
#include <sys/types.h>

class OtherProgram {
public:
    // Returns once the tool has run `sql`; a test fails when it could not.
    OtherProgram(const std::string& path, const std::string& sql);
    ~OtherProgram();  // releases
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Ends the tool without committing anything; its locks go with it.
    void release();

private:
    pid_t pid_ = -1;
    int input_ = -1;  // the tool's standard input
};
