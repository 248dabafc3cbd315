#include "connector/source/InMemoryCursor.h"

#include <limits>

#include "connector/source/FrameworkCalls.h"
#include "connector/source/ODBCUtilities.h"

namespace corvane {
namespace {

// The value handed out last by any InMemoryCursor: a text in the string
// slot (released when the next text is handed out), a boolean in the byte.
HostString g_textSlot = nullptr;
uint8_t g_booleanSlot = 0;

}  // namespace

InMemoryCursor::InMemoryCursor(std::vector<std::string> header) : header_(std::move(header)) {}

void InMemoryCursor::AddRow(const InMemoryRow& row) {
    InMemoryRow copy = row;
    copy.resize(header_.size());  // one cell per column, whatever the caller gave
    rows_.push_back(std::move(copy));
}

int64_t InMemoryCursor::RecordCount() {
    return rows_.size() > size_t(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                       : int64_t(rows_.size());
}

int64_t InMemoryCursor::ColumnCount() { return int64_t(header_.size()); }

HostString InMemoryCursor::ColumnName(int64_t index) {
    if (!InColumns(index)) return nullptr;
    const std::string& name = header_[size_t(index)];
    return fw::BuildString(name.data(), int64_t(name.size()));
}

int64_t InMemoryCursor::ColumnType(int64_t index) {
    if (!InColumns(index) || !OnRow()) return HOST_TYPE_UNDETERMINED;
    return rows_[size_t(current_)][size_t(index)].type;
}

bool InMemoryCursor::NextRecord() {
    // Goes on counting past the end, so that every further call stays false.
    if (current_ < std::numeric_limits<int32_t>::max()) ++current_;
    return OnRow();
}

const std::string* InMemoryCursor::CurrentText(int64_t index) const {
    if (!InColumns(index) || !OnRow()) return nullptr;
    return &rows_[size_t(current_)][size_t(index)].text;
}

void InMemoryCursor::ColumnValue(int64_t index, void** value, int32_t* type, int64_t* length) {
    if (!InColumns(index) || !OnRow()) return;
    const InMemoryCell& cell = rows_[size_t(current_)][size_t(index)];
    if (cell.type == HOST_TYPE_BOOLEAN) {
        g_booleanSlot = cell.text == "1" || CompareNoCase(cell.text.c_str(), "true") == 0 ? 1 : 0;
        if (value) *value = &g_booleanSlot;
        if (type) *type = HOST_TYPE_BOOLEAN;
        if (length) *length = 1;
        return;
    }
    fw::UnlockString(g_textSlot);
    g_textSlot = fw::BuildString(cell.text.data(), int64_t(cell.text.size()));
    if (!g_textSlot) return;
    fw::SetStringEncoding(g_textSlot, HOST_ENCODING_UTF8);
    if (value) *value = &g_textSlot;
    if (type) *type = HOST_TYPE_STRING_OBJECT;
    if (length) *length = 8;
}

}  // namespace corvane
