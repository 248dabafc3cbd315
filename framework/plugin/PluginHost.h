#pragma once
// The framework's side of the plug-in interface: it loads plug-in libraries,
// answers their look-ups of host entry points, keeps what they register,
// binds the program's plug-in entry table, and makes the plug-ins' objects,
// strings, databases and record sets usable from C++.
//
// Everything runs on the program's one thread. No C++ exception crosses into
// a plug-in: a failure inside a host entry point is kept as the pending
// exception and raised again in the program once the plug-in call returns
// (RethrowPendingPluginException).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "framework/Database.h"
#include "framework/Text.h"
#include "framework/Variant.h"
#include "framework/plugin/PluginInterface.h"

// One entry of a program's plug-in entry table: 32 bytes. `bound` is 0 as
// the program is shipped and filled by ResolvePluginClasses.
struct PluginEntry {
    const char* declaration;  // class name, "." and a method's declaration text
    const char* identifier;   // the plug-in's identifier text
    const char* library;      // the plug-in library's file name
    void* bound;
};
static_assert(sizeof(PluginEntry) == 32, "a plug-in entry is four words");

// ---- loading and binding ---------------------------------------------------

// The folders searched for plug-in libraries, separated by ":"; "$ORIGIN"
// stands for the folder of the running executable. The program sets its
// own at start; until then "$ORIGIN/Libs", the folder "Libs" beside it.
String PluginSearchPath();
void SetPluginSearchPath(const String& path);

// Loads every library that the table names (each once per process, found by
// file name along the search path) and runs its REALPluginMain with the
// host's resolver. A library that is missing or cannot be loaded is skipped:
// its entries stay unbound and PluginLoadError tells why.
void InitPluginEntrypoints(PluginEntry* table, size_t count);
// Fills the bound word of every entry whose class and declaration text match
// a registered class ("Class.__init" and "Class.__exit" bind its constructor
// and destructor). Entries without a match stay 0.
void ResolvePluginClasses(PluginEntry* table, size_t count);

bool PluginLibraryLoaded(const String& fileName);
// Why the library could not be loaded; "" when it was.
String PluginLoadError(const String& fileName);

// The host entry point of that name, as plug-ins receive it; nullptr for an
// unknown name.
void* PluginHostResolve(const char* name);

// ---- what plug-ins registered ----------------------------------------------

// One line per registration call, in call order, such as
// "RegisterPluginVersion 13", "PluginRegisterClass " + the class name.
const std::vector<String>& PluginRegistrationLog();
ClassDefinition* FindPluginClass(const String& name);
ModuleDefinition* FindPluginModule(const String& name);
const std::vector<DbEngineTable*>& RegisteredEngineTables();
const std::vector<DbCursorTable*>& RegisteredCursorTables();

// Design-time registrations, kept so that a design environment (or a test)
// can call them.
struct DesignDataSourceInterface {
    String menuText;
    void (*showDialog)();
};
struct DesignDataSourceKind {
    String kind;
    HostObject (*open)(const char* data);
};
struct DesignDataSource {
    String name;
    String kind;
    std::string data;  // the bytes as the plug-in gave them
};
const std::vector<DesignDataSourceInterface>& DesignDataSourceInterfaces();
const std::vector<DesignDataSourceKind>& DesignDataSourceKinds();
const std::vector<DesignDataSource>& DesignDataSources();

// The failed internal checks that plug-ins reported, one line each:
// file + ":" + line + ": " + message.
const std::vector<String>& PluginAssertionReports();

// Raises, and clears, the exception that a host entry point kept while a
// plug-in was running; does nothing when there is none.
void RethrowPendingPluginException();

// Number of detaches of the program's thread so far, and whether it is
// detached now (a detach without its attach).
int PluginDetachCount();
bool PluginThreadDetached();
// A function that runs each time a plug-in has detached the program's
// thread, before it attaches again: what another thread of the framework
// could do meanwhile. nullptr: none.
void SetPluginDetachHook(void (*hook)(void* context), void* context);

// ---- strings -----------------------------------------------------------------

// A new host string (one reference, the caller's) of UTF-8 text.
HostString NewHostString(const String& text);
// The text of a host string as UTF-8, converted from its encoding ("" for
// none). Strings without an encoding are taken as UTF-8.
String HostStringText(HostString s);
// The raw bytes and encoding of a host string.
std::string HostStringBytes(HostString s);
HostEncodingCode HostStringEncoding(HostString s);
int64_t HostStringReferences(HostString s);
void ReleaseHostString(HostString s);

// Number of host strings and objects alive, for leak checks.
int64_t LiveHostStrings();
int64_t LiveHostObjects();

// ---- objects -------------------------------------------------------------------

// A new object of a registered class with zero-filled instance data and one
// reference (the caller's). `init` runs on it now, `exit` when its last
// reference goes; either may be nullptr.
HostObject NewPluginObject(ClassDefinition* cls, void (*init)(HostObject), void (*exit)(HostObject));
void LockPluginObject(HostObject object);
void UnlockPluginObject(HostObject object);
int64_t PluginObjectReferences(HostObject object);
ClassDefinition* PluginObjectClass(HostObject object);
// The object's instance data: its address plus the class's system word.
void* PluginInstanceData(HostObject object);

// A held reference to a host object.
class PluginObjectRef {
public:
    PluginObjectRef() = default;
    // Takes over a reference the caller owns (adopt) or adds one.
    static PluginObjectRef Adopt(HostObject object);
    static PluginObjectRef Share(HostObject object);
    PluginObjectRef(const PluginObjectRef& other);
    PluginObjectRef& operator=(const PluginObjectRef& other);
    ~PluginObjectRef();
    HostObject get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    HostObject object_ = nullptr;
};

// Variants and arrays as plug-ins see them.
HostObject NewPluginVariant(const Variant& value);
Variant PluginVariantValue(HostObject variant);
HostObject NewPluginObjectArray(const std::vector<HostObject>& elements);  // adds a reference to each
HostObject NewPluginIntegerArray(const std::vector<int64_t>& elements);

// ---- properties ---------------------------------------------------------------

// Where a property of a registered class lives, as GetPluginPropertyParam
// finds it; the program keeps it and reads or writes through it.
struct PluginPropertyParam {
    ClassDefinition* cls;
    const PropertyDefinition* property;
    intptr_t place;  // within the instance data
    enum class Kind { Integer, Boolean, Text, Double } kind;
};
// The property of that class and name (case ignored) for getting
// (direction 1) or setting (direction 0); nothing when the class has no
// such property or it cannot be accessed that way (a read-only property
// for setting).
std::optional<PluginPropertyParam> GetPluginPropertyParam(const String& className, const String& propertyName,
                                                          int direction);
// Reads and writes the value in the object's instance data; no plug-in code
// runs. Writing a text keeps a reference to the new string and releases the
// old one.
Variant GetPluginProperty(HostObject object, const PluginPropertyParam& param);
void SetPluginProperty(HostObject object, const PluginPropertyParam& param, const Variant& value);

// ---- databases and record sets ---------------------------------------------

// A framework database served by a plug-in's engine table. It holds a
// reference to its object; the generic operations reach the engine table.
class PluginDatabase : public Database {
public:
    // Takes over the caller's reference to a database object; nullptr gives
    // a database that cannot do anything and reports SetUnavailable's error.
    explicit PluginDatabase(HostObject object);
    ~PluginDatabase() override;
    PluginDatabase(const PluginDatabase&) = delete;
    PluginDatabase& operator=(const PluginDatabase&) = delete;

    HostObject Object() const { return object_.get(); }
    // True once the plug-in marked the database connected.
    bool IsConnected() const;

    // Plug-in databases connect through a method of their own; the generic
    // Connect tells whether the plug-in has connected it.
    bool Connect() override;
    Ref<RecordSet> SQLSelect(const String& sql) override;
    void SQLExecute(const String& sql) override;
    void InsertRecord(const String& table, const DatabaseRecord& record) override;
    void Commit() override;
    void Rollback() override;
    void Close() override;
    Ref<RecordSet> TableSchema() override;
    Ref<RecordSet> FieldSchema(const String& table) override;
    Ref<RecordSet> IndexSchema(const String& table) override;
    int64_t ErrorCode() const override;
    String ErrorMessage() const override;

protected:
    // The error reported while the object is missing or not a database.
    void SetUnavailable(int64_t code, const String& message);
    DbEngineTable* Engine() const;
    void* EngineDatabase() const;

private:
    Ref<RecordSet> WrapRecordSet(HostObject recordSet);
    // Runs an engine entry that takes one text and gives a record set.
    Ref<RecordSet> RecordSetFrom(HostObject (*DbEngineTable::*entry)(void*, HostString), const String& text);
    // Runs an engine entry without arguments or result.
    void Run(void (*DbEngineTable::*entry)(void*));
    PluginObjectRef object_;
    int64_t unavailableCode_ = 0;
    String unavailableMessage_;
};

// The plug-in's cursor pointer of a record-set object (as the plug-in gave it
// to REALdbCursorFromDBCursor); nullptr for any other object.
void* PluginRecordSetCursor(HostObject recordSet);

// The framework record set over a plug-in record-set object (taken over with
// its reference). `database` is kept alive as long as the record set lives.
// The plug-in's close entry runs exactly once: on Close or at the end.
Ref<RecordSet> WrapPluginRecordSet(HostObject recordSet, HostObject database);
