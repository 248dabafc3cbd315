#include "convert/csvSource.h"

#include <algorithm>

#include "convert/csvHeadingAliases.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/Progress.h"
#include "services/appSystem.h"

namespace csvSource {

Ref<TextInputStream> open(const String& path) {
    Ref<FolderItem> source = GetFolderItem(path);
    Ref<TextInputStream> in = source ? source->OpenAsTextFile() : nullptr;
    const String why = in ? in->ErrorMessage() : String();
    if (in && why.empty()) return in;
    MsgBox("The file cannot be read:" + EndOfLine + path + (why.empty() ? "" : EndOfLine + why));
    return nullptr;
}

void Records::store(int64_t j, const CsvReader& record) {
    const int64_t line = record.line();
    if (j > CsvGrid::LastRow) {
        if (linesBeyondGrid_++ == 0) firstLineBeyondGrid_ = line;
        return;
    }
    lines_.resize(size_t(j) + 1, 0);
    lines_[size_t(j)] = line;
    if (record.storeInto(grid_, j) > csvHeadingAliases::AbsentColumn) cutLines_.push_back(line);
}

int64_t Records::lineOf(int64_t j) const {
    return j >= 0 && size_t(j) < lines_.size() && lines_[size_t(j)] ? lines_[size_t(j)] : j + 1;
}

namespace {

// Asks whether to go on although the `items` (lines that each start with
// "- " and end with a line end) will not be imported.
bool askToGoOn(const String& items) {
    return MsgBox("Not all of this file can be imported:" + EndOfLine + items + "Do you want to continue?",
                  MsgBoxYesNoQuestion, "Too much data") == AnswerYes;
}

}  // namespace

bool Records::accept(const std::vector<int64_t>& unclosedQuotes) const {
    if (!linesBeyondGrid_ && cutLines_.empty() && unclosedQuotes.empty()) return true;
    String text;
    if (linesBeyondGrid_)
        text += "- the " + Str(linesBeyondGrid_) + " line(s) from line " + Str(firstLineBeyondGrid_) +
                " on: the converter imports at most " + Str(CsvGrid::LastRow) + " animals" + EndOfLine;
    if (!cutLines_.empty())
        text += "- the fields after the " + Str(csvHeadingAliases::AbsentColumn) + "th field on line(s) " +
                lineList(cutLines_) + EndOfLine;
    if (!unclosedQuotes.empty())
        text += "- line(s) " + lineList(unclosedQuotes) +
                ": a double quote opens a field and is never closed, so the line is read without quoting" +
                EndOfLine;
    return askToGoOn(text);
}

bool Records::acceptEndOfAnimals(int64_t nameColumn) const {
    // Every record in the grid holds a value (empty ones are skipped), so
    // each row from the end on is a line that would be lost unsaid.
    const int64_t rows = lines_.empty() ? 0 : int64_t(lines_.size()) - 1;
    int64_t end = 1;
    while (end <= rows && !grid_.endOfRows(end, nameColumn)) ++end;
    if (end > rows) return true;
    return askToGoOn("- the " + Str(rows - end + 1) + " line(s) from line " + Str(lineOf(end)) +
                     " on: the animals end where a line without a name is followed by another one or by the end "
                     "of the file" +
                     EndOfLine);
}

DateOrder dateOrder(const CsvGrid& grid, const std::vector<int64_t>& columns, int64_t nameColumn) {
    std::vector<String> dates;
    for (int64_t r = 1; !grid.endOfRows(r, nameColumn); ++r)
        for (int64_t column : columns) dates.push_back(grid.cell(r, column));
    return appSystem::dateOrderOf(dates);
}

String unreadDates(const String& what, const std::vector<int64_t>& lines) {
    if (lines.empty()) return String();
    return EndOfLine + "The " + what + " on line(s) " + lineList(lines) + " could not be read and was left empty.";
}

String removedNuls(const std::vector<int64_t>& lines) {
    if (lines.empty()) return String();
    return EndOfLine + "The NUL characters (zero bytes) on line(s) " + lineList(lines) + " were removed.";
}

void reportRow(Progress& progress, int64_t r, const String& name) {
    if (r % 20 != 0) return;
    progress.Show();
    progress.SetBarVisible(false);
    progress.SetMessage("Found  - " + name + EndOfLine + Str(r) + " records");
    progress.Refresh();
}

String lineList(const std::vector<int64_t>& lines) {
    std::vector<String> items;
    items.reserve(lines.size());
    for (int64_t line : lines) items.push_back(Str(line));
    return itemList(items);
}

String itemList(const std::vector<String>& items) {
    const size_t shown = std::min<size_t>(items.size(), 10);
    String text;
    for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + items[i];
    if (items.size() > shown) text += " and " + Str(int64_t(items.size() - shown)) + " more";
    return text;
}

}  // namespace csvSource
