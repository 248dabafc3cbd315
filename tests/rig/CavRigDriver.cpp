// The test rig's stand-in for the Access ODBC driver: a thin driver over the
// SQLite ODBC driver, registered in the tests' odbcinst.ini under the name
// "Microsoft Access Driver (*.mdb)".
//
// The SQLite driver is linked in as a dependency, so the driver manager finds
// every narrow ODBC function through this library. This file adds:
//  - the connect: DBQ= names the file (as Access drivers take it, also in
//    braces, "}}" for "}"), becomes Database= for SQLite (a path that it
//    cannot take whole is refused as not a valid path), and a missing file
//    is refused instead of created;
//    a file that records a password (table cavRigPassword, column password)
//    refuses any other PWD= with the error of a protected Access file
//    (tests/rig/CavFixture.h); a file without that table takes any password
//    or none; a file that another program holds is refused at the connect
//    as an Access file opened exclusively elsewhere is (CavFixture.h), after
//    a short wait instead of the SQLite driver's 100 seconds, a wait in
//    which the program under test would not answer;
//  - the wide (SQL...W) functions. The driver manager hands a driver that
//    defines SQLConnectW the application's wide text, 4-byte wchar_t here, and
//    the SQLite driver only understands UTF-8, so each wide function turns its
//    text into UTF-8, calls the narrow function and turns the answer back;
//  - SQL_C_WCHAR data in SQLGetData, SQLBindCol and SQLBindParameter, which
//    the narrow driver does not convert: values are read and bound as UTF-8.
// Text the shim cuts to fit a buffer is cut at a whole character, with
// SQLSTATE 01004 on the handle, and SQLGetData hands out the rest piece by
// piece on the following calls.
#include <dlfcn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <odbcinst.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <cwchar>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/Encodings.h"
#include "tests/rig/CavFixture.h"

#ifndef CAV_RIG_SQLITE_DRIVER
#error "CAV_RIG_SQLITE_DRIVER must name the SQLite ODBC driver's file"
#endif

namespace {

// ---------------------------------------------------------------------------
// The SQLite driver's own functions. They are looked up in the driver's file,
// never by plain name: the driver manager in the process exports the same
// names, and a plain call would go back into it.

void* driverSymbol(const char* name) {
    static void* library = dlopen(CAV_RIG_SQLITE_DRIVER, RTLD_NOW | RTLD_LOCAL);
    void* symbol = library ? dlsym(library, name) : nullptr;
    if (!symbol) abort();  // the rig is unusable without the driver
    return symbol;
}

#define DRIVER(name) (reinterpret_cast<decltype(&::name)>(driverSymbol(#name)))

// ---------------------------------------------------------------------------
// Text conversion between the driver manager's wide text (UTF-32 in wchar_t)
// and the SQLite driver's UTF-8. Invalid input becomes U+FFFD.

std::string toUtf8(const SQLWCHAR* text, SQLLEN chars) {
    std::string out;
    if (!text) return out;
    if (chars < 0) chars = static_cast<SQLLEN>(wcslen(text));
    WideToUtf8(std::wstring_view(text, size_t(chars)), out, Undecodable::Replace);
    return out;
}

std::wstring toWide(const std::string& text) {
    std::wstring out;
    Utf8ToWide(text, out, Undecodable::Replace);
    return out;
}

// A wide argument as the narrow driver takes it; a null pointer stays null.
struct Narrow {
    Narrow(const SQLWCHAR* text, SQLLEN chars) : null(text == nullptr), text(toUtf8(text, chars)) {}
    SQLCHAR* p() { return null ? nullptr : reinterpret_cast<SQLCHAR*>(text.data()); }
    SQLSMALLINT n() const { return null ? 0 : static_cast<SQLSMALLINT>(text.size()); }
    SQLINTEGER ni() const { return null ? 0 : static_cast<SQLINTEGER>(text.size()); }
    bool null;
    std::string text;
};

// Buffer sizes and lengths of wide text count characters in some functions
// and bytes in others.
enum class Unit { Chars, Bytes };

struct Put {
    SQLLEN length;   // the whole text's length, in the buffer's unit
    bool truncated;  // not all of it fitted
};

// Writes UTF-8 text into a wide buffer of `capacity` units: whole characters,
// NUL-ended, as much as fits. A null buffer only measures.
Put putWide(const std::string& utf8, SQLPOINTER buffer, SQLLEN capacity, Unit unit) {
    const std::wstring wide = toWide(utf8);
    const SQLLEN per = unit == Unit::Bytes ? SQLLEN(sizeof(SQLWCHAR)) : 1;
    const SQLLEN room = std::max<SQLLEN>(capacity / per, 0);  // characters, NUL included
    const bool truncated = SQLLEN(wide.size()) >= room;
    if (buffer && room > 0) {
        const size_t n = std::min<size_t>(wide.size(), size_t(room - 1));
        auto* out = static_cast<SQLWCHAR*>(buffer);
        std::copy_n(wide.data(), n, out);
        out[n] = 0;
    }
    return {SQLLEN(wide.size()) * per, truncated};
}

template <class Length>
void setLength(Length* length, SQLLEN value) {
    if (length) *length = static_cast<Length>(value);
}

// Runs a narrow driver call that writes text into a buffer, again with a
// larger buffer when the text did not fit, so no UTF-8 sequence is cut.
// `call(buffer, capacity, &length)` with lengths of type N, in bytes.
template <class N, class Call>
SQLRETURN readNarrow(std::string& out, Call call) {
    std::vector<SQLCHAR> buffer(1024);
    for (int attempt = 0;; ++attempt) {
        N length = 0;
        buffer[0] = 0;
        const SQLRETURN rc = call(buffer.data(), N(buffer.size()), &length);
        if (!SQL_SUCCEEDED(rc)) return rc;
        if (length >= N(buffer.size()) && length < 0x7FFF && attempt < 2) {
            buffer.assign(size_t(length) + 1, 0);
            continue;
        }
        const char* text = reinterpret_cast<const char*>(buffer.data());
        out.assign(text, strnlen(text, buffer.size()));
        return rc;
    }
}

// ---------------------------------------------------------------------------
// Diagnostics. The SQLite driver forgets a record once it has been read, and
// the driver manager and the connector may read one more than once; so the
// first read of a handle's diagnostics takes all of the driver's records, and
// they are served from here until the next call of a driver function on that
// handle (every function that takes a handle passes through `call`). The
// shim's own records (a refused password, text cut to fit) join them.

struct Record {
    std::string state;
    SQLINTEGER native;
    std::string message;
};

std::recursive_mutex stateLock;
std::map<SQLHANDLE, std::vector<Record>> diagnostics;

void clearDiagnostics(SQLHANDLE handle) {
    std::lock_guard guard(stateLock);
    diagnostics.erase(handle);
}

std::vector<Record>& records(SQLSMALLINT type, SQLHANDLE handle) {
    std::lock_guard guard(stateLock);
    auto found = diagnostics.find(handle);
    if (found != diagnostics.end()) return found->second;
    std::vector<Record> taken;
    for (SQLSMALLINT i = 1;; ++i) {
        Record r{"", 0, ""};
        SQLCHAR state[6] = {0};
        SQLCHAR message[4096] = {0};
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            DRIVER(SQLGetDiagRec)(type, handle, i, state, &r.native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        r.state = reinterpret_cast<char*>(state);
        r.message = reinterpret_cast<char*>(message);
        taken.push_back(std::move(r));
    }
    return diagnostics.emplace(handle, std::move(taken)).first->second;
}

void addDiagnostic(SQLSMALLINT type, SQLHANDLE handle, Record record) {
    std::lock_guard guard(stateLock);
    records(type, handle).push_back(std::move(record));
}

// The driver's result, turned into success with information when the shim
// cut text to fit.
SQLRETURN withTruncation(SQLRETURN rc, bool truncated, SQLSMALLINT type, SQLHANDLE handle) {
    if (!truncated || !SQL_SUCCEEDED(rc)) return rc;
    addDiagnostic(type, handle, {"01004", 0, "[CAV rig] String data, right truncated"});
    return SQL_SUCCESS_WITH_INFO;
}

// Answers a wide function with the text of the narrow `call`
// (see readNarrow): into `out` of `capacity` units, its length into `length`.
template <class N, class Call>
SQLRETURN answerWide(SQLSMALLINT type, SQLHANDLE handle, SQLPOINTER out, SQLLEN capacity, Unit unit, N* length,
                     Call call) {
    std::string text;
    const SQLRETURN rc = readNarrow<N>(text, call);
    if (!SQL_SUCCEEDED(rc)) return rc;
    const Put put = putWide(text, out, capacity, unit);
    setLength(length, put.length);
    return withTruncation(rc, put.truncated && out, type, handle);
}

// A failure of the shim's own: its record is the handle's only one.
SQLRETURN raise(SQLHANDLE handle, const char* state, SQLINTEGER native, const char* message) {
    std::lock_guard guard(stateLock);
    diagnostics[handle] = {Record{state, native, message}};
    return SQL_ERROR;
}

// ---------------------------------------------------------------------------
// Statement state for SQL_C_WCHAR data.

struct WideColumn {  // a column bound with SQL_C_WCHAR
    SQLPOINTER buffer;
    SQLLEN capacity;
    SQLLEN* indicator;
};

// An input parameter that the rig hands on in another form when the
// statement runs: SQL_C_WCHAR text as UTF-8, and an SQL_C_STINYINT value
// as a 16-bit integer, for the SQLite driver reads every tiny integer as
// unsigned where an Access driver reads this one signed.
struct HeldParameter {
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    SQLULEN columnSize;
    SQLSMALLINT digits;
    SQLPOINTER buffer;
    SQLLEN* indicator;
    std::string utf8;        // text as last bound at the driver
    SQLSMALLINT number = 0;  // a tiny integer as last bound at the driver
    SQLLEN heldIndicator = 0;
};

struct PendingValue {  // the value that SQLGetData is handing out in pieces
    SQLUSMALLINT column = 0;
    std::wstring text;
    size_t offset = 0;
    bool null = false;
    bool done = false;
};

struct Statement {
    std::map<SQLUSMALLINT, WideColumn> columns;
    std::map<SQLUSMALLINT, HeldParameter> parameters;
    std::optional<PendingValue> pending;
};

std::map<SQLHSTMT, Statement> statements;

Statement& statement(SQLHSTMT handle) {
    return statements[handle];
}

// Every driver function that takes a handle runs its body through here: the
// handle's earlier diagnostics end, and no exception leaves the driver.
template <class Body>
SQLRETURN call(SQLHANDLE handle, Body body) {
    try {
        std::lock_guard guard(stateLock);
        clearDiagnostics(handle);
        return body();
    } catch (...) {
        return raise(handle, "HY001", 0, "[CAV rig] Memory allocation error");
    }
}

// A new result or row: what SQLGetData was handing out is gone.
void newRow(SQLHSTMT handle) {
    statement(handle).pending.reset();
}

// Reads a whole column value of the current row as UTF-8; nullopt for NULL.
SQLRETURN readValue(SQLHSTMT handle, SQLUSMALLINT column, std::optional<std::string>& value) {
    std::string text;
    char chunk[4096];
    for (bool first = true;; first = false) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = DRIVER(SQLGetData)(handle, column, SQL_C_CHAR, chunk, sizeof chunk, &indicator);
        if (rc == SQL_NO_DATA && !first) break;
        if (!SQL_SUCCEEDED(rc)) return rc;
        if (indicator == SQL_NULL_DATA) {
            value.reset();
            return SQL_SUCCESS;
        }
        const bool more = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof chunk);
        text.append(chunk, more ? sizeof chunk - 1 : size_t(std::max<SQLLEN>(indicator, 0)));
        if (!more) break;
    }
    value = std::move(text);
    return SQL_SUCCESS;
}

// Fills the columns bound with SQL_C_WCHAR from the row just fetched.
SQLRETURN fillWideColumns(SQLHSTMT handle, SQLRETURN rc) {
    if (!SQL_SUCCEEDED(rc)) return rc;
    bool truncated = false;
    for (auto& [column, bound] : statement(handle).columns) {
        std::optional<std::string> value;
        const SQLRETURN read = readValue(handle, column, value);
        if (!SQL_SUCCEEDED(read)) return read;
        if (!value) {
            setLength(bound.indicator, SQL_NULL_DATA);
            continue;
        }
        const Put put = putWide(*value, bound.buffer, bound.capacity, Unit::Bytes);
        setLength(bound.indicator, put.length);
        truncated = truncated || put.truncated;
    }
    return withTruncation(rc, truncated, SQL_HANDLE_STMT, handle);
}

SQLSMALLINT narrowType(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_WCHAR: return SQL_CHAR;
        case SQL_WVARCHAR: return SQL_VARCHAR;
        case SQL_WLONGVARCHAR: return SQL_LONGVARCHAR;
        default: return sqlType;
    }
}

// Binds the current values of the held parameters at the driver, just
// before the statement runs.
SQLRETURN bindHeldParameters(SQLHSTMT handle) {
    for (auto& [number, p] : statement(handle).parameters) {
        const SQLLEN given = p.indicator ? *p.indicator : SQL_NTS;
        SQLRETURN rc;
        if (p.cType == SQL_C_STINYINT) {
            p.number = *static_cast<const signed char*>(p.buffer);
            p.heldIndicator = given == SQL_NULL_DATA ? SQL_NULL_DATA : 0;
            rc = DRIVER(SQLBindParameter)(handle, number, SQL_PARAM_INPUT, SQL_C_SSHORT, p.sqlType, p.columnSize,
                                          p.digits, &p.number, 0, &p.heldIndicator);
        } else {
            if (given == SQL_NULL_DATA) {
                p.utf8.clear();
                p.heldIndicator = SQL_NULL_DATA;
            } else if (given == SQL_NTS || given >= 0) {
                const auto* text = static_cast<const SQLWCHAR*>(p.buffer);
                p.utf8 = toUtf8(text, given == SQL_NTS ? SQL_NTS : given / SQLLEN(sizeof(SQLWCHAR)));
                p.heldIndicator = SQLLEN(p.utf8.size());
            } else {
                return raise(handle, "HYC00",
                             0, "[CAV rig] Wide parameters sent at execution are not supported");
            }
            rc = DRIVER(SQLBindParameter)(handle, number, SQL_PARAM_INPUT, SQL_C_CHAR, narrowType(p.sqlType),
                                          std::max<SQLULEN>(p.columnSize, p.utf8.size()), p.digits, p.utf8.data(),
                                          SQLLEN(p.utf8.size()) + 1, &p.heldIndicator);
        }
        if (!SQL_SUCCEEDED(rc)) return rc;
    }
    return SQL_SUCCESS;
}

// Keeps an SQL_C_WCHAR or SQL_C_STINYINT input parameter for the next run
// (an SQL_C_WCHAR output parameter is refused); any other binding goes to
// the driver through `forward`.
template <class Forward>
SQLRETURN bindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT direction, SQLSMALLINT cType,
                        SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER buffer,
                        SQLLEN* indicator, Forward forward) {
    auto& parameters = statement(handle).parameters;
    parameters.erase(number);
    const bool signedTiny = cType == SQL_C_STINYINT && direction == SQL_PARAM_INPUT;
    if (cType != SQL_C_WCHAR && !signedTiny) return forward();
    if (direction != SQL_PARAM_INPUT) return raise(handle, "HYC00", 0, "[CAV rig] Only input parameters can be wide");
    parameters.emplace(number, HeldParameter{cType, sqlType, columnSize, digits, buffer, indicator, {}, 0, 0});
    return SQLRETURN(SQL_SUCCESS);
}

// ---------------------------------------------------------------------------
// Connecting.

struct Attribute {
    std::string key;
    std::string value;
};

// "KEY=value;KEY={value};..." with keys compared without regard to case. A
// value in braces may hold ";" and "{", and "}}" stands for one "}" in it,
// as ODBC connection texts write them and Access drivers read them.
std::vector<Attribute> parseConnectionText(const std::string& text) {
    std::vector<Attribute> attributes;
    size_t i = 0;
    while (i < text.size()) {
        const size_t equals = text.find('=', i);
        if (equals == std::string::npos) break;
        Attribute a;
        a.key = text.substr(i, equals - i);
        a.key.erase(0, a.key.find_first_not_of(' '));
        size_t end;
        if (equals + 1 < text.size() && text[equals + 1] == '{') {
            size_t at = equals + 2;
            for (; at < text.size(); ++at) {
                if (text[at] != '}') {
                    a.value += text[at];
                } else if (at + 1 < text.size() && text[at + 1] == '}') {
                    a.value += '}';
                    ++at;
                } else {
                    break;
                }
            }
            end = at >= text.size() ? text.size() : text.find(';', at);
        } else {
            end = text.find(';', equals + 1);
            a.value = text.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
        }
        attributes.push_back(std::move(a));
        i = end == std::string::npos ? text.size() : end + 1;
    }
    return attributes;
}

std::optional<std::string> find(const std::vector<Attribute>& attributes, const char* key) {
    for (const auto& a : attributes)
        if (strcasecmp(a.key.c_str(), key) == 0) return a.value;
    return std::nullopt;
}

// A value of the data source's entry in odbc.ini.
std::optional<std::string> profileValue(const std::string& dsn, const char* key) {
    char value[4096] = {0};
    SQLGetPrivateProfileString(dsn.c_str(), key, "", value, sizeof value, "odbc.ini");
    if (!value[0]) return std::nullopt;
    return std::string(value);
}

// How long a statement waits for a lock that another program holds before
// it is refused: Access, too, tries a lock again only briefly. Tests shorten
// it through the environment (CavFixture.h).
int lockWaitMilliseconds() {
    const char* value = std::getenv(cav_rig::kLockWaitVariable);
    if (!value || !*value) return cav_rig::kLockWaitMilliseconds;
    char* end = nullptr;
    const long wait = std::strtol(value, &end, 10);
    return *end == '\0' && wait >= 0 && wait <= 3600000 ? int(wait) : cav_rig::kLockWaitMilliseconds;
}

// The SQLite driver's native error for a file that another connection holds.
bool heldElsewhere(SQLHSTMT query) {
    SQLCHAR state[6] = {0};
    SQLCHAR message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(DRIVER(SQLGetDiagRec)(SQL_HANDLE_STMT, query, 1, state, &native, message, sizeof message,
                                             &length)))
        return false;
    return native == 5 /* SQLITE_BUSY */ || native == 6 /* SQLITE_LOCKED */;
}

struct FilePassword {
    std::optional<std::string> password;  // nullopt when the file records none
    bool inUse = false;                   // another program holds the file: nothing could be read
};

FilePassword filePassword(SQLHDBC connection) {
    FilePassword found;
    SQLHSTMT query = nullptr;
    if (!SQL_SUCCEEDED(DRIVER(SQLAllocHandle)(SQL_HANDLE_STMT, connection, &query))) return found;
    SQLCHAR sql[] = "SELECT password FROM cavRigPassword";
    if (!SQL_SUCCEEDED(DRIVER(SQLExecDirect)(query, sql, SQL_NTS)))
        found.inUse = heldElsewhere(query);
    else if (SQL_SUCCEEDED(DRIVER(SQLFetch)(query)))
        readValue(query, 1, found.password);
    DRIVER(SQLFreeHandle)(SQL_HANDLE_STMT, query);
    return found;
}

// The file of every open connection. A connection whose file is no longer
// there reports itself dead (SQL_ATTR_CONNECTION_DEAD), as a connection to a
// file on a share that went away does; a reconnect then fails.
std::map<SQLHDBC, std::string> connectedFiles;

bool fileGone(SQLHDBC connection) {
    std::lock_guard guard(stateLock);
    auto found = connectedFiles.find(connection);
    struct stat info;
    return found != connectedFiles.end() && stat(found->second.c_str(), &info) != 0;
}

// The file at `path` as the SQLite driver's Database= takes it: the path
// itself, or, when it holds a ";" (which would end the value there, and the
// SQLite driver knows no braces), an SQLite URI with ";" and the characters
// that URIs give a meaning escaped. Nullopt for a path that the SQLite driver
// would cut (it keeps 511 bytes of the value; SQLite itself opens no longer
// path either): that path is refused, never cut to another file's.
std::optional<std::string> sqliteDatabase(const std::string& path) {
    std::string database = path;
    if (path.find(';') != std::string::npos) {
        database = "file:";
        for (const char c : path) {
            if (c == ';' || c == '%' || c == '?' || c == '#') {
                static const char hex[] = "0123456789ABCDEF";
                database += {'%', hex[(unsigned char)c >> 4], hex[(unsigned char)c & 15]};
            } else {
                database += c;
            }
        }
    }
    if (database.size() > 511) return std::nullopt;
    return database;
}

// Connects with an Access connection text (UTF-8).
SQLRETURN connect(SQLHDBC connection, const std::string& text) {
    const auto attributes = parseConnectionText(text);
    const auto dsn = find(attributes, "DSN");
    auto path = find(attributes, "DBQ");
    if (!path && dsn) path = profileValue(*dsn, "DBQ");
    if (!path) path = find(attributes, "Database");
    auto password = find(attributes, "PWD");
    if (!password && dsn) password = profileValue(*dsn, "PWD");
    if (!path || path->empty())
        return raise(connection, "HY000", -1811,
                     "[Microsoft][ODBC Microsoft Access Driver] Could not find file '(unknown)'.");

    const std::optional<std::string> database = sqliteDatabase(*path);
    if (!database)
        return raise(connection, "HY000", -1023,
                     "[Microsoft][ODBC Microsoft Access Driver] '(unknown)' is not a valid path. Make sure that the "
                     "path name is spelled correctly and that you are connected to the server on which the file "
                     "resides.");
    std::string sqliteText =
        "Database=" + *database + ";NoCreat=1;Timeout=" + std::to_string(lockWaitMilliseconds()) + ";";
    const SQLRETURN rc = DRIVER(SQLDriverConnect)(connection, nullptr, reinterpret_cast<SQLCHAR*>(sqliteText.data()),
                                                  SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) return rc;
    const FilePassword file = filePassword(connection);
    if (file.inUse) {
        DRIVER(SQLDisconnect)(connection);
        return raise(connection, cav_rig::kInUseState, cav_rig::kInUseNativeError, cav_rig::kInUseMessage);
    }
    const auto& expected = file.password;
    if (expected && password.value_or("") != *expected) {
        DRIVER(SQLDisconnect)(connection);
        return raise(connection, cav_rig::kPasswordState, cav_rig::kPasswordNativeError, cav_rig::kPasswordMessage);
    }
    std::lock_guard guard(stateLock);
    connectedFiles[connection] = *path;
    return rc;
}

// ---------------------------------------------------------------------------
// Which attributes and information types are text.

bool isTextInfo(SQLUSMALLINT type) {
    switch (type) {
        case SQL_ACCESSIBLE_PROCEDURES: case SQL_ACCESSIBLE_TABLES: case SQL_CATALOG_NAME:
        case SQL_CATALOG_NAME_SEPARATOR: case SQL_CATALOG_TERM: case SQL_COLLATION_SEQ:
        case SQL_COLUMN_ALIAS: case SQL_DATA_SOURCE_NAME: case SQL_DATA_SOURCE_READ_ONLY:
        case SQL_DATABASE_NAME: case SQL_DBMS_NAME: case SQL_DBMS_VER: case SQL_DESCRIBE_PARAMETER:
        case SQL_DM_VER: case SQL_DRIVER_NAME: case SQL_DRIVER_ODBC_VER: case SQL_DRIVER_VER:
        case SQL_EXPRESSIONS_IN_ORDERBY: case SQL_IDENTIFIER_QUOTE_CHAR: case SQL_INTEGRITY:
        case SQL_KEYWORDS: case SQL_LIKE_ESCAPE_CLAUSE: case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
        case SQL_MULT_RESULT_SETS: case SQL_MULTIPLE_ACTIVE_TXN: case SQL_NEED_LONG_DATA_LEN:
        case SQL_ODBC_VER: case SQL_ORDER_BY_COLUMNS_IN_SELECT: case SQL_OUTER_JOINS:
        case SQL_PROCEDURE_TERM: case SQL_PROCEDURES: case SQL_ROW_UPDATES: case SQL_SCHEMA_TERM:
        case SQL_SEARCH_PATTERN_ESCAPE: case SQL_SERVER_NAME: case SQL_SPECIAL_CHARACTERS:
        case SQL_TABLE_TERM: case SQL_USER_NAME: case SQL_XOPEN_CLI_YEAR:
            return true;
        default:
            return false;
    }
}

// Column and descriptor fields (also the older SQLColAttributes ones).
bool isTextField(SQLUSMALLINT field) {
    switch (field) {
        case SQL_COLUMN_NAME: case SQL_DESC_BASE_COLUMN_NAME: case SQL_DESC_BASE_TABLE_NAME:
        case SQL_DESC_CATALOG_NAME: case SQL_DESC_LABEL: case SQL_DESC_LITERAL_PREFIX:
        case SQL_DESC_LITERAL_SUFFIX: case SQL_DESC_LOCAL_TYPE_NAME: case SQL_DESC_NAME:
        case SQL_DESC_SCHEMA_NAME: case SQL_DESC_TABLE_NAME: case SQL_DESC_TYPE_NAME:
            return true;
        default:
            return false;
    }
}

bool isTextConnectAttribute(SQLINTEGER attribute) {
    return attribute == SQL_ATTR_CURRENT_CATALOG || attribute == SQL_ATTR_TRACEFILE ||
           attribute == SQL_ATTR_TRANSLATE_LIB;
}

bool isTextDiagField(SQLSMALLINT field) {
    return field == SQL_DIAG_SQLSTATE || field == SQL_DIAG_MESSAGE_TEXT || field == SQL_DIAG_DYNAMIC_FUNCTION ||
           field == SQL_DIAG_CLASS_ORIGIN || field == SQL_DIAG_SUBCLASS_ORIGIN ||
           field == SQL_DIAG_CONNECTION_NAME || field == SQL_DIAG_SERVER_NAME;
}

// Wide length arguments in bytes (attributes, descriptor fields) as characters.
SQLLEN charsOf(SQLINTEGER bytes) {
    return bytes < 0 ? SQL_NTS : bytes / SQLINTEGER(sizeof(SQLWCHAR));
}

// One diagnostic record handed out through the wide functions.
SQLRETURN putRecord(const Record& r, SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT capacity,
                    SQLSMALLINT* length) {
    if (state) putWide(r.state, state, 6, Unit::Chars);
    if (native) *native = r.native;
    const Put put = putWide(r.message, message, capacity, Unit::Chars);
    setLength(length, put.length);
    return put.truncated && message ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

}  // namespace

// SQLColAttributeW and the older SQLColAttributesW, over the driver's `narrow`
// function of the same arguments.
template <class Narrow>
SQLRETURN columnAttribute(Narrow narrow, SQLHSTMT hstmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                          SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    return call(hstmt, [&] {
        if (!isTextField(field)) return narrow(hstmt, column, field, text, capacity, length, number);
        return answerWide<SQLSMALLINT>(SQL_HANDLE_STMT, hstmt, text, capacity, Unit::Bytes, length,
                                       [&](SQLCHAR* b, SQLSMALLINT cap, SQLSMALLINT* len) {
                                           return narrow(hstmt, column, field, b, cap, len, number);
                                       });
    });
}

// ---------------------------------------------------------------------------
// Criteria that an Access file refuses. The tree's oldId, fatherId and
// motherId are Number columns there, and Access refuses a criterion that
// compares one of them with a quoted text ("WHERE oldId = '7'") as a type
// mismatch, where the rig's text columns would simply compare text. A quoted
// value put into such a column (INSERT ... VALUES, UPDATE ... SET) is
// converted by Access and passes.

struct Token {
    enum Kind { Word, Literal, Symbol } kind;
    std::string text;
};

// The statement as words (names, keywords and numbers; a bracketed name
// without its brackets), quoted literals and symbols ("<>", "<=", ">=" and
// "!=" as one).
std::vector<Token> tokens(const std::string& sql) {
    std::vector<Token> out;
    auto wordChar = [](unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; };
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'' || c == '"') {
            size_t end = i + 1;
            while (end < sql.size() && (sql[end] != c || (end + 1 < sql.size() && sql[end + 1] == c)))
                end += sql[end] == c ? 2 : 1;
            out.push_back({Token::Literal, sql.substr(i, end + 1 - i)});
            i = end + 1;
        } else if (c == '[') {
            const size_t end = std::min(sql.find(']', i), sql.size());
            out.push_back({Token::Word, sql.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (wordChar(static_cast<unsigned char>(c))) {
            size_t end = i;
            while (end < sql.size() && wordChar(static_cast<unsigned char>(sql[end]))) ++end;
            out.push_back({Token::Word, sql.substr(i, end - i)});
            i = end;
        } else {
            const std::string two = sql.substr(i, 2);
            const bool pair = two == "<>" || two == "<=" || two == ">=" || two == "!=";
            out.push_back({Token::Symbol, pair ? two : std::string(1, c)});
            i += pair ? 2 : 1;
        }
    }
    return out;
}

bool isWord(const Token& token, const char* word) {
    return token.kind == Token::Word && strcasecmp(token.text.c_str(), word) == 0;
}

bool isNumberColumn(const Token& token) {
    return isWord(token, "oldId") || isWord(token, "fatherId") || isWord(token, "motherId");
}

bool isComparison(const Token& token) {
    static const char* const comparisons[] = {"=", "<>", "<", ">", "<=", ">=", "!="};
    return token.kind == Token::Symbol &&
           std::any_of(std::begin(comparisons), std::end(comparisons), [&](const char* c) { return token.text == c; });
}

// Whether the criteria of `sql` (what follows its WHERE) compare a Number
// column of the tree with a quoted literal, either way round.
bool comparesNumberWithText(const std::string& sql) {
    const std::vector<Token> all = tokens(sql);
    auto where = std::find_if(all.begin(), all.end(), [](const Token& t) { return isWord(t, "WHERE"); });
    for (auto t = where; all.end() - t >= 3; ++t) {
        if (!isComparison(t[1])) continue;
        if ((isNumberColumn(t[0]) && t[2].kind == Token::Literal) ||
            (t[0].kind == Token::Literal && isNumberColumn(t[2])))
            return true;
    }
    return false;
}

// What Access answers to such a criterion.
SQLRETURN refuseMismatch(SQLHSTMT handle) {
    return raise(handle, cav_rig::kTypeMismatchState, cav_rig::kTypeMismatchNativeError,
                 cav_rig::kTypeMismatchMessage);
}

// ===========================================================================
// The driver's exported functions.

extern "C" {

// --- connecting ------------------------------------------------------------

SQLRETURN SQL_API SQLConnectW(SQLHDBC hdbc, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR* user,
                              SQLSMALLINT userLength, SQLWCHAR* password, SQLSMALLINT passwordLength) {
    return call(hdbc, [&] {
        return connect(hdbc, "DSN=" + toUtf8(dsn, dsnLength) + ";UID=" + toUtf8(user, userLength) +
                                 ";PWD=" + toUtf8(password, passwordLength) + ";");
    });
}

// The completed connection text is the application's own text, so that a
// second connection can be opened with it.
SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC hdbc, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR* out,
                                    SQLSMALLINT outCapacity, SQLSMALLINT* outLength, SQLUSMALLINT) {
    return call(hdbc, [&] {
        const std::string text = toUtf8(in, inLength);
        const SQLRETURN rc = connect(hdbc, text);
        if (!SQL_SUCCEEDED(rc)) return rc;
        const Put put = putWide(text, out, outCapacity, Unit::Chars);
        setLength(outLength, put.length);
        return withTruncation(rc, put.truncated && out, SQL_HANDLE_DBC, hdbc);
    });
}

SQLRETURN SQL_API SQLBrowseConnectW(SQLHDBC hdbc, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*) {
    return raise(hdbc, "HYC00", 0, "[CAV rig] Optional feature not implemented");
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC hdbc) {
    return call(hdbc, [&] {
        connectedFiles.erase(hdbc);
        return DRIVER(SQLDisconnect)(hdbc);
    });
}

// --- statements --------------------------------------------------------------

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR* text, SQLINTEGER length) {
    return call(hstmt, [&] {
        newRow(hstmt);
        const SQLRETURN bound = bindHeldParameters(hstmt);
        if (!SQL_SUCCEEDED(bound)) return bound;
        Narrow sql(text, length);
        if (comparesNumberWithText(sql.text)) return refuseMismatch(hstmt);
        return DRIVER(SQLExecDirect)(hstmt, sql.p(), sql.ni());
    });
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR* text, SQLINTEGER length) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow sql(text, length);
        if (comparesNumberWithText(sql.text)) return refuseMismatch(hstmt);
        return DRIVER(SQLPrepare)(hstmt, sql.p(), sql.ni());
    });
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT hstmt) {
    return call(hstmt, [&] {
        newRow(hstmt);
        const SQLRETURN bound = bindHeldParameters(hstmt);
        if (!SQL_SUCCEEDED(bound)) return bound;
        return DRIVER(SQLExecute)(hstmt);
    });
}

SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC hdbc, SQLWCHAR* in, SQLINTEGER inLength, SQLWCHAR* out,
                                SQLINTEGER outCapacity, SQLINTEGER* outLength) {
    return call(hdbc, [&] {
        Narrow sql(in, inLength);
        return answerWide<SQLINTEGER>(SQL_HANDLE_DBC, hdbc, out, outCapacity, Unit::Chars, outLength,
                                      [&](SQLCHAR* b, SQLINTEGER cap, SQLINTEGER* len) {
                                          return DRIVER(SQLNativeSql)(hdbc, sql.p(), sql.ni(), b, cap, len);
                                      });
    });
}

SQLRETURN SQL_API SQLGetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* name, SQLSMALLINT capacity, SQLSMALLINT* length) {
    return call(hstmt, [&] {
        return answerWide<SQLSMALLINT>(SQL_HANDLE_STMT, hstmt, name, capacity, Unit::Chars, length,
                                       [&](SQLCHAR* b, SQLSMALLINT cap, SQLSMALLINT* len) {
                                           return DRIVER(SQLGetCursorName)(hstmt, b, cap, len);
                                       });
    });
}

SQLRETURN SQL_API SQLSetCursorNameW(SQLHSTMT hstmt, SQLWCHAR* name, SQLSMALLINT length) {
    return call(hstmt, [&] {
        Narrow text(name, length);
        return DRIVER(SQLSetCursorName)(hstmt, text.p(), text.n());
    });
}

// --- results -----------------------------------------------------------------

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT capacity,
                                  SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                                  SQLSMALLINT* nullable) {
    return call(hstmt, [&] {
        return answerWide<SQLSMALLINT>(SQL_HANDLE_STMT, hstmt, name, capacity, Unit::Chars, nameLength,
                                       [&](SQLCHAR* b, SQLSMALLINT cap, SQLSMALLINT* len) {
                                           return DRIVER(SQLDescribeCol)(hstmt, column, b, cap, len, type, size, digits,
                                                                  nullable);
                                       });
    });
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                   SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    return columnAttribute(DRIVER(SQLColAttribute), hstmt, column, field, text, capacity, length, number);
}

SQLRETURN SQL_API SQLColAttributesW(SQLHSTMT hstmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                    SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    return columnAttribute(DRIVER(SQLColAttributes), hstmt, column, field, text, capacity, length, number);
}

// SQL_C_WCHAR values are read from the driver as UTF-8, whole, and handed out
// in pieces: each call gives as many whole characters as fit, its length
// being what was left before the call; a call after the last piece gives
// SQL_NO_DATA.
SQLRETURN SQL_API SQLGetData(SQLHSTMT hstmt, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER buffer,
                             SQLLEN capacity, SQLLEN* indicator) {
    return call(hstmt, [&]() -> SQLRETURN {
        auto& pending = statement(hstmt).pending;
        if (type != SQL_C_WCHAR) {
            pending.reset();
            return DRIVER(SQLGetData)(hstmt, column, type, buffer, capacity, indicator);
        }
        if (!pending || pending->column != column) {
            std::optional<std::string> value;
            const SQLRETURN rc = readValue(hstmt, column, value);
            if (!SQL_SUCCEEDED(rc)) return rc;
            pending = PendingValue{column, value ? toWide(*value) : std::wstring(), 0, !value, false};
        }
        if (pending->done) return SQL_NO_DATA;
        if (pending->null) {
            pending->done = true;
            setLength(indicator, SQL_NULL_DATA);
            return SQL_SUCCESS;
        }
        const std::wstring& text = pending->text;
        const size_t left = text.size() - pending->offset;
        setLength(indicator, SQLLEN(left * sizeof(SQLWCHAR)));
        const SQLLEN room = buffer ? capacity / SQLLEN(sizeof(SQLWCHAR)) : 0;
        if (room < 1) return withTruncation(SQL_SUCCESS, true, SQL_HANDLE_STMT, hstmt);
        const size_t n = std::min(left, size_t(room - 1));
        auto* out = static_cast<SQLWCHAR*>(buffer);
        std::copy_n(text.data() + pending->offset, n, out);
        out[n] = 0;
        pending->offset += n;
        if (n < left) return withTruncation(SQL_SUCCESS, true, SQL_HANDLE_STMT, hstmt);
        pending->done = true;
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLBindCol(SQLHSTMT hstmt, SQLUSMALLINT column, SQLSMALLINT type, SQLPOINTER buffer,
                             SQLLEN capacity, SQLLEN* indicator) {
    return call(hstmt, [&] {
        auto& columns = statement(hstmt).columns;
        columns.erase(column);
        if (type != SQL_C_WCHAR) return DRIVER(SQLBindCol)(hstmt, column, type, buffer, capacity, indicator);
        const SQLRETURN rc = DRIVER(SQLBindCol)(hstmt, column, SQL_C_CHAR, nullptr, 0, nullptr);
        if (SQL_SUCCEEDED(rc) && buffer) columns[column] = {buffer, capacity, indicator};
        return rc;
    });
}

// The driver manager binds through SQLBindParam when the driver has it, as
// this one does, else through SQLBindParameter.
SQLRETURN SQL_API SQLBindParameter(SQLHSTMT hstmt, SQLUSMALLINT number, SQLSMALLINT direction, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER buffer,
                                   SQLLEN capacity, SQLLEN* indicator) {
    return call(hstmt, [&] {
        return bindParameter(hstmt, number, direction, cType, sqlType, columnSize, digits, buffer, indicator, [&] {
            return DRIVER(SQLBindParameter)(hstmt, number, direction, cType, sqlType, columnSize, digits, buffer,
                                            capacity, indicator);
        });
    });
}

SQLRETURN SQL_API SQLBindParam(SQLHSTMT hstmt, SQLUSMALLINT number, SQLSMALLINT cType, SQLSMALLINT sqlType,
                               SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER buffer, SQLLEN* indicator) {
    return call(hstmt, [&] {
        return bindParameter(hstmt, number, SQL_PARAM_INPUT, cType, sqlType, columnSize, digits, buffer, indicator,
                             [&] {
                                 return DRIVER(SQLBindParam)(hstmt, number, cType, sqlType, columnSize, digits,
                                                             buffer, indicator);
                             });
    });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT hstmt) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return fillWideColumns(hstmt, DRIVER(SQLFetch)(hstmt));
    });
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT hstmt, SQLSMALLINT orientation, SQLLEN offset) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return fillWideColumns(hstmt, DRIVER(SQLFetchScroll)(hstmt, orientation, offset));
    });
}

SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT orientation, SQLLEN offset, SQLULEN* rows,
                                   SQLUSMALLINT* status) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return fillWideColumns(hstmt, DRIVER(SQLExtendedFetch)(hstmt, orientation, offset, rows, status));
    });
}

SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return DRIVER(SQLMoreResults)(hstmt);
    });
}

SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT hstmt) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return DRIVER(SQLCloseCursor)(hstmt);
    });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT hstmt, SQLUSMALLINT option) {
    return call(hstmt, [&] {
        if (option == SQL_DROP) {
            statements.erase(hstmt);
        } else {
            Statement& s = statement(hstmt);
            s.pending.reset();
            if (option == SQL_UNBIND) s.columns.clear();
            if (option == SQL_RESET_PARAMS) s.parameters.clear();
        }
        return DRIVER(SQLFreeStmt)(hstmt, option);
    });
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    {
        std::lock_guard guard(stateLock);
        diagnostics.erase(handle);
        if (type == SQL_HANDLE_STMT) statements.erase(handle);
        if (type == SQL_HANDLE_DBC) connectedFiles.erase(handle);
    }
    return DRIVER(SQLFreeHandle)(type, handle);
}

// --- catalog -----------------------------------------------------------------

SQLRETURN SQL_API SQLTablesW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                             SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* types,
                             SQLSMALLINT typesLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength), y(types, typesLength);
        return DRIVER(SQLTables)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n(), y.p(), y.n());
    });
}

SQLRETURN SQL_API SQLColumnsW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                              SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* column,
                              SQLSMALLINT columnLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength), n(column, columnLength);
        return DRIVER(SQLColumns)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n(), n.p(), n.n());
    });
}

SQLRETURN SQL_API SQLColumnPrivilegesW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                       SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                       SQLSMALLINT tableLength, SQLWCHAR* column, SQLSMALLINT columnLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength), n(column, columnLength);
        return DRIVER(SQLColumnPrivileges)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n(), n.p(), n.n());
    });
}

SQLRETURN SQL_API SQLTablePrivilegesW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                      SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                      SQLSMALLINT tableLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength);
        return DRIVER(SQLTablePrivileges)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n());
    });
}

SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                  SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength);
        return DRIVER(SQLPrimaryKeys)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n());
    });
}

SQLRETURN SQL_API SQLForeignKeysW(SQLHSTMT hstmt, SQLWCHAR* pkCatalog, SQLSMALLINT pkCatalogLength,
                                  SQLWCHAR* pkSchema, SQLSMALLINT pkSchemaLength, SQLWCHAR* pkTable,
                                  SQLSMALLINT pkTableLength, SQLWCHAR* fkCatalog, SQLSMALLINT fkCatalogLength,
                                  SQLWCHAR* fkSchema, SQLSMALLINT fkSchemaLength, SQLWCHAR* fkTable,
                                  SQLSMALLINT fkTableLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow pc(pkCatalog, pkCatalogLength), ps(pkSchema, pkSchemaLength), pt(pkTable, pkTableLength);
        Narrow fc(fkCatalog, fkCatalogLength), fs(fkSchema, fkSchemaLength), ft(fkTable, fkTableLength);
        return DRIVER(SQLForeignKeys)(hstmt, pc.p(), pc.n(), ps.p(), ps.n(), pt.p(), pt.n(), fc.p(), fc.n(), fs.p(),
                                      fs.n(), ft.p(), ft.n());
    });
}

SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                 SQLSMALLINT schemaLength, SQLWCHAR* table, SQLSMALLINT tableLength,
                                 SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength);
        return DRIVER(SQLStatistics)(hstmt, c.p(), c.n(), s.p(), s.n(), t.p(), t.n(), unique, reserved);
    });
}

SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT hstmt, SQLUSMALLINT kind, SQLWCHAR* catalog,
                                     SQLSMALLINT catalogLength, SQLWCHAR* schema, SQLSMALLINT schemaLength,
                                     SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT scope,
                                     SQLUSMALLINT nullable) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), t(table, tableLength);
        return DRIVER(SQLSpecialColumns)(hstmt, kind, c.p(), c.n(), s.p(), s.n(), t.p(), t.n(), scope, nullable);
    });
}

SQLRETURN SQL_API SQLProceduresW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength, SQLWCHAR* schema,
                                 SQLSMALLINT schemaLength, SQLWCHAR* procedure, SQLSMALLINT procedureLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), p(procedure, procedureLength);
        return DRIVER(SQLProcedures)(hstmt, c.p(), c.n(), s.p(), s.n(), p.p(), p.n());
    });
}

SQLRETURN SQL_API SQLProcedureColumnsW(SQLHSTMT hstmt, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                       SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* procedure,
                                       SQLSMALLINT procedureLength, SQLWCHAR* column, SQLSMALLINT columnLength) {
    return call(hstmt, [&] {
        newRow(hstmt);
        Narrow c(catalog, catalogLength), s(schema, schemaLength), p(procedure, procedureLength),
            n(column, columnLength);
        return DRIVER(SQLProcedureColumns)(hstmt, c.p(), c.n(), s.p(), s.n(), p.p(), p.n(), n.p(), n.n());
    });
}

SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT hstmt, SQLSMALLINT type) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return DRIVER(SQLGetTypeInfo)(hstmt, type);
    });
}

// --- information and attributes ------------------------------------------

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC hdbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT capacity,
                              SQLSMALLINT* length) {
    return call(hdbc, [&] {
        if (!isTextInfo(type)) return DRIVER(SQLGetInfo)(hdbc, type, value, capacity, length);
        return answerWide<SQLSMALLINT>(SQL_HANDLE_DBC, hdbc, value, capacity, Unit::Bytes, length,
                                       [&](SQLCHAR* b, SQLSMALLINT cap, SQLSMALLINT* len) {
                                           return DRIVER(SQLGetInfo)(hdbc, type, b, cap, len);
                                       });
    });
}

SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC hdbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                                     SQLINTEGER* length) {
    return call(hdbc, [&] {
        if (attribute == SQL_ATTR_CONNECTION_DEAD && value && fileGone(hdbc)) {
            *static_cast<SQLUINTEGER*>(value) = SQL_CD_TRUE;
            return SQLRETURN(SQL_SUCCESS);
        }
        if (!isTextConnectAttribute(attribute))
            return DRIVER(SQLGetConnectAttr)(hdbc, attribute, value, capacity, length);
        return answerWide<SQLINTEGER>(SQL_HANDLE_DBC, hdbc, value, capacity, Unit::Bytes, length,
                                      [&](SQLCHAR* b, SQLINTEGER cap, SQLINTEGER* len) {
                                          return DRIVER(SQLGetConnectAttr)(hdbc, attribute, b, cap, len);
                                      });
    });
}

SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC hdbc, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return call(hdbc, [&] {
        if (!isTextConnectAttribute(attribute)) return DRIVER(SQLSetConnectAttr)(hdbc, attribute, value, length);
        Narrow text(static_cast<SQLWCHAR*>(value), charsOf(length));
        return DRIVER(SQLSetConnectAttr)(hdbc, attribute, text.p(), text.ni());
    });
}

// The older option functions take text options in a buffer of at least
// SQL_MAX_OPTION_STRING_LENGTH characters.
SQLRETURN SQL_API SQLGetConnectOptionW(SQLHDBC hdbc, SQLUSMALLINT option, SQLPOINTER value) {
    return call(hdbc, [&] {
        if (!isTextConnectAttribute(option)) return DRIVER(SQLGetConnectOption)(hdbc, option, value);
        SQLCHAR text[4 * SQL_MAX_OPTION_STRING_LENGTH + 1] = {0};
        const SQLRETURN rc = DRIVER(SQLGetConnectOption)(hdbc, option, text);
        if (!SQL_SUCCEEDED(rc)) return rc;
        const Put put = putWide(reinterpret_cast<char*>(text), value, SQL_MAX_OPTION_STRING_LENGTH + 1, Unit::Chars);
        return withTruncation(rc, put.truncated && value, SQL_HANDLE_DBC, hdbc);
    });
}

SQLRETURN SQL_API SQLSetConnectOptionW(SQLHDBC hdbc, SQLUSMALLINT option, SQLULEN value) {
    return call(hdbc, [&] {
        if (!isTextConnectAttribute(option)) return DRIVER(SQLSetConnectOption)(hdbc, option, value);
        Narrow text(reinterpret_cast<SQLWCHAR*>(value), SQL_NTS);
        return DRIVER(SQLSetConnectOption)(hdbc, option, reinterpret_cast<SQLULEN>(text.p()));
    });
}

// Statement attributes hold no text.
SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                                  SQLINTEGER* length) {
    return call(hstmt, [&] { return DRIVER(SQLGetStmtAttr)(hstmt, attribute, value, capacity, length); });
}

SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT hstmt, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return call(hstmt, [&] { return DRIVER(SQLSetStmtAttr)(hstmt, attribute, value, length); });
}

// --- descriptors ---------------------------------------------------------------

SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC hdesc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER capacity, SQLINTEGER* length) {
    return call(hdesc, [&] {
        if (!isTextField(field)) return DRIVER(SQLGetDescField)(hdesc, record, field, value, capacity, length);
        return answerWide<SQLINTEGER>(SQL_HANDLE_DESC, hdesc, value, capacity, Unit::Bytes, length,
                                      [&](SQLCHAR* b, SQLINTEGER cap, SQLINTEGER* len) {
                                          return DRIVER(SQLGetDescField)(hdesc, record, field, b, cap, len);
                                      });
    });
}

SQLRETURN SQL_API SQLSetDescFieldW(SQLHDESC hdesc, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value,
                                   SQLINTEGER length) {
    return call(hdesc, [&] {
        if (!isTextField(field)) return DRIVER(SQLSetDescField)(hdesc, record, field, value, length);
        Narrow text(static_cast<SQLWCHAR*>(value), charsOf(length));
        return DRIVER(SQLSetDescField)(hdesc, record, field, text.p(), text.ni());
    });
}

SQLRETURN SQL_API SQLGetDescRecW(SQLHDESC hdesc, SQLSMALLINT record, SQLWCHAR* name, SQLSMALLINT capacity,
                                 SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLSMALLINT* subType, SQLLEN* size,
                                 SQLSMALLINT* precision, SQLSMALLINT* scale, SQLSMALLINT* nullable) {
    return call(hdesc, [&] {
        return answerWide<SQLSMALLINT>(SQL_HANDLE_DESC, hdesc, name, capacity, Unit::Chars, nameLength,
                                       [&](SQLCHAR* b, SQLSMALLINT cap, SQLSMALLINT* len) {
                                           return DRIVER(SQLGetDescRec)(hdesc, record, b, cap, len, type, subType, size,
                                                                 precision, scale, nullable);
                                       });
    });
}

// --- everything else that takes a handle ------------------------------------
// Passed on unchanged; going through `call` ends the handle's diagnostics.

#define FORWARD(name, handle, params, args) \
    SQLRETURN SQL_API name params { return call(handle, [&] { return DRIVER(name) args; }); }

FORWARD(SQLAllocConnect, henv, (SQLHENV henv, SQLHDBC* hdbc), (henv, hdbc))

// A new statement may reuse the address of one that the driver freed by
// itself (on disconnect): it starts without bindings.
SQLRETURN SQL_API SQLAllocStmt(SQLHDBC hdbc, SQLHSTMT* hstmt) {
    return call(hdbc, [&] {
        const SQLRETURN rc = DRIVER(SQLAllocStmt)(hdbc, hstmt);
        if (SQL_SUCCEEDED(rc)) statements.erase(*hstmt);
        return rc;
    });
}

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    return call(input, [&] {
        const SQLRETURN rc = DRIVER(SQLAllocHandle)(type, input, output);
        if (SQL_SUCCEEDED(rc)) {
            statements.erase(*output);
            diagnostics.erase(*output);
        }
        return rc;
    });
}
FORWARD(SQLBulkOperations, hstmt, (SQLHSTMT hstmt, SQLSMALLINT operation), (hstmt, operation))
// Another thread cancels a statement while it runs (and holds the rig's
// lock, perhaps waiting for another program's): the cancel goes to the
// driver at once, as an Access driver takes it.
SQLRETURN SQL_API SQLCancel(SQLHSTMT hstmt) { return DRIVER(SQLCancel)(hstmt); }
FORWARD(SQLCopyDesc, target, (SQLHDESC source, SQLHDESC target), (source, target))
FORWARD(SQLDescribeParam, hstmt,
        (SQLHSTMT hstmt, SQLUSMALLINT number, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
         SQLSMALLINT* nullable),
        (hstmt, number, type, size, digits, nullable))
FORWARD(SQLEndTran, handle, (SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion),
        (type, handle, completion))
FORWARD(SQLTransact, hdbc ? hdbc : henv,
        (SQLHENV henv, SQLHDBC hdbc, SQLUSMALLINT completion), (henv, hdbc, completion))
FORWARD(SQLGetEnvAttr, henv,
        (SQLHENV henv, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity, SQLINTEGER* length),
        (henv, attribute, value, capacity, length))
FORWARD(SQLSetEnvAttr, henv,
        (SQLHENV henv, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length), (henv, attribute, value, length))
FORWARD(SQLGetFunctions, hdbc, (SQLHDBC hdbc, SQLUSMALLINT function, SQLUSMALLINT* supported),
        (hdbc, function, supported))
FORWARD(SQLGetStmtOption, hstmt, (SQLHSTMT hstmt, SQLUSMALLINT option, SQLPOINTER value),
        (hstmt, option, value))
FORWARD(SQLSetStmtOption, hstmt, (SQLHSTMT hstmt, SQLUSMALLINT option, SQLULEN value),
        (hstmt, option, value))
FORWARD(SQLNumParams, hstmt, (SQLHSTMT hstmt, SQLSMALLINT* count), (hstmt, count))
FORWARD(SQLNumResultCols, hstmt, (SQLHSTMT hstmt, SQLSMALLINT* count), (hstmt, count))
FORWARD(SQLRowCount, hstmt, (SQLHSTMT hstmt, SQLLEN* count), (hstmt, count))
FORWARD(SQLParamData, hstmt, (SQLHSTMT hstmt, SQLPOINTER* value), (hstmt, value))
FORWARD(SQLPutData, hstmt, (SQLHSTMT hstmt, SQLPOINTER data, SQLLEN length), (hstmt, data, length))
FORWARD(SQLParamOptions, hstmt, (SQLHSTMT hstmt, SQLULEN rows, SQLULEN* row), (hstmt, rows, row))
FORWARD(SQLSetScrollOptions, hstmt,
        (SQLHSTMT hstmt, SQLUSMALLINT concurrency, SQLLEN keyset, SQLUSMALLINT rowset),
        (hstmt, concurrency, keyset, rowset))
FORWARD(SQLSetDescRec, hdesc,
        (SQLHDESC hdesc, SQLSMALLINT record, SQLSMALLINT type, SQLSMALLINT subType, SQLLEN length,
         SQLSMALLINT precision, SQLSMALLINT scale, SQLPOINTER data, SQLLEN* dataLength, SQLLEN* indicator),
        (hdesc, record, type, subType, length, precision, scale, data, dataLength, indicator))

SQLRETURN SQL_API SQLSetPos(SQLHSTMT hstmt, SQLSETPOSIROW row, SQLUSMALLINT operation, SQLUSMALLINT lock) {
    return call(hstmt, [&] {
        newRow(hstmt);
        return DRIVER(SQLSetPos)(hstmt, row, operation, lock);
    });
}

SQLRETURN SQL_API SQLFreeConnect(SQLHDBC hdbc) {
    clearDiagnostics(hdbc);
    return DRIVER(SQLFreeConnect)(hdbc);
}

SQLRETURN SQL_API SQLFreeEnv(SQLHENV henv) {
    clearDiagnostics(henv);
    return DRIVER(SQLFreeEnv)(henv);
}

// --- diagnostics -----------------------------------------------------------------
// These never clear the shim's diagnostics: they read them.

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLWCHAR* state,
                                 SQLINTEGER* native, SQLWCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    std::lock_guard guard(stateLock);
    const auto& all = records(type, handle);
    if (record < 1) return SQL_ERROR;
    if (size_t(record) > all.size()) return SQL_NO_DATA;
    return putRecord(all[size_t(record) - 1], state, native, message, capacity, length);
}

SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                                   SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    std::lock_guard guard(stateLock);
    const auto& all = records(type, handle);
    if (field == SQL_DIAG_NUMBER) {
        if (value) *static_cast<SQLINTEGER*>(value) = SQLINTEGER(all.size());
        return SQL_SUCCESS;
    }
    const bool ofRecord = field == SQL_DIAG_NATIVE || isTextDiagField(field);
    if (!ofRecord) return DRIVER(SQLGetDiagField)(type, handle, record, field, value, capacity, length);
    if (record < 1) return SQL_ERROR;
    if (size_t(record) > all.size()) return SQL_NO_DATA;
    const Record& r = all[size_t(record) - 1];
    if (field == SQL_DIAG_NATIVE) {
        if (value) *static_cast<SQLINTEGER*>(value) = r.native;
        return SQL_SUCCESS;
    }
    std::string text;
    if (field == SQL_DIAG_SQLSTATE) text = r.state;
    else if (field == SQL_DIAG_MESSAGE_TEXT) text = r.message;
    else if (field == SQL_DIAG_CLASS_ORIGIN || field == SQL_DIAG_SUBCLASS_ORIGIN)
        text = r.state.compare(0, 2, "IM") == 0 ? "ODBC 3.0" : "ISO 9075";
    const Put put = putWide(text, value, capacity, Unit::Bytes);
    setLength(length, put.length);
    return put.truncated && value ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

// The older diagnostic call hands out each record once, the first first.
SQLRETURN SQL_API SQLErrorW(SQLHENV henv, SQLHDBC hdbc, SQLHSTMT hstmt, SQLWCHAR* state, SQLINTEGER* native,
                            SQLWCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    std::lock_guard guard(stateLock);
    const SQLSMALLINT type = hstmt ? SQL_HANDLE_STMT : hdbc ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    auto& all = records(type, hstmt ? hstmt : hdbc ? hdbc : henv);
    if (all.empty()) return SQL_NO_DATA;
    const Record r = all.front();
    all.erase(all.begin());
    return putRecord(r, state, native, message, capacity, length);
}

}  // extern "C"
