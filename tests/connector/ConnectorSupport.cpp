#include "tests/connector/ConnectorSupport.h"

#include <gtest/gtest.h>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "plugins/PluginEntryTable.h"
#include "tests/support/SqliteCli.h"

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

std::string RigConnectionText(const std::string& path) {
    return "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + path + ";";
}

std::string Header(RecordSet& rs) {
    std::string text;
    for (int i = 0; i < rs.FieldCount(); ++i) text += (i ? "|" : "") + rs.ColumnName(i);
    return text;
}

std::vector<std::string> Rows(RecordSet& rs) {
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row;
        for (int i = 0; i < rs.FieldCount(); ++i) {
            const Variant v = rs.ColumnValue(i);
            row += (i ? "|" : "") + (v.IsNil() ? std::string("<nil>") : v.StringValue());
        }
        rows.push_back(row);
    }
    return rows;
}

ODBCConnection* ConnectionOf(const ODBCDatabase& db) {
    return static_cast<ODBCConnection*>(PluginInstanceData(db.Object()));
}

std::string Sqlite(const std::string& path, const std::string& sql) {
    std::string text;
    for (const SqliteCli::Row& row : SqliteCli::query(path, sql)) {
        for (size_t i = 0; i < row.size(); ++i) text += (i ? "|" : "") + row[i];
        text += "\n";
    }
    return text;
}

ConnectorCursor::ConnectorCursor(const ODBCDatabase& db, const std::string& sql) {
    if (RegisteredEngineTables().empty() || RegisteredCursorTables().empty()) return;
    table_ = RegisteredCursorTables()[0];
    HostString text = NewHostString(sql);
    recordSet_ = RegisteredEngineTables()[0]->select(ConnectionOf(db), text);
    ReleaseHostString(text);
    cursor_ = PluginRecordSetCursor(recordSet_);
}

ConnectorCursor::~ConnectorCursor() { UnlockPluginObject(recordSet_); }  // closes the cursor

bool ConnectorCursor::Next() { return ok() && table_->nextRow(cursor_) != 0; }
void ConnectorCursor::First() { if (ok()) table_->firstRow(cursor_); }
void ConnectorCursor::Last() { if (ok()) table_->lastRow(cursor_); }
void ConnectorCursor::Previous() { if (ok()) table_->previousRow(cursor_); }
void ConnectorCursor::Delete() { if (ok()) table_->deleteRow(cursor_); }

std::string ConnectorCursor::Text(int column) {
    void* value = nullptr;
    int32_t type = 0;
    int64_t length = 0;
    if (ok()) table_->columnValue(cursor_, column, &value, &type, &length);
    if (!value || type != HOST_TYPE_STRING_OBJECT) return "<none>";
    return HostStringText(*static_cast<HostString*>(value));
}

void ConnectorCursor::Update(int column, const std::string& value) {
    if (!ok()) return;
    FieldChange change{nullptr, uint32_t(column), NewHostString(value)};
    table_->editRow(cursor_);
    table_->updateRow(cursor_, &change);
    ReleaseHostString(change.value);
}

void DatabaseTest::connect(const std::function<void(const std::string& path)>& create,
                           const std::function<std::string(const std::string& path)>& text) {
    ASSERT_TRUE(loaded) << PluginLoadError("Corvane64.so");
    file = dir.file("herd.db");
    create(file);
    db.SetDataSource(text(file));
    ASSERT_TRUE(db.Connect()) << db.ErrorCode() << " " << db.ErrorMessage();
}

void RigDatabaseTest::open(const std::string& sql) {
    connect([&](const std::string& path) { Sqlite(path, sql); }, RigConnectionText);
}

}  // namespace connector_test
