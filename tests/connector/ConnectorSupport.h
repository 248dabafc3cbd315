#pragma once
// Shared helpers of the connector tests: loading the real connector through
// the framework's host, and connection texts for the plain SQLite ODBC driver.

#include <string>

#include "framework/plugin/PluginHost.h"

struct ODBCConnection;
class ODBCDatabase;

namespace connector_test {

// Binds the program's entry table against "Corvane64.so" from the build's
// library folder (once per process); true when the connector is bound.
bool LoadConnector();

// A connection text that reaches the SQLite ODBC driver by its file, for a
// database file at `path`.
std::string SqliteConnectionText(const std::string& path);

// The connection record in a database object's instance data.
ODBCConnection* ConnectionOf(const ODBCDatabase& db);

// Runs `sql` on the database file with the sqlite3 tool (not through ODBC),
// failing the test on an error; returns the rows as "a|b" lines.
std::string Sqlite(const std::string& path, const std::string& sql);

}  // namespace connector_test
