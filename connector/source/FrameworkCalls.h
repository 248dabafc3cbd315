#pragma once
// The framework entry points that the connector calls. Each is looked up by
// name through the resolver that REALPluginMain received, on its first use;
// the address is kept. When the framework does not provide an entry the call
// does nothing and yields 0, none or false, and the next call asks again.

#include <memory>
#include <string>

#include "framework/plugin/PluginInterface.h"

namespace corvane::fw {

void SetResolver(PluginResolver resolver);

// Called without the test for a missing entry: the framework must have it.
void RegisterPluginVersion(int32_t version);

void RegisterDBCursor(DbCursorTable* table);
void RegisterDBEngine(DbEngineTable* table);
void RegisterClass(ClassDefinition* definition);
void RegisterModule(ModuleDefinition* definition);
void RegisterDataSourceInterface(const char* menuText, void (*showDialog)());
void RegisterDataSource(const char* kind, HostObject (*open)(const char*));
void DesignAddDataSource(HostString name, HostString kind, const void* data, int64_t length);
void* ConnectionDialogCreate();
void ConnectionDialogAddField(void* dialog, HostString label, bool masked);
HostString ConnectionDialogShow(void* dialog, HostString title);
void ConnectionDialogDelete(void* dialog);

void ConstructDBDatabase(HostObject object, void* db, DbEngineTable* engine);
void* GetDBFromDatabase(HostObject database);
HostObject DatabaseFromDBDatabase(void* db, DbEngineTable* engine);
HostObject CursorFromDBCursor(void* cursor, DbCursorTable* table);
void SetDBIsConnected(HostObject database, bool connected);
HostString GetDBHost(HostObject database);
HostString GetDBUserName(HostObject database);
HostString GetDBPassword(HostObject database);

HostEncodingCode GetStringEncoding(HostString s);
void SetStringEncoding(HostString s, HostEncodingCode code);
HostString BuildString(const void* bytes, int64_t length);
// A new string of UTF-8 bytes, marked UTF-8.
HostString BuildUtf8String(const void* bytes, int64_t length);
void UnlockString(HostString s);
// The framework's NUL-ended text of a string; "" when it gives none.
const char* CString(HostString s);
// The framework's byte length of a string (LenB).
int64_t LenB(HostString s);

void LockObject(HostObject object);
void UnlockObject(HostObject object);

// A new object of a registered class, or none.
HostObject NewInstanceOfClass(ClassDefinition* definition);
// Arrays: the upper bound (-1 when empty or unreadable) and elements; an
// object element carries a reference that the caller releases.
int64_t UBound(HostObject array);
HostObject ObjectArrayElement(HostObject array, int64_t index);
int64_t IntegerArrayElement(HostObject array, int64_t index);
// Property values of an object by name; false when it has none of that name.
// A string or object read carries a reference that the caller releases.
bool PropertyString(HostObject object, const char* name, HostString* out);
bool PropertyInteger(HostObject object, const char* name, int32_t* out);
bool PropertyInt64(HostObject object, const char* name, int64_t* out);
bool PropertySingle(HostObject object, const char* name, float* out);
bool PropertyDouble(HostObject object, const char* name, double* out);
bool PropertyObject(HostObject object, const char* name, HostObject* out);
// New variants (caller owns them), or none.
HostObject StringToVariant(HostString value);
HostObject IntegerToVariant(int64_t value);
// Reports a failed internal check to the framework.
void ReportAssertion(const char* file, int32_t line, const char* message);

// Releases the calling thread from the framework while it blocks; the token
// goes back to AttachToHost.
void* DetachFromHost();
void AttachToHost(void* token);

// The bytes of a framework string, held until the holder goes: a
// HostStringData record filled by the framework and given back with
// DisposeHostStringData.
struct HostStringHolder {
    HostStringData data;
};
void DisposeHostStringData(HostStringHolder* holder);

class HostBytes {
public:
    HostBytes() = default;
    // The string's bytes in the given encoding; in its own encoding without one.
    static HostBytes Read(HostString s, HostEncodingCode encoding);
    static HostBytes Read(HostString s);

    bool ok() const { return holder_ != nullptr; }
    const char* data() const { return ok() ? static_cast<const char*>(holder_->data.data) : ""; }
    size_t size() const { return ok() && holder_->data.length > 0 ? size_t(holder_->data.length) : 0; }
    HostEncodingCode encoding() const { return ok() ? holder_->data.encoding : 0; }
    std::string str() const { return std::string(data(), size()); }

private:
    struct Dispose {
        void operator()(HostStringHolder* h) const { DisposeHostStringData(h); }
    };
    std::unique_ptr<HostStringHolder, Dispose> holder_;
};

}  // namespace corvane::fw
