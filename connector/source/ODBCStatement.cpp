#include "connector/source/ODBCStatement.h"

#include <sqlext.h>
#include <sqlucode.h>

#include <cstdio>
#include <cstring>

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

    // The UTF-32 texts of string parameters, held until the statement has run.
    std::vector<fw::HostBytes> texts;
    for (size_t i = 0; i < bound; ++i) {
        ParamBuffer& buffer = *buffers_[i];
        buffer.indicator = 0;
        HostObject value = values_[i];
        const int32_t type = types_[i];
        const auto bind = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize, SQLPOINTER data,
                              SQLLEN bufferLength) {
            return ODBC(connection_, SQLBindParameter, statement, SQLUSMALLINT(i + 1), SQLSMALLINT(SQL_PARAM_INPUT),
                        cType, sqlType, columnSize, SQLSMALLINT(0), data, bufferLength, &buffer.indicator);
        };
        // Numbers are bound first and then read into the value area; one
        // that cannot be read is NULL.
        const auto number = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, auto read) {
            const SQLRETURN rc = bind(cType, sqlType, size, buffer.value, 0);
            if (!read()) buffer.indicator = SQL_NULL_DATA;
            return rc;
        };
        SQLRETURN rc = SQL_SUCCESS;
        switch (type) {
        case ODBC_TYPE_NULL:
            buffer.indicator = SQL_NULL_DATA;
            rc = bind(SQL_C_CHAR, SQL_VARCHAR, 0, buffer.value, 0);
            break;
        case ODBC_TYPE_STRING:
        case ODBC_TYPE_LONGSTRING:
        case ODBC_TYPE_BINARY: {
            const bool binary = type == ODBC_TYPE_BINARY;
            HostString text = nullptr;
            if (!fw::PropertyString(value, "StringValue", &text)) {
                setError(connection_, "The value of parameter %ld is not a string value", long(i));
                return nullptr;
            }
            SQLPOINTER data = buffer.value;
            SQLLEN bytes = 0;
            if (text) {  // a string of none is an empty text
                fw::HostBytes held = binary ? fw::HostBytes::Read(text) : fw::HostBytes::Read(text, HOST_ENCODING_UTF32LE);
                fw::UnlockString(text);
                if (!held.ok()) {
                    setError(connection_, "The value of parameter %ld is not a string value", long(i));
                    return nullptr;
                }
                if (held.size() > 0) {
                    data = const_cast<char*>(held.data());
                    bytes = SQLLEN(held.size());
                    texts.push_back(std::move(held));
                }
            }
            buffer.indicator = bytes;
            if (binary) {
                rc = bind(SQL_C_BINARY, SQL_LONGVARBINARY, static_cast<SQLULEN>(bytes > 0 ? bytes : 1), data, bytes);
            } else {
                const SQLULEN chars = static_cast<SQLULEN>(bytes) / sizeof(SQLWCHAR);
                rc = bind(SQL_C_WCHAR, type == ODBC_TYPE_STRING ? SQL_WVARCHAR : SQL_WLONGVARCHAR,
                          chars > 0 ? chars : 1, data, bytes);
            }
            break;
        }
        case ODBC_TYPE_INTEGER:
            rc = number(SQL_C_SLONG, SQL_INTEGER, 4,
                        [&] { return readInto<int32_t>(buffer, fw::PropertyInteger, value, "IntegerValue"); });
            break;
        case ODBC_TYPE_SMALLINT:
            rc = number(SQL_C_SSHORT, SQL_SMALLINT, 2,
                        [&] { return readInto<int16_t>(buffer, fw::PropertyInteger, value, "IntegerValue"); });
            break;
        case ODBC_TYPE_TINYINT:
            rc = number(SQL_C_STINYINT, SQL_TINYINT, 1,
                        [&] { return readInto<int8_t>(buffer, fw::PropertyInteger, value, "IntegerValue"); });
            break;
        case ODBC_TYPE_BIGINT:
            rc = number(SQL_C_SBIGINT, SQL_BIGINT, 8,
                        [&] { return readInto<int64_t>(buffer, fw::PropertyInt64, value, "Int64Value"); });
            break;
        case ODBC_TYPE_FLOAT:
            rc = number(SQL_C_FLOAT, SQL_REAL, 4,
                        [&] { return readInto<float>(buffer, fw::PropertySingle, value, "SingleValue"); });
            break;
        case ODBC_TYPE_DOUBLE:
            rc = number(SQL_C_DOUBLE, SQL_DOUBLE, 8,
                        [&] { return readInto<double>(buffer, fw::PropertyDouble, value, "DoubleValue"); });
            break;
        case ODBC_TYPE_DATE:
        case ODBC_TYPE_TIME:
        case ODBC_TYPE_TIMESTAMP: {
            const SQLSMALLINT cType = type == ODBC_TYPE_DATE ? SQL_C_DATE : type == ODBC_TYPE_TIME ? SQL_C_TIME
                                                                                                 : SQL_C_TIMESTAMP;
            const SQLSMALLINT sqlType = SQLSMALLINT(type);  // SQL_TYPE_DATE, SQL_TYPE_TIME, SQL_TYPE_TIMESTAMP
            // The structure's size is the length; the column size is what ODBC
            // defines for the SQL type: the characters of "yyyy-mm-dd",
            // "hh:mm:ss" and "yyyy-mm-dd hh:mm:ss". A smaller one drops the
            // seconds of a time stamp.
            const SQLLEN length = type == ODBC_TYPE_TIMESTAMP ? 16 : 6;
            const SQLULEN columnSize = type == ODBC_TYPE_DATE ? 10 : type == ODBC_TYPE_TIME ? 8 : 19;
            if (!value) {
                buffer.indicator = SQL_NULL_DATA;
                rc = bind(cType, sqlType, ~static_cast<SQLULEN>(0), buffer.value, 0);
                break;
            }
            HostObject date = nullptr;
            int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
            bool read = fw::PropertyObject(value, "DateValue", &date) && date;
            if (read) {
                if (type == ODBC_TYPE_DATE) read = readParts(date, {{"Day", &day}, {"Month", &month}, {"Year", &year}});
                else if (type == ODBC_TYPE_TIME)
                    read = readParts(date, {{"Hour", &hour}, {"Minute", &minute}, {"Second", &second}});
                else
                    read = readParts(date, {{"Day", &day}, {"Month", &month}, {"Year", &year}, {"Hour", &hour},
                                            {"Minute", &minute}, {"Second", &second}});
            }
            fw::UnlockObject(date);
            if (!read) {
                setError(connection_, "The value of parameter %ld is not a date value", long(i));
                return nullptr;
            }
            if (type == ODBC_TYPE_DATE)
                store(buffer, SQL_DATE_STRUCT{SQLSMALLINT(year), SQLUSMALLINT(month), SQLUSMALLINT(day)});
            else if (type == ODBC_TYPE_TIME)
                store(buffer, SQL_TIME_STRUCT{SQLUSMALLINT(hour), SQLUSMALLINT(minute), SQLUSMALLINT(second)});
            else
                store(buffer, SQL_TIMESTAMP_STRUCT{SQLSMALLINT(year), SQLUSMALLINT(month), SQLUSMALLINT(day),
                                                   SQLUSMALLINT(hour), SQLUSMALLINT(minute), SQLUSMALLINT(second), 0});
            buffer.indicator = length;
            rc = bind(cType, sqlType, columnSize, buffer.value, 0);
            break;
        }
        default:
            break;  // an unknown type binds nothing for this parameter
        }
        if (!Succeeded(rc)) {
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
