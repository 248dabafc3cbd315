#pragma once
// What the two CSV imports share about their source file: opening it, and
// what of it the cell grid cannot hold (data lines after the grid's last
// row, lines whose fields reach its absent column), asked about before
// anything is written.

#include <cstdint>
#include <vector>

#include "framework/Ref.h"
#include "framework/Streams.h"
#include "framework/Text.h"

namespace csvSource {

// appSystem::sourceFilepath opened for reading; nil after the box "The file
// cannot be read:" with the path when it is missing or not a file, and with
// the reason when its text cannot be decoded.
Ref<TextInputStream> open();

class Overflow {
public:
    // Splits line j (already cleaned) into grid row j, and notes it when it
    // does not fit: a line after the grid's last row is not stored at all,
    // and the fields of a longer line after the 70th land in the absent
    // column and beyond, where they are not read.
    void store(int64_t j, const String& line);
    // Tells what will not be imported and asks "Too much data" whether to go
    // on; true when nothing is lost or the user answers Yes.
    bool accept() const;

private:
    int64_t linesBeyondGrid_ = 0;      // non-empty lines after the grid's last row
    int64_t firstLineBeyondGrid_ = 0;  // line number (the heading line is line 1)
    std::vector<int64_t> cutLines_;    // line numbers of lines of more than 70 fields
};

// The progress report of the imports' rows: at every 20th row r, "Found  - "
// + the row's name cell + a line end + r + " records", with the bar hidden.
void reportRow(int64_t r, const String& name);

// Line numbers for a message: the first ten joined by ", ", then
// " and N more".
String lineList(const std::vector<int64_t>& lines);

}  // namespace csvSource
