#pragma once
// The program's table of bound plug-in methods: the connector's 25 entries,
// in the order the connector registers them. The framework binds them at
// start (BindPluginEntries); an entry whose library is missing stays unbound.

#include <cstddef>
#include <type_traits>

#include "framework/plugin/PluginHost.h"

extern "C" PluginEntry PluginEntryTable[];

namespace plugins {

inline constexpr size_t EntryCount = 25;
// The connector's plug-in identifier and library file, as the entries name them.
inline constexpr const char* ConnectorIdentifier = "BrevolanCorvane64";
inline constexpr const char* ConnectorLibrary = "Corvane64.so";

enum Entry : size_t {
    ODBCDatabaseInit = 0,
    ODBCDatabaseExit = 1,
    ODBCDatabaseConnect = 2,
    ODBCDatabaseDataSourceNames = 3,
    ODBCDatabaseDriverNames = 4,
    ODBCDatabaseGetInfo = 5,
    ODBCDatabaseGetConnectionAttribute = 6,
    ODBCDatabaseSetConnectionAttribute = 7,
    ODBCDatabasePrimaryKeys = 8,
    ODBCDatabaseForeignKeys = 9,
    ODBCDatabaseSpecialColumns = 10,
    ODBCDatabaseTablePrivileges = 11,
    ODBCDatabaseColumnPrivileges = 12,
    ODBCDatabaseProcedures = 13,
    ODBCDatabaseProcedureColumns = 14,
    ODBCDatabaseNextRecordset = 15,
    ODBCDatabaseGetSQLTypeInfo = 16,
    ODBCDatabasePrepare = 17,
    ODBCPreparedStatementBindIndex = 18,
    ODBCPreparedStatementBindValues = 19,
    ODBCPreparedStatementBindIndexType = 20,
    ODBCPreparedStatementBindTypeIndex = 21,
    ODBCPreparedStatementBindTypes = 22,
    ODBCPreparedStatementSQLSelect = 23,
    ODBCPreparedStatementSQLExecute = 24
};

// Loads the plug-in libraries and binds the table (the start-up's plug-in
// step). Safe to call again: libraries load once, entries are bound anew.
void BindPluginEntries();

// The bound entry, or nullptr when it is not bound.
void* Bound(Entry entry);

// Calls a bound method with the object first, holding a reference to the
// object for the call and raising afterwards any exception the framework
// kept meanwhile. An unbound entry is not called: the result is R{}.
template <class R, class... Args>
R CallBound(Entry entry, HostObject object, Args... args) {
    void* function = Bound(entry);
    if (!function || !object) return R{};
    PluginObjectRef hold = PluginObjectRef::Share(object);
    if constexpr (std::is_void_v<R>) {
        reinterpret_cast<void (*)(HostObject, Args...)>(function)(object, args...);
        RethrowPendingPluginException();
    } else {
        R result = reinterpret_cast<R (*)(HostObject, Args...)>(function)(object, args...);
        RethrowPendingPluginException();
        return result;
    }
}

}  // namespace plugins
