#include "plugins/ODBCDatabase.h"

#include "plugins/PluginEntryTable.h"

#include <map>

namespace {

constexpr const char* kClassName = "ODBCDatabase";

HostObject makeObject() {
    ClassDefinition* cls = FindPluginClass(kClassName);
    void* init = plugins::Bound(plugins::ODBCDatabaseInit);
    if (!cls || !init) return nullptr;
    return NewPluginObject(cls, reinterpret_cast<void (*)(HostObject)>(init),
                           reinterpret_cast<void (*)(HostObject)>(plugins::Bound(plugins::ODBCDatabaseExit)));
}

// Where a property lives, located once per name and direction.
const PluginPropertyParam& locate(const String& name, int direction) {
    auto param = GetPluginPropertyParam(kClassName, name, direction);
    if (!param)
        throw UnsupportedOperationException("ODBCDatabase." + name +
                                            (direction == 1 ? " cannot be read" : " cannot be set"));
    // Kept per name and direction: the class definitions live as long as the process.
    static std::map<String, PluginPropertyParam> known;
    const String key = Lowercase(name) + (direction == 1 ? "/get" : "/set");
    return known.try_emplace(key, *param).first->second;
}

// A host string for one call's argument, released when the call is over.
class TextArgument {
public:
    explicit TextArgument(const String& text) : string_(NewHostString(text)) {}
    ~TextArgument() { ReleaseHostString(string_); }
    TextArgument(const TextArgument&) = delete;
    TextArgument& operator=(const TextArgument&) = delete;
    operator HostString() const { return string_; }

private:
    HostString string_;
};

// The value of a variant object that a method returned (taken over).
Variant takeVariant(HostObject variant) {
    Variant value = PluginVariantValue(variant);
    UnlockPluginObject(variant);
    return value;
}

// A variant as the framework passes it: a new variant object, or none for nil.
PluginObjectRef variantObject(const Variant& value) {
    return PluginObjectRef::Adopt(value.IsNil() ? nullptr : NewPluginVariant(value));
}

PluginObjectRef variantArray(const std::vector<Variant>& values) {
    std::vector<PluginObjectRef> held;
    std::vector<HostObject> elements;
    for (const Variant& value : values) {
        held.push_back(variantObject(value));
        elements.push_back(held.back().get());
    }
    return PluginObjectRef::Adopt(NewPluginObjectArray(elements));  // the array holds its own references
}

}  // namespace

ODBCDatabase::ODBCDatabase() : PluginDatabase(makeObject()) {
    if (!Object()) SetUnavailable(1, ConnectorMissingMessage());
}

String ODBCDatabase::ConnectorMissingMessage() {
    String why = PluginLoadError(plugins::ConnectorLibrary);
    return String("The ODBC connector ") + plugins::ConnectorLibrary + " is not loaded" +
           (why.empty() ? String(".") : ": " + why + ".");
}

String ODBCDatabase::DataSource() const { return Property("DataSource").StringValue(); }
void ODBCDatabase::SetDataSource(const String& value) { SetProperty("DataSource", Variant(value)); }
String ODBCDatabase::DBMS() const { return Property("DBMS").StringValue(); }

Variant ODBCDatabase::Property(const String& name) const {
    if (!Object()) return Variant();
    return GetPluginProperty(Object(), locate(name, 1));
}

void ODBCDatabase::SetProperty(const String& name, const Variant& value) {
    if (!Object()) return;
    SetPluginProperty(Object(), locate(name, 0), value);
}

bool ODBCDatabase::Connect() {
    if (!Object() || !plugins::Bound(plugins::ODBCDatabaseConnect)) {
        SetUnavailable(1, ConnectorMissingMessage());
        return false;
    }
    return plugins::CallBound<uint8_t>(plugins::ODBCDatabaseConnect, Object()) != 0;
}

Ref<RecordSet> ODBCDatabase::RecordSetOf(HostObject recordSet) { return WrapPluginRecordSet(recordSet, Object()); }

Ref<RecordSet> ODBCDatabase::DataSourceNames() {
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseDataSourceNames, Object()));
}

Ref<RecordSet> ODBCDatabase::DriverNames() {
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseDriverNames, Object()));
}

Variant ODBCDatabase::GetInfo(int64_t infoType) {
    return takeVariant(plugins::CallBound<HostObject>(plugins::ODBCDatabaseGetInfo, Object(), infoType));
}

Variant ODBCDatabase::GetConnectionAttribute(int64_t attribute) {
    return takeVariant(
        plugins::CallBound<HostObject>(plugins::ODBCDatabaseGetConnectionAttribute, Object(), attribute));
}

void ODBCDatabase::SetConnectionAttribute(int64_t attribute, int64_t value) {
    plugins::CallBound<void>(plugins::ODBCDatabaseSetConnectionAttribute, Object(), attribute, value);
}

Ref<RecordSet> ODBCDatabase::PrimaryKeys(const String& table) {
    TextArgument name(table);
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabasePrimaryKeys, Object(), HostString(name)));
}

Ref<RecordSet> ODBCDatabase::ForeignKeys(const String& primaryTable, const String& foreignTable) {
    TextArgument primary(primaryTable), foreign(foreignTable);
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseForeignKeys, Object(), HostString(primary),
                                                      HostString(foreign)));
}

Ref<RecordSet> ODBCDatabase::SpecialColumns(int64_t identifierType, const String& table, int64_t scope,
                                            int64_t nullable) {
    TextArgument name(table);
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseSpecialColumns, Object(), identifierType,
                                                      HostString(name), scope, nullable));
}

Ref<RecordSet> ODBCDatabase::TablePrivileges(const String& table) {
    TextArgument name(table);
    return RecordSetOf(
        plugins::CallBound<HostObject>(plugins::ODBCDatabaseTablePrivileges, Object(), HostString(name)));
}

Ref<RecordSet> ODBCDatabase::ColumnPrivileges(const String& table, const String& column) {
    TextArgument name(table), columnName(column);
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseColumnPrivileges, Object(),
                                                      HostString(name), HostString(columnName)));
}

Ref<RecordSet> ODBCDatabase::Procedures() {
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseProcedures, Object()));
}

Ref<RecordSet> ODBCDatabase::ProcedureColumns(const String& procedure) {
    TextArgument name(procedure);
    return RecordSetOf(
        plugins::CallBound<HostObject>(plugins::ODBCDatabaseProcedureColumns, Object(), HostString(name)));
}

bool ODBCDatabase::NextRecordset() {
    return plugins::CallBound<uint8_t>(plugins::ODBCDatabaseNextRecordset, Object()) != 0;
}

Ref<RecordSet> ODBCDatabase::GetSQLTypeInfo(int64_t dataType) {
    return RecordSetOf(plugins::CallBound<HostObject>(plugins::ODBCDatabaseGetSQLTypeInfo, Object(), dataType));
}

Ref<ODBCPreparedStatement> ODBCDatabase::Prepare(const String& sql) {
    TextArgument text(sql);
    HostObject statement = plugins::CallBound<HostObject>(plugins::ODBCDatabasePrepare, Object(), HostString(text));
    if (!statement) return nullptr;
    return New<ODBCPreparedStatement>(statement, Object());
}

// ---- ODBCPreparedStatement --------------------------------------------------------

ODBCPreparedStatement::ODBCPreparedStatement(HostObject object, HostObject database)
    : object_(PluginObjectRef::Adopt(object)), database_(PluginObjectRef::Share(database)) {}

void ODBCPreparedStatement::Bind(int64_t index, const Variant& value) {
    PluginObjectRef v = variantObject(value);
    plugins::CallBound<void>(plugins::ODBCPreparedStatementBindIndex, Object(), index, v.get());
}

void ODBCPreparedStatement::Bind(const std::vector<Variant>& values) {
    PluginObjectRef array = variantArray(values);
    plugins::CallBound<void>(plugins::ODBCPreparedStatementBindValues, Object(), array.get());
}

void ODBCPreparedStatement::Bind(int64_t index, const Variant& value, int64_t type) {
    PluginObjectRef v = variantObject(value);
    plugins::CallBound<void>(plugins::ODBCPreparedStatementBindIndexType, Object(), index, v.get(), type);
}

void ODBCPreparedStatement::BindType(int64_t index, int64_t type) {
    plugins::CallBound<void>(plugins::ODBCPreparedStatementBindTypeIndex, Object(), index, type);
}

void ODBCPreparedStatement::BindType(const std::vector<int64_t>& types) {
    PluginObjectRef array = PluginObjectRef::Adopt(NewPluginIntegerArray(types));
    plugins::CallBound<void>(plugins::ODBCPreparedStatementBindTypes, Object(), array.get());
}

Ref<RecordSet> ODBCPreparedStatement::SQLSelect(const std::vector<Variant>& params) {
    PluginObjectRef array = variantArray(params);
    HostObject recordSet =
        plugins::CallBound<HostObject>(plugins::ODBCPreparedStatementSQLSelect, Object(), array.get());
    return WrapPluginRecordSet(recordSet, database_.get());
}

void ODBCPreparedStatement::SQLExecute(const std::vector<Variant>& params) {
    PluginObjectRef array = variantArray(params);
    plugins::CallBound<void>(plugins::ODBCPreparedStatementSQLExecute, Object(), array.get());
}
