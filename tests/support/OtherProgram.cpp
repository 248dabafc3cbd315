#include "tests/support/OtherProgram.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

OtherProgram::OtherProgram(const std::string& path, const std::string& sql) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) {
        ADD_FAILURE() << "no pipes for sqlite3";
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[1]);
        ::close(out[0]);
        ::execlp("sqlite3", "sqlite3", "-batch", "-bail", path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    const std::string script = sql + "\n.print ready\n";
    if (::write(input_, script.data(), script.size()) != ssize_t(script.size())) ADD_FAILURE() << "sqlite3 took no input";
    // The tool says "ready" once it holds what the SQL took.
    std::string said;
    char c;
    while (said.find("ready") == std::string::npos && ::read(out[0], &c, 1) == 1) said += c;
    ::close(out[0]);
    if (said.find("ready") == std::string::npos) ADD_FAILURE() << "sqlite3 could not run: " << sql;
}

OtherProgram::~OtherProgram() { release(); }

void OtherProgram::release() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
