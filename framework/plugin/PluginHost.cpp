// The framework's plug-in host: its strings and objects, the entry points
// that plug-ins look up through the resolver, what they register, and the
// properties of their objects. Loading is in PluginLoading.cpp, databases
// and record sets in PluginDatabase.cpp.

#include "framework/plugin/PluginHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <unordered_map>

#include "framework/Encodings.h"
#include "framework/Interaction.h"
#include "framework/plugin/PluginHostObjects.h"

namespace {

// Instance data starts at this place within every object, 16-byte aligned.
constexpr size_t kInstanceDataPlace = (sizeof(HostObjectData) + 15) & ~size_t(15);

struct HostState {
    std::vector<String> log;
    std::vector<ClassDefinition*> classes;
    std::vector<ModuleDefinition*> modules;
    std::vector<DbEngineTable*> engines;
    std::vector<DbCursorTable*> cursors;
    std::vector<DesignDataSourceInterface> designInterfaces;
    std::vector<DesignDataSourceKind> designKinds;
    std::vector<DesignDataSource> designSources;
    std::exception_ptr pending;
    int detachCount = 0;
    uintptr_t detachToken = 0;
    std::vector<uintptr_t> openDetaches;  // tokens given and not yet attached
    void (*detachHook)(void*) = nullptr;
    void* detachHookContext = nullptr;
    int64_t liveStrings = 0;
    int64_t liveObjects = 0;
    std::vector<String> assertions;
};

HostState& state() {
    static HostState* s = new HostState;  // lives to the end of the process
    return *s;
}

void keepPending() {
    if (!state().pending) state().pending = std::current_exception();
}

// Runs a host entry point's body; an exception is kept for the program.
template <class R, class F>
R guarded(R failure, F body) {
    try {
        return body();
    } catch (...) {
        keepPending();
        return failure;
    }
}
template <class F>
void guardedVoid(F body) {
    try {
        body();
    } catch (...) {
        keepPending();
    }
}

// ---- text encodings ----

bool isUtf8Like(HostEncodingCode code) { return code == HOST_ENCODING_UTF8 || code == 0; }

// iconv's name of a host encoding; nullptr for one the host does not convert.
// The Latin-1 code is read byte for code point, as the connector reads it.
const char* encodingName(HostEncodingCode code) {
    if (isUtf8Like(code)) return "UTF-8";
    if (code == HOST_ENCODING_WINDOWS_LATIN1) return "ISO-8859-1";
    if (code == HOST_ENCODING_UTF32LE) return "UTF-32LE";
    return nullptr;
}

// The bytes of `in` (in encoding `from`) in encoding `to`; false when they
// cannot be read or written in it.
bool convertBytes(const std::string& in, HostEncodingCode from, HostEncodingCode to, std::string& out) {
    if (from == to || (isUtf8Like(from) && isUtf8Like(to))) {
        out = in;
        return true;
    }
    const char* fromName = encodingName(from);
    const char* toName = encodingName(to);
    out.clear();
    return fromName && toName && Recode(in, fromName, toName, out);
}

HostString newString(std::string bytes, HostEncodingCode encoding) {
    auto* s = new HostStringObject;
    s->bytes = std::move(bytes);
    s->encoding = encoding;
    ++state().liveStrings;
    return s;
}

// ---- objects ----

HostObject allocateObject(ClassDefinition* cls, HostObjectData::Kind kind) {
    const size_t dataSize = cls ? cls->dataSize : 0;
    void* memory = std::calloc(1, kInstanceDataPlace + dataSize);
    if (!memory) throw std::bad_alloc();
    auto* object = new (memory) HostObjectData;
    object->cls = cls;
    object->kind = kind;
    ++state().liveObjects;
    return object;
}

void releaseStringAt(void* place) {
    HostString s;
    std::memcpy(&s, place, sizeof s);
    if (s) ReleaseHostString(s);
    std::memset(place, 0, sizeof s);
}

void destroyObject(HostObject object) {
    object->refs = INT64_MAX / 2;  // nothing may free it again while it ends
    if (object->exit) object->exit(object);
    if (object->kind == HostObjectData::Kind::RecordSet && !object->closed && object->cursorTable &&
        object->cursorTable->close) {
        object->closed = true;
        object->cursorTable->close(object->cursor);
    }
    // Text properties that the host reads and writes directly hold their
    // strings; they go with the object.
    if (ClassDefinition* cls = object->cls) {
        char* data = reinterpret_cast<char*>(object) + kInstanceDataPlace;
        for (intptr_t i = 0; i < cls->propertyCount; ++i) {
            const PropertyDefinition& p = cls->properties[i];
            if (p.getter == PLUGIN_DIRECT_ACCESS && p.type && TextEquals(p.type, "String"))
                releaseStringAt(data + p.param);
        }
    }
    for (HostObject element : object->objects) UnlockPluginObject(element);
    object->~HostObjectData();
    std::free(object);
    --state().liveObjects;
}

// ---- host entry points as plug-ins call them ----

extern "C" {

void hostRegisterPluginVersion(int32_t version) {
    guardedVoid([&] { state().log.push_back("RegisterPluginVersion " + std::to_string(version)); });
}

void hostRegisterDBCursor(DbCursorTable* table) {
    guardedVoid([&] {
        state().cursors.push_back(table);
        state().log.push_back("PluginRegisterDBCursor");
    });
}

void hostRegisterDBEngine(DbEngineTable* table) {
    guardedVoid([&] {
        state().engines.push_back(table);
        state().log.push_back("PluginRegisterDBEngine");
    });
}

void hostRegisterClass(ClassDefinition* definition) {
    guardedVoid([&] {
        if (!definition) return;
        definition->systemWord = intptr_t(kInstanceDataPlace);
        state().classes.push_back(definition);
        state().log.push_back(String("PluginRegisterClass ") + (definition->name ? definition->name : ""));
    });
}

void hostRegisterModule(ModuleDefinition* definition) {
    guardedVoid([&] {
        if (!definition) return;
        state().modules.push_back(definition);
        state().log.push_back(String("PluginRegisterModule ") + (definition->name ? definition->name : ""));
    });
}

void hostRegisterDataSourceInterface(const char* menuText, void (*showDialog)()) {
    guardedVoid([&] {
        state().designInterfaces.push_back({menuText ? menuText : "", showDialog});
        state().log.push_back(String("RegisterDataSourceInterface ") + (menuText ? menuText : ""));
    });
}

void hostRegisterDataSource(const char* kind, HostObject (*open)(const char*)) {
    guardedVoid([&] {
        state().designKinds.push_back({kind ? kind : "", open});
        state().log.push_back(String("RegisterDataSource ") + (kind ? kind : ""));
    });
}

void hostDesignAddDataSource(HostString name, HostString kind, const void* data, int64_t length) {
    guardedVoid([&] {
        std::string bytes;
        if (data && length > 0) bytes.assign(static_cast<const char*>(data), size_t(length));
        state().designSources.push_back({HostStringText(name), HostStringText(kind), bytes});
    });
}

struct ConnectionDialog {
    String title;
    std::vector<TextPrompt> prompts;
};

void* hostDialogCreate() {
    return guarded<void*>(nullptr, [] { return static_cast<void*>(new ConnectionDialog); });
}

void hostDialogAddField(void* dialog, HostString label, uint8_t masked) {
    guardedVoid([&] {
        if (dialog) static_cast<ConnectionDialog*>(dialog)->prompts.push_back({HostStringText(label), masked != 0});
    });
}

// The entered texts, each ended by a NUL; an empty string when cancelled.
HostString hostDialogShow(void* dialog, HostString title) {
    return guarded<HostString>(nullptr, [&]() -> HostString {
        std::string bytes;
        if (dialog) {
            std::vector<String> answers;
            if (AskTexts(HostStringText(title), static_cast<ConnectionDialog*>(dialog)->prompts, answers)) {
                for (const String& answer : answers) {
                    bytes += answer;
                    bytes += '\0';
                }
            }
        }
        return newString(std::move(bytes), HOST_ENCODING_UTF8);
    });
}

void hostDialogDelete(void* dialog) { delete static_cast<ConnectionDialog*>(dialog); }

void hostConstructDBDatabase(HostObject object, void* db, DbEngineTable* engine) {
    if (!object) return;
    object->kind = HostObjectData::Kind::Database;
    object->db = db;
    object->engine = engine;
}

void* hostGetDBFromDatabase(HostObject database) {
    if (!database || database->kind != HostObjectData::Kind::Database) return nullptr;
    return database->db;
}

HostObject hostDatabaseFromDBDatabase(void* db, DbEngineTable* engine) {
    return guarded<HostObject>(nullptr, [&] {
        HostObject object = allocateObject(nullptr, HostObjectData::Kind::Database);
        object->db = db;
        object->engine = engine;
        object->connected = true;
        return object;
    });
}

// A record set needs a cursor: none gives none.
HostObject hostCursorFromDBCursor(void* cursor, DbCursorTable* table) {
    return guarded<HostObject>(nullptr, [&]() -> HostObject {
        if (!cursor) return nullptr;
        HostObject object = allocateObject(nullptr, HostObjectData::Kind::RecordSet);
        object->cursor = cursor;
        object->cursorTable = table;
        return object;
    });
}

void hostSetDBIsConnected(HostObject database, uint8_t connected) {
    if (database) database->connected = connected != 0;
}

HostString databaseText(HostObject database, String Database::*member) {
    return guarded<HostString>(nullptr, [&]() -> HostString {
        if (!database || !database->frontend) return nullptr;
        return NewHostString(database->frontend->*member);
    });
}
HostString hostGetDBHost(HostObject database) { return databaseText(database, &Database::Host); }
HostString hostGetDBUserName(HostObject database) { return databaseText(database, &Database::UserName); }
HostString hostGetDBPassword(HostObject database) { return databaseText(database, &Database::Password); }

uint8_t hostGetStringData(HostString s, HostEncodingCode encoding, HostStringData* out) {
    return guarded<uint8_t>(0, [&]() -> uint8_t {
        if (!s || !out) return 0;
        std::memset(out, 0, sizeof *out);
        auto* bytes = new std::string;
        if (!convertBytes(s->bytes, s->encoding, encoding, *bytes)) {
            delete bytes;
            return 0;
        }
        out->data = bytes->data();
        out->length = int64_t(bytes->size());
        out->encoding = encoding;
        out->hostReserved1 = bytes;
        return 1;
    });
}

void hostDisposeStringData(HostStringData* data) {
    if (!data) return;
    delete static_cast<std::string*>(data->hostReserved1);
    std::memset(data, 0, sizeof *data);
}

HostEncodingCode hostGetStringEncoding(HostString s) { return s ? s->encoding : 0; }

void hostSetStringEncoding(HostString s, HostEncodingCode encoding) {
    if (s) s->encoding = encoding;
}

HostString hostBuildString(const void* bytes, int64_t length) {
    return guarded<HostString>(nullptr, [&]() -> HostString {
        if (length < 0 || (!bytes && length > 0)) return nullptr;
        return newString(std::string(static_cast<const char*>(bytes), size_t(length)), 0);
    });
}

void hostUnlockString(HostString s) { ReleaseHostString(s); }

const char* hostStringGetCString(HostString s) { return s ? s->bytes.c_str() : ""; }

int64_t hostLenB(HostString s) { return s ? int64_t(s->bytes.size()) : 0; }

void* hostLoadGlobalMethod(const char* module, const char* declaration) {
    (void)module;
    if (!declaration) return nullptr;
    // Declarations match without regard to blanks and case.
    std::string wanted;
    for (const char* p = declaration; *p; ++p)
        if (*p != ' ') wanted += char(std::tolower(static_cast<unsigned char>(*p)));
    if (wanted == "lenb(sasstring)asinteger") return reinterpret_cast<void*>(&hostLenB);
    return nullptr;
}

void hostLockObject(HostObject object) { LockPluginObject(object); }
void hostUnlockObject(HostObject object) { UnlockPluginObject(object); }

HostObject hostNewInstanceOfClass(ClassDefinition* definition) {
    return guarded<HostObject>(nullptr, [&]() -> HostObject {
        if (!definition) return nullptr;
        return NewPluginObject(definition, definition->constructor, definition->destructor);
    });
}

int64_t hostUBound(HostObject array) {
    if (!array) return -1;
    if (array->kind == HostObjectData::Kind::ObjectArray) return int64_t(array->objects.size()) - 1;
    if (array->kind == HostObjectData::Kind::IntegerArray) return int64_t(array->integers.size()) - 1;
    return -1;
}

void hostObjectArrayGet(HostObject array, int64_t index, HostObject* out) {
    if (!out) return;
    *out = nullptr;
    if (!array || array->kind != HostObjectData::Kind::ObjectArray) return;
    if (index < 0 || index >= int64_t(array->objects.size())) return;
    *out = array->objects[size_t(index)];
    LockPluginObject(*out);
}

void hostIntegerArrayGet(HostObject array, int64_t index, int64_t* out) {
    if (!out) return;
    *out = 0;
    if (!array || array->kind != HostObjectData::Kind::IntegerArray) return;
    if (index < 0 || index >= int64_t(array->integers.size())) return;
    *out = array->integers[size_t(index)];
}

}  // extern "C"

// The place of a directly accessed property of the object's class; nullptr
// when there is none of that name.
const PropertyDefinition* findProperty(HostObject object, const char* name) {
    if (!object || !object->cls || !name) return nullptr;
    for (intptr_t i = 0; i < object->cls->propertyCount; ++i) {
        const PropertyDefinition& p = object->cls->properties[i];
        if (p.name && TextEquals(p.name, name) && p.getter == PLUGIN_DIRECT_ACCESS) return &p;
    }
    return nullptr;
}

template <class T>
uint8_t readProperty(HostObject object, const char* name, T* out) {
    const PropertyDefinition* p = findProperty(object, name);
    if (!p || !out) return 0;
    std::memcpy(out, static_cast<char*>(PluginInstanceData(object)) + p->param, sizeof(T));
    return 1;
}

// A new date object of the framework, holding the date.
HostObject newDateObject(const Ref<Date>& date) {
    HostObject object = allocateObject(nullptr, HostObjectData::Kind::Date);
    object->value = Variant(date);
    return object;
}

bool isVariant(HostObject object) { return object && object->kind == HostObjectData::Kind::Variant; }
bool isDate(HostObject object) { return object && object->kind == HostObjectData::Kind::Date; }

// The properties of variants ("StringValue", "IntegerValue", "Int64Value",
// "SingleValue", "DoubleValue", "DateValue") and of dates ("Year", "Month",
// "Day", "Hour", "Minute", "Second"), as the framework answers them.
bool variantInteger(HostObject object, const char* name, int64_t& out) {
    if (isVariant(object)) {
        if (!TextEquals(name, "IntegerValue") && !TextEquals(name, "Int64Value")) return false;
        out = object->value.IntegerValue();
        return true;
    }
    if (!isDate(object)) return false;
    const Ref<Date> date = object->value.DateValue();
    if (!date) return false;
    const struct {
        const char* name;
        int Date::*part;
    } parts[] = {{"Year", &Date::Year},     {"Month", &Date::Month},   {"Day", &Date::Day},
                 {"Hour", &Date::Hour},     {"Minute", &Date::Minute}, {"Second", &Date::Second}};
    for (const auto& part : parts) {
        if (!TextEquals(name, part.name)) continue;
        out = (*date).*part.part;
        return true;
    }
    return false;
}

extern "C" {

// A variant's text; an empty text is none, as the framework's strings are.
uint8_t hostPropString(HostObject object, const char* name, HostString* out) {
    if (isVariant(object)) {
        if (!out || !TextEquals(name, "StringValue")) return 0;
        const String text = object->value.StringValue();
        *out = text.empty() ? nullptr : NewHostString(text);
        return 1;
    }
    if (!readProperty(object, name, out)) return 0;
    if (*out) ++(*out)->refs;
    return 1;
}
uint8_t hostPropInteger(HostObject object, const char* name, int32_t* out) {
    int64_t value = 0;
    if (!variantInteger(object, name, value) && !readProperty(object, name, &value)) return 0;
    if (out) *out = int32_t(value);
    return 1;
}
uint8_t hostPropInt64(HostObject object, const char* name, int64_t* out) {
    int64_t value = 0;
    if (!variantInteger(object, name, value) && !readProperty(object, name, &value)) return 0;
    if (out) *out = value;
    return 1;
}
uint8_t hostPropSingle(HostObject object, const char* name, float* out) {
    if (isVariant(object)) {
        if (!out || !TextEquals(name, "SingleValue")) return 0;
        *out = float(object->value.DoubleValue());
        return 1;
    }
    return readProperty(object, name, out);
}
uint8_t hostPropDouble(HostObject object, const char* name, double* out) {
    if (isVariant(object)) {
        if (!out || !TextEquals(name, "DoubleValue")) return 0;
        *out = object->value.DoubleValue();
        return 1;
    }
    return readProperty(object, name, out);
}
// A variant's date is a new date object; a variant that holds no date has none.
uint8_t hostPropObject(HostObject object, const char* name, HostObject* out) {
    if (isVariant(object)) {
        if (!out || !TextEquals(name, "DateValue")) return 0;
        const Ref<Date> date = object->value.DateValue();
        if (!date) return 0;
        *out = guarded<HostObject>(nullptr, [&] { return newDateObject(date); });
        return *out ? 1 : 0;
    }
    if (!readProperty(object, name, out)) return 0;
    if (*out) LockPluginObject(*out);
    return 1;
}

HostObject hostStringToVariant(HostString value) {
    return guarded<HostObject>(nullptr, [&] { return NewPluginVariant(Variant(HostStringText(value))); });
}

HostObject hostIntegerToVariant(int64_t value) {
    return guarded<HostObject>(nullptr, [&] { return NewPluginVariant(Variant(value)); });
}

// The program has a single thread, so detaching only marks it: the token
// pairs each detach with its attach.
void* hostDetachThread() {
    HostState& s = state();
    ++s.detachCount;
    s.openDetaches.push_back(++s.detachToken);
    void* token = reinterpret_cast<void*>(s.detachToken);
    if (s.detachHook) guardedVoid([&] { s.detachHook(s.detachHookContext); });
    return token;
}

void hostAttachThread(void* token) {
    HostState& s = state();
    const auto given = reinterpret_cast<uintptr_t>(token);
    if (s.openDetaches.empty() || s.openDetaches.back() != given) {
        std::fprintf(stderr, "plug-in attached its thread with a token it was not given\n");
        return;
    }
    s.openDetaches.pop_back();
}

void hostReportAssertion(const char* file, int32_t line, const char* message) {
    std::fprintf(stderr, "plug-in assertion failed: %s:%d: %s\n", file ? file : "?", int(line),
                 message ? message : "");
    guardedVoid([&] {
        state().assertions.push_back(String(file ? file : "?") + ":" + std::to_string(line) + ": " +
                                     (message ? message : ""));
    });
}

}  // extern "C"

const std::unordered_map<std::string, void*>& entryPoints() {
    static const std::unordered_map<std::string, void*> table = {
        {"RegisterPluginVersion", reinterpret_cast<void*>(&hostRegisterPluginVersion)},
        {"PluginRegisterDBCursor", reinterpret_cast<void*>(&hostRegisterDBCursor)},
        {"PluginRegisterDBEngine", reinterpret_cast<void*>(&hostRegisterDBEngine)},
        {"PluginRegisterClass", reinterpret_cast<void*>(&hostRegisterClass)},
        {"PluginRegisterModule", reinterpret_cast<void*>(&hostRegisterModule)},
        {"RegisterDataSourceInterface", reinterpret_cast<void*>(&hostRegisterDataSourceInterface)},
        {"RegisterDataSource", reinterpret_cast<void*>(&hostRegisterDataSource)},
        {"DesignAddDataSource", reinterpret_cast<void*>(&hostDesignAddDataSource)},
        {"REALDBConnectionDialogCreate", reinterpret_cast<void*>(&hostDialogCreate)},
        {"REALDBConnectionDialogAddField", reinterpret_cast<void*>(&hostDialogAddField)},
        {"REALDBConnectionDialogShow", reinterpret_cast<void*>(&hostDialogShow)},
        {"REALDBConnectionDialogDelete", reinterpret_cast<void*>(&hostDialogDelete)},
        {"REALConstructDBDatabase", reinterpret_cast<void*>(&hostConstructDBDatabase)},
        {"REALGetDBFromREALdbDatabase", reinterpret_cast<void*>(&hostGetDBFromDatabase)},
        {"REALdbDatabaseFromDBDatabase", reinterpret_cast<void*>(&hostDatabaseFromDBDatabase)},
        {"REALdbCursorFromDBCursor", reinterpret_cast<void*>(&hostCursorFromDBCursor)},
        {"REALSetDBIsConnected", reinterpret_cast<void*>(&hostSetDBIsConnected)},
        {"REALGetDBHost", reinterpret_cast<void*>(&hostGetDBHost)},
        {"REALGetDBUserName", reinterpret_cast<void*>(&hostGetDBUserName)},
        {"REALGetDBPassword", reinterpret_cast<void*>(&hostGetDBPassword)},
        {"PluginGetStringData", reinterpret_cast<void*>(&hostGetStringData)},
        {"PluginDisposeStringData", reinterpret_cast<void*>(&hostDisposeStringData)},
        {"REALGetStringEncoding", reinterpret_cast<void*>(&hostGetStringEncoding)},
        {"REALSetStringEncoding", reinterpret_cast<void*>(&hostSetStringEncoding)},
        {"REALBuildString", reinterpret_cast<void*>(&hostBuildString)},
        {"REALUnlockString", reinterpret_cast<void*>(&hostUnlockString)},
        {"StringGetCString", reinterpret_cast<void*>(&hostStringGetCString)},
        {"REALLoadGlobalMethod", reinterpret_cast<void*>(&hostLoadGlobalMethod)},
        {"REALLockObject", reinterpret_cast<void*>(&hostLockObject)},
        {"REALUnlockObject", reinterpret_cast<void*>(&hostUnlockObject)},
        {"PluginNewInstanceOfClass", reinterpret_cast<void*>(&hostNewInstanceOfClass)},
        {"RuntimeUBound", reinterpret_cast<void*>(&hostUBound)},
        {"PluginObjectArrayGetProc", reinterpret_cast<void*>(&hostObjectArrayGet)},
        {"PluginIntegerArrayGetProc", reinterpret_cast<void*>(&hostIntegerArrayGet)},
        {"REALGetPropValueString", reinterpret_cast<void*>(&hostPropString)},
        {"REALGetPropValueInteger", reinterpret_cast<void*>(&hostPropInteger)},
        {"REALGetPropValueInt64", reinterpret_cast<void*>(&hostPropInt64)},
        {"REALGetPropValueSingle", reinterpret_cast<void*>(&hostPropSingle)},
        {"REALGetPropValueDouble", reinterpret_cast<void*>(&hostPropDouble)},
        {"REALGetPropValueObject", reinterpret_cast<void*>(&hostPropObject)},
        {"StringToVariant", reinterpret_cast<void*>(&hostStringToVariant)},
        {"IntegerToVariant", reinterpret_cast<void*>(&hostIntegerToVariant)},
        {"_UnsafeDetachCurrentThread", reinterpret_cast<void*>(&hostDetachThread)},
        {"_UnsafeAttachCurrentThread", reinterpret_cast<void*>(&hostAttachThread)},
        {"PluginReportAssertion", reinterpret_cast<void*>(&hostReportAssertion)},
    };
    return table;
}

}  // namespace

void* PluginHostResolve(const char* name) {
    if (!name) return nullptr;
    const auto& table = entryPoints();
    auto it = table.find(name);
    return it == table.end() ? nullptr : it->second;
}

const std::vector<String>& PluginRegistrationLog() { return state().log; }

ClassDefinition* FindPluginClass(const String& name) {
    for (ClassDefinition* cls : state().classes)
        if (cls->name && name == cls->name) return cls;
    return nullptr;
}

ModuleDefinition* FindPluginModule(const String& name) {
    for (ModuleDefinition* module : state().modules)
        if (module->name && name == module->name) return module;
    return nullptr;
}

const std::vector<DbEngineTable*>& RegisteredEngineTables() { return state().engines; }
const std::vector<DbCursorTable*>& RegisteredCursorTables() { return state().cursors; }
const std::vector<DesignDataSourceInterface>& DesignDataSourceInterfaces() { return state().designInterfaces; }
const std::vector<DesignDataSourceKind>& DesignDataSourceKinds() { return state().designKinds; }
const std::vector<DesignDataSource>& DesignDataSources() { return state().designSources; }

const std::vector<String>& PluginAssertionReports() { return state().assertions; }

void RethrowPendingPluginException() {
    std::exception_ptr pending = state().pending;
    state().pending = nullptr;
    if (pending) std::rethrow_exception(pending);
}

int PluginDetachCount() { return state().detachCount; }
bool PluginThreadDetached() { return !state().openDetaches.empty(); }

void SetPluginDetachHook(void (*hook)(void*), void* context) {
    state().detachHook = hook;
    state().detachHookContext = context;
}

// ---- strings -----------------------------------------------------------------

HostString NewHostString(const String& text) { return newString(text, HOST_ENCODING_UTF8); }

String HostStringText(HostString s) {
    if (!s) return "";
    std::string out;
    if (convertBytes(s->bytes, s->encoding, HOST_ENCODING_UTF8, out)) return out;
    return s->bytes;
}

std::string HostStringBytes(HostString s) { return s ? s->bytes : std::string(); }
HostEncodingCode HostStringEncoding(HostString s) { return s ? s->encoding : 0; }
int64_t HostStringReferences(HostString s) { return s ? s->refs : 0; }

void ReleaseHostString(HostString s) {
    if (!s) return;
    if (--s->refs > 0) return;
    delete s;
    --state().liveStrings;
}

int64_t LiveHostStrings() { return state().liveStrings; }
int64_t LiveHostObjects() { return state().liveObjects; }

// ---- objects -------------------------------------------------------------------

HostObject NewPluginObject(ClassDefinition* cls, void (*init)(HostObject), void (*exit)(HostObject)) {
    HostObject object = allocateObject(cls, HostObjectData::Kind::Instance);
    object->exit = exit;
    if (init) {
        init(object);
        RethrowPendingPluginException();
    }
    return object;
}

void LockPluginObject(HostObject object) {
    if (object) ++object->refs;
}

void UnlockPluginObject(HostObject object) {
    if (!object) return;
    if (--object->refs > 0) return;
    destroyObject(object);
}

int64_t PluginObjectReferences(HostObject object) { return object ? object->refs : 0; }
ClassDefinition* PluginObjectClass(HostObject object) { return object ? object->cls : nullptr; }

void* PluginInstanceData(HostObject object) {
    if (!object) return nullptr;
    return reinterpret_cast<char*>(object) + (object->cls ? object->cls->systemWord : intptr_t(kInstanceDataPlace));
}

PluginObjectRef PluginObjectRef::Adopt(HostObject object) {
    PluginObjectRef ref;
    ref.object_ = object;
    return ref;
}

PluginObjectRef PluginObjectRef::Share(HostObject object) {
    LockPluginObject(object);
    return Adopt(object);
}

PluginObjectRef::PluginObjectRef(const PluginObjectRef& other) : object_(other.object_) { LockPluginObject(object_); }

PluginObjectRef& PluginObjectRef::operator=(const PluginObjectRef& other) {
    if (this != &other) {
        LockPluginObject(other.object_);
        UnlockPluginObject(object_);
        object_ = other.object_;
    }
    return *this;
}

PluginObjectRef::~PluginObjectRef() { UnlockPluginObject(object_); }

HostObject NewPluginVariant(const Variant& value) {
    HostObject object = allocateObject(nullptr, HostObjectData::Kind::Variant);
    object->value = value;
    return object;
}

Variant PluginVariantValue(HostObject variant) {
    if (!variant || variant->kind != HostObjectData::Kind::Variant) return Variant();
    return variant->value;
}

HostObject NewPluginObjectArray(const std::vector<HostObject>& elements) {
    HostObject object = allocateObject(nullptr, HostObjectData::Kind::ObjectArray);
    object->objects = elements;
    for (HostObject element : elements) LockPluginObject(element);
    return object;
}

HostObject NewPluginIntegerArray(const std::vector<int64_t>& elements) {
    HostObject object = allocateObject(nullptr, HostObjectData::Kind::IntegerArray);
    object->integers = elements;
    return object;
}

// ---- properties ---------------------------------------------------------------

std::optional<PluginPropertyParam> GetPluginPropertyParam(const String& className, const String& propertyName,
                                                          int direction) {
    ClassDefinition* cls = FindPluginClass(className);
    if (!cls) return std::nullopt;
    for (intptr_t i = 0; i < cls->propertyCount; ++i) {
        const PropertyDefinition& p = cls->properties[i];
        if (!p.name || !TextEquals(p.name, propertyName)) continue;
        void* accessor = direction == 1 ? p.getter : p.setter;
        if (accessor != PLUGIN_DIRECT_ACCESS) return std::nullopt;  // read-only, or not direct
        const String type = p.type ? p.type : "";
        PluginPropertyParam param{cls, &p, p.param, PluginPropertyParam::Kind::Integer};
        if (TextEquals(type, "Integer")) param.kind = PluginPropertyParam::Kind::Integer;
        else if (TextEquals(type, "Boolean")) param.kind = PluginPropertyParam::Kind::Boolean;
        else if (TextEquals(type, "String")) param.kind = PluginPropertyParam::Kind::Text;
        else if (TextEquals(type, "Double")) param.kind = PluginPropertyParam::Kind::Double;
        else return std::nullopt;
        return param;
    }
    return std::nullopt;
}

Variant GetPluginProperty(HostObject object, const PluginPropertyParam& param) {
    if (!object || object->cls != param.cls) throw NilObjectException();
    const char* place = static_cast<const char*>(PluginInstanceData(object)) + param.place;
    switch (param.kind) {
    case PluginPropertyParam::Kind::Integer: {
        int64_t v;
        std::memcpy(&v, place, sizeof v);
        return Variant(v);
    }
    case PluginPropertyParam::Kind::Boolean:
        return Variant(*place != 0);
    case PluginPropertyParam::Kind::Double: {
        double v;
        std::memcpy(&v, place, sizeof v);
        return Variant(v);
    }
    case PluginPropertyParam::Kind::Text: {
        HostString s;
        std::memcpy(&s, place, sizeof s);
        return Variant(HostStringText(s));
    }
    }
    return Variant();
}

void SetPluginProperty(HostObject object, const PluginPropertyParam& param, const Variant& value) {
    if (!object || object->cls != param.cls) throw NilObjectException();
    char* place = static_cast<char*>(PluginInstanceData(object)) + param.place;
    switch (param.kind) {
    case PluginPropertyParam::Kind::Integer: {
        const int64_t v = value.IntegerValue();
        std::memcpy(place, &v, sizeof v);
        break;
    }
    case PluginPropertyParam::Kind::Boolean:
        *place = value.BooleanValue() ? 1 : 0;
        break;
    case PluginPropertyParam::Kind::Double: {
        const double v = value.DoubleValue();
        std::memcpy(place, &v, sizeof v);
        break;
    }
    case PluginPropertyParam::Kind::Text: {
        HostString fresh = NewHostString(value.StringValue());
        releaseStringAt(place);
        std::memcpy(place, &fresh, sizeof fresh);
        break;
    }
    }
}
