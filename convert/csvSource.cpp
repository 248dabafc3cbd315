#include "convert/csvSource.h"

#include <algorithm>

#include "convert/csvHeadingAliases.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"
#include "ui/frmWait.h"

namespace csvSource {

Ref<TextInputStream> open() {
    Ref<FolderItem> source = GetFolderItem(appSystem::sourceFilepath);
    Ref<TextInputStream> in = source ? source->OpenAsTextFile() : nullptr;
    const String why = in ? in->ErrorMessage() : String();
    if (in && why.empty()) return in;
    MsgBox("The file cannot be read:" + EndOfLine + appSystem::sourceFilepath + (why.empty() ? "" : EndOfLine + why));
    return nullptr;
}

void Overflow::store(int64_t j, const String& line) {
    if (j > CsvGrid::LastRow) {
        if (!line.empty() && linesBeyondGrid_++ == 0) firstLineBeyondGrid_ = j + 1;
        return;
    }
    if (std::count(line.begin(), line.end(), ',') >= csvHeadingAliases::AbsentColumn) cutLines_.push_back(j + 1);
    appSystem::extractfields(line, j, ",");
}

bool Overflow::accept() const {
    if (!linesBeyondGrid_ && cutLines_.empty()) return true;
    String text = "Not all of this file can be imported:" + EndOfLine;
    if (linesBeyondGrid_)
        text += "- the " + Str(linesBeyondGrid_) + " line(s) from line " + Str(firstLineBeyondGrid_) +
                " on: the converter imports at most " + Str(CsvGrid::LastRow) + " animals" + EndOfLine;
    if (!cutLines_.empty())
        text += "- the fields after the " + Str(csvHeadingAliases::AbsentColumn) + "th field on line(s) " +
                lineList(cutLines_) + EndOfLine;
    text += "Do you want to continue?";
    return MsgBox(text, MsgBoxYesNoQuestion, "Too much data") == AnswerYes;
}

void reportRow(int64_t r, const String& name) {
    if (r % 20 != 0) return;
    frmWait->Show();
    frmWait->ProgressBar1->SetVisible(false);
    frmWait->lblMessage->SetText("Found  - " + name + EndOfLine + Str(r) + " records");
    frmWait->Refresh(true);
}

String lineList(const std::vector<int64_t>& lines) {
    const size_t shown = std::min<size_t>(lines.size(), 10);
    String text;
    for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + Str(lines[i]);
    if (lines.size() > shown) text += " and " + Str(int64_t(lines.size() - shown)) + " more";
    return text;
}

}  // namespace csvSource
