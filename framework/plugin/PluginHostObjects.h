#pragma once
// The host's strings and objects as the framework's plug-in host holds them:
// shared by the files of the host, and by nothing else. Plug-ins see only
// the opaque pointers of PluginInterface.h.

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Database.h"
#include "framework/Variant.h"
#include "framework/plugin/PluginInterface.h"

// A host string: its bytes and the encoding they are marked with.
struct HostStringObject {
    int64_t refs = 1;
    std::string bytes;
    HostEncodingCode encoding = 0;  // 0: not marked
};

// A host object: its references, what kind of object it is, and what that
// kind holds. A registered class's instance data follows it in memory.
struct HostObjectData {
    enum class Kind { Instance, Database, RecordSet, Variant, Date, ObjectArray, IntegerArray };

    int64_t refs = 1;
    Kind kind = Kind::Instance;
    ClassDefinition* cls = nullptr;
    void (*exit)(HostObject) = nullptr;
    // A database: the engine's database pointer and table.
    void* db = nullptr;
    DbEngineTable* engine = nullptr;
    bool connected = false;
    Database* frontend = nullptr;  // the C++ database over this object, when there is one
    // A record set: the plug-in's cursor and table; closed once.
    void* cursor = nullptr;
    DbCursorTable* cursorTable = nullptr;
    bool closed = false;
    // Variants (a date object holds its date as a variant) and arrays.
    Variant value;
    std::vector<HostObject> objects;
    std::vector<int64_t> integers;
};
