#pragma once
// Child processes for the benchmarks: one run of a command with its wall
// time, and an X server of the benchmark's own.

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace bench {

// Where a child process runs and where its standard streams go ("" keeps
// the parent's, except that standard input then reads /dev/null).
struct ProcessOptions {
    std::string directory;
    std::string input;   // file read as standard input
    std::string output;  // file written as standard output
    std::string errors;  // file written as standard error
    std::vector<std::pair<std::string, std::string>> environment;  // set in the child only
};

struct ProcessResult {
    bool ok = false;     // it ran and exited with 0
    double seconds = 0;  // wall time from start to exit
};

// Runs the command (argv[0] looked up in PATH) to its end. Its ru_maxrss
// would not tell its peak memory: a child starts as a copy of this process,
// and Linux keeps that copy's peak across the exec.
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options);

// An Xvfb server on a display number that it picks itself (-displayfd), for
// as long as the object lives.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display() const { return display_; }  // "" when it did not start
    const std::string& error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace bench
