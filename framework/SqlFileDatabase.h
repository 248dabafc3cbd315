#pragma once
// The framework's single-file SQL database: one database file, optionally
// protected by an encryption key. Built on SQLCipher, linked into the program
// so that none of its symbols is exported.
//
// Writes (SQLExecute, InsertRecord, record-set updates) open a transaction
// when none is open; Commit makes the changes since the last commit
// permanent, and Close or the object's end drops uncommitted ones. A select
// reads its rows at once, so that no lock is held between statements and a
// record set stays readable after its database was closed or destroyed.

#include <memory>

#include "framework/Database.h"
#include "framework/FolderItem.h"

struct SqlFileConnection;  // the open file, shared with the record sets made from it

class SqlFileDatabase : public Database {
public:
    SqlFileDatabase();
    ~SqlFileDatabase() override;

    Ref<FolderItem> DatabaseFile;  // the file that Connect opens and CreateDatabaseFile makes
    String EncryptionKey;          // used by the next Connect; "" for none

    // Opens DatabaseFile with EncryptionKey. True when open (also when it
    // already was); false, without raising, for a missing file, a folder, an
    // empty file, a file that is not a database, or a wrong key. The file is
    // not changed by a failed attempt.
    bool Connect() override;
    // Makes a new empty database file without key at DatabaseFile and leaves
    // it open; false on failure (an existing file is not replaced), with the
    // error code and message set.
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
    // Ends the open transaction, if any. When the file stays locked beyond a
    // few seconds the commit fails and the transaction stays open.
    void Commit() override;
    void Rollback() override;
    // Rolls back what was not committed and closes the file; a later Connect
    // opens it again. Record sets made earlier stay readable.
    void Close() override;

    // SQLite's code and message of the last failure; 0 and "" after a success.
    int64_t ErrorCode() const override;
    String ErrorMessage() const override;

private:
    // Never null; record sets share it so that they outlive this object.
    std::shared_ptr<SqlFileConnection> conn_;
};
