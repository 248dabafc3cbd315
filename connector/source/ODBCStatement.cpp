#include "connector/source/ODBCStatement.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "connector/source/Corvane.h"
#include "connector/source/FrameworkCalls.h"
#include "connector/source/ODBCCursor.h"
#include "connector/source/ODBCDatabase.h"
#include "connector/source/ODBCUtilities.h"

namespace corvane {

namespace {

void setError(ODBCConnection* connection, const char* format, long value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    SetLastError(connection, -1, text);
}

template <class T>
void store(ParamBuffer& buffer, T value) {
    static_assert(sizeof(T) <= sizeof buffer.value);
    std::memcpy(buffer.value, &value, sizeof value);
}

// A number property of a value, stored in the value area as a `Stored`;
// false when the value has none.
template <class Stored, class Read>
bool readInto(ParamBuffer& buffer, bool (*reader)(HostObject, const char*, Read*), HostObject value,
              const char* name) {
    Read read{};
    if (!reader(value, name, &read)) return false;
    store(buffer, Stored(read));
    return true;
}

// The calendar parts of a date object; false when one cannot be read.
bool readParts(HostObject date, std::initializer_list<std::pair<const char*, int32_t*>> parts) {
    for (auto& [name, out] : parts)
        if (!fw::PropertyInteger(date, name, out)) return false;
    return true;
}

// One parameter as its binder sees it.
struct Parameter {
    ODBCConnection* connection;
    SQLHSTMT statement;
    size_t index;     // 0-based; the parameter number is one more
    HostObject value;
    int32_t type;     // its bind type
    ParamBuffer& buffer;
    std::vector<std::vector<char>>& held;  // texts that must live until the statement has run

    SQLRETURN bind(SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize, SQLPOINTER data,
                   SQLLEN bufferLength) {
        return ODBC(connection, SQLBindParameter, statement, SQLUSMALLINT(index + 1), SQLSMALLINT(SQL_PARAM_INPUT),
                    cType, sqlType, columnSize, SQLSMALLINT(0), data, bufferLength, &buffer.indicator);
    }
    // A number is bound first and then read into the value area; one that
    // cannot be read is NULL.
    SQLRETURN number(SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, bool read) {
        const SQLRETURN rc = bind(cType, sqlType, size, buffer.value, 0);
        if (!read) buffer.indicator = SQL_NULL_DATA;
        return rc;
    }
    // A value that cannot be read as the bind type asks: nothing runs.
    std::optional<SQLRETURN> refuse(const char* format) {
        setError(connection, format, long(index));
        return std::nullopt;
    }
};

// Binds one parameter: the ODBC result, or none when its value cannot be
// read as its bind type asks (the error is then set).
using Binder = std::optional<SQLRETURN> (*)(Parameter& p);

// The properties of a variant that hold its number.
constexpr char kIntegerValue[] = "IntegerValue";
constexpr char kInt64Value[] = "Int64Value";
constexpr char kSingleValue[] = "SingleValue";
constexpr char kDoubleValue[] = "DoubleValue";

// A number: the variant's property `name`, read with `reader` and stored in
// the value area as a `Stored`.
template <SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, class Stored, auto reader, const char* name>
std::optional<SQLRETURN> bindNumber(Parameter& p) {
    return p.number(cType, sqlType, size, readInto<Stored>(p.buffer, reader, p.value, name));
}

std::optional<SQLRETURN> bindNull(Parameter& p) {
    p.buffer.indicator = SQL_NULL_DATA;
    return p.bind(SQL_C_CHAR, SQL_VARCHAR, 0, p.buffer.value, 0);
}

// Text as UTF-32, binary values as the bytes of the string in its own
// encoding; a string of none is an empty text.
std::optional<SQLRETURN> bindText(Parameter& p) {
    constexpr const char* kNotText = "The value of parameter %ld is not a string value";
    const bool binary = p.type == ODBC_TYPE_BINARY;
    HostString text = nullptr;
    if (!fw::PropertyString(p.value, "StringValue", &text)) return p.refuse(kNotText);
    SQLPOINTER data = p.buffer.value;
    SQLLEN bytes = 0;
    if (text) {
        const fw::HostBytes read =
            binary ? fw::HostBytes::Read(text) : fw::HostBytes::Read(text, HOST_ENCODING_UTF32LE);
        fw::UnlockString(text);
        if (!read.ok()) return p.refuse(kNotText);
        if (read.size() > 0) {
            // A copy with a wide NUL after it: for a narrow driver the driver
            // manager converts a wide text up to its NUL, whatever its length.
            std::vector<char> copy(read.data(), read.data() + read.size());
            copy.resize(copy.size() + sizeof(SQLWCHAR), 0);
            data = copy.data();
            bytes = SQLLEN(read.size());
            p.held.push_back(std::move(copy));
        }
    }
    p.buffer.indicator = bytes;
    if (binary)
        return p.bind(SQL_C_BINARY, SQL_LONGVARBINARY, static_cast<SQLULEN>(bytes > 0 ? bytes : 1), data, bytes);
    const SQLULEN chars = static_cast<SQLULEN>(bytes) / sizeof(SQLWCHAR);
    return p.bind(SQL_C_WCHAR, p.type == ODBC_TYPE_STRING ? SQL_WVARCHAR : SQL_WLONGVARCHAR, chars > 0 ? chars : 1,
                  data, bytes);
}

// A date, time or time stamp from the value's date: its structure in the
// value area, with the structure's size as the length and, as column size,
// what ODBC defines for the SQL type (the characters of "yyyy-mm-dd",
// "hh:mm:ss" and "yyyy-mm-dd hh:mm:ss"; a smaller one drops the seconds of
// a time stamp). A value of none is NULL.
std::optional<SQLRETURN> bindDate(Parameter& p) {
    const SQLSMALLINT cType = p.type == ODBC_TYPE_DATE ? SQL_C_DATE : p.type == ODBC_TYPE_TIME ? SQL_C_TIME
                                                                                             : SQL_C_TIMESTAMP;
    const SQLSMALLINT sqlType = SQLSMALLINT(p.type);  // SQL_TYPE_DATE, SQL_TYPE_TIME, SQL_TYPE_TIMESTAMP
    const SQLLEN length = p.type == ODBC_TYPE_TIMESTAMP ? 16 : 6;
    const SQLULEN columnSize = p.type == ODBC_TYPE_DATE ? 10 : p.type == ODBC_TYPE_TIME ? 8 : 19;
    if (!p.value) {
        p.buffer.indicator = SQL_NULL_DATA;
        return p.bind(cType, sqlType, ~static_cast<SQLULEN>(0), p.buffer.value, 0);
    }
    HostObject date = nullptr;
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool read = fw::PropertyObject(p.value, "DateValue", &date) && date;
    if (read) {
        if (p.type == ODBC_TYPE_DATE) read = readParts(date, {{"Day", &day}, {"Month", &month}, {"Year", &year}});
        else if (p.type == ODBC_TYPE_TIME)
            read = readParts(date, {{"Hour", &hour}, {"Minute", &minute}, {"Second", &second}});
        else
            read = readParts(date, {{"Day", &day}, {"Month", &month}, {"Year", &year}, {"Hour", &hour},
                                    {"Minute", &minute}, {"Second", &second}});
    }
    fw::UnlockObject(date);
    if (!read) return p.refuse("The value of parameter %ld is not a date value");
    if (p.type == ODBC_TYPE_DATE)
        store(p.buffer, SQL_DATE_STRUCT{SQLSMALLINT(year), SQLUSMALLINT(month), SQLUSMALLINT(day)});
    else if (p.type == ODBC_TYPE_TIME)
        store(p.buffer, SQL_TIME_STRUCT{SQLUSMALLINT(hour), SQLUSMALLINT(minute), SQLUSMALLINT(second)});
    else
        store(p.buffer, SQL_TIMESTAMP_STRUCT{SQLSMALLINT(year), SQLUSMALLINT(month), SQLUSMALLINT(day),
                                             SQLUSMALLINT(hour), SQLUSMALLINT(minute), SQLUSMALLINT(second), 0});
    p.buffer.indicator = length;
    return p.bind(cType, sqlType, columnSize, p.buffer.value, 0);
}

// Each bind type with its binder; a type not here binds nothing.
const std::pair<int32_t, Binder> kBinders[] = {
    {ODBC_TYPE_NULL, bindNull},
    {ODBC_TYPE_STRING, bindText},
    {ODBC_TYPE_LONGSTRING, bindText},
    {ODBC_TYPE_BINARY, bindText},
    {ODBC_TYPE_INTEGER, bindNumber<SQL_C_SLONG, SQL_INTEGER, 4, int32_t, fw::PropertyInteger, kIntegerValue>},
    {ODBC_TYPE_SMALLINT, bindNumber<SQL_C_SSHORT, SQL_SMALLINT, 2, int16_t, fw::PropertyInteger, kIntegerValue>},
    {ODBC_TYPE_TINYINT, bindNumber<SQL_C_STINYINT, SQL_TINYINT, 1, int8_t, fw::PropertyInteger, kIntegerValue>},
    {ODBC_TYPE_BIGINT, bindNumber<SQL_C_SBIGINT, SQL_BIGINT, 8, int64_t, fw::PropertyInt64, kInt64Value>},
    {ODBC_TYPE_FLOAT, bindNumber<SQL_C_FLOAT, SQL_REAL, 4, float, fw::PropertySingle, kSingleValue>},
    {ODBC_TYPE_DOUBLE, bindNumber<SQL_C_DOUBLE, SQL_DOUBLE, 8, double, fw::PropertyDouble, kDoubleValue>},
    {ODBC_TYPE_DATE, bindDate},
    {ODBC_TYPE_TIME, bindDate},
    {ODBC_TYPE_TIMESTAMP, bindDate},
};

Binder binderOf(int32_t type) {
    for (const auto& [bindType, binder] : kBinders)
        if (bindType == type) return binder;
    return nullptr;
}

}  // namespace

ODBCStatement::ODBCStatement(ODBCConnection* connection, std::string sql, HostEncodingCode encoding)
    : SQLStatement(std::move(sql)), connection_(AddRef(connection)), encoding_(encoding) {}

ODBCStatement::~ODBCStatement() {
    if (SQLHSTMT handle = Handle()) ODBC(connection_, SQLFreeStmt, handle, SQLUSMALLINT(SQL_RESET_PARAMS));
    for (HostObject value : values_) fw::UnlockObject(value);
    values_.clear();
    buffers_.clear();
    handle_.reset();
    Release(connection_);
}

SQLHSTMT ODBCStatement::Handle() const { return handle_ ? handle_->get() : SQL_NULL_HSTMT; }

void ODBCStatement::Place(int64_t index, HostObject value) {
    const size_t at = size_t(index);
    if (at < values_.size()) {
        fw::UnlockObject(values_[at]);
        values_[at] = value;
        return;
    }
    while (values_.size() < at) {
        values_.push_back(nullptr);
        buffers_.push_back(std::make_unique<ParamBuffer>());
    }
    values_.push_back(value);
    buffers_.push_back(std::make_unique<ParamBuffer>());
}

void ODBCStatement::Bind(int64_t index, HostObject value) {
    if (index < 0) return;  // no parameter has a place before the first
    fw::LockObject(value);
    Place(index, value);
}

void ODBCStatement::Bind(HostObject values) {
    const int64_t last = fw::UBound(values);
    // Each element comes with a reference of its own, which the list keeps.
    for (int64_t i = 0; i <= last; ++i) Place(i, fw::ObjectArrayElement(values, i));
}

void ODBCStatement::BindType(int64_t index, int32_t type) {
    if (index < 0) return;
    const size_t at = size_t(index);
    if (at < types_.size()) {
        types_[at] = type;
        return;
    }
    types_.resize(at, ODBC_TYPE_LONGSTRING);
    types_.push_back(type);
}

void ODBCStatement::BindType(HostObject types) {
    types_.clear();
    const int64_t last = fw::UBound(types);
    for (int64_t i = 0; i <= last; ++i) types_.push_back(int32_t(fw::IntegerArrayElement(types, i)));
}

void ODBCStatement::Bind(int64_t index, HostObject value, int32_t type) {
    Bind(index, value);
    BindType(index, type);
}

ODBCCursor* ODBCStatement::Select(HostObject parameters) {
    return BindAndExecute(fw::UBound(parameters) >= 0 ? parameters : nullptr, true);
}

void ODBCStatement::Execute(HostObject parameters) {
    BindAndExecute(fw::UBound(parameters) >= 0 ? parameters : nullptr, false);
}

bool ODBCStatement::PrepareIfNeeded() {
    // A handle that its closed connection took is prepared anew.
    if (Handle()) return true;
    handle_.reset();
    if (!connection_->hdbc) {
        SetLastError(connection_, 1, "Not connected.");
        return false;
    }
    auto handle = std::make_shared<StatementHandle>(connection_);
    if (!Succeeded(handle->Allocate())) return false;
    WideText wide = MakeWide(encoding_, sql_.data(), sql_.size());
    if (!Succeeded(ODBC(connection_, SQLPrepareW, handle->get(), wide.data(), wide.length))) {
        SetErrorFromStatement(connection_, handle->get());
        return false;  // the handle goes; the next run prepares again
    }
    handle_ = std::move(handle);
    return true;
}

ODBCCursor* ODBCStatement::BindAndExecute(HostObject values, bool select) {
    ClearLastError(connection_);
    if (values) Bind(values);
    if (!PrepareIfNeeded()) return nullptr;
    const SQLHSTMT statement = Handle();

    const size_t bound = values_.size(), typed = types_.size();
    if (bound > typed) {
        if (typed == 0)
            SetLastError(connection_, -1, "Bind types were not specified, see BindType");
        else {
            char text[160];
            std::snprintf(text, sizeof text, "%d parameters are being bound, but only %ld types were specified",
                          int(bound), long(typed));
            SetLastError(connection_, -1, text);
        }
        return nullptr;
    }

    // Each run binds its parameters anew: one whose type binds nothing must
    // not keep the binding of the run before, whose buffers are gone.
    ODBC(connection_, SQLFreeStmt, statement, SQLUSMALLINT(SQL_RESET_PARAMS));
    // The UTF-32 texts of string parameters, held until the statement has run.
    std::vector<std::vector<char>> texts;
    for (size_t i = 0; i < bound; ++i) {
        Parameter parameter{connection_, statement, i, values_[i], types_[i], *buffers_[i], texts};
        parameter.buffer.indicator = 0;
        const Binder bind = binderOf(parameter.type);
        if (!bind) continue;  // an unknown type binds nothing for this parameter
        const std::optional<SQLRETURN> rc = bind(parameter);
        if (!rc) return nullptr;
        if (!Succeeded(*rc)) {
            SetErrorFromStatement(connection_, statement);
            return nullptr;
        }
    }

    const SQLRETURN rc = ODBC(connection_, SQLExecute, statement);
    if (rc == SQL_NEED_DATA) {
        SetLastError(connection_, -1, "More data has been requested, which was not expected");
        return nullptr;
    }
    // SQL_NO_DATA: a searched statement that matched no row ran all the same.
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
        SetErrorFromStatement(connection_, statement);
        return nullptr;
    }
    if (!select) return nullptr;
    SQLLEN rows = 0;
    if (Succeeded(ODBC(connection_, SQLRowCount, statement, &rows))) connection_->lastRowCount = rows;
    auto* cursor = new ODBCCursor(connection_, handle_, sql_.c_str(), false);
    connection_->lastSelectCursor = cursor;
    return cursor;
}

// ---- the framework's object ------------------------------------------------------

ODBCStatement* StatementOf(HostObject object) {
    if (!object) return nullptr;
    ODBCStatement* statement = nullptr;
    std::memcpy(&statement, reinterpret_cast<char*>(object) + PreparedStatementClass()->systemWord, sizeof statement);
    return statement;
}

HostObject CreatePreparedStatement(ODBCConnection* connection, HostString sql) {
    const fw::HostBytes text = fw::HostBytes::Read(sql, HOST_ENCODING_UTF8);
    auto statement = std::make_unique<ODBCStatement>(connection, text.str(), HOST_ENCODING_UTF8);
    HostObject object = fw::NewInstanceOfClass(PreparedStatementClass());
    if (!object) return nullptr;
    ODBCStatement* raw = statement.release();
    std::memcpy(reinterpret_cast<char*>(object) + PreparedStatementClass()->systemWord, &raw, sizeof raw);
    return object;
}

void DestructODBCPreparedStatement(HostObject object) {
    try {
        if (!object) return;
        delete StatementOf(object);
        ODBCStatement* none = nullptr;
        std::memcpy(reinterpret_cast<char*>(object) + PreparedStatementClass()->systemWord, &none, sizeof none);
    } catch (...) {
    }
}

namespace {

template <class F>
void onStatement(HostObject object, F body) noexcept {
    try {
        if (ODBCStatement* statement = StatementOf(object)) body(*statement);
    } catch (...) {
    }
}

}  // namespace

void StatementBindIndex(HostObject object, int64_t index, HostObject value) {
    onStatement(object, [&](ODBCStatement& s) { s.Bind(index, value); });
}
void StatementBindValues(HostObject object, HostObject values) {
    onStatement(object, [&](ODBCStatement& s) { s.Bind(values); });
}
void StatementBindIndexType(HostObject object, int64_t index, HostObject value, int64_t type) {
    onStatement(object, [&](ODBCStatement& s) { s.Bind(index, value, int32_t(type)); });
}
void StatementBindTypeIndex(HostObject object, int64_t index, int64_t type) {
    onStatement(object, [&](ODBCStatement& s) { s.BindType(index, int32_t(type)); });
}
void StatementBindTypes(HostObject object, HostObject types) {
    onStatement(object, [&](ODBCStatement& s) { s.BindType(types); });
}
HostObject StatementSQLSelect(HostObject object, HostObject params) {
    HostObject recordSet = nullptr;
    onStatement(object, [&](ODBCStatement& s) {
        ODBCCursor* cursor = s.Select(params);
        if (!cursor) return;
        auto* handle = new CursorHandle{cursor, nullptr};
        recordSet = WrapCursor(handle);
        if (!recordSet) CloseCursor(handle);
    });
    return recordSet;
}
void StatementSQLExecute(HostObject object, HostObject params) {
    onStatement(object, [&](ODBCStatement& s) { s.Execute(params); });
}

}  // namespace corvane
