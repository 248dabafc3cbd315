#include "convert/convertRsdToCsv.h"

#include <vector>

#include "convert/rsdSource.h"
#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "framework/PendingFile.h"
#include "services/Progress.h"
#include "services/appSystem.h"

namespace convertRsdToCsv {

namespace {

// The fields of a row after NAME ... NOTES and the two parents, as the
// export asks for them.
const char* const LeadingColumns[] = {"name", "Colour", "Breed", "Sex", "DOB", "Notes"};
const char* const MiddleColumns[] = {"Cage", "Tag", "Prefix", "Suffix", "CallName"};
const char* const CustomColumns[] = {"customField1", "customField2", "customField3",  "customField4",
                                     "customField5", "customField6", "CustomField7",  "CustomField8",
                                     "CustomField9", "CustomField10", "CustomField11", "CustomField12"};

// A parent's name or a custom heading with the treatment of every other
// field: commas become blanks and line ends " - ", so that it keeps the
// line's columns.
String csvField(const String& text) { return appSystem::rcr(ReplaceAll(text, ",", " ")); }

// A field as the imports read it back: a value that holds a double quote is
// written as a quoted field, its quotes doubled, so that a quote neither
// goes missing nor opens a field that takes in the lines after it.
String quotedIfNeeded(const String& value) {
    if (value.find('"') == String::npos) return value;
    return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
}

// The line's fields joined by commas.
String joined(const std::vector<String>& fields) {
    String line;
    for (size_t k = 0; k < fields.size(); ++k) line += (k ? "," : "") + quotedIfNeeded(fields[k]);
    return line;
}

}  // namespace

void runConvertRSDCSV() {
    // A Cancel before the export has made its file finds nothing to delete.
    appSystem::output = {};
    // The export names its output itself, beside the source, and tells the
    // converter window.
    appSystem::Request request = appSystem::request("csv");
    request.destination = appSystem::getNewName(request.source, "( tree ).csv");
    appSystem::destinationFilePath = request.destination;
    Progress& progress = CurrentProgress();
    progress.Show();
    const bool written = Export_Tree(request, progress);
    progress.Close();
    if (written) MsgBox("Operation completed");
}

bool Export_Tree(const appSystem::Request& request, Progress& progress) {
    auto tell = [&progress](const String& message) {
        progress.Close();
        MsgBox(message);
        return false;
    };
    appSystem::dataPath = request.source;
    appSystem::connectData();
    if (appSystem::dataInUse()) {
        // connectData has said so.
        progress.Close();
        return false;
    }

    Ref<RecordSet> rs = appSystem::GetRecordset("SELECT * FROM tree ");
    if (!rs) return tell(rsdSource::unreadableMessage(request.source));
    const int64_t total = rs->RecordCount();

    const String& destination = request.destination;
    const String cannotWrite = "The file " + destination + " cannot be ";
    const String cannotCreate =
        cannotWrite + "created." + EndOfLine + "Check that its folder exists and can be written to.";
    Ref<FolderItem> item = GetFolderItem(destination);
    if (!item || item->Directory()) return tell(cannotCreate);
    const String cannotReplace = "The existing file " + destination + " cannot be replaced." + EndOfLine +
                                 "Make sure that the file and its folder can be written to.";
    const bool replacing = item->Exists();
    if (CannotBeReplaced(destination)) return tell(cannotReplace);

    // The lines go to a file beside the output until it is complete; Cancel
    // may delete that file, never the one at the output path.
    PendingFile output(destination);
    Ref<FolderItem> file = GetFolderItem(output.Path());
    Ref<TextOutputStream> out = file ? file->CreateTextFile() : nullptr;
    if (!out) return tell(cannotCreate);
    appSystem::output.createdFile = output.Path();

    // The custom headings are stored with backticks for apostrophes, as the
    // values are, and come back as the values do.
    std::vector<String> custom;
    for (int n = 1; n <= 12; ++n)
        custom.push_back(appSystem::rpa(csvField(appSystem::getRsdCustomHeading("CustomField" + Str(int64_t(n))))));
    const String headings = csvExportHeadings + joined(custom);

    const rsdSource::NamesById parentName(rs);
    try {
        out->WriteLine(headings);
        for (int64_t i = 0; !rs->Eof(); ++i) {
            progress.SetMaximum(int(total));
            if (i % 50 == 0) {
                progress.SetMessage("Converting data table - TREE" + EndOfLine + "Record: " + Str(i) + " of " +
                                    Str(total));
                progress.SetValue(ProgressBarValue(i, total));
                progress.Refresh();
            }

            std::vector<String> fields;
            for (const char* column : LeadingColumns) fields.push_back(appSystem::GetFieldString(rs, column));
            fields.push_back(csvField(parentName(appSystem::GetFieldString(rs, "fatherId"))));
            fields.push_back(csvField(parentName(appSystem::GetFieldString(rs, "motherId"))));
            for (const char* column : MiddleColumns) fields.push_back(appSystem::GetFieldString(rs, column));
            for (const char* column : CustomColumns) fields.push_back(appSystem::GetFieldString(rs, column));
            out->WriteLine(appSystem::rpa(joined(fields)));

            rs->MoveNext();
            YieldToEventLoop();
        }
        out->Close();
    } catch (const IOException&) {
        appSystem::closeData();
        // A Cancel that deleted the file wanted no file.
        if (!output.Exists()) return true;
        return tell(cannotWrite + "written completely: the disk may be full." + EndOfLine +
                    "Free some space and convert the file again.");
    }
    appSystem::closeData();
    if (!output.Exists()) return true;
    String why;
    if (!output.PutInPlace(why)) return tell((replacing ? cannotReplace : cannotCreate) + EndOfLine + why);
    return true;
}

}  // namespace convertRsdToCsv
