#include "tests/support/SqliteCli.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace SqliteCli {
namespace {

const char FieldSeparator = '\x1f';
const char RowSeparator = '\x1e';

// A temporary file that goes with the object.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& content = "") {
        path = (std::filesystem::temp_directory_path() / "brevolan-cli-XXXXXX").string();
        const int fd = mkstemp(path.data());
        if (fd < 0) throw std::runtime_error("cannot make a temporary file");
        if (!content.empty() && ::write(fd, content.data(), content.size()) != ssize_t(content.size()))
            throw std::runtime_error("cannot write a temporary file");
        ::close(fd);
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string read() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

}  // namespace

Result run(const std::string& path, const std::string& sql, const std::string& key) {
    std::string script;
    if (!key.empty()) {
        std::string quoted;
        for (char c : key) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        script += "PRAGMA key = '" + quoted + "';\n";
    }
    script += sql + "\n;\n";
    TempFile in(script), out, err;

    const std::string tool = key.empty() ? "sqlite3" : "sqlcipher";
    const std::string sep(1, FieldSeparator), nl(1, RowSeparator);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fi = ::open(in.path.c_str(), O_RDONLY), fo = ::open(out.path.c_str(), O_WRONLY | O_TRUNC),
                  fe = ::open(err.path.c_str(), O_WRONLY | O_TRUNC);
        if (fi < 0 || fo < 0 || fe < 0) _exit(127);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        execlp(tool.c_str(), tool.c_str(), "-batch", "-bail", "-noheader", "-separator", sep.c_str(), "-newline",
               nl.c_str(), "-nullvalue", Null.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Result result;
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        result.error = "cannot run " + tool;
        return result;
    }
    result.error = err.read();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.error.empty();
    const std::string text = out.read();
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find(RowSeparator, begin);
        if (end == std::string::npos) end = text.size();
        Row row;
        size_t cellBegin = begin;
        while (true) {
            const size_t cellEnd = text.find(FieldSeparator, cellBegin);
            if (cellEnd == std::string::npos || cellEnd >= end) {
                row.push_back(text.substr(cellBegin, end - cellBegin));
                break;
            }
            row.push_back(text.substr(cellBegin, cellEnd - cellBegin));
            cellBegin = cellEnd + 1;
        }
        result.rows.push_back(row);
        begin = end + 1;
    }
    return result;
}

Rows query(const std::string& path, const std::string& sql, const std::string& key) {
    Result r = run(path, sql, key);
    EXPECT_TRUE(r.ok) << "independent reader failed on " << path << ": " << r.error << "\nSQL: " << sql;
    return r.rows;
}

std::vector<std::string> columns(const std::string& path, const std::string& table, const std::string& key) {
    std::vector<std::string> names;
    for (const Row& row : query(path, "PRAGMA table_info(\"" + table + "\")", key))
        if (row.size() > 1) names.push_back(row[1]);
    return names;
}

}  // namespace SqliteCli
