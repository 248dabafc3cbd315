#pragma once
// ODBCPreparedStatement: the framework's prepared statement for ODBC. Its
// instance data is one pointer to the statement behind it.

#include "framework/plugin/PluginInterface.h"

struct ODBCConnection;

namespace corvane {

ClassDefinition* PreparedStatementClass();

// A new ODBCPreparedStatement object for the SQL text, or none.
HostObject CreatePreparedStatement(ODBCConnection* connection, HostString sql);

// The method entries of ODBCPreparedStatement.
void StatementBindIndex(HostObject object, int64_t index, HostObject value);
void StatementBindValues(HostObject object, HostObject values);
void StatementBindIndexType(HostObject object, int64_t index, HostObject value, int64_t type);
void StatementBindTypeIndex(HostObject object, int64_t index, int64_t type);
void StatementBindTypes(HostObject object, HostObject types);
HostObject StatementSQLSelect(HostObject object, HostObject params);
void StatementSQLExecute(HostObject object, HostObject params);

}  // namespace corvane
