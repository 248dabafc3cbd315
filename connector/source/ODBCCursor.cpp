#include "connector/source/ODBCCursor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "connector/source/FrameworkCalls.h"
#include "connector/source/InMemoryCursor.h"
#include "connector/source/ODBCCatalog.h"
#include "connector/source/ODBCDatabase.h"
#include "connector/source/ODBCUtilities.h"

namespace corvane {
namespace {

// The text value handed out last by any ODBCCursor; released when the next
// one is handed out.
HostString g_columnTextSlot = nullptr;

constexpr size_t kChunk = 8192;

bool isLongColumn(SQLSMALLINT t) { return t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_LONGVARBINARY; }
bool isLongText(SQLSMALLINT t) { return t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR; }
bool isShortText(SQLSMALLINT t);
// Every column that is not a number, date, time, bit or binary is read as
// wide text and handed out as UTF-8.
bool isText(SQLSMALLINT t) {
    switch (t) {
    case SQL_NUMERIC: case SQL_DECIMAL: case SQL_FLOAT: case SQL_DOUBLE: case SQL_INTEGER: case SQL_SMALLINT:
    case SQL_TINYINT: case SQL_REAL: case SQL_DATE: case SQL_TYPE_DATE: case SQL_TIME: case SQL_TYPE_TIME:
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP: case SQL_BIT: case SQL_BIGINT: case SQL_BINARY:
    case SQL_VARBINARY: case SQL_LONGVARBINARY:
        return false;
    default:
        return true;
    }
}

// How a column is read into its binding: C type, target and buffer length.
struct Target {
    SQLSMALLINT cType = 0;
    SQLPOINTER target = nullptr;
    SQLLEN bufferLength = 0;
    bool readable = false;  // long columns are read in chunks instead
};

// The read target of a column, making its long-data buffer where one is
// needed.
Target targetFor(ColumnBinding& b) {
    Target t;
    t.readable = true;
    auto fixed = [&](SQLSMALLINT cType, SQLLEN length) {
        t.cType = cType;
        t.target = b.value;
        t.bufferLength = length;
    };
    auto longBuffer = [&](size_t bytes) {
        b.longData = static_cast<unsigned char*>(std::calloc(bytes + 4, 1));
        b.longDataCapacity = b.longData ? bytes : 0;
        t.target = b.longData;
        t.bufferLength = SQLLEN(b.longDataCapacity);
    };
    switch (b.sqlType) {
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: fixed(SQL_C_DOUBLE, 8); break;
    case SQL_INTEGER: fixed(SQL_C_SLONG, 4); break;
    case SQL_SMALLINT:
    case SQL_TINYINT: fixed(SQL_C_SHORT, 2); break;
    case SQL_REAL: fixed(SQL_C_FLOAT, 4); break;
    case SQL_DATE:
    case SQL_TYPE_DATE: fixed(SQL_C_DATE, 6); break;
    case SQL_TIME:
    case SQL_TYPE_TIME: fixed(SQL_C_TIME, 6); break;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: fixed(SQL_C_TIMESTAMP, 16); break;
    case SQL_BIT: fixed(SQL_C_BIT, 1); break;
    case SQL_BIGINT: fixed(SQL_C_SBIGINT, 8); break;
    case SQL_BINARY:
    case SQL_VARBINARY:
        t.cType = SQL_C_BINARY;
        if (b.columnSize >= 1 && b.columnSize <= 255) {
            fixed(SQL_C_BINARY, 256);
        } else {
            const size_t n = b.columnSize >= 256 && b.columnSize <= 8191 ? size_t(b.columnSize) : kChunk;
            longBuffer(n);
        }
        break;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY: t.readable = false; break;
    default:  // text
        t.cType = SQL_C_WCHAR;
        if (b.columnSize >= 1 && b.columnSize <= 255) {
            fixed(SQL_C_WCHAR, 1024);
        } else {
            const size_t n = b.columnSize >= 256 && b.columnSize <= 8191 ? 4 * size_t(b.columnSize) + 4 : 32772;
            longBuffer(n);
        }
        break;
    }
    return t;
}

void freeLongData(ColumnBinding& b) {
    std::free(b.longData);
    b.longData = nullptr;
    b.longDataCapacity = 0;
}

// The state of the first diagnostic of the statement ("01004": truncated).
bool truncated(ODBCConnection* connection, SQLHSTMT statement) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[256];
    SQLSMALLINT length = 0;
    if (!Succeeded(ODBC(connection, SQLGetDiagRec, SQLSMALLINT(SQL_HANDLE_STMT), statement, SQLSMALLINT(1), state,
                        &native, message, SQLSMALLINT(sizeof message), &length)))
        return false;
    return std::strcmp(reinterpret_cast<char*>(state), "01004") == 0;
}

bool isShortText(SQLSMALLINT t) { return isText(t) && !isLongText(t); }

// A value of type T from a value area that need not be aligned for it.
template <class T>
T read(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

uint32_t MapSqlTypeToHostType(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return HOST_TYPE_DOUBLE;
    case SQL_INTEGER: return HOST_TYPE_INTEGER;
    case SQL_SMALLINT: return HOST_TYPE_SHORT;
    case SQL_REAL: return HOST_TYPE_SINGLE;
    case SQL_DATE:
    case SQL_TYPE_DATE: return HOST_TYPE_DATE;
    case SQL_TIME:
    case SQL_TYPE_TIME: return HOST_TYPE_TIME;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: return HOST_TYPE_TIMESTAMP;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR: return HOST_TYPE_LONG_TEXT;
    case SQL_BIT: return HOST_TYPE_BOOLEAN;
    case SQL_TINYINT: return HOST_TYPE_BYTE;
    case SQL_BIGINT: return HOST_TYPE_INT64;
    case SQL_LONGVARBINARY: return HOST_TYPE_LONG_BINARY;
    case SQL_BINARY:
    case SQL_VARBINARY: return HOST_TYPE_BINARY;
    default: return HOST_TYPE_TEXT;
    }
}

ODBCCursor::ODBCCursor(ODBCConnection* connection, std::shared_ptr<StatementHandle> statement, const char* sql,
                       bool ownsStatement) {
    if (!connection) return;
    connection_ = AddRef(connection);
    statement_ = std::move(statement);
    Trace(connection_, "ENTER ODBCCursor(%p, %p)", static_cast<void*>(connection_), Statement());
    sql_ = sql ? sql : "";
    ownsStatement_ = ownsStatement;
    rowLoaded_ = false;
    CreateBindings();
}

ODBCCursor::~ODBCCursor() {
    if (!connection_) return;
    Trace(connection_, "ENTER ~ODBCCursor: %p", Statement());
    if (Statement() && !ownsStatement_) {
        // The prepared statement keeps its handle, prepared for its next run.
        ODBC(connection_, SQLFreeStmt, Statement(), SQLUSMALLINT(SQL_UNBIND));
        ODBC(connection_, SQLFreeStmt, Statement(), SQLUSMALLINT(SQL_CLOSE));
    }
    CleanupBindings();
    if (connection_->lastSelectCursor == this) connection_->lastSelectCursor = nullptr;
    statement_.reset();  // an owned statement goes here: before the connection may close
    Release(connection_);
}

void ODBCCursor::CreateBindings() {
    Trace(connection_, "ENTER CreateBindings: %p", Statement());
    SQLSMALLINT count = 0;
    ODBC(connection_, SQLNumResultCols, Statement(), &count);
    columnCount_ = count;
    if (columnCount_ < 1) {
        columnCount_ = 0;
        return;
    }
    bindings_.reserve(size_t(columnCount_));
    for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columnCount_); ++column) {
        auto binding = std::make_unique<ColumnBinding>();
        ColumnBinding& b = *binding;
        b.number = column;
        ODBC(connection_, SQLDescribeColW, Statement(), column, b.name, SQLSMALLINT(256), &b.nameLength, &b.sqlType,
             &b.columnSize, &b.decimalDigits, &b.nullable);
        b.name[255] = 0;
        b.hostType = MapSqlTypeToHostType(b.sqlType);
        bindings_.push_back(std::move(binding));
        if (connection_->allowsBinds) {
            Target t = targetFor(b);
            b.longDataBound = b.longData != nullptr;
            if (t.readable && t.target)
                ODBC(connection_, SQLBindCol, Statement(), column, t.cType, t.target, t.bufferLength, &b.length);
        }
    }
}

void ODBCCursor::CleanupBindings() {
    Trace(connection_, "ENTER CleanupBindings: %p", Statement());
    for (auto& b : bindings_) freeLongData(*b);
    bindings_.clear();
}

void ODBCCursor::RebindColumns() {
    CleanupBindings();
    rowLoaded_ = false;
    CreateBindings();
}

void ODBCCursor::CleanupRow() {
    Trace(connection_, "ENTER CleanupRow: %p", Statement());
    for (auto& binding : bindings_) {
        ColumnBinding& b = *binding;
        if (b.longDataBound) continue;  // made when binding: stays bound
        if (isLongColumn(b.sqlType) || (!connection_->allowsBinds && b.longData)) {
            freeLongData(b);
            b.length = 0;
        }
    }
}

void ODBCCursor::ReadLongBinary(ColumnBinding& b) {
    std::vector<unsigned char> data;
    std::vector<unsigned char> chunk(kChunk);
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN rc = ODBC(connection_, SQLGetData, Statement(), b.number, SQLSMALLINT(SQL_C_BINARY),
                                  chunk.data(), SQLLEN(kChunk), &length);
        if (data.empty() && length == SQL_NULL_DATA) {
            b.length = SQL_NULL_DATA;
            return;
        }
        if (rc == SQL_SUCCESS_WITH_INFO && truncated(connection_, Statement())) {
            data.insert(data.end(), chunk.begin(), chunk.end());
            continue;
        }
        if (rc == SQL_SUCCESS && length > 0)
            data.insert(data.end(), chunk.begin(), chunk.begin() + std::min<SQLLEN>(length, SQLLEN(kChunk)));
        break;
    }
    if (!data.empty()) {
        b.longData = static_cast<unsigned char*>(std::malloc(data.size() + 1));
        if (b.longData) {
            std::memcpy(b.longData, data.data(), data.size());
            b.longDataCapacity = data.size();
        }
    }
    b.length = b.longData ? SQLLEN(data.size()) : 0;
}

void ODBCCursor::ReadLongText(ColumnBinding& b) {
    std::vector<SQLWCHAR> text;
    std::vector<unsigned char> chunk(kChunk + 4);
    for (;;) {
        std::fill(chunk.begin(), chunk.end(), 0);
        SQLLEN length = 0;
        SQLRETURN rc = ODBC(connection_, SQLGetData, Statement(), b.number, SQLSMALLINT(SQL_C_WCHAR), chunk.data(),
                            SQLLEN(kChunk), &length);
        if (rc == SQL_ERROR)
            rc = ODBC(connection_, SQLGetData, Statement(), b.number, SQLSMALLINT(SQL_C_WCHAR), chunk.data(),
                      SQLLEN(kChunk), &length);
        Trace(connection_, "chunkLength: %ld", long(length));
        if (text.empty() && length == SQL_NULL_DATA && Succeeded(rc)) {
            b.length = SQL_NULL_DATA;
            return;
        }
        const auto* wide = reinterpret_cast<const SQLWCHAR*>(chunk.data());
        const size_t chunkChars = kChunk / sizeof(SQLWCHAR);
        if (rc == SQL_ERROR) {
            SQLWCHAR state[6] = {};
            SQLWCHAR message[512] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT messageLength = 0;
            ODBC(connection_, SQLGetDiagRecW, SQLSMALLINT(SQL_HANDLE_STMT), Statement(), SQLSMALLINT(1), state, &native,
                 message, SQLSMALLINT(511), &messageLength);
            message[511] = 0;
            Trace(connection_, "get data error for column: %u  msg: %s", unsigned(b.number),
                  WideToUtf8(message, 511).c_str());
            break;
        }
        if (rc == SQL_SUCCESS_WITH_INFO && truncated(connection_, Statement())) {
            size_t n = 0;
            while (n < chunkChars && wide[n]) ++n;
            text.insert(text.end(), wide, wide + n);
            continue;
        }
        if (rc == SQL_SUCCESS && length > 0) {
            size_t n = std::min(size_t(length) / sizeof(SQLWCHAR), chunkChars);
            text.insert(text.end(), wide, wide + n);
        }
        break;
    }
    const size_t bytes = text.size() * sizeof(SQLWCHAR);
    if (bytes > 0) {
        b.longData = static_cast<unsigned char*>(std::malloc(bytes + 4));
        if (b.longData) {
            std::memcpy(b.longData, text.data(), bytes);
            b.longDataCapacity = bytes;
        }
    }
    b.length = b.longData ? SQLLEN(bytes) : 0;
}

void ODBCCursor::GetRowValues() {
    Trace(connection_, "ENTER GetRowValues: %p", Statement());
    rowLoaded_ = true;
    for (auto& binding : bindings_) {
        ColumnBinding& b = *binding;
        if (!connection_->allowsBinds && !isLongColumn(b.sqlType)) {
            Target t = targetFor(b);
            if (t.readable && t.target)
                ODBC(connection_, SQLGetData, Statement(), b.number, t.cType, t.target, t.bufferLength, &b.length);
        }
        if (b.sqlType == SQL_LONGVARBINARY) ReadLongBinary(b);
        else if (isLongText(b.sqlType)) ReadLongText(b);
        else if ((b.sqlType == SQL_BINARY || b.sqlType == SQL_VARBINARY) && b.length != SQL_NULL_DATA) {
            // A truncated value is handed out as far as it was read.
            const SQLLEN room = b.longData ? SQLLEN(b.longDataCapacity) : SQLLEN(256);
            if (b.length < 0 || b.length > room) b.length = room;
        }
    }
    for (auto& binding : bindings_) {
        ColumnBinding& b = *binding;
        if (!isText(b.sqlType) || b.length == SQL_NULL_DATA) continue;
        if (b.longData) {
            // The driver's length may exceed what the buffer received.
            size_t bytes = b.length < 0 ? b.longDataCapacity : size_t(b.length);
            const size_t room = b.longDataBound || !isLongText(b.sqlType) ? b.longDataCapacity - 4 : b.longDataCapacity;
            if (bytes > room) bytes = room;
            bytes -= bytes % 4;
            std::vector<char> utf8(bytes + 1);
            const size_t written = Utf32ToUtf8(b.longData, bytes, utf8.data(), bytes + 1, nullptr);
            std::memcpy(b.longData, utf8.data(), written);
            b.longData[written] = 0;
            b.length = SQLLEN(written);
        } else {
            size_t bytes = b.length < 0 ? sizeof b.value - 4 : size_t(b.length);
            if (bytes > sizeof b.value - 4) bytes = sizeof b.value - 4;
            bytes -= bytes % 4;
            b.length = SQLLEN(Utf32ToUtf8(b.value, bytes, b.utf8, sizeof b.utf8, nullptr));
        }
    }
}

int64_t ODBCCursor::RecordCount() {
    Trace(connection_, "ENTER RecordCount: %p", Statement());
    return -1;
}

int64_t ODBCCursor::ColumnCount() {
    Trace(connection_, "ENTER ColumnCount: %p", Statement());
    return columnCount_;
}

HostString ODBCCursor::ColumnName(int64_t index) {
    Trace(connection_, "ENTER ColumnName(%ld): %p", long(index), Statement());
    if (!ColumnInRange(index)) return nullptr;
    const ColumnBinding& b = *bindings_[size_t(index)];
    const std::string name = WideToUtf8(b.name, 256);
    return fw::BuildUtf8String(name.data(), int64_t(name.size()));
}

int64_t ODBCCursor::ColumnType(int64_t index) {
    Trace(connection_, "ENTER ColumnType(%ld): %p", long(index), Statement());
    if (!ColumnInRange(index)) return HOST_TYPE_NULL;
    return bindings_[size_t(index)]->hostType;
}

bool ODBCCursor::NextRecord() {
    Trace(connection_, "ENTER NextRecord: %p", Statement());
    if (!Statement()) return false;  // its connection was closed
    CleanupRow();
    // Every move fetches with SQLFetchScroll: the driver manager refuses a
    // scroll on a statement that has fetched with SQLFetch.
    const SQLRETURN rc = ODBC(connection_, SQLFetchScroll, Statement(), SQLSMALLINT(SQL_FETCH_NEXT), SQLLEN(0));
    if (Succeeded(rc)) {
        GetRowValues();
        return true;
    }
    rowLoaded_ = false;
    if (rc != SQL_NO_DATA) SetErrorFromStatement(connection_, Statement());
    return false;
}

void ODBCCursor::Scroll(SQLSMALLINT orientation, const char* name) {
    Trace(connection_, "ENTER %s: %p", name, Statement());
    if (!Statement()) return;
    CleanupRow();
    const SQLRETURN rc = ODBC(connection_, SQLFetchScroll, Statement(), orientation, SQLLEN(0));
    if (!Succeeded(rc)) {
        // No row now: the bound areas still hold the row before, which an
        // edit must not take for the current one.
        rowLoaded_ = false;
        SetErrorFromStatement(connection_, Statement());
        return;
    }
    GetRowValues();
}

void ODBCCursor::PreviousRecord() { Scroll(SQL_FETCH_PRIOR, "PreviousRecord"); }
void ODBCCursor::FirstRecord() { Scroll(SQL_FETCH_FIRST, "FirstRecord"); }
void ODBCCursor::LastRecord() { Scroll(SQL_FETCH_LAST, "LastRecord"); }

// ---- editing the current row ----------------------------------------------------

namespace {

bool isWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// A text between single quotes, its own quotes doubled so that it stays one
// literal whatever it holds.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// The connection that editing uses: the cursor's own, or, for a driver that
// allows one active statement, a second one opened with the completed
// connection text and closed when this goes.
class EditConnection {
public:
    explicit EditConnection(ODBCConnection* cursorConnection) : connection_(cursorConnection) {
        if (cursorConnection->maxActiveStatements != 1) return;
        own_ = OpenOwnConnection(cursorConnection->completedConnectionText);
        connection_ = own_;
    }
    ~EditConnection() { CloseOwnConnection(own_); }
    EditConnection(const EditConnection&) = delete;
    EditConnection& operator=(const EditConnection&) = delete;

    // True when connected; otherwise the second connection's error becomes
    // the cursor's, as 9005.
    bool ready(ODBCConnection* cursorConnection) const {
        if (connection_ && connection_->hdbc) return true;
        SetLastError(cursorConnection, 9005, connection_ ? connection_->lastErrorText : nullptr);
        return false;
    }
    ODBCConnection* get() const { return connection_; }
    // What a second connection ended with becomes the cursor's error.
    void reportTo(ODBCConnection* cursorConnection) const {
        if (!own_) return;
        SetLastError(cursorConnection, own_->lastErrorCode, own_->lastErrorText);
        cursorConnection->lastRowCount = own_->lastRowCount;
    }

private:
    ODBCConnection* connection_ = nullptr;
    ODBCConnection* own_ = nullptr;
};

constexpr const char* kNotUnique =
    "The RecordSet cannot be edited because the uniqueness of its rows cannot be verified.";
constexpr const char* kNoCurrentRecord =
    "The operation could not be performed because there is no current record on which to perform it.";
constexpr const char* kNoTable = "The fields cannot be updated because the table can't be determined.";

}  // namespace

std::string TableNameFromSelect(const std::string& sql) {
    const size_t n = sql.size();
    if (n < 6) return "";
    for (size_t i = 0; i + 6 <= n; ++i) {
        if (!isWhitespace(sql[i]) || !isWhitespace(sql[i + 5])) continue;
        if (std::toupper(static_cast<unsigned char>(sql[i + 1])) != 'F' ||
            std::toupper(static_cast<unsigned char>(sql[i + 2])) != 'R' ||
            std::toupper(static_cast<unsigned char>(sql[i + 3])) != 'O' ||
            std::toupper(static_cast<unsigned char>(sql[i + 4])) != 'M')
            continue;
        size_t start = i + 6;
        while (start < n && isWhitespace(sql[start])) ++start;
        size_t end = start;
        while (end < n && !isWhitespace(sql[end]) && end - start < 1023) ++end;
        return sql.substr(start, end - start);
    }
    return "";
}

bool ODBCCursor::FindKeyColumns() {
    WideText table = MakeWide(HOST_ENCODING_UTF8, tableName_.data(), tableName_.size());
    const SQLSMALLINT length = SQLSMALLINT(std::min<SQLINTEGER>(table.length, 32767));
    EditConnection edit(connection_);
    if (!edit.ready(connection_)) return false;
    ODBCConnection* c = edit.get();
    if (CursorHandle* keys = odbc_primary_keys(c, table.data(), length)) {
        auto* rows = static_cast<InMemoryCursor*>(keys->cursor);
        while (rows->NextRecord())
            if (const std::string* name = rows->CurrentText(2)) keyColumns_.push_back(*name);
        CloseCursor(keys);
    }
    if (!keyColumns_.empty()) return true;
    // Without a primary key, every integer (or GUID) column serves as key.
    ClearLastError(c);
    if (CursorHandle* columns = odbc_columns(c, table.data(), length)) {
        auto* rows = static_cast<InMemoryCursor*>(columns->cursor);
        while (rows->NextRecord()) {
            const std::string* type = rows->CurrentText(2);
            const std::string* name = rows->CurrentText(1);
            if (!type || !name) continue;
            switch (std::strtol(type->c_str(), nullptr, 10)) {
            case SQL_GUID:
            case SQL_TINYINT:
            case SQL_BIGINT:
            case SQL_INTEGER:
            case SQL_SMALLINT: keyColumns_.push_back(*name); break;
            default: break;
            }
        }
        CloseCursor(columns);
    }
    return true;
}

std::string ODBCCursor::Condition(int64_t column) {
    void* value = nullptr;
    int32_t type = 0;
    int64_t length = 0;
    ColumnValue(column, &value, &type, &length);
    if (!value) type = HOST_TYPE_NULL;
    std::ostringstream out;
    switch (type) {
    case HOST_TYPE_NULL: return " = NULL";
    case HOST_TYPE_BYTE:  // read into a 16-bit area
    case HOST_TYPE_SHORT: out << " = " << read<int16_t>(value); break;
    case HOST_TYPE_INTEGER: out << " = " << read<int32_t>(value); break;
    case HOST_TYPE_SINGLE: out << " = " << read<float>(value); break;
    case HOST_TYPE_DOUBLE: out << " = " << read<double>(value); break;
    case HOST_TYPE_DATE: {
        const auto d = read<SQL_DATE_STRUCT>(value);
        out << " = '" << d.year << "-" << d.month << "-" << d.day << "'";
        break;
    }
    case HOST_TYPE_TIME: {
        const auto t = read<SQL_TIME_STRUCT>(value);
        out << " = '" << t.hour << ":" << t.minute << ":" << t.second << "'";
        break;
    }
    case HOST_TYPE_TIMESTAMP: {
        const auto t = read<SQL_TIMESTAMP_STRUCT>(value);
        out << " = '" << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
            << t.second << "'";
        break;
    }
    case HOST_TYPE_BOOLEAN: out << " = " << (*static_cast<unsigned char*>(value) ? 1 : 0); break;
    case HOST_TYPE_STRING_OBJECT:
        out << " = " << quoted(fw::HostBytes::Read(*static_cast<HostString*>(value)).str());
        break;
    case HOST_TYPE_INT64: out << " = " << read<int64_t>(value); break;
    default: {
        const char* bytes = static_cast<const char*>(value);
        out << " = " << quoted(std::string(bytes, strnlen(bytes, size_t(length > 0 ? length : 0))));
        break;
    }
    }
    return out.str();
}

bool ODBCCursor::BuildWhereClause() {
    // Also without a current row the clause of an earlier row must not stay:
    // it would name a row that is not the current one.
    whereClause_.clear();
    if (!RowLoaded()) return true;
    Trace(connection_, "ENTER BuildWhereClause: %p", Statement());
    if (tableName_.empty()) {
        tableName_ = TableNameFromSelect(sql_);
        if (tableName_.empty()) return true;
        Trace(connection_, "BuildWhereClause: tableName: %s", tableName_.c_str());
    }
    // Keys that could not be looked up are looked up again next time.
    if (!keysFound_) {
        if (!FindKeyColumns()) return false;
        keysFound_ = true;
    }
    std::string conditions;
    for (const std::string& key : keyColumns_) {
        for (int64_t column = 0; column < columnCount_; ++column) {
            const std::string name = WideToUtf8(bindings_[size_t(column)]->name, 256);
            Trace(connection_, "comparing column name: %s and %s", key.c_str(), name.c_str());
            if (CompareNoCase(key.c_str(), name.c_str()) != 0) continue;
            if (!conditions.empty()) conditions += " AND ";
            conditions += key + Condition(column);
            Trace(connection_, "column type: %d value: %s", int(ColumnType(column)), conditions.c_str());
            break;
        }
    }
    whereClause_ = conditions;
    return true;
}

void ODBCCursor::EditRecord() {
    if (!connection_) return;
    Trace(connection_, "ENTER EditRecord: %p", Statement());
    ClearLastError(connection_);
    if (!RowLoaded()) {
        SetLastError(connection_, 9003, kNoCurrentRecord);
        return;
    }
    if (!BuildWhereClause() || !whereClause_.empty()) return;
    if (!tableName_.empty()) SetLastError(connection_, 9000, kNotUnique);
    else SetLastError(connection_, 9004, kNoTable);
}

void ODBCCursor::DeleteRecord() {
    if (!connection_) return;
    Trace(connection_, "ENTER DeleteRecord: %p", Statement());
    ClearLastError(connection_);
    if (!BuildWhereClause()) return;
    if (whereClause_.empty()) {
        SetLastError(connection_, 9000, kNotUnique);
        return;
    }
    const std::string sql = "DELETE FROM " + tableName_ + " WHERE " + whereClause_;
    EditConnection edit(connection_);
    if (!edit.ready(connection_)) return;  // as for an update: the second connection's own error
    odbc_execDirect(edit.get(), sql.c_str(), HOST_ENCODING_UTF8);
    edit.reportTo(connection_);
}

void ODBCCursor::UpdateRecord(FieldChange* first) {
    Trace(connection_, "ENTER UpdateRecord: %p", Statement());
    if (!connection_) return;
    ClearLastError(connection_);
    if (!BuildWhereClause()) return;
    if (whereClause_.empty()) {
        SetLastError(connection_, 9000, kNotUnique);
        return;
    }
    Trace(connection_, "ENTER FieldKey: %p", Statement());
    EditConnection edit(connection_);
    if (!edit.ready(connection_)) return;
    ODBCConnection* c = edit.get();

    StatementHandle handle(c);
    SQLRETURN rc = handle.Allocate();  // a failure makes the connection's diagnostic the error
    const SQLHSTMT statement = handle.get();

    size_t count = 0;
    for (FieldChange* change = first; change; change = change->next) ++count;
    // The bound values live until the statement has run; each ends with a
    // NUL, as the driver reads most of them up to it.
    std::vector<std::string> values;
    std::vector<SQLLEN> indicators;
    values.reserve(count);
    indicators.reserve(count);

    std::string sql = "UPDATE " + tableName_ + " SET ";
    SQLUSMALLINT parameter = 1;
    for (FieldChange* change = first; change && Succeeded(rc); change = change->next, ++parameter) {
        const int64_t column = int64_t(change->column);
        HostString name = ColumnName(column);
        sql += (parameter > 1 ? ", " : "") + fw::HostBytes::Read(name).str() + "=?";
        fw::UnlockString(name);
        values.push_back(fw::HostBytes::Read(change->value).str());
        std::string& value = values.back();
        const SQLULEN bytes = value.size();
        indicators.push_back(SQL_NTS);
        SQLLEN* indicator = &indicators.back();
        const auto bind = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize, SQLLEN bufferLength) {
            rc = ODBC(c, SQLBindParameter, statement, parameter, SQLSMALLINT(SQL_PARAM_INPUT), cType, sqlType,
                      columnSize, SQLSMALLINT(0), static_cast<SQLPOINTER>(value.data()), bufferLength, indicator);
        };
        switch (ColumnInRange(column) ? ColumnType(column) : int64_t(HOST_TYPE_NULL)) {
        case HOST_TYPE_SHORT:
        case HOST_TYPE_INTEGER:
        case HOST_TYPE_BOOLEAN: bind(SQL_C_CHAR, SQL_INTEGER, bytes, 0); break;
        case HOST_TYPE_SINGLE:
        case HOST_TYPE_DOUBLE: bind(SQL_C_CHAR, SQL_DOUBLE, bytes, 0); break;
        case HOST_TYPE_DATE: bind(SQL_C_CHAR, SQL_TYPE_DATE, bytes + 1, 0); break;
        case HOST_TYPE_TIME: bind(SQL_C_CHAR, SQL_TYPE_TIME, bytes + 1, 0); break;
        case HOST_TYPE_TIMESTAMP: bind(SQL_C_CHAR, SQL_TYPE_TIMESTAMP, bytes + 1, 0); break;
        case HOST_TYPE_BINARY:
        case HOST_TYPE_LONG_BINARY:
            *indicator = SQLLEN(bytes);
            bind(SQL_C_BINARY, SQL_LONGVARBINARY, static_cast<SQLULEN>(INT64_MAX), SQLLEN(bytes));
            break;
        case HOST_TYPE_INT64: bind(SQL_C_CHAR, SQL_BIGINT, 25, 8); break;
        case HOST_TYPE_BYTE:
        case HOST_TYPE_TEXT:
        case HOST_TYPE_LONG_TEXT:
            *indicator = SQLLEN(bytes);
            bind(SQL_C_CHAR, SQL_VARCHAR, bytes + 1, 0);
            break;
        default: break;  // not bound: the driver reports the missing parameter
        }
    }
    sql += " WHERE " + whereClause_;

    if (!Succeeded(rc)) {
        if (statement) SetErrorFromStatement(c, statement);
    } else {
        WideText wide = MakeWide(HOST_ENCODING_UTF8, sql.data(), sql.size());
        rc = ODBC(c, SQLPrepareW, statement, wide.data(), wide.length);
        if (Succeeded(rc)) rc = ODBC(c, SQLExecute, statement);
        if (Succeeded(rc) || rc == SQL_NO_DATA) {  // no data: the row matched nothing
            SQLLEN rows = 0;
            if (rc != SQL_NO_DATA) ODBC(c, SQLRowCount, statement, &rows);
            c->lastRowCount = rows;
        } else {
            SetErrorFromStatement(c, statement);
        }
    }
    handle.Free();
    edit.reportTo(connection_);
}

int64_t ODBCCursor::FieldKey(int64_t index) {
    Trace(connection_, "ENTER FieldKey(%ld): %p", long(index), Statement());
    return 0;
}

void ODBCCursor::ColumnValue(int64_t index, void** value, int32_t* type, int64_t* length) {
    Trace(connection_, "ENTER ColumnValue(%ld): %p", long(index), Statement());
    if (type) *type = HOST_TYPE_NULL;
    if (length) *length = 0;
    if (value) *value = nullptr;
    if (!ColumnInRange(index)) {
        Trace(connection_, "column out of range: %p", Statement());
        return;
    }
    ColumnBinding& b = *bindings_[size_t(index)];
    if (b.length == SQL_NULL_DATA) {
        b.value[0] = 0;
        if (value) *value = b.value;
        Trace(connection_, "value is NULL: %p", Statement());
        return;
    }
    if (isText(b.sqlType)) {
        fw::UnlockString(g_columnTextSlot);
        const void* bytes = b.longData ? static_cast<const void*>(b.longData)
                                       : isShortText(b.sqlType) ? static_cast<const void*>(b.utf8)
                                                                : static_cast<const void*>(b.value);
        const int64_t size = b.longData || isShortText(b.sqlType) ? int64_t(b.length) : 0;
        g_columnTextSlot = fw::BuildUtf8String(bytes, size);
        if (!g_columnTextSlot) return;
        if (type) *type = HOST_TYPE_STRING_OBJECT;
        if (length) *length = 8;
        if (value) *value = &g_columnTextSlot;
        Trace(connection_, "ColumnValue: %p sqlType: %d type: %d length: %ld text: %.*s", Statement(), int(b.sqlType),
              HOST_TYPE_STRING_OBJECT, long(b.length), int(size), static_cast<const char*>(bytes));
        return;
    }
    if (type) *type = int32_t(b.hostType);
    if (length) *length = b.length;
    if (value) *value = b.longData ? static_cast<void*>(b.longData) : static_cast<void*>(b.value);
    Trace(connection_, "ColumnValue: %p sqlType: %d type: %u length: %ld", Statement(), int(b.sqlType),
          unsigned(b.hostType), long(b.length));
}

char* ODBCCursor::ColumnValueAsString(int64_t index, int64_t* length, bool* mustFree) {
    Trace(connection_, "ENTER ColumnValueAsString(%ld): %p", long(index), Statement());
    void* value = nullptr;
    int32_t type = 0;
    int64_t valueLength = 0;
    ColumnValue(index, &value, &type, &valueLength);
    if (length) *length = 0;
    if (mustFree) *mustFree = false;
    if (type == HOST_TYPE_NULL || !value) return nullptr;

    auto text = static_cast<char*>(std::calloc(129, 1));
    if (!text) return nullptr;
    switch (type) {
    case HOST_TYPE_SHORT: std::snprintf(text, 129, "%d", int(read<int16_t>(value))); break;
    case HOST_TYPE_INTEGER: std::snprintf(text, 129, "%ld", long(read<int32_t>(value))); break;
    case HOST_TYPE_SINGLE: std::snprintf(text, 129, "%f", double(read<float>(value))); break;
    case HOST_TYPE_DOUBLE: std::snprintf(text, 129, "%f", read<double>(value)); break;
    case HOST_TYPE_DATE: {
        const auto d = read<SQL_DATE_STRUCT>(value);
        std::snprintf(text, 129, "%04d-%02d-%02d", int(d.year), int(d.month), int(d.day));
        break;
    }
    case HOST_TYPE_TIME: {
        const auto t = read<SQL_TIME_STRUCT>(value);
        std::snprintf(text, 129, "%02d:%02d:%02d", int(t.hour), int(t.minute), int(t.second));
        break;
    }
    case HOST_TYPE_TIMESTAMP: {
        const auto t = read<SQL_TIMESTAMP_STRUCT>(value);
        std::snprintf(text, 129, "%04d-%02d-%02d %02d:%02d:%02d", int(t.year), int(t.month), int(t.day),
                      int(t.hour), int(t.minute), int(t.second));
        break;
    }
    case HOST_TYPE_BOOLEAN: std::snprintf(text, 129, "%d", int(*static_cast<unsigned char*>(value))); break;
    case HOST_TYPE_STRING_OBJECT: {
        std::free(text);
        fw::HostBytes bytes = fw::HostBytes::Read(*static_cast<HostString*>(value));
        text = static_cast<char*>(std::malloc(bytes.size() + 1));
        if (!text) return nullptr;
        std::memcpy(text, bytes.data(), bytes.size());
        text[bytes.size()] = 0;
        if (length) *length = int64_t(bytes.size());
        if (mustFree) *mustFree = true;
        return text;
    }
    default:
        std::free(text);
        if (length) *length = valueLength;
        return static_cast<char*>(value);
    }
    if (length) *length = int64_t(std::strlen(text));
    if (mustFree) *mustFree = true;
    return text;
}

}  // namespace corvane
