#pragma once
// Inside SqlFileDatabase: statements prepared once and run again. The
// program's statements carry their values as string literals ("SELECT name
// FROM tree WHERE oldId = '7'"); a statement's shape is its text with those
// literals taken out as parameters, so that all statements of one shape run
// on one prepared statement with the literals' values bound.

#include <list>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/Text.h"

struct sqlite3_stmt;

// A statement taken apart into its shape and the values of its literals.
struct StatementShape {
    String text;                 // the statement with each string literal replaced by "?"
    std::vector<String> values;  // the literals' values in order, their doubled quotes single
};

// Takes `sql` apart; true when it is one plain SELECT, INSERT, UPDATE or
// DELETE whose shape gives the same results as the text with its literals.
// A bound text is what its literal is: a text value without affinity or
// collation, converted and compared with a column's values as the literal
// is. False, for a statement to be run as written, for anything else:
// another kind of statement, several statements, a text with what the scan
// does not take apart (double-quoted texts, identifiers in brackets or
// backticks, comments, parameters, blob literals, a literal run together
// with a word) and statements that group rows (GROUP BY, HAVING), where
// SQLite takes two equal literals for the same expression but two
// parameters for different ones. Numbers stay in the text: in ORDER BY a
// number is a column's position.
bool ShapeOf(const String& sql, StatementShape& shape);

// True when the first word of the statement that `sql` begins with is
// SELECT, INSERT, UPDATE or DELETE (case ignored): such a statement changes
// no table's columns and no index.
bool IsPlainStatement(const char* sql);

// Prepared statements by their text (a shape, or the framework's own
// statements with parameters), at most Capacity of them: the least recently
// used one is finalized when another comes. An entry may hold no statement:
// a shape that is run as written.
class StatementCache {
public:
    static constexpr size_t Capacity = 64;

    struct Entry {
        String text;
        sqlite3_stmt* stmt;  // nullptr: the statements of this shape run as written
    };

    StatementCache() = default;
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;
    ~StatementCache() { Clear(); }

    // The entry for the text, now the most recently used; nullptr when none.
    Entry* Find(const String& text);
    // Keeps `stmt` (finalized by the cache from now on) under `text`, which
    // has no entry yet; returns the new entry.
    Entry* Add(const String& text, sqlite3_stmt* stmt);
    // Finalizes every statement and forgets every entry.
    void Clear();

private:
    std::list<Entry> entries_;  // the most recently used first
    std::unordered_map<std::string_view, std::list<Entry>::iterator> byText_;
};
