#pragma once
// The one reader of CSV text, as spreadsheets write it. A record is one line,
// or several when a quoted field holds line breaks; it is cut into fields at
// every comma outside quoted fields.
//
// The quote grammar: a field that starts with a double quote is quoted when
// a closing quote follows, the next double quote that is not one of a pair
// (""). It holds everything up to that quote, commas and line breaks
// included, with "" standing for one double quote; what follows the closing
// quote up to the next comma belongs to the field as unquoted text. Outside
// quoted fields double quotes are dropped. A quote with no closing one
// quotes nothing.
//
// Read from a file, the closing quote may lie on a later line: the lines up
// to it belong to the record, joined by EndOfLine. A quote that the file
// never closes quotes nothing: its line is a record of its own, and from
// there on every line is one (a quote closed within its line still quotes).
// Records are trimmed, and those without a value (blank lines, a
// spreadsheet's empty rows of commas) are skipped. NUL characters are
// removed from the lines as they are read: a statement's text into a CAV
// file cannot carry one, and both imports treat them alike.

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "framework/Text.h"
#include "services/CsvGrid.h"

class TextInputStream;

class CsvReader {
public:
    // The records of a file's decoded text.
    explicit CsvReader(TextInputStream& in);
    // One record: `text` as it is, untrimmed, whatever line breaks it holds.
    CsvReader(const String& text, const String& delimiter);

    // Moves to the next record; false after the last one.
    bool next();

    // Of the record that next() gave last:
    // The file's line number (the first line is 1) on which it starts.
    int64_t line() const { return line_; }
    // Its text: read from a file, trimmed; outside its quoted fields without
    // carriage returns and line feeds.
    const String& text() const;
    // Its fields' values. The import may change them before it stores them.
    std::vector<String>& fields() { return fields_; }
    const std::vector<String>& fields() const { return fields_; }
    // True when every field is empty once trimmed.
    bool holdsNoValue() const;
    // Writes field k into grid(row, k), and yields to the event loop once
    // for every field but the first. Fields outside the grid are not stored,
    // silently; the cells written before stay. The number of fields, stored
    // or not.
    int64_t storeInto(CsvGrid& grid, int64_t row) const;

    // The line numbers of the lines whose quote the file never closes.
    const std::vector<int64_t>& unclosedQuotes() const { return unclosed_; }
    // The line numbers of the lines read so far that held NUL characters.
    const std::vector<int64_t>& linesWithNul() const { return withNul_; }

private:
    bool readLine(String& text, int64_t& number);
    // Cuts record_ into fields_ and clean_, joining further lines to it while
    // a quoted field is open and lines may be joined. False when the file
    // ends inside such a field.
    bool cut();
    // cut() for a record without double quotes.
    bool cutPlain();
    // The position of the quote that closes the field opened at `open`, npos
    // when none follows in what the record may reach; `endedOpen` when the
    // file ended before one.
    size_t closingQuote(size_t open, bool& endedOpen);

    TextInputStream* in_ = nullptr;  // nil for a single text
    String delimiter_ = ",";
    bool given_ = false;  // the single text has been given

    String record_;                                   // the record's text as read (from a file: left-trimmed)
    size_t firstLine_ = 0;                            // the length of its first line in it
    std::vector<std::pair<String, int64_t>> joined_;  // the lines joined to its first
    std::deque<std::pair<String, int64_t>> pending_;  // lines given back, with their numbers
    int64_t read_ = 0;                                // lines taken from the stream
    bool joinLines_ = true;
    int64_t line_ = 0;
    mutable String clean_;
    mutable bool plainText_ = false;  // clean_ is still to be made from record_, which has no quotes
    std::vector<String> fields_;
    std::vector<int64_t> unclosed_;
    std::vector<int64_t> withNul_;
};
