#pragma once
// A record set held whole in memory: the result of a schema or catalog
// query, copied row by row as text. It carries its own column names and
// needs no statement of the driver while the framework reads it. It is read
// once, forward; editing and moving back do nothing.

#include <string>
#include <vector>

#include "connector/source/ODBCCursor.h"

namespace corvane {

// One value of a row: its text (UTF-8) and its HostColumnType.
struct InMemoryCell {
    std::string text;
    int32_t type = HOST_TYPE_STRING_OBJECT;
};
using InMemoryRow = std::vector<InMemoryCell>;

class InMemoryCursor : public RbCursor {
public:
    // The cursor starts before its first row.
    explicit InMemoryCursor(std::vector<std::string> header);

    // Appends a copy of a row (one cell per column of the header).
    void AddRow(const InMemoryRow& row);

    int64_t RecordCount() override;
    int64_t ColumnCount() override;
    // A new string of the column's name (no encoding set), or none outside
    // the columns.
    HostString ColumnName(int64_t index) override;
    // The type of the current row's cell; 255 outside the columns or
    // without a current row.
    int64_t ColumnType(int64_t index) override;
    // Steps to the next row; false once past the last one.
    bool NextRecord() override;
    void PreviousRecord() override {}
    void FirstRecord() override {}
    void LastRecord() override {}
    void EditRecord() override {}
    void DeleteRecord() override {}
    // Boolean cells are handed out as one byte (true for "1" or "true" in
    // any case), every other cell as a host string marked UTF-8. Both live
    // in process-wide slots until the next value of any InMemoryCursor.
    // Writes nothing outside the columns or without a current row.
    void ColumnValue(int64_t index, void** value, int32_t* type, int64_t* length) override;
    void UpdateRecord(FieldChange*) override {}
    int64_t FieldKey(int64_t) override { return 0; }

    // The text of a cell of the current row; nullptr outside the columns or
    // without a current row.
    const std::string* CurrentText(int64_t index) const;

private:
    bool OnRow() const { return current_ >= 0 && size_t(current_) < rows_.size(); }
    bool InColumns(int64_t index) const { return index >= 0 && size_t(index) < header_.size(); }

    std::vector<std::string> header_;
    std::vector<InMemoryRow> rows_;
    int32_t current_ = -1;
};

}  // namespace corvane
