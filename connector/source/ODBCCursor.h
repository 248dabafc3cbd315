#pragma once
// Record sets that the connector hands to the framework: the abstract
// RbCursor, the handle that the framework's record set carries, and
// ODBCCursor, the cursor over the result of one ODBC statement.

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <string>
#include <vector>

#include "connector/source/ODBCDatabase.h"
#include "framework/plugin/PluginInterface.h"

namespace corvane {

// The abstract record set. Column indexes are 0-based.
class RbCursor {
public:
    virtual ~RbCursor() = default;
    virtual int64_t RecordCount() = 0;
    virtual int64_t ColumnCount() = 0;
    virtual HostString ColumnName(int64_t index) = 0;  // new string, or none
    virtual int64_t ColumnType(int64_t index) = 0;
    virtual bool NextRecord() = 0;
    virtual void PreviousRecord() = 0;
    virtual void FirstRecord() = 0;
    virtual void LastRecord() = 0;
    virtual void EditRecord() = 0;
    virtual void DeleteRecord() = 0;
    virtual void ColumnValue(int64_t index, void** value, int32_t* type, int64_t* length) = 0;
    virtual void UpdateRecord(FieldChange* first) = 0;
    virtual int64_t FieldKey(int64_t index) = 0;
};

// What the framework's record set carries: the cursor, and a connection that
// the catalog queries fill.
struct CursorHandle {
    RbCursor* cursor = nullptr;
    ODBCConnection* connection = nullptr;
};

// The framework's record set over a handle; none when the framework gives
// none (the handle is then still the caller's).
HostObject WrapCursor(CursorHandle* handle);
// Deletes the handle's cursor, then the handle; nothing for none.
void CloseCursor(CursorHandle* handle);

// One result column with its buffers. The value areas are bound to the
// statement, so a binding never moves once made.
struct ColumnBinding {
    SQLUSMALLINT number = 0;  // 1-based
    SQLWCHAR name[256] = {};
    SQLSMALLINT nameLength = 0;
    SQLULEN columnSize = 0;
    uint32_t hostType = 0;
    SQLSMALLINT sqlType = 0;
    SQLSMALLINT decimalDigits = 0;
    SQLSMALLINT nullable = 0;
    SQLLEN length = 0;        // the driver's length or SQL_NULL_DATA; after a read, the bytes handed out
    alignas(8) unsigned char value[1024] = {};
    char utf8[1024] = {};
    unsigned char* longData = nullptr;  // owned
    size_t longDataCapacity = 0;        // bytes the long-data buffer holds
    bool longDataBound = false;         // made when binding; stays for every row
};

// The framework's column type of an ODBC SQL type.
uint32_t MapSqlTypeToHostType(SQLSMALLINT sqlType);

// The table of a select: the word after the first FROM that has whitespace
// on both sides (at most 1023 bytes, up to the next whitespace); "" when
// there is none.
std::string TableNameFromSelect(const std::string& sql);

class ODBCCursor : public RbCursor {
public:
    // Holds one reference to the connection, and the statement as long as
    // it lives. With `ownsStatement` the statement is the cursor's alone and
    // goes with it; otherwise it belongs to a prepared statement, and the
    // cursor only closes its result.
    ODBCCursor(ODBCConnection* connection, std::shared_ptr<StatementHandle> statement, const char* sql,
               bool ownsStatement);
    ~ODBCCursor() override;
    ODBCCursor(const ODBCCursor&) = delete;
    ODBCCursor& operator=(const ODBCCursor&) = delete;

    int64_t RecordCount() override;
    int64_t ColumnCount() override;
    HostString ColumnName(int64_t index) override;
    int64_t ColumnType(int64_t index) override;
    bool NextRecord() override;
    void PreviousRecord() override;
    void FirstRecord() override;
    void LastRecord() override;
    void EditRecord() override;
    void DeleteRecord() override;
    void ColumnValue(int64_t index, void** value, int32_t* type, int64_t* length) override;
    void UpdateRecord(FieldChange* first) override;
    int64_t FieldKey(int64_t index) override;
    // The value as text; the caller frees it with free() when mustFree is set.
    char* ColumnValueAsString(int64_t index, int64_t* length, bool* mustFree);

    // The statement's handle; none once its connection has closed.
    SQLHSTMT Statement() const { return statement_ ? statement_->get() : SQL_NULL_HSTMT; }
    // The statement has moved on to its next result: its columns are
    // described and bound anew.
    void RebindColumns();

private:
    // A row is loaded, and the connection has not closed since (what was
    // read stays readable, but names no row any more).
    bool RowLoaded() const { return rowLoaded_ && Statement(); }
    void CreateBindings();
    void CleanupBindings();
    void CleanupRow();
    void GetRowValues();
    void Scroll(SQLSMALLINT orientation, const char* name);
    void ReadLongBinary(ColumnBinding& binding);
    void ReadLongText(ColumnBinding& binding);
    bool ColumnInRange(int64_t index) const { return index >= 0 && index < columnCount_; }
    // Editing: the WHERE clause of the current row from the table's key
    // columns (found once), and the condition of one column. Both answer
    // false when the second connection that looks the keys up cannot
    // connect; its error is then the cursor's, as 9005.
    bool BuildWhereClause();
    bool FindKeyColumns();
    std::string Condition(int64_t column);

    std::shared_ptr<StatementHandle> statement_;
    ODBCConnection* connection_ = nullptr;
    SQLSMALLINT columnCount_ = 0;
    std::string whereClause_;
    std::string tableName_;
    std::string sql_;
    std::vector<std::string> keyColumns_;
    bool keysFound_ = false;
    bool rowLoaded_ = false;
    bool ownsStatement_ = false;
    std::vector<std::unique_ptr<ColumnBinding>> bindings_;
};

}  // namespace corvane
