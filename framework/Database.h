#pragma once
// The framework's generic database classes. SqlFileDatabase (the single-file
// SQL database) and the databases that plug-ins provide (an ODBC database,
// say) are kinds of Database; their record sets are kinds of RecordSet.
// Database failures do not raise: Connect returns false, SQLSelect gives nil,
// and the cause is read from ErrorCode and ErrorMessage. Table, column and
// field names match without regard to case.

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/Variant.h"

class RecordSet;

// One column of a record set's current row. A field taken while the record
// set is being edited passes values set on it to the record set, which writes
// them on Update.
class DatabaseField {
public:
    DatabaseField(std::shared_ptr<RecordSet> owner, int index, String name, Variant value);

    String Name() const { return name_; }
    Variant Value() const { return value_; }
    String StringValue() const { return value_.StringValue(); }  // "" when empty
    int64_t IntegerValue() const { return value_.IntegerValue(); }
    double DoubleValue() const { return value_.DoubleValue(); }
    bool BooleanValue() const { return value_.BooleanValue(); }
    Ref<Date> DateValue() const { return value_.DateValue(); }  // nil when it holds no date

    void SetValue(const Variant& value);
    void SetStringValue(const String& value) { SetValue(Variant(value)); }
    void SetIntegerValue(int64_t value) { SetValue(Variant(value)); }

private:
    std::shared_ptr<RecordSet> owner_;
    int index_;  // 0-based column index in the owner
    String name_;
    Variant value_;
};

// The rows of a select, with one current row. A new record set stands on its
// first row; Eof is true past the last row (and at once for an empty result).
class RecordSet : public std::enable_shared_from_this<RecordSet> {
public:
    virtual ~RecordSet() = default;

    virtual bool Eof() = 0;
    virtual bool Bof() { return false; }
    virtual void MoveNext() = 0;
    virtual void MoveFirst() = 0;
    virtual void MovePrevious() {}
    virtual void MoveLast() {}
    // Number of rows; -1 where the database cannot tell.
    virtual int64_t RecordCount() = 0;
    virtual int FieldCount() = 0;

    // The current row's field of that name (case ignored); nil when the record
    // set has no such column. Without a current row the field's value is empty.
    Ref<DatabaseField> Field(const String& name);
    // The current row's field at a 1-based position; nil outside 1..FieldCount.
    Ref<DatabaseField> IdxField(int index);
    // The index (from 0) of the first column called `name` (case ignored);
    // -1 when none. A reader of many rows looks its columns up once.
    int ColumnIndex(const String& name);

    // Begin editing the current row; fields set afterwards are written by Update.
    void Edit();
    void Update();
    virtual void DeleteRecord() {}
    virtual void Close() {}

    // Column primitives that each kind of record set provides (0-based index).
    virtual String ColumnName(int index) = 0;
    // The current row's value; nil when there is no current row.
    virtual Variant ColumnValue(int index) = 0;
    // The current row's value when the record set holds it as text that
    // ColumnValue gives as that same text (not nil, not a date): true, and
    // `text` shows its bytes until the record set moves, changes or goes.
    // False for any other value, which ColumnValue then gives. For readers
    // of many rows that need no copy of each value.
    virtual bool ColumnText(int index, std::string_view& text) {
        (void)index;
        (void)text;
        return false;
    }
    // The current row's value when the record set holds it as text in a
    // column whose values ColumnValue reads as dates (a DATE column): true,
    // and `text` shows the bytes that ColumnValue reads its date from (or
    // gives as text when they hold none), as long as ColumnText's would.
    // False for any other value. For readers of many dates that need no
    // date made of each.
    virtual bool ColumnDateText(int index, std::string_view& text) {
        (void)index;
        (void)text;
        return false;
    }

protected:
    // Called by Edit before any field is read for editing.
    virtual void BeginEdit() {}
    // Writes the changed columns of the current row (index, new value).
    virtual void WriteChanges(const std::vector<std::pair<int, Variant>>& changes) = 0;

private:
    friend class DatabaseField;
    void SetColumn(int index, const Variant& value);

    // The column names, read once at the first lookup by name (a record set
    // keeps its columns): a field is asked for by name for every value read.
    struct NamedColumn {
        String name;
        bool ascii;
    };
    std::vector<NamedColumn> names_;
    bool namesRead_ = false;

    bool editing_ = false;
    std::vector<std::pair<int, Variant>> changes_;
};

// The values of a row to insert, by column name, in the order they were set.
class DatabaseRecord {
public:
    void Column(const String& name, String value) { set(name, Variant(std::move(value))); }
    void IntegerColumn(const String& name, int64_t value) { set(name, Variant(value)); }
    void BooleanColumn(const String& name, bool value) { set(name, Variant(value)); }
    void DoubleColumn(const String& name, double value) { set(name, Variant(value)); }
    // The column written as NULL: as it is when left out of the record,
    // unless the table gives it a default.
    void NilColumn(const String& name) { set(name, Variant()); }
    // The value set for the column (case ignored); nil when none was set.
    Variant Column(const String& name) const;

    const std::vector<std::pair<String, Variant>>& Values() const { return values_; }

private:
    // A second set of a name (case ignored) replaces the first value in its
    // place; a new name is appended.
    void set(const String& name, Variant value);
    // The position of the value set for the name; -1 when none.
    int positionOf(const String& name, uint32_t hash, bool ascii) const;
    void addToIndex(uint32_t position, uint32_t hash);

    std::vector<std::pair<String, Variant>> values_;
    // The names are found again without comparing each with all earlier
    // ones: the ASCII names by the hash of their lower-cased bytes (open
    // addressing: a slot holds position + 1, 0 when free), the others, which
    // may equal a name of other bytes, by comparing.
    std::vector<uint32_t> hashes_;  // by position
    std::vector<uint32_t> slots_;   // a power of two in size, at most half full
    std::vector<uint32_t> others_;  // positions of the names that are not ASCII
};

class Database {
public:
    virtual ~Database() = default;

    String Host;
    String UserName;
    String Password;
    String DatabaseName;

    virtual bool Connect() = 0;
    // The rows of a select, on the first row; nil on any failure.
    virtual Ref<RecordSet> SQLSelect(const String& sql) = 0;
    virtual void SQLExecute(const String& sql) = 0;
    virtual void InsertRecord(const String& table, const DatabaseRecord& record) = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual void Close() = 0;

    // Schema queries; nil where a database offers none.
    virtual Ref<RecordSet> TableSchema() { return nullptr; }
    virtual Ref<RecordSet> FieldSchema(const String& table) { (void)table; return nullptr; }
    virtual Ref<RecordSet> IndexSchema(const String& table) { (void)table; return nullptr; }

    // Code and text of the last failure; 0 and "" after a success.
    virtual int64_t ErrorCode() const = 0;
    virtual String ErrorMessage() const = 0;
    bool Error() const { return ErrorCode() != 0; }
};

// `text` between two `quote` characters, each `quote` inside doubled, so
// that nothing in it can end the quoting: with '\'' an SQL string literal,
// with '"' a quoted identifier.
String SQLQuoted(const String& text, char quote);
