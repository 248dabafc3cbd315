#ifndef FRAMEWORK_PLUGIN_INTERFACE_H
#define FRAMEWORK_PLUGIN_INTERFACE_H
/*
 * The plug-in interface between the framework (the host) and a plug-in
 * library, such as a database connector. Plain C, shared by both sides.
 *
 * A plug-in exports one entry, REALPluginMain. The host calls it once after
 * loading the library and hands it a resolver that answers the address of a
 * host entry point by name. The plug-in registers its classes, modules and
 * database tables through those entry points; from then on the host reaches
 * the plug-in only through what was registered.
 *
 * Every record below is a sequence of 8-byte words; the static assertions at
 * the end pin the layouts. Texts in definitions are NUL-ended UTF-8 owned by
 * the plug-in and must live as long as the process. No call in either
 * direction may let a C++ exception escape.
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Version of the definitions and of the interface that a plug-in passes to
 * RegisterPluginVersion. */
#define PLUGIN_INTERFACE_VERSION 13

/* Flag that a plug-in adds to its class definitions just before it registers
 * them, and to every method, property and constant record. */
#define PLUGIN_FLAG_STANDARD 4
/* Method flag of a declaration that has no entry of its own (a constructor
 * the host provides). */
#define PLUGIN_FLAG_NO_ENTRY 0x84

/* A property getter or setter marker with every bit set: the host reads or
 * writes the instance data directly at the property's place. A setter marker
 * of 0: the property cannot be set. */
#define PLUGIN_DIRECT_ACCESS ((void*)(intptr_t)-1)

/* Host framework objects and strings, opaque to plug-ins. */
typedef struct HostObjectData* HostObject;
typedef struct HostStringObject* HostString;

/* Text encodings exchanged with the host. */
typedef uint32_t HostEncodingCode;
#define HOST_ENCODING_UTF8 0x08000100u
#define HOST_ENCODING_UTF32LE 0x1C000100u
#define HOST_ENCODING_WINDOWS_LATIN1 0x0500u

/* The host's column type codes of record-set values and field schemas. */
enum HostColumnType {
    HOST_TYPE_NULL = 0,
    HOST_TYPE_BYTE = 1,
    HOST_TYPE_SHORT = 2,
    HOST_TYPE_INTEGER = 3,
    HOST_TYPE_CHAR = 4,
    HOST_TYPE_TEXT = 5,
    HOST_TYPE_SINGLE = 6,
    HOST_TYPE_DOUBLE = 7,
    HOST_TYPE_DATE = 8,
    HOST_TYPE_TIME = 9,
    HOST_TYPE_TIMESTAMP = 10,
    HOST_TYPE_CURRENCY = 11,
    HOST_TYPE_BOOLEAN = 12,
    HOST_TYPE_DECIMAL = 13,
    HOST_TYPE_BINARY = 14,
    HOST_TYPE_LONG_TEXT = 15,
    HOST_TYPE_LONG_BINARY = 16,
    HOST_TYPE_MAC_PICT = 17,
    HOST_TYPE_STRING_OBJECT = 18,
    HOST_TYPE_INT64 = 19,
    HOST_TYPE_UNDETERMINED = 255
};

/* The bytes of a host string in a wanted encoding, filled by
 * PluginGetStringData and given back with PluginDisposeStringData. 40 bytes. */
typedef struct HostStringData {
    const void* data;          /* the bytes, not NUL-ended; valid until disposed */
    int64_t length;            /* their number */
    HostEncodingCode encoding; /* the encoding they are in */
    uint32_t hostReserved0;    /* the host's own words from here on */
    void* hostReserved1;
    void* hostReserved2;
} HostStringData;

/* A property of a class: 12 words. */
typedef struct PropertyDefinition {
    const char* group;       /* none */
    const char* name;        /* "Timeout" */
    const char* type;        /* "Integer", "Boolean" or "String" */
    intptr_t flags;          /* PLUGIN_FLAG_STANDARD */
    void* getter;            /* PLUGIN_DIRECT_ACCESS */
    void* setter;            /* PLUGIN_DIRECT_ACCESS, or 0 when read-only */
    intptr_t param;          /* place of the value within the instance data */
    intptr_t reserved[5];
} PropertyDefinition;

/* A method of a class: 6 words. The entry receives the object first and the
 * declared arguments after it. */
typedef struct MethodDefinition {
    void* function;          /* the entry, or none */
    void* setterFunction;    /* none */
    const char* declaration; /* "Connect() as Boolean" */
    intptr_t flags;
    intptr_t reserved[2];
} MethodDefinition;

/* A constant of a class or module: 5 words. */
typedef struct ConstantDefinition {
    const char* declaration; /* "NAME = value" */
    intptr_t reserved0;
    intptr_t flags;
    intptr_t reserved[2];
} ConstantDefinition;

/* A class: 29 words. */
typedef struct ClassDefinition {
    intptr_t version;                   /* 1: PLUGIN_INTERFACE_VERSION */
    const char* name;                   /* 2 */
    const char* superName;              /* 3: none, or the host class it extends */
    size_t dataSize;                    /* 4: bytes of instance data per object */
    intptr_t systemWord;                /* 5: 0; the host stores here the place of the
                                           instance data within an object */
    void (*constructor)(HostObject);    /* 6 */
    void (*destructor)(HostObject);     /* 7 */
    PropertyDefinition* properties;     /* 8 */
    intptr_t propertyCount;             /* 9 */
    MethodDefinition* methods;          /* 10 */
    intptr_t methodCount;               /* 11 */
    intptr_t reserved12_15[4];          /* 12 to 15 */
    const char* interfaces;             /* 16: comma-separated interface names */
    intptr_t reserved17_18[2];          /* 17, 18 */
    ConstantDefinition* constants;      /* 19 */
    intptr_t constantCount;             /* 20 */
    intptr_t flags;                     /* 21 */
    intptr_t reserved22_29[8];          /* 22 to 29 */
} ClassDefinition;

/* A module: 25 words. */
typedef struct ModuleDefinition {
    intptr_t version;                   /* PLUGIN_INTERFACE_VERSION */
    const char* name;
    MethodDefinition* methods;
    intptr_t methodCount;
    ConstantDefinition* constants;
    intptr_t constantCount;
    intptr_t reserved[19];
} ModuleDefinition;

/* A value of an added record, handed to the engine's add-record entry. */
typedef struct InsertValue {
    struct InsertValue* next; /* none at the end */
    HostString name;          /* column name */
    HostString value;         /* the value as text (bytes for binary types) */
    int32_t type;             /* HostColumnType of the value */
} InsertValue;

/* A changed column of the current row, handed to the cursor's update entry. */
typedef struct FieldChange {
    struct FieldChange* next; /* none at the end */
    uint32_t column;          /* 0-based column index */
    HostString value;         /* the new value as text */
} FieldChange;

/* A plug-in database engine: 27 words. Every entry receives the engine's
 * database pointer (the one given to REALConstructDBDatabase) first. An
 * empty entry: the engine does not provide the operation. Record sets are
 * new host objects that the caller owns; strings are new references. */
typedef struct DbEngineTable {
    int32_t version;                    /* word 0: 1 */
    uint8_t headerBytes[4];             /* word 0: 0, 4, 0, 0 */
    void (*close)(void* db);                                      /* 1 */
    HostObject (*tableSchema)(void* db);                          /* 2 */
    HostObject (*fieldSchema)(void* db, HostString table);        /* 3 */
    HostObject (*select)(void* db, HostString sql);               /* 4 */
    void (*execute)(void* db, HostString sql);                    /* 5 */
    void* unused6;                                                /* 6 */
    void (*addRecord)(void* db, HostString table, InsertValue* first); /* 7 */
    void* unused8_10[3];                                          /* 8 to 10 */
    HostObject (*indexSchema)(void* db, HostString table);        /* 11 */
    int64_t (*lastErrorCode)(void* db);                           /* 12 */
    HostString (*lastErrorString)(void* db);                      /* 13: new string or none */
    void (*commit)(void* db);                                     /* 14 */
    void (*rollback)(void* db);                                   /* 15 */
    void* unused16;                                               /* 16 */
    /* 17: no database; hands out the type codes, their comma-separated
     * names and the size of the code array in bytes (all owned by the
     * plug-in). */
    void (*supportedTypes)(const int64_t** types, const char** names, int64_t* size);
    void* unused18_23[6];                                         /* 18 to 23 */
    HostObject (*prepare)(void* db, HostString sql);              /* 24 */
    void* unused25_26[2];                                         /* 25, 26 */
} DbEngineTable;

/* A plug-in cursor: 21 words. Every entry receives the cursor pointer given
 * to REALdbCursorFromDBCursor first. The host calls close exactly once per
 * record set; the cursor must not be used afterwards. */
typedef struct DbCursorTable {
    int64_t version;                                              /* 0: 1 */
    intptr_t reserved1;                                           /* 1 */
    void (*close)(void* cursor);                                  /* 2 */
    int64_t (*columnCount)(void* cursor);                         /* 3 */
    HostString (*columnName)(void* cursor, int64_t index);        /* 4: new string or none */
    int64_t (*rowCount)(void* cursor);                            /* 5: -1 when unknown */
    /* 6: the current row's value of a column. value receives a pointer to
     * the bytes (owned by the cursor, valid until the next call), type a
     * HostColumnType and length the byte count. For type 18 the value
     * points to a HostString that the cursor keeps. */
    void (*columnValue)(void* cursor, int64_t index, void** value, int32_t* type, int64_t* length);
    void* unused7;                                                /* 7 */
    uint8_t (*nextRow)(void* cursor);                             /* 8: 1 when a row was read */
    void (*deleteRow)(void* cursor);                              /* 9 */
    void* unused10_11[2];                                         /* 10, 11 */
    void (*updateRow)(void* cursor, FieldChange* first);          /* 12 */
    void (*editRow)(void* cursor);                                /* 13 */
    void (*previousRow)(void* cursor);                            /* 14 */
    void (*firstRow)(void* cursor);                               /* 15 */
    void (*lastRow)(void* cursor);                                /* 16 */
    int64_t (*columnType)(void* cursor, int64_t index);           /* 17 */
    void* unused18_20[3];                                         /* 18 to 20 */
} DbCursorTable;

/* The resolver: the host entry point of that name, or none. */
typedef void* (*PluginResolver)(const char* name);

/* The plug-in's exported entry, called once by the host after loading. */
typedef void (*PluginMainFunction)(PluginResolver resolver);
#define PLUGIN_MAIN_SYMBOL "REALPluginMain"

/*
 * Host entry points, as the resolver answers them by these names.
 * Unless said otherwise a returned string or object is a new reference that
 * the caller releases, and a failing call returns 0 or none.
 */

/* Accepts the interface version a plug-in was built for. */
typedef void (*RegisterPluginVersion_t)(int32_t version);
/* The host keeps the tables for the life of the process. */
typedef void (*PluginRegisterDBCursor_t)(DbCursorTable* table);
typedef void (*PluginRegisterDBEngine_t)(DbEngineTable* table);
/* The class exists for the program from now on; the host fills systemWord. */
typedef void (*PluginRegisterClass_t)(ClassDefinition* definition);
typedef void (*PluginRegisterModule_t)(ModuleDefinition* definition);
/* Design time: a menu text and the entry that shows the connection dialog. */
typedef void (*RegisterDataSourceInterface_t)(const char* menuText, void (*showDialog)(void));
/* Design time: a kind of data source and the entry that opens one from the
 * bytes that DesignAddDataSource stored. Returns a new database object. */
typedef void (*RegisterDataSource_t)(const char* kind, HostObject (*open)(const char* data));
/* Design time: adds a data source of that name and kind with its bytes. */
typedef void (*DesignAddDataSource_t)(HostString name, HostString kind, const void* data, int64_t length);
/* Design time connection dialog: create, add labelled fields (masked hides
 * the entry), show with a title, delete. Show returns a new string of the
 * entered texts, each ended by a NUL, or an empty string when cancelled. */
typedef void* (*REALDBConnectionDialogCreate_t)(void);
typedef void (*REALDBConnectionDialogAddField_t)(void* dialog, HostString label, uint8_t masked);
typedef HostString (*REALDBConnectionDialogShow_t)(void* dialog, HostString title);
typedef void (*REALDBConnectionDialogDelete_t)(void* dialog);
/* Makes the object a database served by the engine table with that database
 * pointer. */
typedef void (*REALConstructDBDatabase_t)(HostObject object, void* db, DbEngineTable* engine);
/* The database pointer of a database object; none for another object. */
typedef void* (*REALGetDBFromREALdbDatabase_t)(HostObject database);
/* A new database object served by the engine table (caller owns it). */
typedef HostObject (*REALdbDatabaseFromDBDatabase_t)(void* db, DbEngineTable* engine);
/* A new record-set object over the cursor; the host calls the table's close
 * once when the record set ends (caller owns the object). None for no
 * cursor. */
typedef HostObject (*REALdbCursorFromDBCursor_t)(void* cursor, DbCursorTable* table);
typedef void (*REALSetDBIsConnected_t)(HostObject database, uint8_t connected);
/* The generic database's host, user name and password (new strings). */
typedef HostString (*REALGetDBString_t)(HostObject database);
/* Fills the record with the string's bytes in the wanted encoding; true on
 * success. The record must be given back with PluginDisposeStringData. */
typedef uint8_t (*PluginGetStringData_t)(HostString string, HostEncodingCode encoding, HostStringData* out);
typedef void (*PluginDisposeStringData_t)(HostStringData* data);
typedef HostEncodingCode (*REALGetStringEncoding_t)(HostString string);
typedef void (*REALSetStringEncoding_t)(HostString string, HostEncodingCode encoding);
/* A new string of the bytes, with no encoding set. */
typedef HostString (*REALBuildString_t)(const void* bytes, int64_t length);
/* Releases one reference; none is accepted. */
typedef void (*REALUnlockString_t)(HostString string);
/* A NUL-ended text of the string, valid while the string lives. */
typedef const char* (*StringGetCString_t)(HostString string);
/* A global host function by its declaration; "LenB( s as string ) as
 * integer" answers int64_t (*)(HostString). */
typedef void* (*REALLoadGlobalMethod_t)(const char* module, const char* declaration);
typedef void (*REALLockObject_t)(HostObject object);
typedef void (*REALUnlockObject_t)(HostObject object);
/* A new object of a registered class with zero-filled instance data and its
 * constructor run. */
typedef HostObject (*PluginNewInstanceOfClass_t)(ClassDefinition* definition);
/* Arrays: upper bound (-1 when empty) and elements. */
typedef int64_t (*RuntimeUBound_t)(HostObject array);
typedef void (*PluginObjectArrayGetProc_t)(HostObject array, int64_t index, HostObject* out);
typedef void (*PluginIntegerArrayGetProc_t)(HostObject array, int64_t index, int64_t* out);
/* Property values of an object by property name; true when found. A string
 * or object read is a new reference. Variants answer "StringValue" (none for
 * an empty text), "IntegerValue", "Int64Value", "SingleValue", "DoubleValue"
 * and "DateValue" (a new date object; false when the variant holds no date);
 * date objects answer "Year", "Month", "Day", "Hour", "Minute" and "Second"
 * as integers. A nil object has no properties. */
typedef uint8_t (*REALGetPropValueString_t)(HostObject object, const char* name, HostString* out);
typedef uint8_t (*REALGetPropValueInteger_t)(HostObject object, const char* name, int32_t* out);
typedef uint8_t (*REALGetPropValueInt64_t)(HostObject object, const char* name, int64_t* out);
typedef uint8_t (*REALGetPropValueSingle_t)(HostObject object, const char* name, float* out);
typedef uint8_t (*REALGetPropValueDouble_t)(HostObject object, const char* name, double* out);
typedef uint8_t (*REALGetPropValueObject_t)(HostObject object, const char* name, HostObject* out);
/* New variants. */
typedef HostObject (*StringToVariant_t)(HostString value);
typedef HostObject (*IntegerToVariant_t)(int64_t value);
/* Lets the calling thread leave the host while it blocks; the token goes
 * back to the attach call, which makes it the host's thread again. */
typedef void* (*UnsafeDetachCurrentThread_t)(void);
typedef void (*UnsafeAttachCurrentThread_t)(void* token);
/* Reports a failed internal check of a plug-in. */
typedef void (*PluginReportAssertion_t)(const char* file, int32_t line, const char* message);

#ifdef __cplusplus
}  /* extern "C" */

static_assert(sizeof(HostStringData) == 40, "HostStringData is 40 bytes");
static_assert(sizeof(PropertyDefinition) == 12 * 8, "PropertyDefinition is 12 words");
static_assert(sizeof(MethodDefinition) == 6 * 8, "MethodDefinition is 6 words");
static_assert(sizeof(ConstantDefinition) == 5 * 8, "ConstantDefinition is 5 words");
static_assert(sizeof(ClassDefinition) == 29 * 8, "ClassDefinition is 29 words");
static_assert(offsetof(ClassDefinition, interfaces) == 15 * 8, "interfaces is word 16");
static_assert(offsetof(ClassDefinition, constants) == 18 * 8, "constants is word 19");
static_assert(offsetof(ClassDefinition, flags) == 20 * 8, "flags is word 21");
static_assert(sizeof(ModuleDefinition) == 25 * 8, "ModuleDefinition is 25 words");
static_assert(sizeof(DbEngineTable) == 27 * 8, "DbEngineTable is 27 words");
static_assert(offsetof(DbEngineTable, lastErrorCode) == 12 * 8, "error code is word 12");
static_assert(offsetof(DbEngineTable, supportedTypes) == 17 * 8, "supported types is word 17");
static_assert(offsetof(DbEngineTable, prepare) == 24 * 8, "prepare is word 24");
static_assert(sizeof(DbCursorTable) == 21 * 8, "DbCursorTable is 21 words");
static_assert(offsetof(DbCursorTable, nextRow) == 8 * 8, "next row is word 8");
static_assert(offsetof(DbCursorTable, columnType) == 17 * 8, "column type is word 17");
#endif

#endif
