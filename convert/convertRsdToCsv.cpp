#include "convert/convertRsdToCsv.h"

#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"
#include "ui/frmWait.h"

namespace convertRsdToCsv {

namespace {

// The fields of a row after NAME ... NOTES and the two parents, as the
// export asks for them.
const char* const LeadingColumns[] = {"name", "Colour", "Breed", "Sex", "DOB", "Notes"};
const char* const MiddleColumns[] = {"Cage", "Tag", "Prefix", "Suffix", "CallName"};
const char* const CustomColumns[] = {"customField1", "customField2", "customField3",  "customField4",
                                     "customField5", "customField6", "CustomField7",  "CustomField8",
                                     "CustomField9", "CustomField10", "CustomField11", "CustomField12"};

// The names of the tree rows by id, read from the export's own record set:
// a parent's name is then found without a select per parent, and also after
// a Cancel has closed the shared database.
class NamesById {
public:
    explicit NamesById(const Ref<RecordSet>& rs) {
        if (!rs->Field("id")) return;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
            Ref<DatabaseField> id = rs->Field("id");
            Ref<DatabaseField> name = rs->Field("name");
            names_.emplace(id->IntegerValue(), name ? name->StringValue() : String());
        }
        rs->MoveFirst();
    }

    // The name of the row whose id the link holds, as the select
    // "SELECT name FROM tree WHERE id =" + link finds it: the link must be a
    // number equal to the id; "" otherwise.
    String operator()(const String& link) const {
        if (!IsNumeric(link)) return String();
        const double value = std::strtod(Trim(link).c_str(), nullptr);
        if (value != std::floor(value) || std::fabs(value) > 9.0e18) return String();
        auto found = names_.find(int64_t(value));
        return found == names_.end() ? String() : found->second;
    }

private:
    std::unordered_map<int64_t, String> names_;
};

// A parent's name with the treatment of every other field: commas become
// blanks and line ends " - ", so that it keeps the line's columns.
String parentField(const String& name) { return appSystem::rcr(ReplaceAll(name, ",", " ")); }

int barValue(int64_t count, int64_t total) {
    if (total == 0) return int(count);
    return int(double(count) / double(total) * double(total));
}

}  // namespace

void runConvertRSDCSV() {
    frmWait->Show();
    const String failure = Export_Tree();
    if (frmWait.IsOpen()) frmWait->Close();
    MsgBox(failure.empty() ? String("Operation completed") : failure);
}

String Export_Tree() {
    appSystem::destinationFilePath = appSystem::getNewName(appSystem::sourceFilepath, "( tree ).csv");
    appSystem::dataPath = appSystem::sourceFilepath;
    appSystem::connectData();

    Ref<RecordSet> rs = appSystem::GetRecordset("SELECT * FROM tree ");
    if (!rs)
        return "No animals could be read from " + appSystem::sourceFilepath + EndOfLine +
               "Make sure that it is a Brevolan database file (.rsd or .cax).";
    const int64_t total = rs->RecordCount();

    Ref<FolderItem> destination = GetFolderItem(appSystem::destinationFilePath);
    Ref<TextOutputStream> out = destination ? destination->CreateTextFile() : nullptr;
    const String cannotWrite = "The file " + appSystem::destinationFilePath + " cannot be ";
    if (!out) return cannotWrite + "created." + EndOfLine + "Check that its folder exists and can be written to.";

    String headings = csvExportHeadings;
    for (int n = 1; n <= 12; ++n)
        headings += (n > 1 ? "," : "") + appSystem::getRsdCustomHeading("CustomField" + Str(int64_t(n)));

    const NamesById parentName(rs);
    try {
        out->WriteLine(headings);
        for (int64_t i = 0; !rs->Eof(); ++i) {
            frmWait->ProgressBar1->SetMaximum(int(total));
            if (i % 50 == 0) {
                frmWait->lblMessage->SetText("Converting data table - TREE" + EndOfLine + "Record: " + Str(i) +
                                             " of " + Str(total));
                frmWait->ProgressBar1->SetValue(barValue(i, total));
                frmWait->Refresh(true);
            }

            String line;
            for (const char* column : LeadingColumns) line += appSystem::GetFieldString(rs, column) + ",";
            line += parentField(parentName(appSystem::GetFieldString(rs, "fatherId"))) + ",";
            line += parentField(parentName(appSystem::GetFieldString(rs, "motherId")));
            for (const char* column : MiddleColumns) line += "," + appSystem::GetFieldString(rs, column);
            for (const char* column : CustomColumns) line += "," + appSystem::GetFieldString(rs, column);
            out->WriteLine(appSystem::rpa(line));

            rs->MoveNext();
            YieldToEventLoop();
        }
        out->Close();
    } catch (const IOException&) {
        appSystem::closeData();
        return cannotWrite + "written completely: the disk may be full." + EndOfLine +
               "Free some space and convert the file again.";
    }
    appSystem::closeData();
    return String();
}

}  // namespace convertRsdToCsv
