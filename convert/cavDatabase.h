#pragma once
// What the two conversions into an old CAV database share: the connection
// text of a CAV file, its INSERT statements built as SQL text, and the
// writing of rows one statement at a time, counting the rows that did not
// get in so that the completion message can say so.

#include <cstdint>
#include <string_view>

#include "framework/Ref.h"
#include "framework/Text.h"
#include "plugins/ODBCDatabase.h"

namespace cavDatabase {

// The ODBC connection text of the CAV file at `path`:
// "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + path +
// ";UID=;PWD=qe7rtmoxa;", the path in braces ("}" doubled) when it holds a
// ";" or a brace.
String connectionText(const String& path);

// Why the CAV file at `path` cannot be handed to the ODBC driver, for the
// user; "" when it can. A path that is not UTF-8, and one whose connection
// text would be longer than the 4,095 bytes that the connector passes on,
// cannot: either would reach another file, or none.
String unusablePath(const String& path);

// The start of the INSERT of one animal into the CAV tree, up to the
// apostrophe that opens the first value (278 characters).
extern const String TreePrefix;

// One INSERT statement as SQL text: a prefix that names the table and its
// columns and ends with "('", then the values, separated by commas, each
// appSystem::rmaLiteral() or NULL, then ")". With such literals only, the
// values are joined by "','" and the statement ends with "')".
class Insert {
public:
    explicit Insert(const String& prefix);
    Insert& value(std::string_view text);
    // A value for a Date/Time or Number column, which refuses an empty text:
    // NULL when the text is empty.
    Insert& dateOrNumber(std::string_view text);
    Insert& null();
    // The finished statement.
    String statement() const { return sql_ + ")"; }

private:
    String sql_;  // the prefix without its last apostrophe, then the values so far
    bool first_ = true;
};

// A new ODBCDatabase on the CAV file at `path`, connected. A path that
// cannot be handed to the driver is not tried: a beep, the box "The
// Brevolan database cannot be opened:" with the path and why, and nil. When
// it does not connect: a beep, the box "Database Error: " + code + two line
// ends + message, and nil.
Ref<ODBCDatabase> connect(const String& path);

// Turns autocommit off on the connected `db`: what it writes from here on
// is one transaction, which Commit makes lasting and Rollback undoes. False,
// with the database's error set, when the connection refuses.
bool beginTransaction(const Ref<ODBCDatabase>& db);

// The line that tells that none of `total` records got in:
// "None of the " + total + " records were written to the Brevolan database."
String noneWritten(int64_t total);

// Writes rows through one connection. Every row written is also counted in
// appSystem::output.recordsWritten, which Cancel tells.
//
// Each row committed by itself (the export): the writer connects again
// before every row (a live connection answers at once); a row whose connect
// fails is told with the box "Unable to connect to Brevolan database. ..."
// and skipped; a row that the database refused is counted, with the first
// refusal's message, and the rows after it are written.
//
// The rows one transaction (the import, after beginTransaction): the first
// row that cannot be written ends the writing, since the transaction is then
// undone as a whole. The connection is looked at before the first row,
// after every RowsBetweenConnectionChecks rows, when a row is refused and
// before the commit: a connect that fails, or that had to make the
// connection anew (autocommit on again: the driver undid what the lost one
// had not committed), loses the transaction; nothing is told here, and
// failure() gives the reason.
class RowWriter {
public:
    enum class Commits { EachRow, OneTransaction };
    // In one transaction, the rows written between two looks at the
    // connection: the rows of one progress report.
    static constexpr int64_t RowsBetweenConnectionChecks = 20;
    RowWriter(Ref<ODBCDatabase> db, Commits commits);

    // True when the row was written.
    bool write(const String& statement);
    // Each row committed: commits what the connection holds; a failure is
    // told by problems() and failure(). One transaction: commits it, false
    // when the database refused (failure() tells why; roll back then).
    bool commit();
    // Undoes the transaction (one transaction only).
    void rollback();

    int64_t rows() const { return rows_; }
    int64_t notWritten() const { return skipped_ + refused_; }
    // Whether a row or commit failed.
    bool failed() const { return !firstFailure_.empty(); }
    // "" when every row got in and every commit went through; otherwise the
    // lines that tell the user, each starting with a line end.
    String problems() const;
    // The first row or commit that the database refused, as "Database
    // Error: " + code + two line ends + message, or the box of a lost
    // connection; for rows committed each by itself followed by the line
    // that counts the records not written. "" when nothing failed.
    String failure() const;

private:
    Ref<ODBCDatabase> db_;
    Commits commits_;
    int64_t rows_ = 0;
    int64_t skipped_ = 0;  // the connect before the row failed
    int64_t refused_ = 0;  // the database refused the statement
    String refusal_;       // the first refusal's message
    String commitFailure_; // the first failed commit's message
    String firstFailure_;  // the first refused row's or commit's code and message, as failure() gives it
    void noteFailure(int64_t code, const String& message);
    bool connected();
};

}  // namespace cavDatabase
