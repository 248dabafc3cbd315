#pragma once
// The framework's single-file SQL database: one database file, optionally
// protected by an encryption key. Built on Debian's SQLite, linked into the
// program so that none of its symbols is exported, and set up for one
// thread: every object and record set is used on the thread of the event
// loop. A file with a key is only read, through a layer that decrypts its
// pages (framework/KeyedFileVfs.h). Every connection is set up for files
// that may be hostile (see setHandlers), and a Close asked for while a
// statement yields (Cancel) interrupts that statement.
//
// Writes (SQLExecute, InsertRecord, record-set updates) open a transaction
// when none is open; Commit makes the changes since the last commit
// permanent, and Close or the object's end drops uncommitted ones. A select
// reads its rows at once, so that no lock is held between statements and a
// record set stays readable after its database was closed or destroyed.
//
// Statements are prepared once and run again: those of the framework's own
// (inserts, record-set updates) and the program's plain SELECT, INSERT,
// UPDATE and DELETE statements by their shape, the text with its string
// literals as parameters, which are bound to the literals' values. Results
// and failures are those of the text as written; what could differ runs as
// written (see SqlStatementCache.h).
//
// A statement that finds the file locked by another program (or another
// object) waits for it at most a few seconds, yielding to the event loop
// meanwhile so that windows repaint and Cancel answers, and then fails with
// SQLITE_BUSY (5). When the event loop has had no look for some tens of
// milliseconds, a statement yields as it goes on, and a call before it
// returns (YieldWithinWork, framework/EventLoop.h). A Close that comes in
// during such a yield stops the statement (it fails with SQLITE_INTERRUPT,
// 9) and is carried out when the call returns; any other use of the object
// meanwhile fails with SQLITE_MISUSE.

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/Database.h"
#include "framework/FolderItem.h"

struct SqlFileConnection;  // the open file, shared with the record sets made from it

class SqlFileDatabase : public Database {
public:
    SqlFileDatabase();
    ~SqlFileDatabase() override;

    Ref<FolderItem> DatabaseFile;  // the file that Connect opens and CreateDatabaseFile makes
    // Used by the next Connect; "" for none. A file with a key is opened
    // for reading only, whatever ReadOnly says.
    String EncryptionKey;
    // Used by the next Connect: the file is opened for reading only, so
    // that neither it nor its journal or write-ahead log changes; on a
    // read-only medium it is read as immutable.
    bool ReadOnly = false;
    // The most rows that a select gives, 0 for no bound: a select that
    // would give more stops at the first row beyond and fails with
    // SQLITE_TOOBIG (18), without reading the rest.
    int64_t MaxRows = 0;

    // Opens DatabaseFile with EncryptionKey. True when open (also when it
    // already was); false, without raising, for a missing file, a folder, an
    // empty file, a file that is not a database, a wrong key, or a file that
    // another program keeps locked (SQLITE_BUSY). The file is not changed by
    // a failed attempt.
    bool Connect() override;
    // Makes a new empty database file without key at DatabaseFile and leaves
    // it open; false on failure (an existing file is not replaced, unless it
    // is empty), with the error code and message set.
    bool CreateDatabaseFile();

    // Runs the first statement of `sql` and returns all its rows, read at
    // once, on the first row; nil on any failure (error code and message
    // set). A column declared DATE gives its SQL date text as a Date. Edit and
    // Update on a select from one table that includes the table's INTEGER
    // PRIMARY KEY write the changed fields back by that key (Update failures
    // set the error code and message of this object).
    Ref<RecordSet> SQLSelect(const String& sql) override;
    Ref<RecordSet> SQLSelect(const String& sql, bool fastForwardCursor) {
        (void)fastForwardCursor;
        return SQLSelect(sql);
    }
    // Runs every statement of `sql` in turn, stopping at the first failure.
    void SQLExecute(const String& sql) override;
    // Inserts one row with the record's values; columns that the table lacks
    // are left out. Without an `id` the row gets the next key (1 in an empty
    // table).
    void InsertRecord(const String& table, const DatabaseRecord& record) override;
    // The same with the values given by position, values[i] for columns[i]
    // (nullopt for NULL), bound as the texts they are for the call only:
    // for many rows of one table with the same columns, which share one
    // prepared statement, without a record per row.
    void InsertRow(const String& table, const std::vector<String>& columns,
                   const std::vector<std::optional<std::string_view>>& values);
    // Ends the open transaction, if any. When the file stays locked beyond a
    // few seconds the commit fails and the transaction stays open; a commit
    // that cannot write (a full disk) fails with SQLite's code and message.
    void Commit() override;
    void Rollback() override;
    // Rolls back what was not committed and closes the file; a later Connect
    // opens it again. Record sets made earlier stay readable.
    void Close() override;

    // SQLite's code and message of the last failure; 0 and "" after a success.
    int64_t ErrorCode() const override;
    String ErrorMessage() const override;

    // How long a statement, and a SqlFileLock, wait for a lock that another
    // program holds: DefaultLockWait unless set otherwise (tests shorten it,
    // so that none waits seconds). Set it before the wait begins.
    static constexpr std::chrono::milliseconds DefaultLockWait{3000};
    static void SetLockWait(std::chrono::milliseconds wait);

private:
    // Never null; record sets share it so that they outlive this object.
    std::shared_ptr<SqlFileConnection> conn_;
};

// Keeps every other program off the database file at a path while it
// lives, so that the file can be replaced without pulling it from under a
// program that is using it: takes the file's write lock as SQLite's own
// locking knows it, waiting at most a few seconds (yielding to the event
// loop) while another program holds a lock on it. A program that keeps a
// write-ahead-log database open holds such a lock for as long as it has it
// open. Nothing is taken when no file is there.
class SqlFileLock {
public:
    explicit SqlFileLock(const String& path);
    ~SqlFileLock();
    SqlFileLock(const SqlFileLock&) = delete;
    SqlFileLock& operator=(const SqlFileLock&) = delete;

    // True when another program kept the file locked for the whole wait.
    bool InUse() const { return inUse_; }
    // Removes the journal, write-ahead log and log index that the file's
    // users left beside it (path + "-journal", "-wal", "-shm"): a file put in
    // its place must not be read with them.
    void RemoveLeftovers();

private:
    String path_;
    int fd_ = -1;
    bool inUse_ = false;
};
