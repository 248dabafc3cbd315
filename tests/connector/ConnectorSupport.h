#pragma once
// Shared helpers of the connector tests: loading the real connector through
// the framework's host, and connection texts for the plain SQLite ODBC driver.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/plugin/PluginHost.h"
#include "plugins/ODBCDatabase.h"
#include "tests/support/TempDir.h"

struct ODBCConnection;

namespace connector_test {

// Binds the program's entry table against "Corvane64.so" from the build's
// library folder (once per process); true when the connector is bound.
bool LoadConnector();

// A connection text that reaches the SQLite ODBC driver by its file, for a
// database file at `path`.
std::string SqliteConnectionText(const std::string& path);

// The connection record in a database object's instance data.
ODBCConnection* ConnectionOf(const ODBCDatabase& db);

// A connection text that reaches a file through the CAV rig's driver (the
// SQLite driver behind the Access driver's name), without a password.
std::string RigConnectionText(const std::string& path);

// The column names of a record set, "a|b|c".
std::string Header(RecordSet& rs);
// Its rows from the current one on, "a|b|c" each; a nil value reads "<nil>".
std::vector<std::string> Rows(RecordSet& rs);

// Runs `sql` on the database file with the sqlite3 tool (not through ODBC),
// failing the test on an error; returns the rows as "a|b" lines.
std::string Sqlite(const std::string& path, const std::string& sql);

// A record set straight from the connector's engine and cursor tables, with
// no row fetched yet: the framework's record set reads its first row as it
// is made, and this one lets a test scroll from before it.
class ConnectorCursor {
public:
    ConnectorCursor(const ODBCDatabase& db, const std::string& sql);
    ~ConnectorCursor();
    ConnectorCursor(const ConnectorCursor&) = delete;
    ConnectorCursor& operator=(const ConnectorCursor&) = delete;
    bool ok() const { return cursor_ != nullptr; }

    bool Next();
    void First();
    void Last();
    void Previous();
    // The value of a text column of the current row; "<none>" without one.
    std::string Text(int column);
    void Delete();
    // Writes one column of the current row.
    void Update(int column, const std::string& value);

private:
    HostObject recordSet_ = nullptr;
    void* cursor_ = nullptr;
    DbCursorTable* table_ = nullptr;
};

// A test on a database file of its own, "herd.db" in a fresh folder.
class DatabaseTest : public ::testing::Test {
protected:
    // Makes the file with `create` and connects the database object to it
    // with the connection text that `text` gives for its path.
    void connect(const std::function<void(const std::string& path)>& create,
                 const std::function<std::string(const std::string& path)>& text);

    const bool loaded = LoadConnector();  // before the database object is made
    TempDir dir;
    std::string file;
    ODBCDatabase db;
};

// A test on a database file of its own reached through the CAV rig's
// driver: open() makes the file with the sqlite3 tool from the SQL text and
// connects the database object to it.
class RigDatabaseTest : public DatabaseTest {
protected:
    void open(const std::string& sql);
};

}  // namespace connector_test
