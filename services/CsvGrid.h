#pragma once
// The CSV cell grid: rows 0 to 99000 (row 0 a file's heading line, row n its
// n-th data line) and columns 0 to 70, one field per cell. Only the cells
// that lines write are stored: a cell never written reads "", and an empty
// grid holds no memory for its cells.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/Text.h"

class CsvGrid {
public:
    static constexpr int64_t LastRow = 99000;
    static constexpr int64_t LastColumn = 70;

    // The cell's text, "" when nothing was written there. Raises
    // OutOfBoundsException outside rows 0..LastRow and columns 0..LastColumn.
    String operator()(int64_t row, int64_t column) const;
    // One more than the last column written in the row (0 for a row never
    // written). Raises OutOfBoundsException outside rows 0..LastRow.
    int64_t Width(int64_t row) const;
    // The text of a cell as the imports read it: "" in the last column, the
    // absent column from which every field whose heading the file lacks is
    // read, and outside the grid, so that the rows' look-ahead never leaves
    // it.
    String cell(int64_t row, int64_t column) const;
    // cell() as a view of the grid's own text, valid until the row is
    // written again or the grid cleared; an empty cell is "" (never a null
    // pointer), so that it is still a text where a null one would be NULL.
    std::string_view cellView(int64_t row, int64_t column) const;
    // True when row r ends the data rows: its cell in `nameColumn` and the
    // next row's are both empty.
    bool endOfRows(int64_t r, int64_t nameColumn) const;
    // Stores the cell's text. Raises OutOfBoundsException outside the bounds.
    void Set(int64_t row, int64_t column, const String& value);
    // Stores values[k] into (row, k) for every k, as Set would one after the
    // other, those outside the grid left out; the number stored.
    int64_t SetRow(int64_t row, const std::vector<String>& values);
    // Forgets every cell and gives their memory back; every cell reads "".
    void Clear();

private:
    // One row's cells, back to back in `data`; cell k ends at ends[k]. A row
    // never written has no ends.
    struct Row {
        std::vector<uint32_t> ends;
        String data;
    };
    static void checkBounds(int64_t row, int64_t column);

    std::vector<Row> rows_;  // grows to the last row written
};

// Read for every cell of every row an import writes: kept inline.
inline std::string_view CsvGrid::cellView(int64_t row, int64_t column) const {
    if (column < 0 || column >= LastColumn || row < 0 || size_t(row) >= rows_.size()) return "";
    const Row& r = rows_[size_t(row)];
    if (size_t(column) >= r.ends.size()) return "";
    const uint32_t begin = column ? r.ends[size_t(column) - 1] : 0;
    const std::string_view text = std::string_view(r.data).substr(begin, r.ends[size_t(column)] - begin);
    return text.empty() ? std::string_view("") : text;
}
