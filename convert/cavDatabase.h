#pragma once
// What the two conversions into an old CAV database share: the connection
// text of a CAV file, its INSERT statements built as SQL text, and the
// writing of rows one statement at a time, counting the rows that did not
// get in so that the completion message can say so.

#include <cstdint>

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
    Insert& value(const String& text);
    // A value for a Date/Time or Number column, which refuses an empty text:
    // NULL when the text is empty.
    Insert& dateOrNumber(const String& text);
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

// Writes rows through one connection, connecting again before every row (a
// live connection answers at once). A row whose connect fails is told with
// the box "Unable to connect to Brevolan database. ..." and skipped; a row
// that the database refuses is counted, with the first refusal's message.
// Every row written is also counted in appSystem::output.recordsWritten,
// which Cancel tells.
class RowWriter {
public:
    // `commitEachRow`: commit after every row (the export), else only on commit().
    RowWriter(Ref<ODBCDatabase> db, bool commitEachRow);

    // True when the row was written.
    bool write(const String& statement);
    void commit();

    int64_t rows() const { return rows_; }
    int64_t notWritten() const { return skipped_ + refused_; }
    // "" when every row got in and every commit went through; otherwise the
    // lines that tell the user, each starting with a line end.
    String problems() const;
    // The first row or commit that the database refused, as "Database
    // Error: " + code + two line ends + message, followed by the line that
    // counts the records not written; "" when the database refused nothing.
    String failure() const;

private:
    Ref<ODBCDatabase> db_;
    bool commitEachRow_;
    int64_t rows_ = 0;
    int64_t skipped_ = 0;  // the connect before the row failed
    int64_t refused_ = 0;  // the database refused the statement
    String refusal_;       // the first refusal's message
    String commitFailure_; // the first failed commit's message
    String firstFailure_;  // the first refused row's or commit's code and message, as failure() gives it
    void noteFailure();
};

}  // namespace cavDatabase
