#include "tests/connector/ConnectorSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "connector/source/ODBCDatabase.h"
#include "services/ODBCDatabase.h"
#include "services/PluginEntryTable.h"

namespace connector_test {

bool LoadConnector() {
    static const bool bound = [] {
        SetPluginSearchPath(BREVOLAN_TEST_LIBS_DIR);
        plugins::BindPluginEntries();
        return plugins::Bound(plugins::ODBCDatabaseConnect) != nullptr;
    }();
    return bound;
}

std::string SqliteConnectionText(const std::string& path) {
    return "DRIVER=" SQLITE_ODBC_DRIVER ";Database=" + path + ";";
}

ODBCConnection* ConnectionOf(const ODBCDatabase& db) {
    return static_cast<ODBCConnection*>(PluginInstanceData(db.Object()));
}

std::string Sqlite(const std::string& path, const std::string& sql) {
    sqlite3* handle = nullptr;
    std::string rows;
    if (sqlite3_open(path.c_str(), &handle) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(handle);
        return rows;
    }
    char* error = nullptr;
    auto collect = [](void* out, int n, char** values, char**) {
        auto* text = static_cast<std::string*>(out);
        for (int i = 0; i < n; ++i) *text += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
        *text += "\n";
        return 0;
    };
    if (sqlite3_exec(handle, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
        ADD_FAILURE() << "sqlite: " << (error ? error : "?") << " in " << sql;
        sqlite3_free(error);
    }
    sqlite3_close(handle);
    return rows;
}

}  // namespace connector_test
