#pragma once
// An independent reader and writer of database files for tests: runs the
// command-line tools in a child process (sqlite3 for files without key,
// sqlcipher with PRAGMA key for keyed files), so that a fault in our own
// database layer cannot hide itself. The test executables link their own
// SQLite copy, which is why the tools are used rather than the C API.

#include <string>
#include <vector>

namespace SqliteCli {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// How a NULL value reads in the rows.
inline const std::string Null = "<null>";

struct Result {
    bool ok = false;     // the tool ran every statement
    Rows rows;           // the rows it printed, one cell per column
    std::string error;   // what it printed on standard error
};

// Runs the SQL text (one or more statements) on the file. The tools make the
// file when it does not exist, so check for a file before reading one.
Result run(const std::string& path, const std::string& sql, const std::string& key = "");

// run() that must succeed (a failure fails the current test); the rows.
Rows query(const std::string& path, const std::string& sql, const std::string& key = "");

// The names of a table's columns, in order (from PRAGMA table_info).
std::vector<std::string> columns(const std::string& path, const std::string& table, const std::string& key = "");

}  // namespace SqliteCli
