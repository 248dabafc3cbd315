#include "bench/BenchProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace {

// The parent's environment with the given variables replaced or added.
std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> result;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : changes) replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced) result.push_back(entry);
    }
    for (const auto& [name, value] : changes) result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& t : texts) result.push_back(t.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, options.input.empty() ? "/dev/null" : options.input.c_str(),
                                     O_RDONLY, 0);
    if (!options.output.empty())
        posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!options.errors.empty())
        posix_spawn_file_actions_addopen(&actions, 2, options.errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = environmentWith(options.environment);
    std::vector<char*> argp = pointers(args), envp = pointers(env);

    ProcessResult result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

XServer::XServer() {
    // Xvfb writes the number of the display it chose into the pipe once it
    // accepts clients.
    int ends[2];
    if (pipe(ends) != 0) {
        error_ = "no pipe for Xvfb";
        return;
    }
    const std::string fd = std::to_string(ends[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
    std::vector<char*> argp = pointers(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int failed = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argp.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    if (failed) {
        pid_ = -1;
        close(ends[0]);
        error_ = std::string("cannot start Xvfb: ") + std::strerror(failed);
        return;
    }
    std::string number;
    pollfd ready{ends[0], POLLIN, 0};
    char buffer[16];
    while (number.find('\n') == std::string::npos && poll(&ready, 1, 20000) > 0) {
        const ssize_t n = read(ends[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, size_t(n));
    }
    close(ends[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb named no display within 20 s";
        return;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
}

XServer::~XServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace bench
