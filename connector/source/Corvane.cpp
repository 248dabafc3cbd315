// Registration of the connector with the framework: REALPluginMain, the
// class and module definitions, the database engine and cursor tables, the
// object constructor and destructor, and the design-time entries.
//
// Every entry that the framework calls is wrapped so that no C++ exception
// ever leaves the library: a failure gives the entry's empty result.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "connector/source/Corvane.h"

#include "connector/source/FrameworkCalls.h"
#include "connector/source/ODBCCatalog.h"
#include "connector/source/ODBCConstants.h"
#include "connector/source/ODBCCursor.h"
#include "connector/source/ODBCDatabase.h"
#include "connector/source/ODBCStatement.h"
#include "connector/source/ODBCUtilities.h"

namespace corvane {
namespace {

template <class R, class F>
R guard(R failure, F body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}
template <class F>
void guardVoid(F body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

ODBCConnection* connectionOf(void* db) { return static_cast<ODBCConnection*>(db); }
ODBCConnection* connectionOfObject(HostObject object) {
    return static_cast<ODBCConnection*>(fw::GetDBFromDatabase(object));
}

// ---- ODBCDatabase objects ----

void ConstructODBCDatabase(HostObject object) {
    guardVoid([&] {
        // The instance data lies at the object plus the place the framework
        // stored in the class definition's system word.
        auto* connection =
            reinterpret_cast<ODBCConnection*>(reinterpret_cast<char*>(object) + DatabaseClass()->systemWord);
        connection->refCount = 1;
        InitConnection(connection);
        fw::ConstructDBDatabase(object, connection, EngineTable());
    });
}

void DestructODBCDatabase(HostObject object) {
    guardVoid([&] {
        if (auto* connection = connectionOfObject(object)) Release(connection);
    });
}

uint8_t connectEntry(HostObject object) { return guard<uint8_t>(0, [&] { return ODBCDatabaseConnect(object); }); }

// The catalog and information methods, on the object's connection; an
// object that is no database gives nothing.
template <class R, class F>
R onConnection(HostObject object, R failure, F body) noexcept {
    return guard<R>(failure, [&]() -> R {
        ODBCConnection* connection = connectionOfObject(object);
        return connection ? body(connection) : failure;
    });
}

HostObject dataSourceNamesEntry(HostObject object) {
    // Works on any object: the data sources need no connection.
    return guard<HostObject>(nullptr, [&] { return ODBCDataSourceNames(connectionOfObject(object)); });
}
HostObject driverNamesEntry(HostObject object) {
    return guard<HostObject>(nullptr, [&] { return ODBCDriverNames(connectionOfObject(object)); });
}
HostObject getInfoEntry(HostObject object, int64_t infoType) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) { return ODBCGetInfo(c, infoType); });
}
HostObject getConnectionAttributeEntry(HostObject object, int64_t attribute) {
    return onConnection<HostObject>(object, nullptr,
                                    [&](ODBCConnection* c) { return ODBCGetConnectionAttribute(c, attribute); });
}
void setConnectionAttributeEntry(HostObject object, int64_t attribute, int64_t value) {
    onConnection<int>(object, 0, [&](ODBCConnection* c) {
        ODBCSetConnectionAttribute(c, attribute, value);
        return 0;
    });
}
HostObject primaryKeysEntry(HostObject object, HostString table) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) { return ODBCPrimaryKeys(c, table); });
}
HostObject foreignKeysEntry(HostObject object, HostString primaryTable, HostString foreignTable) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) {
        return ODBCForeignKeys(c, primaryTable, foreignTable);
    });
}
HostObject specialColumnsEntry(HostObject object, int64_t identifierType, HostString table, int64_t scope,
                               int64_t nullable) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) {
        return ODBCSpecialColumns(c, identifierType, table, scope, nullable);
    });
}
HostObject tablePrivilegesEntry(HostObject object, HostString table) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) { return ODBCTablePrivileges(c, table); });
}
HostObject columnPrivilegesEntry(HostObject object, HostString table, HostString column) {
    return onConnection<HostObject>(object, nullptr,
                                    [&](ODBCConnection* c) { return ODBCColumnPrivileges(c, table, column); });
}
HostObject proceduresEntry(HostObject object) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) { return ODBCProcedures(c); });
}
HostObject procedureColumnsEntry(HostObject object, HostString procedure) {
    return onConnection<HostObject>(object, nullptr,
                                    [&](ODBCConnection* c) { return ODBCProcedureColumns(c, procedure); });
}
uint8_t nextRecordsetEntry(HostObject object) {
    return onConnection<uint8_t>(object, 0, [&](ODBCConnection* c) -> uint8_t { return ODBCNextRecordset(c) ? 1 : 0; });
}
HostObject getSQLTypeInfoEntry(HostObject object, int64_t dataType) {
    return onConnection<HostObject>(object, nullptr, [&](ODBCConnection* c) { return ODBCGetSQLTypeInfo(c, dataType); });
}
HostObject ODBCPrepare(HostObject object, HostString sql) {
    return guard<HostObject>(nullptr, [&]() -> HostObject {
        auto* connection = connectionOfObject(object);
        if (!connection) return nullptr;
        Trace(connection, "ENTER ODBCPrepare(%p, %s)", static_cast<void*>(connection), fw::CString(sql));
        if (!connection->hdbc) {
            SetLastError(connection, 1, "Not connected.");
            return nullptr;
        }
        return CreatePreparedStatement(connection, sql);
    });
}

// ---- engine table entries ----

void engineClose(void* db) { guardVoid([&] { ODBCCloseDatabase(connectionOf(db)); }); }
HostObject engineTableSchema(void* db) {
    return guard<HostObject>(nullptr, [&] { return ODBCGetTableSchema(connectionOf(db)); });
}
HostObject engineFieldSchema(void* db, HostString table) {
    return guard<HostObject>(nullptr, [&] { return ODBCGetFieldSchema(connectionOf(db), table); });
}
HostObject engineIndexSchema(void* db, HostString table) {
    return guard<HostObject>(nullptr, [&] { return ODBCGetIndexSchema(connectionOf(db), table); });
}
HostObject engineSelect(void* db, HostString sql) {
    return guard<HostObject>(nullptr, [&] { return ODBCPerformSelect(connectionOf(db), sql); });
}
void engineExecute(void* db, HostString sql) { guardVoid([&] { ODBCExecute(connectionOf(db), sql); }); }
void engineAddRecord(void* db, HostString table, InsertValue* first) {
    guardVoid([&] { ODBCAddTableRecord(connectionOf(db), table, first); });
}
int64_t engineErrorCode(void* db) { return guard<int64_t>(0, [&] { return ODBCLastErrorCode(connectionOf(db)); }); }
HostString engineErrorString(void* db) {
    return guard<HostString>(nullptr, [&] { return ODBCLastErrorString(connectionOf(db)); });
}
void engineCommit(void* db) { guardVoid([&] { ODBCCommit(connectionOf(db)); }); }
void engineRollback(void* db) { guardVoid([&] { ODBCRollback(connectionOf(db)); }); }
void engineSupportedTypes(const int64_t** types, const char** names, int64_t* size) {
    SupportedColumnTypes(types, names, size);
}
HostObject PrepareFromEngine(void* db, HostString sql) {
    return guard<HostObject>(nullptr, [&]() -> HostObject {
        ODBCConnection* connection = connectionOf(db);
        if (!connection->hdbc) return nullptr;
        return CreatePreparedStatement(connection, sql);
    });
}

// ---- cursor table entries ----

RbCursor* cursorOf(void* handle) { return handle ? static_cast<CursorHandle*>(handle)->cursor : nullptr; }

void cursorClose(void* handle) { guardVoid([&] { CloseCursor(static_cast<CursorHandle*>(handle)); }); }
int64_t cursorColumnCount(void* handle) {
    return guard<int64_t>(0, [&] { RbCursor* c = cursorOf(handle); return c ? c->ColumnCount() : 0; });
}
HostString cursorColumnName(void* handle, int64_t index) {
    return guard<HostString>(nullptr, [&] { RbCursor* c = cursorOf(handle); return c ? c->ColumnName(index) : nullptr; });
}
int64_t cursorRowCount(void* handle) {
    return guard<int64_t>(0, [&] { RbCursor* c = cursorOf(handle); return c ? c->RecordCount() : 0; });
}
void cursorColumnValue(void* handle, int64_t index, void** value, int32_t* type, int64_t* length) {
    guardVoid([&] {
        if (RbCursor* c = cursorOf(handle)) c->ColumnValue(index, value, type, length);
    });
}
uint8_t cursorNextRow(void* handle) {
    return guard<uint8_t>(0, [&]() -> uint8_t { RbCursor* c = cursorOf(handle); return c && c->NextRecord() ? 1 : 0; });
}
void cursorDeleteRow(void* handle) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->DeleteRecord(); });
}
void cursorUpdateRow(void* handle, FieldChange* first) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->UpdateRecord(first); });
}
void cursorEditRow(void* handle) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->EditRecord(); });
}
void cursorPreviousRow(void* handle) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->PreviousRecord(); });
}
void cursorFirstRow(void* handle) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->FirstRecord(); });
}
void cursorLastRow(void* handle) {
    guardVoid([&] { if (RbCursor* c = cursorOf(handle)) c->LastRecord(); });
}
int64_t cursorColumnType(void* handle, int64_t index) {
    return guard<int64_t>(0, [&] { RbCursor* c = cursorOf(handle); return c ? c->ColumnType(index) : 0; });
}

DbEngineTable g_engine = [] {
    DbEngineTable t{};
    t.version = 1;
    t.headerBytes[0] = 0;
    t.headerBytes[1] = 4;
    t.close = engineClose;
    t.tableSchema = engineTableSchema;
    t.fieldSchema = engineFieldSchema;
    t.select = engineSelect;
    t.execute = engineExecute;
    t.addRecord = engineAddRecord;
    t.indexSchema = engineIndexSchema;
    t.lastErrorCode = engineErrorCode;
    t.lastErrorString = engineErrorString;
    t.commit = engineCommit;
    t.rollback = engineRollback;
    t.supportedTypes = engineSupportedTypes;
    t.prepare = PrepareFromEngine;
    return t;
}();

DbCursorTable g_cursor = [] {
    DbCursorTable t{};
    t.version = 1;
    t.close = cursorClose;
    t.columnCount = cursorColumnCount;
    t.columnName = cursorColumnName;
    t.rowCount = cursorRowCount;
    t.columnValue = cursorColumnValue;
    t.nextRow = cursorNextRow;
    t.deleteRow = cursorDeleteRow;
    t.updateRow = cursorUpdateRow;
    t.editRow = cursorEditRow;
    t.previousRow = cursorPreviousRow;
    t.firstRow = cursorFirstRow;
    t.lastRow = cursorLastRow;
    t.columnType = cursorColumnType;
    return t;
}();

// ---- class definitions ----

PropertyDefinition property(const char* name, const char* type, size_t place, bool settable) {
    PropertyDefinition p{};
    p.name = name;
    p.type = type;
    p.flags = PLUGIN_FLAG_STANDARD;
    p.getter = PLUGIN_DIRECT_ACCESS;
    p.setter = settable ? PLUGIN_DIRECT_ACCESS : nullptr;
    p.param = intptr_t(place);
    return p;
}

MethodDefinition method(void* entry, const char* declaration, intptr_t flags = PLUGIN_FLAG_STANDARD) {
    MethodDefinition m{};
    m.function = entry;
    m.declaration = declaration;
    m.flags = flags;
    return m;
}

template <class F>
void* entry(F* function) {
    return reinterpret_cast<void*>(function);
}

PropertyDefinition g_databaseProperties[] = {
    property("Timeout", "Integer", offsetof(ODBCConnection, Timeout), true),
    property("ExtendedSchema", "Boolean", offsetof(ODBCConnection, ExtendedSchema), true),
    property("Attribute", "Integer", offsetof(ODBCConnection, Attribute), true),
    property("AttributeString", "String", offsetof(ODBCConnection, AttributeString), true),
    property("DatabaseName", "String", offsetof(ODBCConnection, DatabaseName), true),
    property("DataSource", "String", offsetof(ODBCConnection, DataSource), true),
    property("DBMS", "String", offsetof(ODBCConnection, DBMS), false),
    property("ScrollableCursor", "Boolean", offsetof(ODBCConnection, ScrollableCursor), true),
};

// The methods of both classes in registration order, as the program's list
// of plug-in entries names them: ODBCDatabase's first, then
// ODBCPreparedStatement's.
constexpr intptr_t kDatabaseMethods = 16;
MethodDefinition g_methods[] = {
    method(entry(connectEntry), "Connect() as Boolean"),
    method(entry(dataSourceNamesEntry), "DataSourceNames() as RecordSet"),
    method(entry(driverNamesEntry), "DriverNames() as RecordSet"),
    method(entry(getInfoEntry), "GetInfo(infoType as integer) as Variant"),
    method(entry(getConnectionAttributeEntry), "GetConnectionAttribute(infoType as Integer) as Variant"),
    method(entry(setConnectionAttributeEntry), "SetConnectionAttribute(infoType as Integer, value as Integer)"),
    method(entry(primaryKeysEntry), "PrimaryKeys(table as String) as RecordSet"),
    method(entry(foreignKeysEntry), "ForeignKeys(primaryTable as String, foreignTable as String) as RecordSet"),
    method(entry(specialColumnsEntry),
           "SpecialColumns(identifierType as Integer, table as String, scope as Integer, nullable as Integer) as "
           "RecordSet"),
    method(entry(tablePrivilegesEntry), "TablePrivileges(table as String) as RecordSet"),
    method(entry(columnPrivilegesEntry), "ColumnPrivileges(table as String, column as String) as RecordSet"),
    method(entry(proceduresEntry), "Procedures() as RecordSet"),
    method(entry(procedureColumnsEntry), "ProcedureColumns(procedure as String) as RecordSet"),
    method(entry(nextRecordsetEntry), "NextRecordset() as Boolean"),
    method(entry(getSQLTypeInfoEntry), "GetSQLTypeInfo(dataType as Integer) as RecordSet"),
    method(entry(ODBCPrepare), "Prepare(statement As String) as ODBCPreparedStatement"),

    method(entry(StatementBindIndex), "Bind(zeroBasedIndex As Integer, param As Variant)"),
    method(entry(StatementBindValues), "Bind(values() As Variant)"),
    method(entry(StatementBindIndexType), "Bind(zeroBasedIndex As Integer, param As Variant, type As Integer)"),
    method(entry(StatementBindTypeIndex), "BindType(zeroBasedIndex As Integer, type As Integer)"),
    method(entry(StatementBindTypes), "BindType(types() As Integer)"),
    method(entry(StatementSQLSelect), "SQLSelect(ParamArray params As Variant) As RecordSet"),
    method(entry(StatementSQLExecute), "SQLExecute(ParamArray params As Variant)"),
    method(nullptr, "Constructor", PLUGIN_FLAG_NO_ENTRY),
};

ConstantDefinition constant(const char* declaration) {
    ConstantDefinition c{};
    c.declaration = declaration;
    c.flags = PLUGIN_FLAG_STANDARD;
    return c;
}

ConstantDefinition g_statementConstants[] = {
    constant("ODBC_TYPE_NULL = 0"),      constant("ODBC_TYPE_TINYINT = -6"),   constant("ODBC_TYPE_SMALLINT = 5"),
    constant("ODBC_TYPE_INTEGER = 4"),   constant("ODBC_TYPE_BIGINT = -5"),    constant("ODBC_TYPE_FLOAT = 6"),
    constant("ODBC_TYPE_DOUBLE = 8"),    constant("ODBC_TYPE_DATE = 91"),      constant("ODBC_TYPE_TIME = 92"),
    constant("ODBC_TYPE_TIMESTAMP = 93"), constant("ODBC_TYPE_BINARY = -2"),   constant("ODBC_TYPE_STRING = 1"),
    constant("ODBC_TYPE_LONGSTRING = -1"),
};

template <class T, size_t N>
constexpr intptr_t countOf(T (&)[N]) {
    return intptr_t(N);
}

ClassDefinition g_databaseClass = [] {
    ClassDefinition c{};
    c.version = PLUGIN_INTERFACE_VERSION;
    c.name = "ODBCDatabase";
    c.superName = "Database";
    c.dataSize = sizeof(ODBCConnection);
    c.constructor = ConstructODBCDatabase;
    c.destructor = DestructODBCDatabase;
    c.properties = g_databaseProperties;
    c.propertyCount = countOf(g_databaseProperties);
    c.methods = g_methods;
    c.methodCount = kDatabaseMethods;
    return c;
}();

ClassDefinition g_statementClass = [] {
    ClassDefinition c{};
    c.version = PLUGIN_INTERFACE_VERSION;
    c.name = "ODBCPreparedStatement";
    c.dataSize = sizeof(void*);
    // Ends the statement behind an object when the framework destroys it:
    // without it the statement, and with it its connection, would never go.
    c.destructor = DestructODBCPreparedStatement;
    c.methods = g_methods + kDatabaseMethods;
    c.methodCount = countOf(g_methods) - kDatabaseMethods;
    c.interfaces = "PreparedSQLStatement";
    c.constants = g_statementConstants;
    c.constantCount = countOf(g_statementConstants);
    return c;
}();

}  // namespace

DbEngineTable* EngineTable() { return &g_engine; }
DbCursorTable* CursorTable() { return &g_cursor; }
ClassDefinition* DatabaseClass() { return &g_databaseClass; }
ClassDefinition* PreparedStatementClass() { return &g_statementClass; }

HostObject WrapCursor(CursorHandle* handle) { return fw::CursorFromDBCursor(handle, &g_cursor); }

void CloseCursor(CursorHandle* handle) {
    if (!handle) return;
    delete handle->cursor;
    delete handle;
}

// ---- design time ----

namespace {

// A data source's name from its text: the letters A to Z and a to z, and
// digits once the name has begun; "ODBCDatabase1" when nothing is left.
std::string DesignDataSourceName(const char* dataSource) {
    std::string name;
    for (const char* p = dataSource; p && *p; ++p) {
        const char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) name += c;
        else if (c >= '0' && c <= '9' && !name.empty()) name += c;
    }
    return name.empty() ? std::string("ODBCDatabase1") : name;
}

HostString newText(const char* text) { return fw::BuildUtf8String(text, int64_t(std::strlen(text))); }

void ShowDesignConnectionDialog() {
    guardVoid([] {
        void* dialog = fw::ConnectionDialogCreate();
        HostString labels[3] = {newText("Data Source:"), newText("User:"), newText("Password:")};
        fw::ConnectionDialogAddField(dialog, labels[0], false);
        fw::ConnectionDialogAddField(dialog, labels[1], false);
        fw::ConnectionDialogAddField(dialog, labels[2], true);
        HostString title = newText("Select ODBC");
        HostString answer = fw::ConnectionDialogShow(dialog, title);
        fw::ConnectionDialogDelete(dialog);
        const int64_t length = answer ? fw::LenB(answer) : 0;
        if (length != 0) {
            fw::HostBytes bytes = fw::HostBytes::Read(answer);
            // The answer is three NUL-ended texts; its first is the data source.
            const std::string data = bytes.str();
            const std::string name = DesignDataSourceName(data.c_str());
            HostString nameText = newText(name.c_str());
            HostString kind = newText("ODBC");
            fw::DesignAddDataSource(nameText, kind, bytes.data(), int64_t(bytes.size()));
            fw::UnlockString(nameText);
            fw::UnlockString(kind);
        }
        for (HostString label : labels) fw::UnlockString(label);
        fw::UnlockString(title);
        fw::UnlockString(answer);
    });
}

HostObject OpenDesignDataSource(const char* data) {
    return guard<HostObject>(nullptr, [&]() -> HostObject {
        if (!data) return nullptr;
        const char* dsn = data;
        const char* user = dsn + std::strlen(dsn) + 1;
        const char* password = user + std::strlen(user) + 1;
        char text[4096];
        std::snprintf(text, sizeof text, "DSN=%s;UID=%s;PWD=%s;", dsn, user, password);
        ODBCConnection* connection = OpenOwnConnection(text);
        if (connection && connection->hdbc) return fw::DatabaseFromDBDatabase(connection, &g_engine);
        CloseOwnConnection(connection);
        return nullptr;
    });
}

void RegisterConnector() {
    fw::RegisterDBCursor(&g_cursor);
    fw::RegisterDBEngine(&g_engine);
    g_databaseClass.flags += PLUGIN_FLAG_STANDARD;
    fw::RegisterClass(&g_databaseClass);
    g_statementClass.flags += PLUGIN_FLAG_STANDARD;  // RegisterPreparedStatementClass
    fw::RegisterClass(&g_statementClass);
    fw::RegisterModule(ODBCConstantModule());
    fw::RegisterDataSourceInterface("Select ODBC Database...", ShowDesignConnectionDialog);
    fw::RegisterDataSource("ODBC", OpenDesignDataSource);
}

}  // namespace
}  // namespace corvane

// The library's one entry: the framework calls it once after loading.
extern "C" __attribute__((visibility("default"))) void REALPluginMain(PluginResolver resolver) {
    try {
        corvane::fw::SetResolver(resolver);
        corvane::fw::RegisterPluginVersion(PLUGIN_INTERFACE_VERSION);
        corvane::RegisterConnector();
    } catch (...) {
    }
}
