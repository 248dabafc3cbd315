#pragma once
// One ODBC connection: the instance data of an ODBCDatabase object. The
// framework allocates it zero-filled inside the object, so it is a plain
// record that holds no C++ objects; the connector manages its handle, texts
// and trace stream by hand. Also the statement execution that the
// framework's generic database operations reach through the engine table.

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <cstdio>

#include "connector/source/ODBCUtilities.h"
#include "framework/plugin/PluginInterface.h"

namespace corvane {
class ODBCCursor;
struct PlainStatement;
}

struct ODBCConnection {
    int64_t refCount;            // the object, each cursor and each prepared statement
    SQLHDBC hdbc;                // none while not connected
    int64_t Timeout;             // login time-out; query time-out of selects when > 0
    HostString DataSource;
    char completedConnectionText[1024];
    HostString AttributeString;
    int64_t Attribute;
    HostString DBMS;
    HostString DatabaseName;
    uint8_t ScrollableCursor;
    uint8_t ExtendedSchema;
    uint8_t allowsBinds;         // the driver reads any column with SQLGetData
    uint8_t needsLongDataLengths;
    uint32_t maxActiveStatements;
    int64_t lastRowCount;
    int32_t lastErrorCode;       // 0: no error
    char* lastErrorText;         // owned, UTF-8, or none
    corvane::ODBCCursor* lastSelectCursor;
    uint8_t traceOn;
    FILE* traceStream;           // kept to the end of the process
    corvane::PlainStatement* plainStatement;  // what plain executes reuse; made on first need, ended on close
};

namespace corvane {

// The trace flag file whose first word names the trace log.
inline constexpr const char* TraceFlagFile = "/tmp/CorvaneTraceOn.txt";

void InitConnection(ODBCConnection* connection);
ODBCConnection* AddRef(ODBCConnection* connection);
// The last release closes the connection and clears its error; the memory
// stays (it belongs to the object).
void Release(ODBCConnection* connection);

void ClearLastError(ODBCConnection* connection);
void SetLastError(ODBCConnection* connection, int32_t code, const char* text);
void SetLastErrorWide(ODBCConnection* connection, int32_t code, const SQLWCHAR* text);
// The first diagnostic of the connection (or statement) as the last error;
// a diagnostic that cannot be read leaves the error as it was.
void SetErrorFromConnection(ODBCConnection* connection);
void SetErrorFromStatement(ODBCConnection* connection, SQLHSTMT statement);

// The process-wide ODBC environment, allocated on first need with ODBC 3
// behaviour and never freed; none when it cannot be allocated. `versionSet`
// becomes false when this call allocated it and could not set ODBC 3 (the
// environment stays all the same).
SQLHENV Environment(ODBCConnection* connection, bool* versionSet = nullptr);

// A connection of the connector's own (for editing through a second
// connection): made zero-filled with one reference, connected with the
// text; closed and freed with CloseOwnConnection. None when it cannot be
// made; one that cannot connect is returned with its error.
ODBCConnection* OpenOwnConnection(const char* connectionText);
void CloseOwnConnection(ODBCConnection* connection);

// A statement handle of a connection, with one owner. It is freed when this
// goes, or before that when the connection handle it was made on closes
// (and then reads none): the driver manager frees every statement of a
// connection it frees, and a handle used after that reads freed memory.
class StatementHandle {
public:
    explicit StatementHandle(ODBCConnection* connection) : connection_(connection) {}
    ~StatementHandle() { Free(); }
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;

    // Allocates the handle on the connection; a failure leaves it none and
    // the connection's diagnostic the error. The ODBC result.
    SQLRETURN Allocate();
    SQLHSTMT get() const { return handle_; }
    void Free();

private:
    ODBCConnection* connection_;
    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// How a statement ran with the calling thread detached from the framework.
struct DetachedRun {
    SQLRETURN rc = SQL_ERROR;  // the driver's result, when it ran
    bool ran = false;          // the statement reached the driver
    // Another thread closed the connection meanwhile: its handle is the
    // statement's until the statement ends (EndQuery closes it).
    bool closed = false;
};

// Runs the statement text with SQLExecDirectW between DetachFromHost and
// AttachToHost, on a connection that BeginQuery has taken. While it is
// detached, another thread may close the connection: the close cancels the
// statement and leaves the handles to it.
DetachedRun ExecDirectDetached(ODBCConnection* connection, SQLHSTMT statement, WideText& text);
// The error of a statement whose connection another thread closed while it
// ran: the driver's diagnostic when it failed, else (for a select, whose
// rows cannot be read from a closed connection, or a statement that never
// ran) "Not connected.". An execute that ran keeps its row count.
void ReportClosedRun(ODBCConnection* connection, SQLHSTMT statement, const DetachedRun& run, bool select);

// Connects a connection without a handle with the connection text.
bool ODBCConnect(ODBCConnection* connection, const char* connectionText);

// Engine table entries.
void ODBCCloseDatabase(ODBCConnection* connection);
int64_t ODBCLastErrorCode(ODBCConnection* connection);
HostString ODBCLastErrorString(ODBCConnection* connection);
HostObject ODBCPerformSelect(ODBCConnection* connection, HostString sql);
void ODBCExecute(ODBCConnection* connection, HostString sql);
void ODBCAddTableRecord(ODBCConnection* connection, HostString table, InsertValue* first);
void ODBCCommit(ODBCConnection* connection);
void ODBCRollback(ODBCConnection* connection);
void SupportedColumnTypes(const int64_t** types, const char** names, int64_t* size);

// Runs one SQL text that returns no rows; the ODBC result.
SQLRETURN odbc_execDirect(ODBCConnection* connection, const char* text, HostEncodingCode encoding);

// The process-wide list of connections whose statement is running. When
// another thread closed the connection while its statement ran, EndQuery
// ends what the close left: the connection's statements and its handle.
bool BeginQuery(ODBCConnection* connection);
void EndQuery(ODBCConnection* connection);

// The method "Connect() as Boolean" of ODBCDatabase.
uint8_t ODBCDatabaseConnect(HostObject object);

}  // namespace corvane
