#include "connector/source/FrameworkCalls.h"

#include <cstdlib>
#include <cstring>

namespace corvane::fw {
namespace {

PluginResolver g_resolver = nullptr;

// One framework entry point with its cached address.
template <class Fn>
class Entry {
public:
    constexpr explicit Entry(const char* name) : name_(name) {}
    Fn get() {
        if (!fn_ && g_resolver) fn_ = reinterpret_cast<Fn>(g_resolver(name_));
        return fn_;
    }

private:
    const char* name_;
    Fn fn_ = nullptr;
};

Entry<PluginRegisterDBCursor_t> eRegisterDBCursor("PluginRegisterDBCursor");
Entry<PluginRegisterDBEngine_t> eRegisterDBEngine("PluginRegisterDBEngine");
Entry<PluginRegisterClass_t> eRegisterClass("PluginRegisterClass");
Entry<PluginRegisterModule_t> eRegisterModule("PluginRegisterModule");
Entry<RegisterDataSourceInterface_t> eRegisterDataSourceInterface("RegisterDataSourceInterface");
Entry<RegisterDataSource_t> eRegisterDataSource("RegisterDataSource");
Entry<DesignAddDataSource_t> eDesignAddDataSource("DesignAddDataSource");
Entry<REALDBConnectionDialogCreate_t> eDialogCreate("REALDBConnectionDialogCreate");
Entry<REALDBConnectionDialogAddField_t> eDialogAddField("REALDBConnectionDialogAddField");
Entry<REALDBConnectionDialogShow_t> eDialogShow("REALDBConnectionDialogShow");
Entry<REALDBConnectionDialogDelete_t> eDialogDelete("REALDBConnectionDialogDelete");
Entry<REALConstructDBDatabase_t> eConstructDBDatabase("REALConstructDBDatabase");
Entry<REALGetDBFromREALdbDatabase_t> eGetDBFromDatabase("REALGetDBFromREALdbDatabase");
Entry<REALdbDatabaseFromDBDatabase_t> eDatabaseFromDBDatabase("REALdbDatabaseFromDBDatabase");
Entry<REALdbCursorFromDBCursor_t> eCursorFromDBCursor("REALdbCursorFromDBCursor");
Entry<REALSetDBIsConnected_t> eSetDBIsConnected("REALSetDBIsConnected");
Entry<REALGetDBString_t> eGetDBHost("REALGetDBHost");
Entry<REALGetDBString_t> eGetDBUserName("REALGetDBUserName");
Entry<REALGetDBString_t> eGetDBPassword("REALGetDBPassword");
Entry<PluginGetStringData_t> eGetStringData("PluginGetStringData");
Entry<PluginDisposeStringData_t> eDisposeStringData("PluginDisposeStringData");
Entry<REALGetStringEncoding_t> eGetStringEncoding("REALGetStringEncoding");
Entry<REALSetStringEncoding_t> eSetStringEncoding("REALSetStringEncoding");
Entry<REALBuildString_t> eBuildString("REALBuildString");
Entry<REALUnlockString_t> eUnlockString("REALUnlockString");
Entry<StringGetCString_t> eStringGetCString("StringGetCString");
Entry<REALLoadGlobalMethod_t> eLoadGlobalMethod("REALLoadGlobalMethod");
Entry<REALLockObject_t> eLockObject("REALLockObject");
Entry<REALUnlockObject_t> eUnlockObject("REALUnlockObject");
Entry<PluginNewInstanceOfClass_t> eNewInstanceOfClass("PluginNewInstanceOfClass");
Entry<RuntimeUBound_t> eUBound("RuntimeUBound");
Entry<PluginObjectArrayGetProc_t> eObjectArrayGet("PluginObjectArrayGetProc");
Entry<PluginIntegerArrayGetProc_t> eIntegerArrayGet("PluginIntegerArrayGetProc");
Entry<REALGetPropValueString_t> ePropString("REALGetPropValueString");
Entry<REALGetPropValueInteger_t> ePropInteger("REALGetPropValueInteger");
Entry<REALGetPropValueInt64_t> ePropInt64("REALGetPropValueInt64");
Entry<REALGetPropValueSingle_t> ePropSingle("REALGetPropValueSingle");
Entry<REALGetPropValueDouble_t> ePropDouble("REALGetPropValueDouble");
Entry<REALGetPropValueObject_t> ePropObject("REALGetPropValueObject");
Entry<StringToVariant_t> eStringToVariant("StringToVariant");
Entry<IntegerToVariant_t> eIntegerToVariant("IntegerToVariant");
Entry<PluginReportAssertion_t> eReportAssertion("PluginReportAssertion");

using LenBFunction = int64_t (*)(HostString);
LenBFunction g_lenB = nullptr;

}  // namespace

void SetResolver(PluginResolver resolver) { g_resolver = resolver; }

void RegisterPluginVersion(int32_t version) {
    reinterpret_cast<RegisterPluginVersion_t>(g_resolver("RegisterPluginVersion"))(version);
}

void RegisterDBCursor(DbCursorTable* table) {
    if (auto f = eRegisterDBCursor.get()) f(table);
}
void RegisterDBEngine(DbEngineTable* table) {
    if (auto f = eRegisterDBEngine.get()) f(table);
}
void RegisterClass(ClassDefinition* definition) {
    if (auto f = eRegisterClass.get()) f(definition);
}
void RegisterModule(ModuleDefinition* definition) {
    if (auto f = eRegisterModule.get()) f(definition);
}
void RegisterDataSourceInterface(const char* menuText, void (*showDialog)()) {
    if (auto f = eRegisterDataSourceInterface.get()) f(menuText, showDialog);
}
void RegisterDataSource(const char* kind, HostObject (*open)(const char*)) {
    if (auto f = eRegisterDataSource.get()) f(kind, open);
}
void DesignAddDataSource(HostString name, HostString kind, const void* data, int64_t length) {
    if (auto f = eDesignAddDataSource.get()) f(name, kind, data, length);
}
void* ConnectionDialogCreate() {
    auto f = eDialogCreate.get();
    return f ? f() : nullptr;
}
void ConnectionDialogAddField(void* dialog, HostString label, bool masked) {
    if (auto f = eDialogAddField.get()) f(dialog, label, masked ? 1 : 0);
}
HostString ConnectionDialogShow(void* dialog, HostString title) {
    auto f = eDialogShow.get();
    return f ? f(dialog, title) : nullptr;
}
void ConnectionDialogDelete(void* dialog) {
    if (auto f = eDialogDelete.get()) f(dialog);
}

void ConstructDBDatabase(HostObject object, void* db, DbEngineTable* engine) {
    if (auto f = eConstructDBDatabase.get()) f(object, db, engine);
}
void* GetDBFromDatabase(HostObject database) {
    auto f = eGetDBFromDatabase.get();
    return f ? f(database) : nullptr;
}
HostObject DatabaseFromDBDatabase(void* db, DbEngineTable* engine) {
    auto f = eDatabaseFromDBDatabase.get();
    return f ? f(db, engine) : nullptr;
}
HostObject CursorFromDBCursor(void* cursor, DbCursorTable* table) {
    auto f = eCursorFromDBCursor.get();
    return f ? f(cursor, table) : nullptr;
}
void SetDBIsConnected(HostObject database, bool connected) {
    if (auto f = eSetDBIsConnected.get()) f(database, connected ? 1 : 0);
}
HostString GetDBHost(HostObject database) {
    auto f = eGetDBHost.get();
    return f ? f(database) : nullptr;
}
HostString GetDBUserName(HostObject database) {
    auto f = eGetDBUserName.get();
    return f ? f(database) : nullptr;
}
HostString GetDBPassword(HostObject database) {
    auto f = eGetDBPassword.get();
    return f ? f(database) : nullptr;
}

HostEncodingCode GetStringEncoding(HostString s) {
    auto f = eGetStringEncoding.get();
    return f ? f(s) : 0;
}
void SetStringEncoding(HostString s, HostEncodingCode code) {
    if (auto f = eSetStringEncoding.get()) f(s, code);
}
HostString BuildString(const void* bytes, int64_t length) {
    auto f = eBuildString.get();
    return f ? f(bytes, length) : nullptr;
}
HostString BuildUtf8String(const void* bytes, int64_t length) {
    HostString s = BuildString(bytes, length);
    if (s) SetStringEncoding(s, HOST_ENCODING_UTF8);
    return s;
}
void UnlockString(HostString s) {
    if (!s) return;
    if (auto f = eUnlockString.get()) f(s);
}
const char* CString(HostString s) {
    auto f = eStringGetCString.get();
    const char* text = f && s ? f(s) : nullptr;
    return text ? text : "";
}
int64_t LenB(HostString s) {
    if (!g_lenB) {
        if (auto load = eLoadGlobalMethod.get())
            g_lenB = reinterpret_cast<LenBFunction>(load(nullptr, "LenB( s as string ) as integer"));
    }
    return g_lenB ? g_lenB(s) : 0;
}

void LockObject(HostObject object) {
    if (auto f = eLockObject.get()) f(object);
}
void UnlockObject(HostObject object) {
    if (auto f = eUnlockObject.get()) f(object);
}

HostObject NewInstanceOfClass(ClassDefinition* definition) {
    auto f = eNewInstanceOfClass.get();
    return f ? f(definition) : nullptr;
}
int64_t UBound(HostObject array) {
    auto f = eUBound.get();
    return f ? f(array) : -1;
}
HostObject ObjectArrayElement(HostObject array, int64_t index) {
    HostObject element = nullptr;
    if (auto f = eObjectArrayGet.get()) f(array, index, &element);
    return element;
}
int64_t IntegerArrayElement(HostObject array, int64_t index) {
    int64_t element = 0;
    if (auto f = eIntegerArrayGet.get()) f(array, index, &element);
    return element;
}

namespace {
template <class E, class T>
bool property(E& entry, HostObject object, const char* name, T* out) {
    auto f = entry.get();
    return f && f(object, name, out) != 0;
}
}  // namespace

bool PropertyString(HostObject object, const char* name, HostString* out) {
    return property(ePropString, object, name, out);
}
bool PropertyInteger(HostObject object, const char* name, int32_t* out) {
    return property(ePropInteger, object, name, out);
}
bool PropertyInt64(HostObject object, const char* name, int64_t* out) {
    return property(ePropInt64, object, name, out);
}
bool PropertySingle(HostObject object, const char* name, float* out) {
    return property(ePropSingle, object, name, out);
}
bool PropertyDouble(HostObject object, const char* name, double* out) {
    return property(ePropDouble, object, name, out);
}
bool PropertyObject(HostObject object, const char* name, HostObject* out) {
    return property(ePropObject, object, name, out);
}
HostObject StringToVariant(HostString value) {
    auto f = eStringToVariant.get();
    return f ? f(value) : nullptr;
}
HostObject IntegerToVariant(int64_t value) {
    auto f = eIntegerToVariant.get();
    return f ? f(value) : nullptr;
}
void ReportAssertion(const char* file, int32_t line, const char* message) {
    if (auto f = eReportAssertion.get()) f(file, line, message);
}

// The two thread entry points are looked up together, once.
UnsafeDetachCurrentThread_t g_detach = nullptr;
UnsafeAttachCurrentThread_t g_attach = nullptr;
bool g_threadEntriesLooked = false;

void lookUpThreadEntries() {
    if (g_threadEntriesLooked || !g_resolver) return;
    g_attach = reinterpret_cast<UnsafeAttachCurrentThread_t>(g_resolver("_UnsafeAttachCurrentThread"));
    g_detach = reinterpret_cast<UnsafeDetachCurrentThread_t>(g_resolver("_UnsafeDetachCurrentThread"));
    g_threadEntriesLooked = true;
}

void* DetachFromHost() {
    lookUpThreadEntries();
    return g_detach ? g_detach() : nullptr;
}

void AttachToHost(void* token) {
    lookUpThreadEntries();
    if (g_attach) g_attach(token);
}

void DisposeHostStringData(HostStringHolder* holder) {
    if (!holder) return;
    if (auto f = eDisposeStringData.get()) f(&holder->data);
    delete holder;
}

HostBytes HostBytes::Read(HostString s, HostEncodingCode encoding) {
    HostBytes bytes;
    auto get = eGetStringData.get();
    if (!s || !get) return bytes;
    HostStringData data;
    std::memset(&data, 0, sizeof data);
    if (!get(s, encoding, &data)) return bytes;
    bytes.holder_.reset(new HostStringHolder{data});
    return bytes;
}

HostBytes HostBytes::Read(HostString s) { return Read(s, GetStringEncoding(s)); }

}  // namespace corvane::fw
