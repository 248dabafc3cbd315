#include "convert/convertCsvToRsd.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "convert/csvHeadingAliases.h"
#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "framework/SqlFileDatabase.h"
#include "services/appSystem.h"
#include "services/publicVariables.h"
#include "ui/frmWait.h"

namespace convertCsvToRsd {

namespace {

using namespace csvHeadingAliases;

// The tree columns of a row, in the order they are written, by group.
const int RowGroups[] = {Name,   Colour, Breed,  Sex,    DOB,    OldId, FatherId,   MotherId,   Ps,
                         Pd,     Tag,    Prefix, Suffix, Health, Cage,  Notes,      BoughtFrom, DateBought,
                         PurchasePrice};

// The tree row of grid row r.
DatabaseRecord buildRow(const Mapping& map, int64_t r) {
    const std::vector<Group>& groups = Groups();
    DatabaseRecord record;
    auto put = [&](const Group& group, const String& value) {
        switch (group.conversion) {
            case Conversion::Unchanged: record.Column(group.column, value); break;
            case Conversion::Apostrophes: record.Column(group.column, appSystem::rma(value)); break;
            case Conversion::Sex: record.Column(group.column, appSystem::convertSex(value)); break;
            case Conversion::Date: record.Column(group.column, appSystem::convDisplayDateToSql(value)); break;
            case Conversion::ParentId:
                if (value != "1") record.Column(group.column, value);
                break;
            case Conversion::NotImported: break;
        }
    };
    for (int g : RowGroups) put(groups[size_t(g - 1)], cell(r, map.column(g)));
    for (int n = 1; n <= RsdVariant.slotCount; ++n)
        put(groups[size_t(FirstSlotGroup + n - 2)], cell(r, map.slot(n)));
    return record;
}

// What the linking needs of the new file while it runs: indexes for its
// lookups by source id, parent id and name, which would otherwise scan the
// whole tree for every parent, and commits that need not wait for the disk.
// Both end on every way out, so that the file keeps exactly its twelve tables.
class LinkingScope {
public:
    explicit LinkingScope(const Ref<SqlFileDatabase>& db) : db_(db) {
        // The linking commits after every parent it marks. While the new file
        // is built those commits need not wait for the disk each time; the
        // last commit, with the indexes dropped, writes everything through.
        db_->SQLExecute("PRAGMA synchronous = OFF");
        for (const char* column : Columns)
            db_->SQLExecute(String("CREATE INDEX IF NOT EXISTS ") + Prefix + column + " ON tree(" + column + ")");
        db_->Commit();
    }
    ~LinkingScope() {
        db_->Commit();
        db_->SQLExecute("PRAGMA synchronous = FULL");
        for (const char* column : Columns) db_->SQLExecute(String("DROP INDEX IF EXISTS ") + Prefix + column);
        db_->Commit();
    }
    LinkingScope(const LinkingScope&) = delete;
    LinkingScope& operator=(const LinkingScope&) = delete;

private:
    static constexpr const char* Prefix = "converter_link_";
    static constexpr const char* Columns[] = {"oldId", "fatherId", "motherId", "name"};
    Ref<SqlFileDatabase> db_;
};

// What of the file the grid cannot hold: data lines after its last row, and
// lines whose fields reach its absent column.
struct Overflow {
    int64_t linesBeyondGrid = 0;       // non-empty lines after the grid's last row
    int64_t firstLineBeyondGrid = 0;   // line number (the heading line is line 1)
    std::vector<int64_t> cutLines;     // line numbers of lines of more than 70 fields
};

// Reads the whole file into the grid, line j into row j.
Overflow readFile(TextInputStream& in) {
    Overflow overflow;
    for (int64_t j = 0; !in.Eof(); ++j) {
        const String line = appSystem::clean(in.ReadLine());
        if (j > CsvGrid::LastRow) {
            if (!line.empty() && overflow.linesBeyondGrid++ == 0) overflow.firstLineBeyondGrid = j + 1;
        } else {
            if (std::count(line.begin(), line.end(), ',') >= AbsentColumn) overflow.cutLines.push_back(j + 1);
            appSystem::extractfields(line, j, ",");
        }
        YieldToEventLoop();
    }
    return overflow;
}

// Tells what will not be imported and asks whether to go on; true when
// nothing is lost or the user answers Yes.
bool acceptOverflow(const Overflow& overflow) {
    if (!overflow.linesBeyondGrid && overflow.cutLines.empty()) return true;
    String text = "Not all of this file can be imported:" + EndOfLine;
    if (overflow.linesBeyondGrid)
        text += "- the " + Str(overflow.linesBeyondGrid) + " line(s) from line " +
                Str(overflow.firstLineBeyondGrid) + " on: the converter imports at most " +
                Str(CsvGrid::LastRow) + " animals" + EndOfLine;
    if (!overflow.cutLines.empty()) {
        text += "- the fields after the " + Str(AbsentColumn) + "th field on line(s) ";
        const size_t shown = std::min<size_t>(overflow.cutLines.size(), 10);
        for (size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + Str(overflow.cutLines[i]);
        if (overflow.cutLines.size() > shown)
            text += " and " + Str(int64_t(overflow.cutLines.size() - shown)) + " more";
        text += EndOfLine;
    }
    text += "Do you want to continue?";
    return MsgBox(text, MsgBoxYesNoQuestion, "Too much data") == AnswerYes;
}

bool sameFile(const String& a, const String& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

void closeProgress() {
    if (frmWait.IsOpen()) frmWait->Close();
}

// Everything from the new file's creation to the version stamp, on the
// import's own database object.
void importInto(const Ref<SqlFileDatabase>& db, TextInputStream& in, const Ref<FolderItem>& destination) {
    appSystem::makeRSDfields(db);

    const Overflow overflow = readFile(in);
    in.Close();
    closeProgress();
    if (!acceptOverflow(overflow)) return;

    const Mapping map = mapHeadings(RsdVariant, saveToSettings);
    if (!map.proceed) return;

    const int64_t nameColumn = map.column(Name);
    for (int64_t r = 1; !(cell(r, nameColumn).empty() && cell(r + 1, nameColumn).empty()); ++r) {
        const DatabaseRecord record = buildRow(map, r);
        if (!db->Connect()) {
            MsgBox(db->ErrorMessage());
            return;
        }
        db->InsertRecord("tree", record);
        if (r % 20 == 0) {
            frmWait->Show();
            frmWait->ProgressBar1->SetVisible(false);
            frmWait->lblMessage->SetText("Found  - " + cell(r, nameColumn) + EndOfLine + Str(r) + " records");
            frmWait->Refresh(true);
        }
        YieldToEventLoop();
    }
    db->Commit();

    {
        LinkingScope linking(db);
        appSystem::convertIdRecordToName(db, "rsd");
        appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId");
        appSystem::convertNameRecordToNewId(db, "tree", "pd", "motherId");
        if (publicVariables::noSexColumn) {
            const int answer = MsgBox(
                "The converter cannot find a column for the animal's sex. Do you want to determine the sex by "
                "whether it has been a father or mother in the past?" +
                    EndOfLine +
                    "Click NO if you have called your sex field something else. The converter will exit. Go back "
                    "to your file and fix it." +
                    "?",
                MsgBoxYesNoQuestion, "Missing field");
            if (answer != AnswerYes) return;
            appSystem::findSex(db, "rsd");
        }
    }

    // A Cancel that deleted the new file leaves nothing to stamp.
    if (destination->Exists()) {
        appSystem::connectData();
        appSystem::UpdateVersion();
    }
    closeProgress();
    MsgBox("Operation completed");
}

}  // namespace

void convertCSV() {
    appSystem::CSVa.Clear();

    // The source is opened first: when it cannot be read, no old converted
    // file is deleted and no new one is made.
    Ref<FolderItem> source = GetFolderItem(appSystem::sourceFilepath);
    Ref<TextInputStream> in = source ? source->OpenAsTextFile() : nullptr;
    if (!in) {
        MsgBox("The file cannot be read:" + EndOfLine + appSystem::sourceFilepath);
        return;
    }

    Ref<FolderItem> destination = GetFolderItem(appSystem::destinationFilePath);
    appSystem::dataPath = appSystem::destinationFilePath;
    Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
    db->DatabaseFile = destination;

    if (destination && destination->Exists()) {
        if (sameFile(appSystem::sourceFilepath, appSystem::destinationFilePath)) {
            MsgBox("The new file would replace the file being converted:" + EndOfLine +
                   appSystem::sourceFilepath + EndOfLine + "Give the CSV file the extension .csv and try again.");
            return;
        }
        if (MsgBox("This file has been converted before. Do you want to overwrite the old converted file?",
                   MsgBoxYesNoQuestion, "Overwrite file") != AnswerYes) {
            MsgBox("Rename or move your old converted file and try again.");
            return;
        }
        destination->Delete();
    }

    if (!db->CreateDatabaseFile()) {
        Beep();
        MsgBox("Database Error: " + Str(db->ErrorCode()) + EndOfLine + EndOfLine + db->ErrorMessage());
        return;
    }
    importInto(db, *in, destination);
}

void saveToSettings(const String& column, const String& value) {
    appSystem::connectData();
    if (!appSystem::db) return;
    Ref<RecordSet> rs = appSystem::db->SQLSelect("SELECT id FROM settings");
    Ref<DatabaseField> id = rs ? rs->Field("id") : nullptr;
    if (id && id->IntegerValue() == 1) {
        appSystem::db->SQLExecute("Update settings SET " + column + " = '" + appSystem::rma(value) + "' WHERE id = 1");
        appSystem::db->Commit();
        return;
    }
    DatabaseRecord record;
    record.Column(column, appSystem::rma(value));
    appSystem::saveToFile(record, "settings");
}

}  // namespace convertCsvToRsd
