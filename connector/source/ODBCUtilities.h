#pragma once
// Text conversion between the framework's UTF-8 (or Latin-1) and the driver
// manager's wide text (UTF-32LE), case-blind comparison, the trace log and
// the one funnel through which every ODBC call passes.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <string>
#include <vector>

#include "framework/plugin/PluginInterface.h"

struct ODBCConnection;

namespace corvane {

static_assert(sizeof(SQLWCHAR) == 4, "the driver manager's wide text is UTF-32");

// UTF-32LE to UTF-8. Writes a NUL after the output, so `capacity` must leave
// one byte for it; `incomplete` becomes 1 when input was left over. Returns
// the bytes written (without the NUL). Stops silently at a conversion error.
size_t Utf32ToUtf8(const void* source, size_t sourceBytes, char* destination, size_t capacity, int* incomplete);

// Latin-1 (code 0x0500) or UTF-8 (every other code) to UTF-32LE. Writes a
// 4-byte zero after the output; returns the characters written. Stops at a
// conversion error and prints "iconv error: ..." to standard error.
size_t ToUtf32(HostEncodingCode code, const void* source, size_t sourceBytes, void* destination, size_t capacity,
               int* incomplete);

// Lower-cased byte comparison over the shorter length; then the shorter text
// is less. -1, 0 or 1.
int CompareNoCase(const char* a, const char* b);

// Text ready for a wide ODBC function: NUL-ended UTF-32 and its length in
// characters.
struct WideText {
    std::vector<SQLWCHAR> buffer;
    SQLINTEGER length = 0;
    SQLWCHAR* data() { return buffer.data(); }
    // Converts `size` bytes into this text (ToUtf32), in the room it already has
    // when that is enough.
    void assign(HostEncodingCode code, const char* bytes, size_t size);
};
WideText MakeWide(HostEncodingCode code, const char* bytes, size_t size);

// UTF-8 of `chars` wide characters (fewer when a NUL comes first).
std::string WideToUtf8(const SQLWCHAR* text, size_t chars);

// Trace: when the connection's trace flag is set, one line (printf format,
// a line end added) to its trace log, or to standard output without one,
// flushed at once. Does nothing for no connection.
void Trace(const ODBCConnection* connection, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Opens the trace log for appending and writes the time-stamp line; none
// when it cannot be opened.
FILE* OpenTraceLog(const char* path);

// Every ODBC call goes through here: it runs the call and, when tracing is on
// and the call failed, writes a line naming it and its result.
template <class F, class... Args>
SQLRETURN OdbcCall(const ODBCConnection* connection, const char* name, F function, Args... args) {
    const SQLRETURN rc = function(args...);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
        Trace(connection, "ODBC %s returned %d", name, int(rc));
    return rc;
}
#define ODBC(connection, function, ...) ::corvane::OdbcCall(connection, #function, function, __VA_ARGS__)

// True for SQL_SUCCESS and SQL_SUCCESS_WITH_INFO.
inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace corvane
