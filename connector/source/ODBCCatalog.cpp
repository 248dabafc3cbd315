#include "connector/source/ODBCCatalog.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "connector/source/FrameworkCalls.h"
#include "connector/source/InMemoryCursor.h"
#include "connector/source/ODBCDatabase.h"
#include "connector/source/ODBCUtilities.h"

namespace corvane {

namespace {

// The text that GetInfo answers for SQL_DRIVER_BUILD_TIME without asking the
// driver: the time this connector was built.
constexpr const char* kBuildTime = "Oct 19 2018 03:37:51";

constexpr const char* kAllTableTypes =
    "'TABLE','VIEW','SYSTEM TABLE','GLOBAL TEMPORARY','LOCAL TEMPORARY','ALIAS','SYNONYM'";

void* address(const void* p) { return const_cast<void*>(p); }

// A column of a catalog record set: its name and the column of the ODBC
// result (counted from 0) that fills it. Extended columns appear only with
// ODBCDatabase.ExtendedSchema; every list names them after the others.
struct OutputColumn {
    const char* name;
    int source;
    bool extended = false;
};
using ColumnList = std::vector<OutputColumn>;

bool included(const ODBCConnection* connection, const OutputColumn& column) {
    return !column.extended || connection->ExtendedSchema;
}

std::vector<std::string> headerOf(const ODBCConnection* connection, const ColumnList& columns) {
    std::vector<std::string> header;
    for (const OutputColumn& column : columns)
        if (included(connection, column)) header.push_back(column.name);
    return header;
}

// The text of a column of the source's current row; "" for NULL.
std::string columnText(ODBCCursor& source, int column) {
    int64_t length = 0;
    bool mustFree = false;
    char* text = source.ColumnValueAsString(column, &length, &mustFree);
    std::string out;
    if (text && length > 0) out.assign(text, size_t(length));
    if (mustFree) std::free(text);
    return out;
}

// A text argument of a catalog function as the wide function takes it:
// NUL-ended UTF-32 and its length in characters, or absent (a nil string,
// or one whose bytes the framework cannot give).
class CatalogText {
public:
    explicit CatalogText(HostString s) {
        if (!s) return;
        fw::HostBytes bytes = fw::HostBytes::Read(s, HOST_ENCODING_UTF8);
        if (!bytes.ok()) return;
        set(bytes.data(), bytes.size());
    }
    explicit CatalogText(const char* literal) { set(literal, std::strlen(literal)); }

    bool present() const { return present_; }
    SQLWCHAR* data() { return present_ ? wide_.data() : nullptr; }
    SQLSMALLINT length() const { return present_ ? SQLSMALLINT(std::min<SQLINTEGER>(wide_.length, 32767)) : 0; }

private:
    void set(const char* bytes, size_t size) {
        present_ = true;
        wide_ = MakeWide(HOST_ENCODING_UTF8, bytes, size);
    }
    bool present_ = false;
    WideText wide_;
};

using RowBuilder = std::function<void(ODBCCursor& source, InMemoryRow& row)>;

// Runs a catalog function on a fresh statement of the connection and copies
// its whole result into an InMemoryCursor; the statement is freed before
// this returns. A new handle, or none with the error set.
CursorHandle* copyCatalog(ODBCConnection* connection, std::vector<std::string> header,
                          const std::function<SQLRETURN(SQLHSTMT)>& call, const RowBuilder& build) {
    auto statement = std::make_shared<StatementHandle>(connection);
    if (!Succeeded(statement->Allocate())) return nullptr;
    const SQLRETURN rc = call(statement->get());
    if (SQLUSMALLINT(rc) >= 2) {  // anything but SQL_SUCCESS and SQL_SUCCESS_WITH_INFO
        SetErrorFromStatement(connection, statement->get());
        return nullptr;
    }
    auto rows = std::make_unique<InMemoryCursor>(std::move(header));
    {
        ODBCCursor source(connection, std::move(statement), "", true);  // frees the statement when it goes
        while (source.NextRecord()) {
            InMemoryRow row;
            build(source, row);
            rows->AddRow(row);
        }
    }
    return new CursorHandle{rows.release(), connection};
}

// The rows of a catalog function copied column by column as text.
CursorHandle* plainCatalog(ODBCConnection* connection, const ColumnList& columns,
                           const std::function<SQLRETURN(SQLHSTMT)>& call) {
    return copyCatalog(connection, headerOf(connection, columns), call, [&](ODBCCursor& source, InMemoryRow& row) {
        for (const OutputColumn& column : columns)
            if (included(connection, column)) row.push_back({columnText(source, column.source), HOST_TYPE_STRING_OBJECT});
    });
}

// The framework's record set of a query result; none for none. A record
// set that the framework cannot make leaves nothing behind.
HostObject wrap(CursorHandle* handle) {
    if (!handle) return nullptr;
    HostObject recordSet = WrapCursor(handle);
    if (!recordSet) CloseCursor(handle);
    return recordSet;
}

// An argument as a query's trace line prints it: a text as the framework
// gives it, a number in decimal, an address in hexadecimal.
struct Printed {
    Printed(HostString text) : text(fw::CString(text)) {}
    Printed(int64_t number) : text(std::to_string(number)) {}
    Printed(const void* address) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%p", address);
        text = buffer;
    }
    std::string text;
};

// The trace line "ENTER name(connection, printed...)"; then, on a connection
// without a handle, the error 1 "Not connected.". True when connected.
bool traced(ODBCConnection* connection, const char* name, std::initializer_list<Printed> printed) {
    if (connection->traceOn) {
        std::string arguments;
        for (const Printed& argument : printed) arguments += ", " + argument.text;
        Trace(connection, "ENTER %s(%p%s)", name, address(connection), arguments.c_str());
    }
    if (connection->hdbc) return true;
    SetLastError(connection, 1, "Not connected.");
    return false;
}

// The opening of every query on an open connection: the trace line and the
// test above; a nil text among `tested` ends the query with the last error
// as it was; otherwise the error is cleared. True when the query goes on.
bool opens(ODBCConnection* connection, const char* name, std::initializer_list<Printed> printed,
           std::initializer_list<HostString> tested = {}) {
    if (!traced(connection, name, printed)) return false;
    for (HostString text : tested)
        if (!text) return false;
    ClearLastError(connection);
    return true;
}

// Room for an integer answer of the driver, which some drivers write as a
// full machine word whatever the buffer length; read from its low bits.
union IntegerAnswer {
    SQLULEN wide = 0;
    SQLUSMALLINT u16;
    SQLUINTEGER u32;
};

HostObject textVariant(const char* utf8, size_t bytes) {
    HostString text = fw::BuildUtf8String(utf8, int64_t(bytes));
    if (!text) return nullptr;
    HostObject variant = fw::StringToVariant(text);
    fw::UnlockString(text);
    return variant;
}

// UTF-8 of wide text in a buffer of `chars` characters, at most `bytes` - 1
// bytes of it, cut after the last whole character that fits.
std::string wideAnswer(const SQLWCHAR* buffer, size_t chars, size_t bytes) {
    size_t n = 0;
    while (n < chars && buffer[n]) ++n;
    std::vector<char> utf8(bytes);
    const size_t written = Utf32ToUtf8(buffer, n * sizeof(SQLWCHAR), utf8.data(), bytes, nullptr);
    return std::string(utf8.data(), written);
}

// The kinds of GetInfo answers, by info type.
enum class InfoKind { Unsupported, Short, Long, Text, BuildTime };

struct InfoRange {
    int32_t first, last;
    InfoKind kind;
};

constexpr InfoRange kInfoRanges[] = {
    {0, 1, InfoKind::Short}, {9, 9, InfoKind::Short}, {12, 12, InfoKind::Short}, {15, 15, InfoKind::Short},
    {22, 24, InfoKind::Short}, {28, 28, InfoKind::Short}, {30, 35, InfoKind::Short}, {46, 46, InfoKind::Short},
    {74, 75, InfoKind::Short}, {84, 85, InfoKind::Short}, {88, 88, InfoKind::Short}, {93, 93, InfoKind::Short},
    {97, 101, InfoKind::Short}, {106, 107, InfoKind::Short}, {114, 114, InfoKind::Short},
    {116, 116, InfoKind::Short}, {10005, 10005, InfoKind::Short},

    {3, 5, InfoKind::Long}, {8, 8, InfoKind::Long}, {26, 26, InfoKind::Long}, {43, 44, InfoKind::Long},
    {48, 72, InfoKind::Long}, {76, 76, InfoKind::Long}, {78, 83, InfoKind::Long}, {86, 86, InfoKind::Long},
    {91, 92, InfoKind::Long}, {95, 96, InfoKind::Long}, {102, 102, InfoKind::Long}, {104, 105, InfoKind::Long},
    {108, 110, InfoKind::Long}, {112, 112, InfoKind::Long}, {117, 121, InfoKind::Long},
    {127, 170, InfoKind::Long}, {172, 172, InfoKind::Long}, {564, 564, InfoKind::Long},
    {10001, 10001, InfoKind::Long}, {10021, 10022, InfoKind::Long},

    {2, 2, InfoKind::Text}, {6, 7, InfoKind::Text}, {10, 11, InfoKind::Text}, {13, 14, InfoKind::Text},
    {16, 21, InfoKind::Text}, {25, 25, InfoKind::Text}, {27, 27, InfoKind::Text}, {29, 29, InfoKind::Text},
    {36, 42, InfoKind::Text}, {45, 45, InfoKind::Text}, {47, 47, InfoKind::Text}, {73, 73, InfoKind::Text},
    {77, 77, InfoKind::Text}, {87, 87, InfoKind::Text}, {89, 90, InfoKind::Text}, {94, 94, InfoKind::Text},
    {103, 103, InfoKind::Text}, {111, 111, InfoKind::Text}, {113, 113, InfoKind::Text},
    {171, 171, InfoKind::Text}, {563, 563, InfoKind::Text}, {10000, 10000, InfoKind::Text},
    {10002, 10004, InfoKind::Text},

    {1058, 1058, InfoKind::BuildTime},
};

InfoKind infoKind(int32_t type) {
    for (const InfoRange& range : kInfoRanges)
        if (type >= range.first && type <= range.last) return range.kind;
    return InfoKind::Unsupported;
}

// Connection attributes: integers, and the three that hold text.
bool isIntegerAttribute(int32_t a) {
    return a == 4 || (a >= 101 && a <= 104) || a == 107 || a == 108 || (a >= 110 && a <= 113) || a == 1209 ||
           a == 10001 || a == 10014;
}
bool isTextAttribute(int32_t a) { return a == 105 || a == 106 || a == 109; }

}  // namespace

// ---- inner queries --------------------------------------------------------------

CursorHandle* odbc_primary_keys(ODBCConnection* connection, const SQLWCHAR* table, SQLSMALLINT length) {
    if (!traced(connection, "odbc_primary_keys", {table, int64_t(length)}) || !table) return nullptr;
    static const ColumnList columns = {{"KeyName", 5},  {"TableName", 2},    {"ColumnName", 3},
                                       {"KeySeq", 4},   {"TableCatalog", 0}, {"TableSchema", 1}};
    return plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLPrimaryKeysW, s, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(table), length);
    });
}

CursorHandle* odbc_columns(ODBCConnection* connection, const SQLWCHAR* table, SQLSMALLINT length) {
    if (!traced(connection, "odbc_columns", {table, int64_t(length)}) || !table) return nullptr;
    static const ColumnList columns = {{"TableName", 2}, {"ColumnName", 3}, {"DataType", 4}};
    return plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLColumnsW, s, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(table), length,
                    nullptr, 0);
    });
}

// ---- schemas of the engine table ---------------------------------------------

HostObject ODBCGetTableSchema(ODBCConnection* connection) {
    if (!opens(connection, "ODBCGetTableSchema", {})) return nullptr;
    CatalogText types(connection->ExtendedSchema ? kAllTableTypes : "'TABLE'");
    static const ColumnList columns = {
        {"TableName", 2}, {"TableType", 3, true}, {"Remarks", 4, true}, {"TableCatalog", 0, true},
        {"TableSchema", 1, true}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLTablesW, s, nullptr, 0, nullptr, 0, nullptr, 0, types.data(), types.length());
    }));
}

HostObject ODBCGetIndexSchema(ODBCConnection* connection, HostString table) {
    if (!opens(connection, "ODBCGetIndexSchema", {table}, {table})) return nullptr;
    CatalogText name(table);
    static const ColumnList columns = {
        {"IndexName", 5},          {"TableName", 2, true},       {"NonUnique", 3, true},
        {"IndexQualifier", 4, true}, {"Type", 6, true},          {"OrdinalPosition", 7, true},
        {"ColumnName", 8, true},   {"TableCatalog", 0, true},    {"TableSchema", 1, true},
        {"AscOrDesc", 9, true},    {"Cardinality", 10, true},    {"Pages", 11, true},
        {"FilterCondition", 12, true}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLStatisticsW, s, nullptr, 0, nullptr, 0, name.data(), name.length(),
                    SQLUSMALLINT(SQL_INDEX_UNIQUE), SQLUSMALLINT(SQL_QUICK));
    }));
}

HostObject ODBCGetFieldSchema(ODBCConnection* connection, HostString table) {
    if (!opens(connection, "ODBCGetFieldSchema", {table}, {table})) return nullptr;
    CatalogText name(table);

    // The key columns; a driver without primary keys leaves no error and
    // marks no column.
    std::vector<std::string> keys;
    if (CursorHandle* found = odbc_primary_keys(connection, name.data(), name.length())) {
        auto* rows = static_cast<InMemoryCursor*>(found->cursor);
        while (rows->NextRecord())
            if (const std::string* key = rows->CurrentText(2)) keys.push_back(*key);
        CloseCursor(found);
    }
    ClearLastError(connection);

    // FieldType and the two flags are made here; every other column is its
    // source column's text with the type the driver reports for it.
    static const ColumnList columns = {
        {"ColumnName", 3},         {"FieldType", 4},          {"IsPrimary", -1},         {"NotNull", 10},
        {"Length", 6},             {"DataType", 4, true},     {"TypeName", 5, true},     {"TableCatalog", 0, true},
        {"TableSchema", 1, true},  {"TableName", 2, true},    {"ColumnSize", 6, true},   {"BufferLength", 7, true},
        {"DecimalDigits", 8, true}, {"NumPrecRadix", 9, true}, {"Nullable", 10, true},   {"Remarks", 11, true}};
    const auto build = [&](ODBCCursor& source, InMemoryRow& row) {
        const std::string columnName = columnText(source, 3);
        for (const OutputColumn& column : columns) {
            if (!included(connection, column)) continue;
            const std::string field = column.name;
            if (field == "FieldType" && !column.extended) {
                const long dataType = std::strtol(columnText(source, 4).c_str(), nullptr, 10);
                row.push_back({std::to_string(MapSqlTypeToHostType(SQLSMALLINT(dataType))), HOST_TYPE_SHORT});
            } else if (field == "IsPrimary") {
                const bool primary = std::any_of(keys.begin(), keys.end(), [&](const std::string& key) {
                    return CompareNoCase(key.c_str(), columnName.c_str()) == 0;
                });
                row.push_back({primary ? "true" : "false", HOST_TYPE_BOOLEAN});
            } else if (field == "NotNull" && !column.extended) {
                row.push_back({columnText(source, 10) == "0" ? "true" : "false", HOST_TYPE_BOOLEAN});
            } else {
                row.push_back({columnText(source, column.source), int32_t(source.ColumnType(column.source))});
            }
        }
    };
    return wrap(copyCatalog(
        connection, headerOf(connection, columns),
        [&](SQLHSTMT s) {
            return ODBC(connection, SQLColumnsW, s, nullptr, 0, nullptr, 0, name.data(), name.length(), nullptr, 0);
        },
        build));
}

// ---- catalog methods ---------------------------------------------------------------

HostObject ODBCPrimaryKeys(ODBCConnection* connection, HostString table) {
    if (!opens(connection, "ODBCPrimaryKeys", {table}, {table})) return nullptr;
    CatalogText name(table);
    CursorHandle* handle = odbc_primary_keys(connection, name.data(), name.length());
    // The result goes to the framework as it is, also when there is none.
    HostObject recordSet = WrapCursor(handle);
    if (!recordSet) CloseCursor(handle);
    return recordSet;
}

HostObject ODBCForeignKeys(ODBCConnection* connection, HostString primaryTable, HostString foreignTable) {
    if (!opens(connection, "ODBCForeignKeys", {primaryTable, foreignTable})) return nullptr;
    // A nil table is left out, as ODBC takes an absent one: all tables.
    CatalogText primary(primaryTable), foreign(foreignTable);
    static const ColumnList columns = {
        {"PrimaryKeyTableName", 2},    {"PrimaryKeyColumnName", 3},   {"PrimaryKeyName", 12},
        {"ForeignKeyTableName", 6},    {"ForeignKeyColumnName", 7},   {"ForeignKeyName", 11},
        {"KeySeq", 8},                 {"PrimaryKeyTableCatalog", 0}, {"PrimaryKeyTableSchema", 1},
        {"ForeignKeyTableCatalog", 4}, {"ForeignKeyTableSchema", 5},  {"UpdateRule", 9},
        {"DeleteRule", 10}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLForeignKeysW, s, nullptr, 0, nullptr, 0, primary.data(), primary.length(),
                    nullptr, 0, nullptr, 0, foreign.data(), foreign.length());
    }));
}

HostObject ODBCSpecialColumns(ODBCConnection* connection, int64_t identifierType, HostString table, int64_t scope,
                              int64_t nullable) {
    if (!opens(connection, "ODBCSpecialColumns", {table}, {table})) return nullptr;
    CatalogText name(table);
    static const ColumnList columns = {{"Scope", 0},      {"ColumnName", 1},   {"DataType", 2},
                                       {"TypeName", 3},   {"ColumnSize", 4},   {"BufferLength", 5},
                                       {"DecimalDigits", 6}, {"PseudoColumn", 7}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLSpecialColumnsW, s, SQLUSMALLINT(identifierType), nullptr, 0, nullptr, 0,
                    name.data(), name.length(), SQLUSMALLINT(scope), SQLUSMALLINT(nullable));
    }));
}

HostObject ODBCTablePrivileges(ODBCConnection* connection, HostString table) {
    if (!opens(connection, "ODBCTablePrivileges", {table}, {table})) return nullptr;
    CatalogText name(table);
    static const ColumnList columns = {{"TableName", 2}, {"Grantor", 3},      {"Grantee", 4},    {"Privilege", 5},
                                       {"IsGrantable", 6}, {"TableCatalog", 0}, {"TableSchema", 1}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLTablePrivilegesW, s, nullptr, 0, nullptr, 0, name.data(), name.length());
    }));
}

HostObject ODBCColumnPrivileges(ODBCConnection* connection, HostString table, HostString column) {
    if (!opens(connection, "ODBCColumnPrivileges", {table, column}, {table})) return nullptr;
    // A nil column is left out: the privileges of every column.
    CatalogText name(table), columnName(column);
    static const ColumnList columns = {{"ColumnName", 3}, {"Grantor", 4},   {"Grantee", 5},
                                       {"Privilege", 6},  {"IsGrantable", 7}, {"TableName", 2},
                                       {"TableCatalog", 0}, {"TableSchema", 1}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLColumnPrivilegesW, s, nullptr, 0, nullptr, 0, name.data(), name.length(),
                    columnName.data(), columnName.length());
    }));
}

HostObject ODBCProcedures(ODBCConnection* connection) {
    if (!opens(connection, "ODBCProcedures", {})) return nullptr;
    CatalogText pattern("%");
    static const ColumnList columns = {{"ProcedureName", 2},  {"ProcedureType", 7}, {"NumInputParams", 3},
                                       {"NumOutputParams", 4}, {"NumResultSets", 5}, {"Remarks", 6},
                                       {"ProcedureCatalog", 0}, {"ProcedureSchema", 1}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLProceduresW, s, nullptr, 0, nullptr, 0, pattern.data(), pattern.length());
    }));
}

HostObject ODBCProcedureColumns(ODBCConnection* connection, HostString procedure) {
    if (!opens(connection, "ODBCProcedureColumns", {procedure}, {procedure})) return nullptr;
    CatalogText name(procedure), pattern("%");
    static const ColumnList columns = {
        {"ColumnName", 3},       {"ColumnType", 4},     {"DataType", 5},      {"TypeName", 6},
        {"ColumnSize", 7},       {"ProcedureCatalog", 0}, {"ProcedureSchema", 1}, {"ProcedureName", 2},
        {"BufferLength", 8},     {"DecimalDigits", 9},  {"NumPrecRadix", 10}, {"Nullable", 11},
        {"Remarks", 12}};
    return wrap(plainCatalog(connection, columns, [&](SQLHSTMT s) {
        return ODBC(connection, SQLProcedureColumnsW, s, nullptr, 0, nullptr, 0, name.data(), name.length(),
                    pattern.data(), pattern.length());
    }));
}

HostObject ODBCGetSQLTypeInfo(ODBCConnection* connection, int64_t dataType) {
    if (!opens(connection, "ODBCGetSQLTypeInfo", {int64_t(SQLSMALLINT(dataType))})) return nullptr;
    static const ColumnList columns = {
        {"TypeName", 0},         {"DataType", 1},        {"ColumnSize", 2},        {"LiteralPrefix", 3},
        {"LiteralSuffix", 4},    {"CreateParams", 5},    {"Nullable", 6},          {"CaseSensitive", 7},
        {"Searchable", 8},       {"UnsignedAttribute", 9}, {"FixedPrecScale", 10}, {"AutoUniqueValue", 11},
        {"LocalTypeName", 12},   {"MinimumScale", 13},   {"MaximumScale", 14},     {"SQLDataType", 15},
        {"SQLDateTimeSub", 16},  {"NumPrecRadix", 17},   {"IntervalPrecision", 18}};
    return wrap(plainCatalog(connection, columns,
                             [&](SQLHSTMT s) { return ODBC(connection, SQLGetTypeInfoW, s, SQLSMALLINT(dataType)); }));
}

// ---- data sources and drivers ------------------------------------------------------

HostObject ODBCDataSourceNames(ODBCConnection* connection) {
    // The environment may be made here, before any connect: with ODBC 3
    // behaviour, as every later connect shares it.
    SQLHENV environment = Environment(connection);
    if (environment == SQL_NULL_HENV) return nullptr;
    Trace(connection, "ENTER ODBCDataSourceNames(%p)", address(connection));
    auto rows = std::make_unique<InMemoryCursor>(std::vector<std::string>{"Name", "Description", "Type"});
    const auto list = [&](SQLUSMALLINT first, const char* type) {
        for (SQLUSMALLINT direction = first;; direction = SQL_FETCH_NEXT) {
            SQLCHAR name[256] = {};
            SQLCHAR description[256] = {};
            SQLSMALLINT nameLength = 0, descriptionLength = 0;
            if (!Succeeded(ODBC(connection, SQLDataSources, environment, direction, name, SQLSMALLINT(sizeof name),
                                &nameLength, description, SQLSMALLINT(sizeof description), &descriptionLength)))
                break;
            name[sizeof name - 1] = 0;
            description[sizeof description - 1] = 0;
            rows->AddRow({{reinterpret_cast<char*>(name)}, {reinterpret_cast<char*>(description)}, {type}});
        }
    };
    list(SQL_FETCH_FIRST_USER, "User");
    list(SQL_FETCH_FIRST_SYSTEM, "System");
    return wrap(new CursorHandle{rows.release(), connection});
}

HostObject ODBCDriverNames(ODBCConnection* connection) {
    SQLHENV environment = Environment(connection);
    if (environment == SQL_NULL_HENV) return nullptr;
    Trace(connection, "ENTER ODBCDriverNames(%p)", address(connection));
    auto rows = std::make_unique<InMemoryCursor>(std::vector<std::string>{"Name", "Description", "Type"});
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        SQLCHAR description[256] = {};
        SQLCHAR attributes[256] = {};
        SQLSMALLINT descriptionLength = 0, attributesLength = 0;
        if (!Succeeded(ODBC(connection, SQLDrivers, environment, direction, description,
                            SQLSMALLINT(sizeof description), &descriptionLength, attributes,
                            SQLSMALLINT(sizeof attributes), &attributesLength)))
            break;
        description[sizeof description - 1] = 0;
        attributes[sizeof attributes - 1] = 0;  // the first keyword=value pair ends at its NUL
        rows->AddRow({{reinterpret_cast<char*>(description)}, {reinterpret_cast<char*>(attributes)}, {"System"}});
    }
    return wrap(new CursorHandle{rows.release(), connection});
}

// ---- results, information and attributes ---------------------------------------

bool ODBCNextRecordset(ODBCConnection* connection) {
    if (!opens(connection, "ODBCNextRecordset", {})) return false;
    ODBCCursor* cursor = connection->lastSelectCursor;
    if (!cursor) return false;
    // No further result and a failure alike answer false, with no error.
    if (!Succeeded(ODBC(connection, SQLMoreResults, cursor->Statement()))) return false;
    cursor->RebindColumns();
    return true;
}

HostObject ODBCGetInfo(ODBCConnection* connection, int64_t infoType) {
    const int32_t type = int32_t(infoType);
    if (!opens(connection, "ODBCGetInfo", {int64_t(type)})) return nullptr;
    const InfoKind kind = infoKind(type);
    switch (kind) {
    case InfoKind::Short:
    case InfoKind::Long: {
        IntegerAnswer answer;
        SQLSMALLINT length = 0;
        const SQLSMALLINT size = kind == InfoKind::Short ? 2 : 4;
        if (!Succeeded(ODBC(connection, SQLGetInfo, connection->hdbc, SQLUSMALLINT(type), static_cast<SQLPOINTER>(&answer),
                            size, &length))) {
            SetErrorFromConnection(connection);
            return nullptr;
        }
        return fw::IntegerToVariant(kind == InfoKind::Short ? int64_t(answer.u16) : int64_t(answer.u32));
    }
    case InfoKind::Text: {
        SQLWCHAR buffer[256] = {};  // 1024 bytes
        SQLSMALLINT length = 0;
        if (!Succeeded(ODBC(connection, SQLGetInfoW, connection->hdbc, SQLUSMALLINT(type), static_cast<SQLPOINTER>(buffer),
                            SQLSMALLINT(sizeof buffer), &length))) {
            SetErrorFromConnection(connection);
            return nullptr;
        }
        const std::string text = wideAnswer(buffer, 255, 256);
        return textVariant(text.data(), text.size());
    }
    case InfoKind::BuildTime:
        return textVariant(kBuildTime, std::strlen(kBuildTime));
    case InfoKind::Unsupported:
        break;
    }
    SetLastError(connection, 1, "Option not supported.");
    return nullptr;
}

HostObject ODBCGetConnectionAttribute(ODBCConnection* connection, int64_t attribute) {
    const int32_t a = int32_t(attribute);
    if (!opens(connection, "ODBCGetConnectionAttribute", {int64_t(a)})) return nullptr;
    if (isIntegerAttribute(a)) {
        IntegerAnswer answer;
        if (!Succeeded(ODBC(connection, SQLGetConnectOption, connection->hdbc, SQLUSMALLINT(a),
                            static_cast<SQLPOINTER>(&answer)))) {
            SetErrorFromConnection(connection);
            return nullptr;
        }
        return fw::IntegerToVariant(int64_t(answer.u32));
    }
    if (isTextAttribute(a)) {
        // ODBC hands text options out into a buffer of at least
        // SQL_MAX_OPTION_STRING_LENGTH characters; the wide call keeps text
        // beyond ASCII whole.
        SQLWCHAR buffer[SQL_MAX_OPTION_STRING_LENGTH + 1] = {};
        if (!Succeeded(ODBC(connection, SQLGetConnectOptionW, connection->hdbc, SQLUSMALLINT(a),
                            static_cast<SQLPOINTER>(buffer)))) {
            SetErrorFromConnection(connection);
            return nullptr;
        }
        const std::string text =
            wideAnswer(buffer, SQL_MAX_OPTION_STRING_LENGTH, 4 * SQL_MAX_OPTION_STRING_LENGTH + 1);
        return textVariant(text.data(), text.size());
    }
    SetLastError(connection, 1, "Option not supported.");
    return nullptr;
}

void ODBCSetConnectionAttribute(ODBCConnection* connection, int64_t attribute, int64_t value) {
    const int32_t a = int32_t(attribute);
    if (!opens(connection, "ODBCSetConnectionAttribute", {int64_t(a)})) return;
    if (!isIntegerAttribute(a)) {
        SetLastError(connection, 1, "Option not supported.");
        return;
    }
    if (!Succeeded(ODBC(connection, SQLSetConnectOption, connection->hdbc, SQLUSMALLINT(a),
                        static_cast<SQLULEN>(static_cast<SQLLEN>(value)))))
        SetErrorFromConnection(connection);
}

}  // namespace corvane
