#include "framework/SqlFileDatabase.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

#include "framework/EventLoop.h"
#include "framework/KeyedFileVfs.h"
#include "framework/SqlStatementCache.h"

#include <sqlite3.h>

// The open file and what goes with it. Shared between a SqlFileDatabase and
// the record sets it made, so that a record set can still report its errors
// and write its edits while its database object is open, and is harmless
// (db is null) after the object closed.
struct SqlFileConnection {
    sqlite3* db = nullptr;
    int64_t errorCode = 0;
    String errorMessage;

    // A statement that waits for another program's lock, or runs long,
    // yields to the event loop meanwhile; a Close asked for then (Cancel) is
    // carried out when the call that yielded returns.
    bool waiting = false;
    bool closeWanted = false;
    std::chrono::steady_clock::time_point waitingSince;

    // Statements kept prepared: the shapes of the statements run (see
    // ShapeOf) and the updates that record sets write.
    StatementCache statements;
    // Whether the literals of a statement may be bound as values: 1 when no
    // index is partial or on an expression (this SQLite matches neither
    // kind with a parameter, so a plan, and with it the order of the rows,
    // could differ), 0 when one is, -1 before the indexes were looked at.
    int literalsBindable = -1;

    // How the records with one list of names are inserted into one table.
    struct InsertPlan {
        String table;                // lower-cased
        std::vector<String> names;   // the record's names, as given
        std::vector<bool> inserted;  // by name: false for a column the table lacks
        sqlite3_stmt* stmt;
    };
    // The most recently used first, at most MaxInsertPlans.
    std::vector<InsertPlan> insertPlans;
    static constexpr size_t MaxInsertPlans = 8;
    // Column names of tables, by lower-cased table name, for InsertRecord.
    std::vector<std::pair<String, std::vector<String>>> tableColumns;
    // The INTEGER PRIMARY KEY column of tables ("" for none), by lower-cased
    // table name, for record-set updates.
    std::vector<std::pair<String, String>> tableKeys;

    void clearError() {
        errorCode = 0;
        errorMessage.clear();
    }
    void setError(int code, const String& message) {
        errorCode = code;
        errorMessage = message;
    }
    // Takes code and message of the last failure from SQLite.
    void setSqliteError() {
        if (db) setError(sqlite3_extended_errcode(db) & 0xff, sqlite3_errmsg(db));
        else setError(SQLITE_MISUSE, "The database is not open.");
    }
    bool requireOpen() {
        if (waiting) {
            // Only Close may come in while a statement yields.
            setError(SQLITE_MISUSE, "The database is busy with a statement.");
            return false;
        }
        if (db) return true;
        setError(SQLITE_MISUSE, "The database is not open.");
        return false;
    }

    // Runs one statement without parameters or result rows.
    bool exec(const char* sql) {
        char* message = nullptr;
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            setError(rc & 0xff, message ? message : sqlite3_errstr(rc));
            sqlite3_free(message);
            return false;
        }
        return true;
    }
    // Writes run in a transaction that the next Commit ends; opens one when
    // none is open. IMMEDIATE takes the write lock at once, waiting for
    // another object's momentary lock, instead of failing later when a read
    // lock would have to be upgraded.
    bool ensureTransaction() { return !sqlite3_get_autocommit(db) || exec("BEGIN IMMEDIATE"); }

    // Finalizes the kept statements and forgets what was read of the
    // schema: before a statement that may change it, and before closing.
    void forgetStatements() {
        statements.Clear();
        for (InsertPlan& plan : insertPlans) sqlite3_finalize(plan.stmt);
        insertPlans.clear();
        tableColumns.clear();
        tableKeys.clear();
        literalsBindable = -1;
    }

    // The kept statement prepared from `text` (a statement of the
    // framework's own, with parameters); nullptr, with the error set, when it
    // cannot be prepared.
    sqlite3_stmt* keptStatement(const String& text) {
        StatementCache::Entry* entry = statements.Find(text);
        if (entry && entry->stmt) return entry->stmt;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, text.c_str(), int(text.size() + 1), &stmt, nullptr) != SQLITE_OK || !stmt) {
            setSqliteError();
            sqlite3_finalize(stmt);
            return nullptr;
        }
        if (!entry) entry = statements.Add(text, stmt);
        entry->stmt = stmt;
        return stmt;
    }

    // The kept statement of the shape with the literals' values bound (they
    // must outlive its run); nullptr for a shape run as written. `failed`
    // when the statement cannot run at all (the error is set): SQLite could
    // not read the schema (a lock, a damaged file), and the text as written
    // would fail alike.
    sqlite3_stmt* shapeStatement(const StatementShape& shape, bool& failed) {
        failed = false;
        if (!shape.values.empty()) {
            if (literalsBindable < 0 && !checkIndexes()) {
                failed = true;
                return nullptr;
            }
            if (literalsBindable == 0) return nullptr;
        }
        StatementCache::Entry* entry = statements.Find(shape.text);
        if (!entry) {
            sqlite3_stmt* stmt = nullptr;
            const int rc = sqlite3_prepare_v2(db, shape.text.c_str(), int(shape.text.size() + 1), &stmt, nullptr);
            if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_ERROR) {
                setSqliteError();
                sqlite3_finalize(stmt);
                failed = true;
                return nullptr;
            }
            // A shape that SQLite refuses (a literal in the place of a name:
            // "AS 'n'", "COLLATE 'nocase'") or that names a result column
            // after a parameter runs as written.
            if (rc != SQLITE_OK || !stmt || !sameAsWritten(stmt, shape)) {
                sqlite3_finalize(stmt);
                stmt = nullptr;
            }
            entry = statements.Add(shape.text, stmt);
        }
        sqlite3_stmt* stmt = entry->stmt;
        for (size_t i = 0; stmt && i < shape.values.size(); ++i) {
            const String& value = shape.values[i];
            if (sqlite3_bind_text(stmt, int(i) + 1, value.data(), int(value.size()), SQLITE_STATIC) != SQLITE_OK) {
                sqlite3_clear_bindings(stmt);
                return nullptr;  // a value beyond SQLite's limits: as written it reports that
            }
        }
        return stmt;
    }

    // True when the shape's statement reads as the text does: a parameter
    // for each literal, and no result column named after an expression with
    // a parameter (as written, its name holds the literal).
    static bool sameAsWritten(sqlite3_stmt* stmt, const StatementShape& shape) {
        if (sqlite3_bind_parameter_count(stmt) != int(shape.values.size())) return false;
        if (shape.values.empty()) return true;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const char* name = sqlite3_column_name(stmt, i);
            if (!name || std::strchr(name, '?')) return false;
        }
        return true;
    }

    // Sets literalsBindable from the indexes of every schema of the
    // connection; false, with the error set, when they cannot be read.
    bool checkIndexes() {
        std::vector<String> schemas, indexes;
        bool plain =
            forEachRow("PRAGMA database_list", [&](sqlite3_stmt* stmt) { schemas.push_back(textColumn(stmt, 1)); });
        // Indexes made by CREATE INDEX (those of constraints have no SQL
        // text); a partial one has a WHERE in it (so may another, which is
        // then taken for partial).
        for (const String& schema : schemas) {
            const String master = quoteName(schema) + (schema == "temp" ? ".sqlite_temp_master" : ".sqlite_master");
            plain = plain && forEachRow("SELECT name, sql LIKE '%where%' FROM " + master +
                                            " WHERE type = 'index' AND sql IS NOT NULL",
                                        [&](sqlite3_stmt* stmt) {
                                            if (sqlite3_column_int(stmt, 1)) literalsBindable = 0;
                                            indexes.push_back(quoteName(schema) + ".index_xinfo(" +
                                                              quoteName(textColumn(stmt, 0)) + ")");
                                        });
        }
        for (size_t i = 0; plain && i < indexes.size() && literalsBindable != 0; ++i) {
            plain = forEachRow("PRAGMA " + indexes[i], [&](sqlite3_stmt* stmt) {
                if (sqlite3_column_int(stmt, 1) == -2) literalsBindable = 0;  // a column that is an expression
            });
        }
        if (!plain) {
            literalsBindable = -1;
            return false;
        }
        if (literalsBindable < 0) literalsBindable = 1;
        return true;
    }

    // Runs a statement of the framework's own, calling `row` for each row;
    // false, with the error set, on failure.
    template <class F>
    bool forEachRow(const String& sql, F row) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) row(stmt);
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK) setSqliteError();
        sqlite3_finalize(stmt);
        return rc == SQLITE_OK;
    }
    static String textColumn(sqlite3_stmt* stmt, int i) {
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return text ? text : "";
    }
    // Identifiers are quoted so that any table or column name passes unchanged.
    static String quoteName(const String& name) { return SQLQuoted(name, '"'); }

    // Rolls back what was not committed and closes the file; during a wait
    // for a lock, once the waiting call has returned.
    void close() {
        if (waiting) {
            closeWanted = true;
            return;
        }
        closeWanted = false;
        if (!db) return;
        forgetStatements();
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        db = nullptr;
    }
};

namespace {

// What SQLite may take at most: its whole heap, and the length of one value
// (a text, a blob, a row) or of one statement's text. No real file comes
// near them; a statement that runs away on a hostile file stops at them
// with SQLITE_NOMEM or SQLITE_TOOBIG instead of taking the machine's memory.
constexpr sqlite3_int64 HeapLimit = sqlite3_int64(1) << 30;
constexpr int LengthLimit = 100000000;

// The program uses SQLite from one thread only, so it runs without its
// mutexes; it counts its memory, which the heap limit needs. Both are set
// before SQLite initialises itself (at the first open, or the first
// file-system layer registered), that is as the program starts.
[[maybe_unused]] const bool sqliteConfigured = [] {
    sqlite3_config(SQLITE_CONFIG_SINGLETHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 1);
    sqlite3_hard_heap_limit64(HeapLimit);
    return true;
}();

// How long a statement waits for a lock that another program (or another
// object on the same file) holds before it fails with SQLITE_BUSY.
std::chrono::milliseconds g_lockWait = SqlFileDatabase::DefaultLockWait;
// How often the wait looks again; the event loop runs in between, so that
// windows repaint and Cancel answers.
constexpr std::chrono::milliseconds LockPoll(10);

// Marks the connection as waiting while a statement yields.
struct Waiting {
    SqlFileConnection& c;
    explicit Waiting(SqlFileConnection& c) : c(c) { c.waiting = true; }
    ~Waiting() { c.waiting = false; }
};

// SQLite's busy handler: waits a little and yields, until the lock wait is over
// or a Close was asked for meanwhile.
int waitForLock(void* connection, int attempts) {
    SqlFileConnection& c = *static_cast<SqlFileConnection*>(connection);
    const auto now = std::chrono::steady_clock::now();
    if (attempts == 0) c.waitingSince = now;
    if (c.closeWanted || now - c.waitingSince >= g_lockWait) return 0;
    Waiting waiting(c);
    std::this_thread::sleep_for(LockPoll);
    YieldToEventLoop();
    return c.closeWanted ? 0 : 1;
}

// A statement during which the event loop has had no look for this long (a
// change to a whole table, a sort, an index made, or other work without a
// yield before it) yields to it as it goes on, so that windows repaint and
// Cancel answers; so does a call at its end (see CallScope). Otherwise the
// yields are left to the operations, between their statements.
constexpr int64_t LongWithoutYieldMs = 25;
// How many steps of SQLite's virtual machine a statement takes between two
// looks at the clock: some tens of microseconds of work.
constexpr int YieldSteps = 1000;

// SQLite's progress handler: yields when there has been no yield for long;
// the statement goes on, unless a Close was asked for during the yield
// (Cancel): then it is interrupted and fails with SQLITE_INTERRUPT, so that
// Cancel does not wait for the end of a long select or change.
int yieldDuringStatement(void* connection) {
    SqlFileConnection& c = *static_cast<SqlFileConnection*>(connection);
    // Inside a yield of this connection already, or a yield was lately.
    if (c.waiting || CoarseMilliseconds() - LastYieldAt() < LongWithoutYieldMs) return 0;
    {
        Waiting waiting(c);
        YieldWithinWork();
    }
    return c.closeWanted ? 1 : 0;
}

// The handlers and safeguards of a newly opened connection; false, with
// the code, when SQLite refuses one. The files come from other people, so
// they are read as SQLite advises for files that may be hostile: nothing
// that SQL may do to damage a file (writable_schema and the like), no
// function or virtual table with side effects called from the schema (a
// view or trigger), no memory-mapped reads, every cell's size checked as a
// page is read, and the limits above.
int setHandlers(sqlite3* db, SqlFileConnection& c) {
    sqlite3_busy_handler(db, waitForLock, &c);
    sqlite3_progress_handler(db, YieldSteps, yieldDuringStatement, &c);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, LengthLimit);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, LengthLimit);
    int rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA cell_size_check = ON; PRAGMA mmap_size = 0", nullptr, nullptr, nullptr);
    return rc;
}

// One call of a public operation: clears the error, keeps the connection
// alive for the whole call (a yield during it may release the object that
// made it), at its end yields when the event loop has had no look for long
// (a loop of short statements, each too short to yield, that does not yield
// itself), and afterwards carries out a Close asked for during a yield.
class CallScope {
public:
    explicit CallScope(std::shared_ptr<SqlFileConnection> c) : c_(std::move(c)) { c_->clearError(); }
    ~CallScope() {
        if (!c_->waiting && CoarseMilliseconds() - LastYieldAt() >= LongWithoutYieldMs) {
            Waiting waiting(*c_);
            YieldWithinWork();
        }
        if (c_->closeWanted && !c_->waiting) c_->close();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    SqlFileConnection& operator*() const { return *c_; }

private:
    std::shared_ptr<SqlFileConnection> c_;
};

String quoteName(const String& name) { return SqlFileConnection::quoteName(name); }

// A statement for one run: one of the connection's kept statements, reset
// and without values when the run is over, so that it holds no lock, or one
// prepared for this run only and finalized then.
class Run {
public:
    Run() = default;
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() {
        if (!stmt_) return;
        if (kept_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        } else {
            sqlite3_finalize(stmt_);
        }
    }
    void keep(sqlite3_stmt* stmt) {
        stmt_ = stmt;
        kept_ = true;
    }
    void own(sqlite3_stmt* stmt) {
        stmt_ = stmt;
        kept_ = false;
    }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool kept_ = false;
};

// Steps a statement to its end, in the open transaction (one is opened for
// a statement that writes); false, with the error set, on failure.
bool runToEnd(SqlFileConnection& c, sqlite3_stmt* stmt) {
    if (!sqlite3_stmt_readonly(stmt) && !c.ensureTransaction()) return false;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) c.setSqliteError();
    return rc == SQLITE_DONE;
}

bool isDateType(const char* declared) { return declared && TextEquals(declared, "date"); }

// The rows of a select, read at select time into one byte buffer per row:
// for each column a 32-bit word (end offset of its bytes << 3 | storage
// type), followed by the columns' bytes. Integers and reals take 8 bytes,
// text and blobs their length, NULL nothing.
class SqlFileRecordSet final : public RecordSet {
public:
    enum : uint32_t { Null = 0, Integer = 1, Real = 2, Text = 3 };

    SqlFileRecordSet(std::shared_ptr<SqlFileConnection> conn, sqlite3_stmt* stmt) : conn_(std::move(conn)) {
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            const char* name = sqlite3_column_name(stmt, i);
            const char* table = sqlite3_column_table_name(stmt, i);
            const char* origin = sqlite3_column_origin_name(stmt, i);
            const char* schema = sqlite3_column_database_name(stmt, i);
            columns_.push_back({name ? name : "", table && schema && std::strcmp(schema, "main") == 0 ? table : "",
                                origin ? origin : "", isDateType(sqlite3_column_decltype(stmt, i))});
        }
    }

    // Appends the statement's current row, built in a buffer that the rows
    // share and copied at its size: one allocation a row.
    void addRow(sqlite3_stmt* stmt) {
        const size_t n = columns_.size();
        scratch_.assign(n * 4, '\0');
        for (size_t i = 0; i < n; ++i) {
            sqlite3_value* value = sqlite3_column_value(stmt, int(i));
            uint32_t type = Null;
            switch (sqlite3_value_type(value)) {
                case SQLITE_INTEGER: {
                    const int64_t integer = sqlite3_value_int64(value);
                    scratch_.append(reinterpret_cast<const char*>(&integer), 8);
                    type = Integer;
                    break;
                }
                case SQLITE_FLOAT: {
                    const double real = sqlite3_value_double(value);
                    scratch_.append(reinterpret_cast<const char*>(&real), 8);
                    type = Real;
                    break;
                }
                case SQLITE_TEXT:
                case SQLITE_BLOB: {
                    const void* bytes = sqlite3_value_blob(value);
                    if (bytes) scratch_.append(static_cast<const char*>(bytes), size_t(sqlite3_value_bytes(value)));
                    type = Text;
                    break;
                }
                default: break;
            }
            setWord(scratch_, int(i), uint32_t(scratch_.size() - n * 4) << 3 | type);
        }
        rows_.emplace_back(scratch_);
    }

    bool Eof() override { return current_ >= rows_.size(); }
    bool Bof() override { return rows_.empty(); }
    void MoveNext() override {
        if (current_ < rows_.size()) ++current_;
    }
    void MoveFirst() override { current_ = 0; }
    void MovePrevious() override {
        if (current_ > 0) --current_;
    }
    void MoveLast() override { current_ = rows_.empty() ? 0 : rows_.size() - 1; }
    int64_t RecordCount() override { return static_cast<int64_t>(rows_.size()); }
    int FieldCount() override { return static_cast<int>(columns_.size()); }

    String ColumnName(int index) override {
        if (index < 0 || index >= FieldCount()) throw OutOfBoundsException();
        return columns_[size_t(index)].name;
    }

    Variant ColumnValue(int index) override {
        if (index < 0 || index >= FieldCount()) throw OutOfBoundsException();
        if (Eof()) return Variant();
        return cell(rows_[current_], index, columns_[size_t(index)].isDate);
    }

    bool ColumnText(int index, std::string_view& text) override {
        if (index < 0 || index >= FieldCount()) throw OutOfBoundsException();
        if (Eof() || columns_[size_t(index)].isDate) return false;
        return storedText(index, text);
    }

    bool ColumnDateText(int index, std::string_view& text) override {
        if (index < 0 || index >= FieldCount()) throw OutOfBoundsException();
        if (Eof() || !columns_[size_t(index)].isDate) return false;
        return storedText(index, text);
    }

protected:
    // Writes the changed columns of the current row back by the table's
    // INTEGER PRIMARY KEY, and into the row held here.
    void WriteChanges(const std::vector<std::pair<int, Variant>>& changes) override {
        CallScope call(conn_);
        SqlFileConnection& c = *call;
        if (!c.requireOpen()) return;
        if (Eof()) return c.setError(SQLITE_MISUSE, "The record set has no current row.");
        const String table = columns_.empty() ? String() : columns_[0].table;
        for (const auto& col : columns_) {
            if (table.empty() || !TextEquals(col.table, table))
                return c.setError(SQLITE_ERROR, "Only rows selected from one table can be updated.");
        }
        const String key = keyColumn(table);
        int keyIndex = -1;
        for (size_t i = 0; i < columns_.size() && !key.empty(); ++i)
            if (TextEquals(columns_[i].origin, key)) keyIndex = int(i);
        if (keyIndex < 0)
            return c.setError(SQLITE_ERROR, "The row cannot be updated: the select does not hold the table's key.");

        String sql = "UPDATE " + quoteName(table) + " SET ";
        for (size_t i = 0; i < changes.size(); ++i)
            sql += (i ? ", " : "") + quoteName(columns_[size_t(changes[i].first)].origin) + " = ?";
        sql += " WHERE " + quoteName(key) + " = ?";

        std::vector<String> texts;
        texts.reserve(changes.size() + 1);
        Run run;
        run.keep(c.keptStatement(sql));
        sqlite3_stmt* stmt = run.get();
        if (!stmt) return;
        int param = 1;
        for (const auto& change : changes) bindVariant(stmt, param++, change.second, texts);
        bindVariant(stmt, param, cell(rows_[current_], keyIndex, false), texts);
        if (!runToEnd(c, stmt)) return;

        // The row as it now stands in the file.
        std::vector<Variant> values;
        for (int i = 0; i < FieldCount(); ++i) values.push_back(cell(rows_[current_], i, false));
        for (const auto& change : changes) values[size_t(change.first)] = change.second;
        rows_[current_] = encodeRow(values);
    }

public:
    // Binds a value; a text is bound where `texts` keeps it, which must
    // have room for it (so that the texts bound earlier stay in place) and
    // outlive the run.
    static void bindVariant(sqlite3_stmt* stmt, int param, const Variant& v, std::vector<String>& texts) {
        switch (v.GetType()) {
            case Variant::Type::Nil: sqlite3_bind_null(stmt, param); return;
            case Variant::Type::Boolean: sqlite3_bind_int64(stmt, param, v.BooleanValue() ? 1 : 0); return;
            case Variant::Type::Integer: sqlite3_bind_int64(stmt, param, v.IntegerValue()); return;
            case Variant::Type::Double: sqlite3_bind_double(stmt, param, v.DoubleValue()); return;
            case Variant::Type::Date: {
                const Ref<Date> d = v.DateValue();
                texts.push_back(d->Hour || d->Minute || d->Second ? d->SQLDateTime() : d->SQLDate());
                break;
            }
            case Variant::Type::Text: texts.push_back(v.StringValue()); break;
        }
        sqlite3_bind_text(stmt, param, texts.back().data(), int(texts.back().size()), SQLITE_STATIC);
    }

private:
    struct Column {
        String name;    // as the select names it
        String table;   // the table it comes from ("" for an expression)
        String origin;  // its name in that table
        bool isDate;    // declared DATE: its SQL date text reads as a Date
    };

    static uint32_t word(const String& row, int i) {
        uint32_t w;
        std::memcpy(&w, row.data() + size_t(i) * 4, 4);
        return w;
    }
    static void setWord(String& row, int i, uint32_t w) { std::memcpy(row.data() + size_t(i) * 4, &w, 4); }

    // The storage type of column i of the row and its bytes.
    std::string_view bytes(const String& row, int i, uint32_t& type) const {
        const size_t base = columns_.size() * 4;
        const uint32_t w = word(row, i);
        const size_t begin = base + (i ? word(row, i - 1) >> 3 : 0);
        type = w & 7;
        return std::string_view(row).substr(begin, base + (w >> 3) - begin);
    }

    // The current row's value in column i when it is text.
    bool storedText(int i, std::string_view& text) const {
        uint32_t type;
        const std::string_view value = bytes(rows_[current_], i, type);
        if (type != Text) return false;
        text = value;
        return true;
    }

    Variant cell(const String& row, int i, bool asDate) const {
        uint32_t type;
        const std::string_view value = bytes(row, i, type);
        switch (type) {
            case Integer: {
                int64_t v;
                std::memcpy(&v, value.data(), 8);
                return Variant(v);
            }
            case Real: {
                double v;
                std::memcpy(&v, value.data(), 8);
                return Variant(v);
            }
            case Text: {
                Variant text{String(value)};
                if (asDate) {
                    if (Ref<Date> d = text.DateValue()) return Variant(d);
                }
                return text;
            }
            default: return Variant();
        }
    }

    String encodeRow(const std::vector<Variant>& values) const {
        const int n = static_cast<int>(values.size());
        String row(size_t(n) * 4, '\0');
        for (int i = 0; i < n; ++i) {
            uint32_t type = Null;
            const Variant& v = values[size_t(i)];
            switch (v.GetType()) {
                case Variant::Type::Nil: break;
                case Variant::Type::Boolean:
                case Variant::Type::Integer: {
                    const int64_t x = v.IntegerValue();
                    row.append(reinterpret_cast<const char*>(&x), 8);
                    type = Integer;
                    break;
                }
                case Variant::Type::Double: {
                    const double x = v.DoubleValue();
                    row.append(reinterpret_cast<const char*>(&x), 8);
                    type = Real;
                    break;
                }
                case Variant::Type::Date: {
                    const Ref<Date> d = v.DateValue();
                    row += d->Hour || d->Minute || d->Second ? d->SQLDateTime() : d->SQLDate();
                    type = Text;
                    break;
                }
                case Variant::Type::Text:
                    row += v.StringValue();
                    type = Text;
                    break;
            }
            setWord(row, i, uint32_t(row.size() - size_t(n) * 4) << 3 | type);
        }
        row.shrink_to_fit();
        return row;
    }

    // The table's INTEGER PRIMARY KEY column, "" when it has none; read once
    // per table until the schema may have changed.
    String keyColumn(const String& table) {
        const String folded = Lowercase(table);
        for (const auto& [name, key] : conn_->tableKeys)
            if (name == folded) return key;
        String key = readKeyColumn(table);
        conn_->tableKeys.emplace_back(folded, key);
        return key;
    }
    String readKeyColumn(const String& table) {
        String key;
        int keys = 0;
        sqlite3_stmt* stmt = nullptr;
        const String sql = "PRAGMA table_info(" + quoteName(table) + ")";
        if (sqlite3_prepare_v2(conn_->db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return key;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            if (sqlite3_column_int(stmt, 5) == 0) continue;
            ++keys;
            const char* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
            if (type && TextEquals(type, "integer")) key = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        }
        sqlite3_finalize(stmt);
        return keys == 1 ? key : String();
    }

    std::shared_ptr<SqlFileConnection> conn_;
    std::vector<Column> columns_;
    String scratch_;  // room for addRow
    std::vector<String> rows_;
    size_t current_ = 0;
};

// The file's size, or -1 when it is not a regular file.
int64_t regularFileSize(const String& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return st.st_size;
}

bool startsWithPlainHeader(const String& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char head[16] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0;
}

// True when the file lies on a medium that cannot be written (a read-only
// mount, a CD).
bool onReadOnlyMedium(const String& path) {
    struct statvfs fs;
    return ::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
}

// True when a non-empty journal or write-ahead log lies beside the file:
// then the file alone does not hold the whole database.
bool hasPendingChanges(const String& path) {
    for (const char* suffix : {"-journal", "-wal"}) {
        struct stat st;
        if (::stat((path + suffix).c_str(), &st) == 0 && st.st_size > 0) return true;
    }
    return false;
}

// The URI that opens the file as immutable: nothing is locked or changed,
// and nothing beside the file is looked for.
String immutableUri(const String& path) {
    static const char Hex[] = "0123456789ABCDEF";
    String uri = "file:";
    for (unsigned char ch : path) {
        if (std::isalnum(ch) || ch == '/' || ch == '.' || ch == '_' || ch == '-' || ch == '~') {
            uri += char(ch);
        } else {
            uri += '%';
            uri += Hex[ch >> 4];
            uri += Hex[ch & 15];
        }
    }
    return uri + "?immutable=1";
}

// Code and message of a failed open or first statement.
void setOpenError(SqlFileConnection& c, sqlite3* db, int rc) {
    if (db) c.setError(sqlite3_extended_errcode(db) & 0xff, sqlite3_errmsg(db));
    else c.setError(rc & 0xff, sqlite3_errstr(rc));
}

}  // namespace

SqlFileDatabase::SqlFileDatabase() : conn_(std::make_shared<SqlFileConnection>()) {}

SqlFileDatabase::~SqlFileDatabase() { conn_->close(); }

int64_t SqlFileDatabase::ErrorCode() const { return conn_->errorCode; }

String SqlFileDatabase::ErrorMessage() const { return conn_->errorMessage; }

void SqlFileDatabase::SetLockWait(std::chrono::milliseconds wait) { g_lockWait = wait; }

bool SqlFileDatabase::Connect() {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (c.db) return true;
    if (!DatabaseFile) {
        c.setError(SQLITE_CANTOPEN, "No database file is set.");
        return false;
    }
    const String path = DatabaseFile->AbsolutePath();
    const int64_t size = regularFileSize(path);
    if (size < 0) {
        c.setError(SQLITE_CANTOPEN, "unable to open database file");
        return false;
    }
    // An empty file would open as a new empty database; it holds none.
    // A file with the plain header cannot be read with a key: saying so at
    // once spares the key derivation.
    if (size == 0 || (!EncryptionKey.empty() && startsWithPlainHeader(path))) {
        c.setError(SQLITE_NOTADB, "file is encrypted or is not a database");
        return false;
    }
    // Never create: a failed attempt must leave the file as it was. A file
    // opened for reading is never written, and its journal or write-ahead
    // log stays as it is. On a read-only medium nobody can change the file,
    // so it is read as immutable, which needs no lock and no index file
    // beside it; unless the file alone is not the whole database.
    String name = path;
    int flags = ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (ReadOnly && onReadOnlyMedium(path) && !hasPendingChanges(path)) {
        name = immutableUri(path);
        flags |= SQLITE_OPEN_URI;
    }
    // A file with a key is only ever read, through the layer that decrypts
    // it (and that refuses it at the open when the key does not fit).
    const char* vfs = nullptr;
    if (!EncryptionKey.empty()) {
        flags = (flags & ~SQLITE_OPEN_READWRITE) | SQLITE_OPEN_READONLY;
        vfs = KeyedFileVfs::Name();
    }
    sqlite3* db = nullptr;
    int rc;
    {
        KeyedFileVfs::KeyForOpen key(EncryptionKey);
        rc = sqlite3_open_v2(name.c_str(), &db, flags, vfs);
    }
    if (rc == SQLITE_OK) rc = setHandlers(db, c);
    // Reading the schema proves that this is a database (and reads a
    // write-ahead log, if one lies beside it).
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK && c.closeWanted) {
        rc = SQLITE_MISUSE;
        c.setError(rc, "The database was closed while it was being opened.");
    } else if (rc != SQLITE_OK) {
        setOpenError(c, db, rc);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    c.db = db;
    return true;
}

bool SqlFileDatabase::CreateDatabaseFile() {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!DatabaseFile) {
        c.setError(SQLITE_CANTOPEN, "No database file is set.");
        return false;
    }
    const String path = DatabaseFile->AbsolutePath();
    // An empty file holds nothing that could be lost: the database is made
    // in it (as in a temporary file made and locked beforehand).
    struct stat st;
    if (DatabaseFile->Exists() && !(::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)) {
        c.setError(SQLITE_CANTOPEN, "The file already exists: " + path);
        return false;
    }
    c.close();
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Writing the header at once makes the new file a database that a second
    // object can open before any table exists.
    if (rc == SQLITE_OK) rc = setHandlers(db, c);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA user_version = 0", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        setOpenError(c, db, rc);
        sqlite3_close_v2(db);
        for (const char* suffix : {"", "-journal"}) ::remove((path + suffix).c_str());
        return false;
    }
    c.db = db;
    return true;
}

namespace {

// Prepares the first statement of `sql` (from `next` on) for one run,
// as written; *next then points after it. A statement that may change the
// schema finds no kept statement open, and its changes are read again
// afterwards. False, with the error set, when it cannot be prepared; true
// and no statement for blanks or a lone ";".
bool prepareAsWritten(SqlFileConnection& c, const char*& next, Run& run) {
    if (!IsPlainStatement(next)) c.forgetStatements();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(c.db, next, -1, &stmt, &next);
    run.own(stmt);
    if (rc != SQLITE_OK) c.setSqliteError();
    return rc == SQLITE_OK;
}

// The columns of a table, in its own spelling, read once; nullptr, with the
// error set, when the table has none (there is no such table).
const std::vector<String>* tableColumns(SqlFileConnection& c, const String& table, const String& key) {
    for (const auto& [name, list] : c.tableColumns)
        if (name == key) return &list;
    std::vector<String> list;
    if (!c.forEachRow("PRAGMA table_info(" + quoteName(table) + ")",
                      [&](sqlite3_stmt* stmt) { list.push_back(SqlFileConnection::textColumn(stmt, 1)); }))
        return nullptr;
    if (list.empty()) {
        c.setError(SQLITE_ERROR, "no such table: " + table);
        return nullptr;
    }
    c.tableColumns.emplace_back(key, std::move(list));
    return &c.tableColumns.back().second;
}

// The plan for inserting records with these names into the table: the
// record's values for the columns that the table has, the others left out.
// False, with the error set, when the table is missing or the insert cannot
// be prepared.
template <class Names>
bool makeInsertPlan(SqlFileConnection& c, const String& table, const String& key, const Names& values,
                    SqlFileConnection::InsertPlan& plan) {
    const std::vector<String>* columns = tableColumns(c, table, key);
    if (!columns) return false;
    String names, marks;
    for (size_t i = 0; i < values.size(); ++i) {
        const String& name = values[i].first;
        auto column = std::find_if(columns->begin(), columns->end(),
                                   [&](const String& col) { return TextEquals(col, name); });
        plan.names.push_back(name);
        plan.inserted.push_back(column != columns->end());
        if (column == columns->end()) continue;
        names += (marks.empty() ? "" : ", ") + quoteName(*column);
        marks += marks.empty() ? "?" : ", ?";
    }
    const String sql = marks.empty() ? "INSERT INTO " + quoteName(table) + " DEFAULT VALUES"
                                     : "INSERT INTO " + quoteName(table) + " (" + names + ") VALUES (" + marks + ")";
    plan.table = key;
    plan.stmt = nullptr;
    if (sqlite3_prepare_v2(c.db, sql.c_str(), int(sql.size() + 1), &plan.stmt, nullptr) == SQLITE_OK) return true;
    c.setSqliteError();
    sqlite3_finalize(plan.stmt);
    return false;
}

}  // namespace

Ref<RecordSet> SqlFileDatabase::SQLSelect(const String& sql) {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return nullptr;
    StatementShape shape;  // its values are bound until the run is over
    Run run;
    if (ShapeOf(sql, shape)) {
        bool failed;
        run.keep(c.shapeStatement(shape, failed));
        if (failed) return nullptr;
    }
    if (!run.get()) {
        const char* next = sql.c_str();
        if (!prepareAsWritten(c, next, run)) return nullptr;
        if (!run.get()) {
            c.setError(SQLITE_ERROR, "No statement to select.");
            return nullptr;
        }
    }
    sqlite3_stmt* stmt = run.get();
    if (!sqlite3_stmt_readonly(stmt) && !c.ensureTransaction()) return nullptr;
    // The columns are read after the first step: a statement kept from
    // before a change of the schema is prepared again there.
    int rc = sqlite3_step(stmt);
    auto rs = std::make_shared<SqlFileRecordSet>(conn_, stmt);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        if (MaxRows > 0 && rs->RecordCount() >= MaxRows) {
            c.setError(SQLITE_TOOBIG, "The select gives more than " + Str(MaxRows) + " rows.");
            return nullptr;
        }
        rs->addRow(stmt);
    }
    // The end of the run (a reset, or finalizing) ends the read: no lock
    // outlives the select.
    if (rc != SQLITE_DONE) {
        c.setSqliteError();
        return nullptr;
    }
    return Ref<RecordSet>(std::shared_ptr<RecordSet>(std::move(rs)));
}

void SqlFileDatabase::SQLExecute(const String& sql) {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return;
    StatementShape shape;  // its values are bound until the run is over
    if (ShapeOf(sql, shape)) {
        bool failed;
        Run run;
        run.keep(c.shapeStatement(shape, failed));
        if (failed) return;
        if (run.get()) {
            runToEnd(c, run.get());
            return;
        }
    }
    const char* next = sql.c_str();
    while (next && *next) {
        Run run;
        if (!prepareAsWritten(c, next, run)) return;
        if (run.get() && !runToEnd(c, run.get())) return;
    }
}

namespace {

// The connection's kept insert for this table and these names, first in its
// list; nullptr when it cannot be prepared (the error set). The records of
// an import all have the same names, or a few lists of them.
template <class Names>
SqlFileConnection::InsertPlan* insertPlan(SqlFileConnection& c, const String& table, const Names& names) {
    const String key = Lowercase(table);
    auto samePlan = [&](const SqlFileConnection::InsertPlan& plan) {
        if (plan.table != key || plan.names.size() != names.size()) return false;
        for (size_t i = 0; i < names.size(); ++i)
            if (plan.names[i] != names[i].first) return false;
        return true;
    };
    auto& plans = c.insertPlans;
    auto found = std::find_if(plans.begin(), plans.end(), samePlan);
    if (found == plans.end()) {
        SqlFileConnection::InsertPlan plan;
        if (!makeInsertPlan(c, table, key, names, plan)) return nullptr;
        if (plans.size() == SqlFileConnection::MaxInsertPlans) {
            sqlite3_finalize(plans.back().stmt);
            plans.pop_back();
        }
        plans.insert(plans.begin(), std::move(plan));
    } else if (found != plans.begin()) {
        std::rotate(plans.begin(), found, found + 1);
    }
    return &plans.front();
}

}  // namespace

void SqlFileDatabase::InsertRow(const String& table, const std::vector<String>& columns,
                                const std::vector<std::optional<std::string_view>>& values) {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return;
    struct Names {
        const std::vector<String>& columns;
        size_t size() const { return columns.size(); }
        std::pair<const String&, int> operator[](size_t i) const { return {columns[i], 0}; }
    };
    const SqlFileConnection::InsertPlan* plan = insertPlan(c, table, Names{columns});
    if (!plan) return;
    Run run;
    run.keep(plan->stmt);
    sqlite3_stmt* stmt = run.get();
    int param = 1;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!plan->inserted[i]) continue;
        const auto& value = i < values.size() ? values[i] : std::nullopt;
        if (value) sqlite3_bind_text(stmt, param, value->data(), int(value->size()), SQLITE_STATIC);
        else sqlite3_bind_null(stmt, param);
        ++param;
    }
    if (c.ensureTransaction() && sqlite3_step(stmt) != SQLITE_DONE) c.setSqliteError();
}

void SqlFileDatabase::InsertRecord(const String& table, const DatabaseRecord& record) {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return;
    const auto& recordValues = record.Values();
    const SqlFileConnection::InsertPlan* plan = insertPlan(c, table, recordValues);
    if (!plan) return;

    std::vector<String> texts;
    texts.reserve(recordValues.size());
    Run run;
    run.keep(plan->stmt);
    sqlite3_stmt* stmt = run.get();
    int param = 1;
    for (size_t i = 0; i < recordValues.size(); ++i)
        if (plan->inserted[i]) SqlFileRecordSet::bindVariant(stmt, param++, recordValues[i].second, texts);
    if (c.ensureTransaction() && sqlite3_step(stmt) != SQLITE_DONE) c.setSqliteError();
}

void SqlFileDatabase::Commit() {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return;
    // A commit that fails (the file is locked past the busy timeout) leaves
    // the transaction open, so that nothing is lost and a later Commit can
    // still make it permanent.
    if (!sqlite3_get_autocommit(c.db)) c.exec("COMMIT");
}

void SqlFileDatabase::Rollback() {
    CallScope call(conn_);
    SqlFileConnection& c = *call;
    if (!c.requireOpen()) return;
    if (!sqlite3_get_autocommit(c.db)) c.exec("ROLLBACK");
}

void SqlFileDatabase::Close() { conn_->close(); }

namespace {
// The bytes that SQLite's unix locking locks: the pending byte, the reserved
// byte and the shared range after them.
constexpr off_t LockFirst = 0x40000000;
constexpr off_t LockBytes = 2 + 510;
}  // namespace

SqlFileLock::SqlFileLock(const String& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return;  // no file, or one that cannot be written (and so not replaced)
    // An open-file-description lock: closing it never drops the locks that
    // this program's own connections hold on the same file.
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = LockFirst;
    lock.l_len = LockBytes;
    const auto since = std::chrono::steady_clock::now();
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
        const bool heldByOther = errno == EAGAIN || errno == EACCES;
        if (!heldByOther || std::chrono::steady_clock::now() - since >= g_lockWait) {
            inUse_ = heldByOther;
            break;
        }
        std::this_thread::sleep_for(LockPoll);
        YieldToEventLoop();
    }
}

SqlFileLock::~SqlFileLock() {
    if (fd_ >= 0) ::close(fd_);
}

void SqlFileLock::RemoveLeftovers() {
    for (const char* suffix : {"-journal", "-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
}
