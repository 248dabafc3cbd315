#include "convert/convertRsdToCsv.h"

#include <algorithm>
#include <iterator>
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

// The columns of a row's fields, in the order of the fields, as the export
// asks for them: NAME ... NOTES, the two parents' links, CAGE NO. ... CALL
// NAME and the twelve custom fields.
const char* const FieldColumns[] = {"name",         "Colour",       "Breed",        "Sex",          "DOB",
                                    "Notes",        "fatherId",     "motherId",     "Cage",         "Tag",
                                    "Prefix",       "Suffix",       "CallName",     "customField1", "customField2",
                                    "customField3", "customField4", "customField5", "customField6", "CustomField7",
                                    "CustomField8", "CustomField9", "CustomField10", "CustomField11",
                                    "CustomField12"};
const size_t FatherField = 6, MotherField = 7;

// The lines go to the stream in blocks of about this many bytes.
constexpr size_t BlockBytes = 64 * 1024;

// SQLite's codes for a statement that names no such table and for a file
// that stayed locked by another program.
constexpr int64_t NoSuchTable = 1;
constexpr int64_t FileLocked = 5;

// The select of the tree: of the columns that the export reads (the fields'
// and the id, by which the parents are named), those that the table has,
// so that a tree made by another program, without some of them, exports as
// before. "SELECT * FROM tree " when the table's columns cannot be read.
String treeSelect() {
    Ref<RecordSet> shape = appSystem::db ? appSystem::db->SQLSelect("SELECT * FROM tree LIMIT 0") : nullptr;
    String columns;
    for (int i = 0; shape && i < shape->FieldCount(); ++i) {
        const String name = shape->ColumnName(i);
        const bool read = TextEquals(name, "id") || std::any_of(std::begin(FieldColumns), std::end(FieldColumns),
                                                                [&](const char* c) { return TextEquals(name, c); });
        if (read) columns += (columns.empty() ? "" : ", ") + SQLQuoted(name, '"');
    }
    return columns.empty() ? "SELECT * FROM tree " : "SELECT " + columns + " FROM tree ";
}

// A parent's name or a custom heading with the treatment of every other
// field: commas become blanks and line ends " - ", so that it keeps the
// line's columns.
String csvField(const String& text) {
    String field;
    appSystem::appendLineText(field, text, true);
    return field;
}

// Appends field k of a line, which `write` appends, after a comma unless it
// is the first. A value that holds a double quote becomes a quoted field, its
// quotes doubled, so that a quote neither goes missing nor opens a field that
// takes in the lines after it when the file is read back.
template <class Write>
void addField(String& line, size_t k, Write write) {
    if (k) line += ',';
    const size_t begin = line.size();
    write();
    if (line.find('"', begin) == String::npos) return;
    line.replace(begin, String::npos, "\"" + ReplaceAll(line.substr(begin), "\"", "\"\"") + "\"");
}

// The line's fields joined by commas.
String joined(const std::vector<String>& fields) {
    String line;
    for (size_t k = 0; k < fields.size(); ++k) addField(line, k, [&] { line += fields[k]; });
    return line;
}

}  // namespace

void runConvertRSDCSV() {
    // A Cancel before the export has made its file finds nothing to delete.
    appSystem::output = {};
    // The export names its output itself, beside the source, and tells the
    // converter window.
    const String source = appSystem::sourceFilepath;
    const String destination = appSystem::getNewName(source, "( tree ).csv");
    appSystem::destinationFilePath = destination;
    Progress& progress = CurrentProgress();
    progress.ClearCancelled();
    progress.Show();
    const bool written = Export_Tree(source, destination, progress);
    appSystem::output.createdFile.clear();
    progress.Close();
    if (written) MsgBox("Operation completed");
}

bool Export_Tree(const String& source, const String& destination, Progress& progress) {
    auto tell = [&progress](const String& message) {
        progress.Close();
        MsgBox(message);
        return false;
    };
    appSystem::dataPath = source;
    appSystem::connectData();
    if (appSystem::dataInUse()) {
        // connectData has said so.
        progress.Close();
        return false;
    }

    // Another program may take the source between any two reads: it is
    // said once, as in use.
    const String inUse = "The file " + source + " is in use by another program.";
    if (rsdSource::hasStandInTable(appSystem::db)) return tell(rsdSource::unreadableMessage(source));
    Ref<RecordSet> rs = appSystem::GetRecordset(treeSelect());
    if (!rs && appSystem::dataInUse()) {
        // connectData has said so.
        progress.Close();
        return false;
    }
    if (!rs) return tell(appSystem::db->ErrorCode() == FileLocked ? inUse : rsdSource::unreadableMessage(source));
    const int64_t total = rs->RecordCount();
    // The custom headings are read with the animals, through the same open
    // source; a read that fails ends the export. A file without a settings
    // table (made by another program) has none.
    Ref<RecordSet> settings = appSystem::db->SQLSelect("SELECT * FROM settings");
    if (!settings && appSystem::db->ErrorCode() != NoSuchTable) {
        if (appSystem::db->ErrorCode() == FileLocked) return tell(inUse);
        return tell("The custom field headings could not be read from " + source + EndOfLine +
                    appSystem::db->ErrorMessage());
    }

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
    PendingFile output(destination, replacing);
    Ref<FolderItem> file = GetFolderItem(output.Path());
    Ref<TextOutputStream> out = file ? file->CreateTextFile() : nullptr;
    if (!out) return tell(cannotCreate);
    appSystem::output.createdFile = output.Path();

    // The custom headings are stored with backticks for apostrophes, as the
    // values are, and come back as the values do.
    std::vector<String> custom;
    for (int n = 1; n <= 12; ++n) {
        const String heading = settings && !settings->Eof()
                                   ? appSystem::GetFieldString(settings, "CustomName" + Str(int64_t(n)))
                                   : String();
        custom.push_back(appSystem::rpa(csvField(heading)));
    }
    const String headings = csvExportHeadings + joined(custom);

    const rsdSource::NamesById parentName(rs);
    // Each field's column is looked up once; each line is built in one
    // buffer, the values read without a copy.
    std::vector<int> columns;
    for (const char* name : FieldColumns) columns.push_back(rs->ColumnIndex(name));
    String line, link, block;
    block.reserve(BlockBytes + 4096);
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

            line.clear();
            for (size_t k = 0; k < columns.size(); ++k) {
                addField(line, k, [&] {
                    if (columns[k] < 0) return;  // a column the tree lacks: an empty field
                    if (k != FatherField && k != MotherField) return appSystem::appendFieldString(line, *rs, columns[k]);
                    link.clear();
                    appSystem::appendFieldString(link, *rs, columns[k]);
                    appSystem::appendLineText(line, parentName(link), true);
                });
            }
            line = appSystem::rpa(std::move(line));
            block += line;
            block += EndOfLine;
            if (block.size() >= BlockBytes) {
                out->Write(block);
                block.clear();
            }

            rs->MoveNext();
            YieldToEventLoop();
            // Cancelled: the unfinished file goes with `output`, untold.
            if (progress.Cancelled()) break;
        }
        if (!progress.Cancelled()) {
            out->Write(block);
            out->Close();
        }
    } catch (const IOException&) {
        appSystem::closeData();
        if (progress.Cancelled()) return false;
        if (!output.Exists()) return tell(appSystem::vanishedOutputMessage(destination));
        return tell(cannotWrite + "written completely: the disk may be full." + EndOfLine +
                    "Free some space and convert the file again.");
    }
    appSystem::closeData();
    if (progress.Cancelled()) return false;
    // Its folder or the file itself moved or deleted while it was written.
    if (!output.Exists()) return tell(appSystem::vanishedOutputMessage(destination));
    String why;
    switch (output.PutInPlace(why)) {
        case PendingFile::Placing::Done: return true;
        case PendingFile::Placing::NotPlaced: return tell((replacing ? cannotReplace : cannotCreate) + EndOfLine + why);
        default: return tell(why);
    }
}

}  // namespace convertRsdToCsv
