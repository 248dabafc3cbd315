#pragma once
// Everything about a data source that is not the result of an SQL text: the
// table, field and index schemas of the engine table, and the catalog and
// information methods of ODBCDatabase. Every catalog query copies the whole
// result of an ODBC catalog function into an InMemoryCursor, which reaches
// the framework as a record set that needs no statement of the driver.
//
// All of them report failures as the connection's last error and return
// none (false, nothing); none raises.

#include <sql.h>

#include "connector/source/ODBCCursor.h"
#include "framework/plugin/PluginInterface.h"

struct ODBCConnection;

namespace corvane {

// Engine table entries: a new record set, or none.
HostObject ODBCGetTableSchema(ODBCConnection* connection);
HostObject ODBCGetFieldSchema(ODBCConnection* connection, HostString table);
HostObject ODBCGetIndexSchema(ODBCConnection* connection, HostString table);

// The methods of ODBCDatabase, on the object's connection. Record sets and
// variants are new objects that the framework owns.
HostObject ODBCPrimaryKeys(ODBCConnection* connection, HostString table);
HostObject ODBCForeignKeys(ODBCConnection* connection, HostString primaryTable, HostString foreignTable);
HostObject ODBCSpecialColumns(ODBCConnection* connection, int64_t identifierType, HostString table, int64_t scope,
                              int64_t nullable);
HostObject ODBCTablePrivileges(ODBCConnection* connection, HostString table);
HostObject ODBCColumnPrivileges(ODBCConnection* connection, HostString table, HostString column);
HostObject ODBCProcedures(ODBCConnection* connection);
HostObject ODBCProcedureColumns(ODBCConnection* connection, HostString procedure);
HostObject ODBCGetSQLTypeInfo(ODBCConnection* connection, int64_t dataType);
// These two need no open connection.
HostObject ODBCDataSourceNames(ODBCConnection* connection);
HostObject ODBCDriverNames(ODBCConnection* connection);
bool ODBCNextRecordset(ODBCConnection* connection);
HostObject ODBCGetInfo(ODBCConnection* connection, int64_t infoType);
HostObject ODBCGetConnectionAttribute(ODBCConnection* connection, int64_t attribute);
void ODBCSetConnectionAttribute(ODBCConnection* connection, int64_t attribute, int64_t value);

// The key columns (KeyName, TableName, ColumnName, KeySeq, TableCatalog,
// TableSchema) and the columns (TableName, ColumnName, DataType) of a table
// given as NUL-ended wide text and its length in characters; a new handle
// (not wrapped, the caller closes it with CloseCursor), or none. They leave
// the last error as it was unless they fail.
CursorHandle* odbc_primary_keys(ODBCConnection* connection, const SQLWCHAR* table, SQLSMALLINT length);
CursorHandle* odbc_columns(ODBCConnection* connection, const SQLWCHAR* table, SQLSMALLINT length);

}  // namespace corvane
