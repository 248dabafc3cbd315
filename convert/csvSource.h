#pragma once
// What the two CSV imports share about their source file: opening it,
// putting the records that CsvReader reads into the cell grid with the line
// each starts on, and what of it the cell grid cannot hold (data lines after
// the grid's last row, lines whose fields reach its absent column), asked
// about before anything is written.

#include <cstdint>
#include <vector>

#include "framework/Date.h"
#include "framework/Ref.h"
#include "framework/Streams.h"
#include "framework/Text.h"
#include "services/CsvGrid.h"
#include "services/CsvReader.h"

class Progress;

namespace csvSource {

// The CSV file at `path` opened for reading; nil after the box "The file
// cannot be read:" with the path when it is missing or not a file, and with
// the reason when its text cannot be decoded.
Ref<TextInputStream> open(const String& path);

// The records of the file as the import's cell grid holds them.
class Records {
public:
    explicit Records(CsvGrid& grid) : grid_(grid) {}

    // Stores the fields of `record`, the file's record j, into grid row j,
    // and notes it when it does not fit: a record after the grid's last row
    // is not stored at all, and the fields of a longer one after the 70th
    // land in the absent column and beyond, where they are not read.
    void store(int64_t j, const CsvReader& record);
    // The file's line number on which the record of grid row j starts.
    int64_t lineOf(int64_t j) const;
    // Tells what will not be imported, or read without its quoting (the
    // lines of `unclosedQuotes`), and asks "Too much data" whether to go on;
    // true when nothing is amiss or the user answers Yes.
    bool accept(const std::vector<int64_t>& unclosedQuotes) const;
    // Tells the records from which the imports read no more animals (from
    // a record without a name that is followed by another one, or that is
    // the last) and asks "Too much data" whether to go on; true when there
    // are none or the user answers Yes.
    bool acceptEndOfAnimals(int64_t nameColumn) const;

private:
    CsvGrid& grid_;
    std::vector<int64_t> lines_;       // by grid row: the line its record starts on
    int64_t linesBeyondGrid_ = 0;      // records after the grid's last row
    int64_t firstLineBeyondGrid_ = 0;  // the line the first of them starts on
    std::vector<int64_t> cutLines_;    // line numbers of records of more than 70 fields
};

// The order in which to read the dates of the file: decided once from the
// cells of `columns` of `grid` in the data rows (up to the two empty name
// cells that end them), as appSystem::dateOrderOf says.
DateOrder dateOrder(const CsvGrid& grid, const std::vector<int64_t>& columns, int64_t nameColumn);

// What the completion message adds for dates that could not be read: ""
// when `lines` is empty, else a line end and "The " + what + " on line(s) "
// + the lines + " could not be read and was left empty.".
String unreadDates(const String& what, const std::vector<int64_t>& lines);

// What the completion message adds for the lines whose NUL characters were
// removed: "" when `lines` is empty, else a line end and "The NUL
// characters (zero bytes) on line(s) " + the lines + " were removed.".
String removedNuls(const std::vector<int64_t>& lines);

// The progress report of the imports' rows: at every 20th row r, "Found  - "
// + the row's name cell + a line end + r + " records", with the bar hidden.
void reportRow(Progress& progress, int64_t r, const String& name);

// Line numbers for a message: the first ten joined by ", ", then
// " and N more".
String lineList(const std::vector<int64_t>& lines);
// Any items for a message, as lineList gives the lines.
String itemList(const std::vector<String>& items);

}  // namespace csvSource
