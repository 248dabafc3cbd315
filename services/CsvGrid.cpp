#include "services/CsvGrid.h"

#include <algorithm>

#include "framework/Exceptions.h"

void CsvGrid::checkBounds(int64_t row, int64_t column) {
    if (row < 0 || row > LastRow || column < 0 || column > LastColumn) throw OutOfBoundsException();
}

String CsvGrid::operator()(int64_t row, int64_t column) const {
    checkBounds(row, column);
    if (size_t(row) >= rows_.size()) return String();
    const Row& r = rows_[size_t(row)];
    if (size_t(column) >= r.ends.size()) return String();
    const uint32_t begin = column ? r.ends[size_t(column) - 1] : 0;
    return r.data.substr(begin, r.ends[size_t(column)] - begin);
}

String CsvGrid::cell(int64_t row, int64_t column) const {
    if (column < 0 || column >= LastColumn || row < 0 || row > LastRow) return String();
    return (*this)(row, column);
}

bool CsvGrid::endOfRows(int64_t r, int64_t nameColumn) const {
    return cellView(r, nameColumn).empty() && cellView(r + 1, nameColumn).empty();
}

int64_t CsvGrid::Width(int64_t row) const {
    checkBounds(row, 0);
    if (size_t(row) >= rows_.size()) return 0;
    return int64_t(rows_[size_t(row)].ends.size());
}

void CsvGrid::Set(int64_t row, int64_t column, const String& value) {
    checkBounds(row, column);
    if (size_t(row) >= rows_.size()) {
        if (value.empty()) return;  // reads "" already
        rows_.resize(size_t(row) + 1);
    }
    Row& r = rows_[size_t(row)];
    const size_t k = size_t(column);
    if (k >= r.ends.size()) {
        // Cells between the last one stored and this one stay empty.
        const uint32_t end = r.data.size();
        r.ends.resize(k, end);
        r.data += value;
        r.ends.push_back(uint32_t(r.data.size()));
        return;
    }
    // Replacing a cell inside the row moves the cells after it.
    const uint32_t begin = k ? r.ends[k - 1] : 0;
    const uint32_t oldLength = r.ends[k] - begin;
    r.data.replace(begin, oldLength, value);
    const int64_t delta = int64_t(value.size()) - int64_t(oldLength);
    for (size_t i = k; i < r.ends.size(); ++i) r.ends[i] = uint32_t(int64_t(r.ends[i]) + delta);
}

int64_t CsvGrid::SetRow(int64_t row, const std::vector<String>& values) {
    if (row < 0 || row > LastRow) return 0;
    const size_t stored = std::min(values.size(), size_t(LastColumn + 1));
    const bool unwritten = size_t(row) >= rows_.size() || rows_[size_t(row)].ends.empty();
    if (!unwritten) {
        for (size_t k = 0; k < stored; ++k) Set(row, int64_t(k), values[k]);
        return int64_t(stored);
    }
    // A row never written is made whole at once, with the room it needs.
    size_t bytes = 0;
    for (size_t k = 0; k < stored; ++k) bytes += values[k].size();
    // Set makes no row beyond the last one for empty cells alone.
    if (size_t(row) >= rows_.size()) {
        if (bytes == 0) return int64_t(stored);
        rows_.resize(size_t(row) + 1);
    }
    Row& r = rows_[size_t(row)];
    r.ends.reserve(stored);
    r.data.reserve(bytes);
    for (size_t k = 0; k < stored; ++k) {
        r.data += values[k];
        r.ends.push_back(uint32_t(r.data.size()));
    }
    return int64_t(stored);
}

void CsvGrid::Clear() { std::vector<Row>().swap(rows_); }
