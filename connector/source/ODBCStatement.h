#pragma once
// ODBCPreparedStatement: the framework's prepared statement for ODBC. Its
// instance data is one pointer to the ODBCStatement behind it, which holds
// the SQL text, the values and types bound to its "?" markers, and, once it
// has run, the prepared statement handle of the driver.

#include <sql.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/plugin/PluginInterface.h"

struct ODBCConnection;

namespace corvane {

class ODBCCursor;
class StatementHandle;

// The bind types, as ODBCPreparedStatement's constants name them.
enum BindType : int32_t {
    ODBC_TYPE_NULL = 0,
    ODBC_TYPE_TINYINT = -6,
    ODBC_TYPE_SMALLINT = 5,
    ODBC_TYPE_INTEGER = 4,
    ODBC_TYPE_BIGINT = -5,
    ODBC_TYPE_FLOAT = 6,
    ODBC_TYPE_DOUBLE = 8,
    ODBC_TYPE_DATE = 91,
    ODBC_TYPE_TIME = 92,
    ODBC_TYPE_TIMESTAMP = 93,
    ODBC_TYPE_BINARY = -2,
    ODBC_TYPE_STRING = 1,
    ODBC_TYPE_LONGSTRING = -1,
};

// A prepared SQL text.
class SQLStatement {
public:
    explicit SQLStatement(std::string sql) : sql_(std::move(sql)) {}
    virtual ~SQLStatement() = default;
    const std::string& Sql() const { return sql_; }

protected:
    std::string sql_;
};

// The length/indicator and value area of one bound parameter.
struct ParamBuffer {
    SQLLEN indicator = 0;
    alignas(8) unsigned char value[2048] = {};
};

class ODBCStatement : public SQLStatement {
public:
    // Holds one reference to the connection.
    ODBCStatement(ODBCConnection* connection, std::string sql, HostEncodingCode encoding);
    // Resets the parameters, releases the bound values, frees the handle
    // (unless a cursor still reads from it) and releases the connection.
    ~ODBCStatement() override;
    ODBCStatement(const ODBCStatement&) = delete;
    ODBCStatement& operator=(const ODBCStatement&) = delete;

    // Binds a value (a reference is held) to a 0-based parameter; places
    // before it that hold nothing yet hold none.
    virtual void Bind(int64_t index, HostObject value);
    // Binds the elements of an array from parameter 0 on; later values stay.
    virtual void Bind(HostObject values);
    // The bind type of a parameter; places before it that have none get
    // ODBC_TYPE_LONGSTRING (-1).
    virtual void BindType(int64_t index, int32_t type);
    // Replaces every bind type by the elements of an array.
    virtual void BindType(HostObject types);
    // Runs the statement (binding `parameters` first unless the array is
    // empty): a select's cursor, or none with the connection's error set.
    virtual ODBCCursor* Select(HostObject parameters);
    virtual void Execute(HostObject parameters);
    virtual ODBCCursor* BindAndExecute(HostObject values, bool select);
    virtual void Bind(int64_t index, HostObject value, int32_t type);

    ODBCConnection* Connection() const { return connection_; }
    const std::vector<HostObject>& Values() const { return values_; }
    const std::vector<int32_t>& Types() const { return types_; }
    SQLHSTMT Handle() const;

private:
    bool PrepareIfNeeded();
    void Place(int64_t index, HostObject value);

    ODBCConnection* connection_;
    std::vector<HostObject> values_;
    std::vector<int32_t> types_;
    std::vector<std::unique_ptr<ParamBuffer>> buffers_;
    std::shared_ptr<StatementHandle> handle_;  // the prepared handle, shared with the cursors that read from it
    HostEncodingCode encoding_;
};

// A new ODBCPreparedStatement object for the SQL text on the connection, or
// none.
HostObject CreatePreparedStatement(ODBCConnection* connection, HostString sql);
// The statement behind an ODBCPreparedStatement object; none for none.
ODBCStatement* StatementOf(HostObject object);

// The object's destructor: ends its statement.
void DestructODBCPreparedStatement(HostObject object);

// The method entries of ODBCPreparedStatement.
void StatementBindIndex(HostObject object, int64_t index, HostObject value);
void StatementBindValues(HostObject object, HostObject values);
void StatementBindIndexType(HostObject object, int64_t index, HostObject value, int64_t type);
void StatementBindTypeIndex(HostObject object, int64_t index, int64_t type);
void StatementBindTypes(HostObject object, HostObject types);
HostObject StatementSQLSelect(HostObject object, HostObject params);
void StatementSQLExecute(HostObject object, HostObject params);

}  // namespace corvane
