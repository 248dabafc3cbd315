#include "connector/source/ODBCDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "connector/source/FrameworkCalls.h"
#include "connector/source/ODBCCursor.h"
#include "connector/source/ODBCUtilities.h"
#include "connector/source/linux_dsnchooser.h"

namespace corvane {

namespace {

// A connection text is at most this long.
constexpr size_t kMaxConnectionText = 4095;

// The one environment of the process: made at the first connect, never freed.
SQLHENV g_environment = SQL_NULL_HENV;

// A connection handle being connected: freed unless released.
class ConnectionHandle {
public:
    explicit ConnectionHandle(ODBCConnection* connection) : connection_(connection) {}
    ~ConnectionHandle() {
        if (handle_) ODBC(connection_, SQLFreeConnect, handle_);
    }
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;
    SQLHDBC* out() { return &handle_; }
    SQLHDBC get() const { return handle_; }
    void release() { handle_ = SQL_NULL_HDBC; }

private:
    ODBCConnection* connection_;
    SQLHDBC handle_ = SQL_NULL_HDBC;
};

// Room for an unsigned 32-bit answer that some drivers write as a full
// machine word; the value is read from its first 32 bits.
union IntegerAnswer {
    SQLULEN wide = 0;
    SQLUINTEGER narrow;
};

// Guards the lists below: a thread that closes a connection reads them while
// another runs a statement of that connection with its thread detached.
std::mutex& listsLock() {
    static std::mutex lock;
    return lock;
}

// The statement handles of every connection, with the connection handle
// each was made on.
struct StatementEntry {
    SQLHDBC hdbc;
    StatementHandle* statement;
};
std::vector<StatementEntry>& statementHandles() {
    static std::vector<StatementEntry> list;
    return list;
}

// A connection whose statement runs.
struct BusyConnection {
    ODBCConnection* connection;
    SQLHDBC hdbc;                        // the handle the statement runs on
    SQLHSTMT running = SQL_NULL_HSTMT;  // the statement, while it is in the driver
    bool closed = false;                 // closed meanwhile: the handle waits for the statement's end
};

std::vector<BusyConnection>& busyConnections() {
    static std::vector<BusyConnection> list;
    return list;
}

// The connection's entry; none when it is not busy. Under listsLock.
BusyConnection* findBusy(ODBCConnection* connection) {
    for (BusyConnection& busy : busyConnections())
        if (busy.connection == connection) return &busy;
    return nullptr;
}

bool containsKeyword(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("dsn=") != std::string::npos || lower.find("driver=") != std::string::npos ||
           lower.find("library=") != std::string::npos;
}

std::string dsnText(const std::string& dsn, const std::string& user, const std::string& password) {
    return "DSN=" + dsn + ";UID=" + user + ";PWD=" + password + ";";
}

// The text of a framework string as UTF-8, as the connection text goes to
// the driver manager as wide text; then the string is released. "" (and
// `readable` false) when there is none.
std::string takeText(HostString s, bool* readable = nullptr) {
    fw::HostBytes bytes = fw::HostBytes::Read(s, HOST_ENCODING_UTF8);
    if (readable) *readable = bytes.ok();
    std::string text = bytes.str();
    fw::UnlockString(s);
    return text;
}

void replaceString(HostString* field, HostString value) {
    fw::UnlockString(*field);
    *field = value;
}

// A text that the driver answers about its connection, as UTF-8; nothing
// when it cannot answer. Read wide, as the narrow call cuts an answer beyond
// ASCII to its count of characters; an answer longer than the first room
// is read again whole.
std::optional<std::string> infoText(ODBCConnection* connection, SQLUSMALLINT type) {
    std::vector<SQLWCHAR> answer(128);  // characters, the NUL among them
    for (int attempt = 0;; ++attempt) {
        std::fill(answer.begin(), answer.end(), 0);
        SQLSMALLINT bytes = 0;
        if (!Succeeded(ODBC(connection, SQLGetInfoW, connection->hdbc, type, answer.data(),
                            SQLSMALLINT(answer.size() * sizeof(SQLWCHAR)), &bytes)))
            return std::nullopt;
        const size_t chars = bytes > 0 ? size_t(bytes) / sizeof(SQLWCHAR) : 0;
        if (chars < answer.size() || attempt > 0) break;
        answer.resize(std::min<size_t>(chars + 1, 0x7fff / sizeof(SQLWCHAR)));
    }
    answer.back() = 0;
    return WideToUtf8(answer.data(), answer.size());
}

// A text of the connection object's, as UTF-8.
std::string fieldText(HostString s) { return fw::HostBytes::Read(s, HOST_ENCODING_UTF8).str(); }

// A select or statement run on the calling thread, inside the engine entry.
class ODBCSelectThread {
public:
    ODBCSelectThread(ODBCConnection* connection, HostString sql)
        : connection_(connection), text_(fw::HostBytes::Read(sql, HOST_ENCODING_UTF8)) {
        Trace(connection_, "ENTER ODBCSelectThread(%p, %s)", static_cast<void*>(connection_), fw::CString(sql));
    }
    ~ODBCSelectThread() { Trace(connection_, "ENTER ~ODBCSelectThread"); }

    void Run();
    HostObject result = nullptr;

private:
    ODBCConnection* connection_;
    fw::HostBytes text_;
};

void ODBCSelectThread::Run() {
    if (!BeginQuery(connection_)) return;
    Trace(connection_, "ENTER ODBCSelectThread::Run");
    ClearLastError(connection_);
    auto statement = std::make_shared<StatementHandle>(connection_);
    if (Succeeded(statement->Allocate())) {
        if (connection_->ScrollableCursor)
            ODBC(connection_, SQLSetStmtAttr, statement->get(), SQLINTEGER(SQL_ATTR_CURSOR_SCROLLABLE),
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_SCROLLABLE)), SQLINTEGER(0));
        if (connection_->Timeout > 0)
            ODBC(connection_, SQLSetStmtAttr, statement->get(), SQLINTEGER(SQL_ATTR_QUERY_TIMEOUT),
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connection_->Timeout)), SQLINTEGER(0));
        WideText wide = MakeWide(HOST_ENCODING_UTF8, text_.data(), text_.size());
        const DetachedRun run = ExecDirectDetached(connection_, statement->get(), wide);
        if (run.closed) {
            ReportClosedRun(connection_, statement->get(), run, true);
        } else if (!Succeeded(run.rc)) {
            SetErrorFromStatement(connection_, statement->get());
        } else {
            SQLLEN rows = 0;
            if (Succeeded(ODBC(connection_, SQLRowCount, statement->get(), &rows))) connection_->lastRowCount = rows;
            auto* cursor = new ODBCCursor(connection_, std::move(statement), text_.str().c_str(), true);
            connection_->lastSelectCursor = cursor;
            auto* handle = new CursorHandle{cursor, nullptr};
            result = WrapCursor(handle);
            if (!result) CloseCursor(handle);  // the framework gave no record set: nothing may keep the cursor
        }
    }
    statement.reset();  // unless a cursor keeps it
    EndQuery(connection_);
}

class ODBCExecuteThread {
public:
    ODBCExecuteThread(ODBCConnection* connection, HostString sql)
        : connection_(connection), text_(fw::HostBytes::Read(sql, HOST_ENCODING_UTF8)) {
        Trace(connection_, "ENTER ODBCExecuteThread(%p, %s)", static_cast<void*>(connection_), fw::CString(sql));
    }
    ~ODBCExecuteThread() { Trace(connection_, "ENTER ~ODBCExecuteThread"); }

    void Run() {
        Trace(connection_, "ENTER ODBCExecuteThread::Run");
        ClearLastError(connection_);
        const std::string text = text_.str();
        odbc_execDirect(connection_, text.c_str(), HOST_ENCODING_UTF8);
    }

private:
    ODBCConnection* connection_;
    fw::HostBytes text_;
};

}  // namespace

// ---- the connection object ----------------------------------------------------

void InitConnection(ODBCConnection* connection) {
    connection->Timeout = 0;
    connection->Attribute = 0;
    connection->ScrollableCursor = 0;
    connection->ExtendedSchema = 0;
    connection->allowsBinds = 0;
    connection->needsLongDataLengths = 0;
    connection->traceOn = 0;
    connection->traceStream = nullptr;

    FILE* flag = std::fopen(TraceFlagFile, "r");
    if (!flag) return;
    char path[4096];
    const int words = std::fscanf(flag, "%4095s", path);
    std::fclose(flag);
    if (words != 1) return;
    connection->traceStream = OpenTraceLog(path);
    if (connection->traceStream) connection->traceOn = 1;
}

ODBCConnection* AddRef(ODBCConnection* connection) {
    ++connection->refCount;
    return connection;
}

void Release(ODBCConnection* connection) {
    if (connection->refCount-- <= 1) {
        ODBCCloseDatabase(connection);
        ClearLastError(connection);
    }
}

void ClearLastError(ODBCConnection* connection) {
    connection->lastErrorCode = 0;
    std::free(connection->lastErrorText);
    connection->lastErrorText = nullptr;
}

void SetLastError(ODBCConnection* connection, int32_t code, const char* text) {
    ClearLastError(connection);
    connection->lastErrorCode = code;
    if (text) connection->lastErrorText = strdup(text);
}

void SetLastErrorWide(ODBCConnection* connection, int32_t code, const SQLWCHAR* text) {
    ClearLastError(connection);
    connection->lastErrorCode = code;
    if (!text) return;
    size_t chars = 0;
    while (text[chars]) ++chars;
    std::vector<char> utf8(4 * chars + 5);
    Utf32ToUtf8(text, 4 * chars, utf8.data(), 4 * chars + 4, nullptr);
    connection->lastErrorText = strdup(utf8.data());
}

namespace {

// The first diagnostic record of a handle; false when it cannot be read.
bool readDiagnostic(ODBCConnection* connection, SQLSMALLINT handleType, SQLHANDLE handle) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        ODBC(connection, SQLGetDiagRecW, handleType, handle, SQLSMALLINT(1), state, &native, message,
             SQLSMALLINT(511), &length);
    if (!Succeeded(rc)) return false;
    message[511] = 0;
    SetLastErrorWide(connection, native != 0 ? native : 1, message);
    return true;
}

}  // namespace

void SetErrorFromConnection(ODBCConnection* connection) {
    if (!connection->hdbc) {
        ClearLastError(connection);
        return;
    }
    readDiagnostic(connection, SQL_HANDLE_DBC, connection->hdbc);
}

void SetErrorFromStatement(ODBCConnection* connection, SQLHSTMT statement) {
    if (!connection->hdbc) {
        ClearLastError(connection);
        return;
    }
    if (!readDiagnostic(connection, SQL_HANDLE_STMT, statement)) SetErrorFromConnection(connection);
}

// ---- connect and close ------------------------------------------------------------

uint8_t ODBCDatabaseConnect(HostObject object) {
    auto* connection = static_cast<ODBCConnection*>(fw::GetDBFromDatabase(object));
    if (!connection) return 0;
    Trace(connection, "ENTER ODBCDatabaseConnect(%p)", static_cast<void*>(connection));
    ClearLastError(connection);

    if (connection->hdbc) {
        IntegerAnswer dead;
        dead.narrow = 1;
        const SQLRETURN rc = ODBC(connection, SQLGetConnectAttr, connection->hdbc,
                                  SQLINTEGER(SQL_ATTR_CONNECTION_DEAD), static_cast<SQLPOINTER>(&dead),
                                  SQLINTEGER(0), static_cast<SQLINTEGER*>(nullptr));
        if (Succeeded(rc) && dead.narrow == SQL_CD_FALSE) return 1;
        ODBCCloseDatabase(connection);
    }

    bool hostReadable = false;
    const std::string host = takeText(fw::GetDBHost(object), &hostReadable);
    const std::string dataSource = fieldText(connection->DataSource);

    std::string text;
    if (!dataSource.empty() || (hostReadable && !host.empty())) {
        const std::string user = takeText(fw::GetDBUserName(object));
        const std::string password = takeText(fw::GetDBPassword(object));
        if (!dataSource.empty())
            text = containsKeyword(dataSource) ? dataSource : dsnText(dataSource, user, password);
        else
            text = dsnText(host, user, password);
    }
    if (text.size() > kMaxConnectionText) {
        // Cut short it would name another data source or password.
        SetLastError(connection, 1, "The connection text is longer than 4095 bytes.");
        return 0;
    }

    const bool connected = ODBCConnect(connection, text.c_str());
    if (connected) fw::SetDBIsConnected(object, true);
    return connected ? 1 : 0;
}

SQLHENV Environment(ODBCConnection* connection, bool* versionSet) {
    if (versionSet) *versionSet = true;
    if (g_environment != SQL_NULL_HENV) return g_environment;
    if (!Succeeded(ODBC(connection, SQLAllocEnv, &g_environment))) {
        g_environment = SQL_NULL_HENV;  // nothing was made: the next call tries again
        return SQL_NULL_HENV;
    }
    if (!Succeeded(ODBC(connection, SQLSetEnvAttr, g_environment, SQLINTEGER(SQL_ATTR_ODBC_VERSION),
                                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), SQLINTEGER(0))))
        if (versionSet) *versionSet = false;
    return g_environment;
}

ODBCConnection* OpenOwnConnection(const char* connectionText) {
    auto* connection = static_cast<ODBCConnection*>(std::calloc(1, sizeof(ODBCConnection)));
    if (!connection) return nullptr;
    connection->refCount = 1;
    InitConnection(connection);
    ODBCConnect(connection, connectionText);
    return connection;
}

void CloseOwnConnection(ODBCConnection* connection) {
    if (!connection) return;
    ODBCCloseDatabase(connection);
    ClearLastError(connection);
    // What the connect filled in, and the connection's own trace stream.
    for (HostString* text : {&connection->DataSource, &connection->AttributeString, &connection->DBMS,
                             &connection->DatabaseName})
        replaceString(text, nullptr);
    if (connection->traceStream) std::fclose(connection->traceStream);
    std::free(connection);
}

bool ODBCConnect(ODBCConnection* connection, const char* connectionText) {
    // The first connect of the process makes the environment with ODBC 3
    // behaviour; when that cannot be set the connect fails, but the
    // environment stays and serves every later connect.
    bool versionSet = true;
    if (Environment(connection, &versionSet) == SQL_NULL_HENV || !versionSet) return false;

    ConnectionHandle handle(connection);
    if (!Succeeded(ODBC(connection, SQLAllocConnect, g_environment, handle.out()))) return false;

    Trace(connection, "ENTER ODBCConnect(%p, %s)", static_cast<void*>(connection), connectionText);
    char text[4096];
    std::snprintf(text, sizeof text, "%s", connectionText);

    if (connection->Attribute != 0) {
        fw::HostBytes value = fw::HostBytes::Read(connection->AttributeString);
        ODBC(connection, SQLSetConnectAttr, handle.get(), SQLINTEGER(connection->Attribute),
             reinterpret_cast<SQLPOINTER>(const_cast<char*>(value.data())), SQLINTEGER(value.size()));
    }
    if (connection->Timeout != 0)
        ODBC(connection, SQLSetConnectAttr, handle.get(), SQLINTEGER(SQL_ATTR_LOGIN_TIMEOUT),
             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(static_cast<SQLUINTEGER>(connection->Timeout))), SQLINTEGER(0));

    if (text[0] == 0) {
        // No text at all: the user picks a data source and logs in. A
        // cancelled choice frees the handle, so nothing half-made remains.
        char* dsn = ChooseDataSource();
        if (!dsn) return false;
        char user[kLoginTextSize] = {};
        char password[kLoginTextSize] = {};
        AskLogin("", "", dsn, user, password);
        std::snprintf(text, sizeof text, "DSN=%s;UID=%s;PWD=%s;", dsn, user, password);
        std::free(dsn);
    }

    // The wide call: the driver manager hands a narrow caller its completed
    // text cut to the text's count of characters, which loses the last bytes
    // of a text beyond ASCII (the password among them).
    WideText wideText = MakeWide(HOST_ENCODING_UTF8, text, std::strlen(text));
    SQLWCHAR completed[sizeof connection->completedConnectionText] = {};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = ODBC(connection, SQLDriverConnectW, handle.get(), static_cast<SQLHWND>(nullptr),
                              wideText.data(), SQLSMALLINT(wideText.length), completed,
                              SQLSMALLINT(std::size(completed)), &completedLength,
                              SQLUSMALLINT(SQL_DRIVER_COMPLETE_REQUIRED));
    connection->hdbc = handle.get();
    if (!Succeeded(rc)) {
        SetErrorFromConnection(connection);
        connection->hdbc = SQL_NULL_HDBC;  // the handle is freed as it goes
        return false;
    }
    handle.release();
    completed[std::size(completed) - 1] = 0;
    size_t chars = 0;
    while (completed[chars]) ++chars;
    Utf32ToUtf8(completed, chars * sizeof(SQLWCHAR), connection->completedConnectionText,
                sizeof connection->completedConnectionText, nullptr);

    SQLSMALLINT length = 0;
    if (const std::optional<std::string> dbms = infoText(connection, SQL_DBMS_NAME))
        replaceString(&connection->DBMS, fw::BuildUtf8String(dbms->data(), int64_t(dbms->size())));
    if (const std::optional<std::string> name = infoText(connection, SQL_DATABASE_NAME))
        replaceString(&connection->DatabaseName, fw::BuildUtf8String(name->data(), int64_t(name->size())));
    IntegerAnswer loginTimeout;
    if (Succeeded(ODBC(connection, SQLGetConnectOption, connection->hdbc, SQLUSMALLINT(SQL_LOGIN_TIMEOUT),
                       static_cast<SQLPOINTER>(&loginTimeout))))
        connection->Timeout = int64_t(loginTimeout.narrow);
    SQLUSMALLINT activeStatements = 0;
    if (Succeeded(ODBC(connection, SQLGetInfo, connection->hdbc, SQLUSMALLINT(SQL_ACTIVE_STATEMENTS),
                       &activeStatements, SQLSMALLINT(sizeof activeStatements), &length)))
        connection->maxActiveStatements = activeStatements;
    SQLUINTEGER extensions = 0;
    if (Succeeded(ODBC(connection, SQLGetInfo, connection->hdbc, SQLUSMALLINT(SQL_GETDATA_EXTENSIONS), &extensions,
                       SQLSMALLINT(sizeof extensions), &length)) &&
        (extensions & SQL_GD_ANY_COLUMN)) {
        connection->allowsBinds = 1;
        Trace(connection, "data source allows binds");
    }
    char needsLength[4] = {};
    if (Succeeded(ODBC(connection, SQLGetInfo, connection->hdbc, SQLUSMALLINT(SQL_NEED_LONG_DATA_LEN), needsLength,
                       SQLSMALLINT(sizeof needsLength), &length)) &&
        needsLength[0] == 'Y') {
        connection->needsLongDataLengths = 1;
        Trace(connection, "needs long data for parameter binding");
    }
    return connection->hdbc != SQL_NULL_HDBC;
}

SQLRETURN StatementHandle::Allocate() {
    Free();
    const SQLHDBC hdbc = connection_->hdbc;
    const SQLRETURN rc = ODBC(connection_, SQLAllocHandle, SQLSMALLINT(SQL_HANDLE_STMT), hdbc, &handle_);
    if (!Succeeded(rc)) {
        handle_ = SQL_NULL_HSTMT;
        SetErrorFromConnection(connection_);
        return rc;
    }
    std::lock_guard lock(listsLock());
    statementHandles().push_back({hdbc, this});
    return rc;
}

void StatementHandle::Free() {
    if (!handle_) return;
    {
        std::lock_guard lock(listsLock());
        auto& list = statementHandles();
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const StatementEntry& entry) { return entry.statement == this; }),
                   list.end());
    }
    ODBC(connection_, SQLFreeHandle, SQLSMALLINT(SQL_HANDLE_STMT), handle_);
    handle_ = SQL_NULL_HSTMT;
}

namespace {

// Whether the last call on the connection handle failed because a
// transaction is still open (SQLSTATE 25000).
bool transactionOpen(ODBCConnection* connection, SQLHDBC hdbc) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!Succeeded(ODBC(connection, SQLGetDiagRecW, SQLSMALLINT(SQL_HANDLE_DBC), hdbc, SQLSMALLINT(1), state,
                        &native, static_cast<SQLWCHAR*>(nullptr), SQLSMALLINT(0), &length)))
        return false;
    return state[0] == '2' && state[1] == '5' && state[2] == '0' && state[3] == '0' && state[4] == '0';
}

// Frees the statements made on a connection handle (results and prepared
// statements that outlive it lose their handles), then disconnects and frees
// the handle. A failing disconnect becomes the error when `report`.
void closeHandle(ODBCConnection* connection, SQLHDBC hdbc, bool report) {
    std::vector<StatementHandle*> statements;
    {
        std::lock_guard lock(listsLock());
        for (const StatementEntry& entry : statementHandles())
            if (entry.hdbc == hdbc) statements.push_back(entry.statement);
    }
    for (StatementHandle* statement : statements) statement->Free();
    bool disconnected = Succeeded(ODBC(connection, SQLDisconnect, hdbc));
    if (!disconnected && transactionOpen(connection, hdbc)) {
        // A connection with autocommit off does not disconnect while its
        // transaction is open, and a handle that stays connected cannot be
        // freed: its file would stay locked until the program ends. What was
        // not committed is undone, as the database undoes it when a program
        // ends without committing.
        ODBC(connection, SQLTransact, static_cast<SQLHENV>(SQL_NULL_HENV), hdbc, SQLUSMALLINT(SQL_ROLLBACK));
        disconnected = Succeeded(ODBC(connection, SQLDisconnect, hdbc));
    }
    if (!disconnected && report) readDiagnostic(connection, SQL_HANDLE_DBC, hdbc);
    ODBC(connection, SQLFreeConnect, hdbc);
}

}  // namespace

// What the plain executes of a connection reuse, so that a statement per row
// costs the driver no statement handle of its own: one handle, closed after
// each statement, and the room for the statement's wide text.
struct PlainStatement {
    explicit PlainStatement(ODBCConnection* connection) : statement(connection) {}
    StatementHandle statement;
    WideText text;
};

void ODBCCloseDatabase(ODBCConnection* connection) {
    Trace(connection, "ENTER ODBCCloseDatabase(%p)", static_cast<void*>(connection));
    bool busy = false;
    {
        std::lock_guard lock(listsLock());
        if (BusyConnection* running = findBusy(connection)) {
            busy = true;
            if (connection->hdbc && connection->hdbc == running->hdbc) {
                // Its statement runs on a thread that another one closes it
                // from: freeing its handles now would pull them from under
                // the driver. The connection is closed at once; the running
                // statement is cancelled, and its thread ends the handle when
                // the statement returns (EndQuery).
                running->closed = true;
                connection->hdbc = SQL_NULL_HDBC;
                if (running->running) ODBC(connection, SQLCancel, running->running);
                return;
            }
        }
    }
    // The plain statement belongs to a statement that runs.
    if (!busy) {
        delete connection->plainStatement;  // frees its handle
        connection->plainStatement = nullptr;
    }
    if (!connection->hdbc) return;
    ClearLastError(connection);
    closeHandle(connection, connection->hdbc, true);
    connection->hdbc = SQL_NULL_HDBC;
}

int64_t ODBCLastErrorCode(ODBCConnection* connection) {
    Trace(connection, "ENTER ODBCLastErrorCode(%p)", static_cast<void*>(connection));
    return connection->lastErrorCode;
}

HostString ODBCLastErrorString(ODBCConnection* connection) {
    Trace(connection, "ENTER ODBCLastErrorString(%p)", static_cast<void*>(connection));
    if (!connection->lastErrorText) return nullptr;
    return fw::BuildUtf8String(connection->lastErrorText, int64_t(std::strlen(connection->lastErrorText)));
}

// ---- statements -------------------------------------------------------------------

bool BeginQuery(ODBCConnection* connection) {
    std::lock_guard lock(listsLock());
    if (findBusy(connection)) {
        SetLastError(connection, 48879, "A query is already in progress");
        return false;
    }
    busyConnections().push_back({connection, connection->hdbc});
    return true;
}

void EndQuery(ODBCConnection* connection) {
    std::optional<BusyConnection> ended;
    {
        std::lock_guard lock(listsLock());
        auto& list = busyConnections();
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const BusyConnection& busy) { return busy.connection == connection; });
        if (it == list.end()) return;
        ended = *it;
        list.erase(it);
    }
    if (!ended->closed) return;
    // Closed while the statement ran: what the close left to it. A failing
    // disconnect is told unless the statement has an error of its own.
    delete connection->plainStatement;
    connection->plainStatement = nullptr;
    closeHandle(connection, ended->hdbc, connection->lastErrorCode == 0);
}

DetachedRun ExecDirectDetached(ODBCConnection* connection, SQLHSTMT statement, WideText& text) {
    DetachedRun run;
    void* token = fw::DetachFromHost();
    {
        std::lock_guard lock(listsLock());
        BusyConnection* busy = findBusy(connection);
        run.closed = !busy || busy->closed;
        if (!run.closed) busy->running = statement;
    }
    if (!run.closed) {
        run.rc = ODBC(connection, SQLExecDirectW, statement, text.data(), text.length);
        run.ran = true;
        std::lock_guard lock(listsLock());
        BusyConnection* busy = findBusy(connection);
        if (busy) busy->running = SQL_NULL_HSTMT;
        run.closed = !busy || busy->closed;
    }
    fw::AttachToHost(token);
    return run;
}

void ReportClosedRun(ODBCConnection* connection, SQLHSTMT statement, const DetachedRun& run, bool select) {
    if (run.ran && !Succeeded(run.rc) && run.rc != SQL_NO_DATA) {
        // The statement handle is still whole: its diagnostic tells why.
        if (readDiagnostic(connection, SQL_HANDLE_STMT, statement)) return;
    } else if (run.ran && !select) {
        // It ran: what it changed is done.
        SQLLEN rows = 0;
        if (run.rc == SQL_NO_DATA) connection->lastRowCount = 0;
        else if (Succeeded(ODBC(connection, SQLRowCount, statement, &rows))) connection->lastRowCount = rows;
        return;
    }
    SetLastError(connection, 1, "Not connected.");
}

HostObject ODBCPerformSelect(ODBCConnection* connection, HostString sql) {
    Trace(connection, "ENTER ODBCPerformSelect(%p, %s)", static_cast<void*>(connection), fw::CString(sql));
    if (!connection->hdbc) {
        SetLastError(connection, 1, "Not connected.");
        return nullptr;
    }
    ODBCSelectThread select(connection, sql);
    select.Run();
    return select.result;
}

void ODBCExecute(ODBCConnection* connection, HostString sql) {
    Trace(connection, "ENTER ODBCExecute(%p, %s)", static_cast<void*>(connection), fw::CString(sql));
    if (!connection->hdbc) {
        SetLastError(connection, 1, "Not connected.");
        return;
    }
    ODBCExecuteThread execute(connection, sql);
    execute.Run();
}

SQLRETURN odbc_execDirect(ODBCConnection* connection, const char* text, HostEncodingCode encoding) {
    // A refused statement did not run: it must not read as a success.
    if (!BeginQuery(connection)) return SQL_ERROR;
    Trace(connection, "ENTER odbc_execDirect(%p, %s, %u)", static_cast<void*>(connection), text, unsigned(encoding));
    ClearLastError(connection);
    // Nobody else ends the plain statement while this runs (the close of
    // another thread leaves it to EndQuery).
    if (!connection->plainStatement) connection->plainStatement = new PlainStatement(connection);
    PlainStatement& plain = *connection->plainStatement;
    SQLRETURN rc = plain.statement.get() ? SQLRETURN(SQL_SUCCESS) : plain.statement.Allocate();
    if (Succeeded(rc)) {
        const SQLHSTMT statement = plain.statement.get();
        plain.text.assign(encoding, text, std::strlen(text));
        const DetachedRun run = ExecDirectDetached(connection, statement, plain.text);
        rc = run.rc;
        if (run.closed) {
            ReportClosedRun(connection, statement, run, false);
        } else {
            if (rc == SQL_NO_DATA) {
                // A searched UPDATE or DELETE that matched no row: it ran,
                // and changed nothing.
                connection->lastRowCount = 0;
            } else if (!Succeeded(rc)) {
                SetErrorFromStatement(connection, statement);
            } else {
                SQLLEN rows = 0;
                if (Succeeded(ODBC(connection, SQLRowCount, statement, &rows))) connection->lastRowCount = rows;
            }
            // Rows that a statement gave are not read: the handle is ready
            // for the next one.
            ODBC(connection, SQLFreeStmt, statement, SQLUSMALLINT(SQL_CLOSE));
        }
    }
    EndQuery(connection);
    return rc;
}

namespace {

// Ends the transaction of the connection with SQL_COMMIT or SQL_ROLLBACK.
void endTransaction(ODBCConnection* connection, const char* name, SQLUSMALLINT completion) {
    Trace(connection, "ENTER %s(%p)", name, static_cast<void*>(connection));
    if (!connection->hdbc) {
        SetLastError(connection, 1, "Not connected.");
        return;
    }
    ClearLastError(connection);
    if (!Succeeded(ODBC(connection, SQLTransact, static_cast<SQLHENV>(SQL_NULL_HENV), connection->hdbc, completion)))
        SetErrorFromConnection(connection);
}

}  // namespace

void ODBCCommit(ODBCConnection* connection) { endTransaction(connection, "ODBCCommit", SQL_COMMIT); }

void ODBCRollback(ODBCConnection* connection) { endTransaction(connection, "ODBCRollback", SQL_ROLLBACK); }

void ODBCAddTableRecord(ODBCConnection* connection, HostString table, InsertValue* first) {
    Trace(connection, "ENTER ODBCAddTableRecord(%p)", static_cast<void*>(connection));
    if (!connection->hdbc) {
        SetLastError(connection, 1, "Not connected.");
        return;
    }
    ClearLastError(connection);
    StatementHandle statement(connection);
    if (!Succeeded(statement.Allocate())) return;

    char quoteAnswer[10] = {};
    SQLSMALLINT quoteLength = 0;
    bool ok = Succeeded(ODBC(connection, SQLGetInfo, connection->hdbc, SQLUSMALLINT(SQL_IDENTIFIER_QUOTE_CHAR),
                             quoteAnswer, SQLSMALLINT(sizeof quoteAnswer), &quoteLength));
    const std::string quote = ok ? std::string(quoteAnswer) : std::string();

    // The bound values must live until the statement has run. Each is copied
    // with a NUL after it: the driver reads the texts up to their end.
    std::vector<std::string> values;
    std::vector<SQLLEN> indicators;
    size_t count = 0;
    for (InsertValue* node = first; node; node = node->next) ++count;
    values.reserve(count);
    indicators.reserve(count);

    std::string columns, markers;
    SQLUSMALLINT parameter = 1;
    for (InsertValue* node = first; node && ok; node = node->next, ++parameter) {
        const std::string name = fw::HostBytes::Read(node->name, HOST_ENCODING_UTF8).str();
        values.push_back(fw::HostBytes::Read(node->value).str());
        std::string& value = values.back();
        const SQLULEN bytes = value.size();
        columns += name;
        markers += "?";
        indicators.push_back(SQL_NTS);
        SQLLEN* indicator = &indicators.back();
        char* buffer = value.data();
        SQLRETURN rc = SQL_SUCCESS;
        auto bind = [&](SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize, SQLLEN bufferLength) {
            rc = ODBC(connection, SQLBindParameter, statement.get(), parameter, SQLSMALLINT(SQL_PARAM_INPUT), cType,
                      sqlType, columnSize, SQLSMALLINT(0), static_cast<SQLPOINTER>(buffer), bufferLength, indicator);
        };
        switch (node->type) {
        case HOST_TYPE_BYTE:
        case HOST_TYPE_SHORT:
        case HOST_TYPE_INTEGER:
        case HOST_TYPE_BOOLEAN: bind(SQL_C_CHAR, SQL_INTEGER, bytes + 1, 0); break;
        case HOST_TYPE_CHAR:
        case HOST_TYPE_TEXT:
        case HOST_TYPE_LONG_TEXT:
        case HOST_TYPE_STRING_OBJECT:
            *indicator = SQLLEN(fw::LenB(node->value));
            bind(SQL_C_CHAR, SQL_VARCHAR, bytes, 0);
            break;
        case HOST_TYPE_SINGLE:
        case HOST_TYPE_DOUBLE:
        case HOST_TYPE_CURRENCY:
        case HOST_TYPE_DECIMAL: bind(SQL_C_CHAR, SQL_DOUBLE, bytes + 1, 0); break;
        case HOST_TYPE_DATE:
        case HOST_TYPE_TIME:
        case HOST_TYPE_TIMESTAMP: bind(SQL_C_CHAR, SQL_CHAR, bytes + 1, 0); break;
        case HOST_TYPE_BINARY:
        case HOST_TYPE_LONG_BINARY:
        case HOST_TYPE_MAC_PICT:
            *indicator = SQLLEN(bytes);
            bind(SQL_C_BINARY, SQL_LONGVARBINARY, static_cast<SQLULEN>(INT64_MAX), SQLLEN(bytes));
            break;
        case HOST_TYPE_INT64: bind(SQL_C_CHAR, SQL_BIGINT, bytes + 1, 0); break;
        default: break;  // not bound: the driver reports the missing parameter
        }
        if (!Succeeded(rc)) ok = false;
        if (node->next) {
            columns += ",";
            markers += ",";
        }
    }

    if (ok) {
        // Prepared wide, as every other statement: the narrow call passes a
        // name beyond ASCII only in a locale that can write it.
        const std::string tableName = fw::HostBytes::Read(table, HOST_ENCODING_UTF8).str();
        const std::string sql =
            "INSERT INTO " + quote + tableName + quote + "(" + columns + ") values (" + markers + ")";
        WideText wide = MakeWide(HOST_ENCODING_UTF8, sql.data(), sql.size());
        SQLRETURN rc = ODBC(connection, SQLPrepareW, statement.get(), wide.data(), wide.length);
        if (Succeeded(rc)) rc = ODBC(connection, SQLExecute, statement.get());
        if (Succeeded(rc)) {
            SQLLEN rows = 0;
            if (Succeeded(ODBC(connection, SQLRowCount, statement.get(), &rows))) connection->lastRowCount = rows;
        } else {
            SetErrorFromStatement(connection, statement.get());
        }
    } else {
        SetErrorFromStatement(connection, statement.get());
    }
}

void SupportedColumnTypes(const int64_t** types, const char** names, int64_t* size) {
    static const int64_t kTypes[13] = {4, 5, 5, 1, 2, 3, 6, 7, 13, 8, 9, 10, 14};
    if (types) *types = kTypes;
    if (names) *names = "char,varchar,text,tinyint,smallint,integer,float,double,decimal,date,time,timestamp,blob";
    if (size) *size = int64_t(sizeof kTypes);
}

}  // namespace corvane
