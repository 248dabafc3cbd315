#include "connector/source/ODBCStatement.h"

#include "connector/source/ODBCDatabase.h"

namespace corvane {

// Prepared statements come with a later version of the connector: Prepare
// gives none with the error "Option not supported.", so no statement object
// exists and its methods have nothing to work on.
HostObject CreatePreparedStatement(ODBCConnection* connection, HostString sql) {
    (void)sql;
    SetOptionNotSupported(connection);
    return nullptr;
}

void StatementBindIndex(HostObject, int64_t, HostObject) {}
void StatementBindValues(HostObject, HostObject) {}
void StatementBindIndexType(HostObject, int64_t, HostObject, int64_t) {}
void StatementBindTypeIndex(HostObject, int64_t, int64_t) {}
void StatementBindTypes(HostObject, HostObject) {}
HostObject StatementSQLSelect(HostObject, HostObject) { return nullptr; }
void StatementSQLExecute(HostObject, HostObject) {}

}  // namespace corvane
