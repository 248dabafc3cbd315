#include "tests/rig/CavFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/rig/CavRigPaths.h"

extern char** environ;

namespace cav_rig {

std::string connectionText(const std::string& path, const std::string& password) {
    return std::string("DRIVER={") + kDriverName + "};DBQ=" + path + ";UID=;PWD=" + password + ";";
}

}  // namespace cav_rig

namespace {

// Points the driver manager of every process that links the rig at the rig's
// odbcinst.ini and odbc.ini, and at no system or user file, before main runs.
// Variables set by whoever started the process win.
const bool configured = [] {
    setenv("ODBCINSTINI", CAV_RIG_ODBCINST_INI, 0);
    setenv("SYSODBCINSTINI", CAV_RIG_ODBCINST_INI, 0);
    setenv("ODBCINI", CAV_RIG_ODBC_INI, 0);
    setenv("SYSODBCINI", CAV_RIG_ODBC_INI, 0);
    return true;
}();

// Runs the sqlite3 tool on a file with the given options and SQL and returns
// what it printed; throws with its error output when it fails.
std::string sqlite3(const std::string& path, std::vector<std::string> options, const std::string& sql) {
    std::vector<std::string> args = {CAV_RIG_SQLITE3, "-batch", "-bail", "-noheader"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(path);
    args.push_back(sql);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("sqlite3: no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    std::string printed, errors;
    if (spawned == 0) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        std::string* into[2] = {&printed, &errors};
        int open = 2;
        while (open > 0 && poll(fds, 2, -1) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !fds[i].revents) continue;
                char chunk[4096];
                const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
                if (n > 0) {
                    into[i]->append(chunk, size_t(n));
                } else {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    close(out[0]);
    close(err[0]);
    if (spawned != 0) throw std::runtime_error(std::string("cannot run ") + CAV_RIG_SQLITE3);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !errors.empty())
        throw std::runtime_error("sqlite3 " + path + ": " + errors + " (SQL: " + sql + ")");
    return printed;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Text columns as an Access file has them: Text fields of 255 characters,
// Memo fields for the long ones.
std::string columns(const std::vector<std::string>& names, const char* type = "VARCHAR(255)") {
    std::string out;
    for (const auto& n : names) out += ", " + n + " " + type;
    return out;
}

std::vector<std::string> numbered(const std::string& stem, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(stem + std::to_string(i));
    return names;
}

}  // namespace

void CavFixture::create(const std::string& path, const Options& options) {
    if (std::filesystem::exists(path)) throw std::runtime_error("CAV fixture exists already: " + path);
    std::string sql = "BEGIN;";
    sql += "CREATE TABLE tree (id INTEGER PRIMARY KEY" +
           columns({"name", "colour", "breed", "sex", "dob", "oldId", "fatherId", "motherId", "ps", "pd", "tag",
                    "prefix", "suffix"}) +
           columns({"health"}, "MEMO") + columns({"cage"}) + columns({"notes"}, "MEMO") +
           columns(numbered("customfield", 12)) + ");";
    sql += "CREATE TABLE matings (id INTEGER PRIMARY KEY" +
           columns({"Breed", "Boar", "Sow", "Due", "Mated", "Born", "numBoars", "NumSows", "Colour", "Sold",
                    "Unsuccessful", "Stillborn", "numUndefined"}) +
           ");";
    sql += "CREATE TABLE soldStock (id INTEGER PRIMARY KEY" +
           columns({"Dam", "Offspring", "Colour", "DateSold", "SoldTo", "Sire"}) + ");";
    sql += "CREATE TABLE vaccinations (id INTEGER PRIMARY KEY" + columns({"dueDate", "name", "vaccination", "done"}) +
           ");";
    sql += "CREATE TABLE cavyUser (id INTEGER PRIMARY KEY" + columns(numbered("fldCustomName", 12)) + ");";
    if (options.cavyUserId) sql += "INSERT INTO cavyUser (id) VALUES (" + std::to_string(*options.cavyUserId) + ");";
    if (options.password) {
        sql += "CREATE TABLE cavRigPassword (password VARCHAR(255));";
        sql += "INSERT INTO cavRigPassword VALUES (" + quoted(*options.password) + ");";
    }
    sql += "COMMIT;";
    sqlite3(path, {}, sql);
}

void CavFixture::execute(const std::string& path, const std::string& sql) {
    sqlite3(path, {}, sql);
}

std::string CavFixture::query(const std::string& path, const std::string& sql) {
    return sqlite3(path, {"-list", "-separator", "|", "-newline", "\n", "-nullvalue", "NULL"}, sql);
}

std::vector<CavFixture::Row> CavFixture::rows(const std::string& path, const std::string& sql) {
    // Separators and a NULL mark that no stored text holds.
    const std::string cell = "\x1f", row = "\x1e", null = "\x1a";
    const std::string printed = sqlite3(path, {"-list", "-separator", cell, "-newline", row, "-nullvalue", null}, sql);
    std::vector<Row> rows;
    size_t start = 0;
    while (start < printed.size()) {
        size_t end = printed.find(row, start);
        if (end == std::string::npos) end = printed.size();
        Row r;
        const std::string line = printed.substr(start, end - start);
        size_t from = 0;
        for (;;) {
            const size_t to = line.find(cell, from);
            const std::string value = line.substr(from, to == std::string::npos ? std::string::npos : to - from);
            r.push_back(value == null ? std::nullopt : std::optional<std::string>(value));
            if (to == std::string::npos) break;
            from = to + 1;
        }
        rows.push_back(std::move(r));
        start = end + row.size();
    }
    return rows;
}
