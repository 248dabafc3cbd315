#include "services/ODBCDatabase.h"

#include "services/PluginEntryTable.h"

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
