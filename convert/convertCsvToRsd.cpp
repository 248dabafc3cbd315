#include "convert/convertCsvToRsd.h"

#include <filesystem>
#include <map>
#include <vector>

#include "convert/csvHeadingAliases.h"
#include "convert/csvSource.h"
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

// The dates of the file's rows: read in one order for the whole file, and
// by column (DOB, dateBought) the lines of those that could not be read.
struct RowDates {
    DateOrder order;
    std::map<String, std::vector<int64_t>> unread;
};

// The tree row of grid row r.
DatabaseRecord buildRow(const Mapping& map, int64_t r, const csvSource::Records& records, RowDates& dates) {
    const std::vector<Group>& groups = Groups();
    DatabaseRecord record;
    auto put = [&](const Group& group, const String& value) {
        switch (group.conversion) {
            case Conversion::Unchanged: record.Column(group.column, value); break;
            case Conversion::Apostrophes: record.Column(group.column, appSystem::rma(value)); break;
            case Conversion::Sex: record.Column(group.column, appSystem::convertSex(value)); break;
            case Conversion::Date: {
                const String date = appSystem::convDisplayDateToSql(value, dates.order);
                if (date.empty() && !value.empty()) dates.unread[group.column].push_back(records.lineOf(r));
                record.Column(group.column, date);
                break;
            }
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

// Reads the whole file into the grid, record j into row j.
csvSource::Records readFile(csvSource::Reader& reader) {
    csvSource::Records records;
    String record;
    for (int64_t j = 0; reader.next(record); ++j) {
        records.store(j, appSystem::clean(record), reader.line());
        YieldToEventLoop();
    }
    return records;
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

    csvSource::Reader reader(in);
    const csvSource::Records records = readFile(reader);
    in.Close();
    closeProgress();
    if (!records.accept(reader.unclosedQuotes())) return;

    const Mapping map = mapHeadings(RsdVariant, saveToSettings);
    if (!map.proceed) return;

    const int64_t nameColumn = map.column(Name);
    RowDates dates{csvSource::dateOrder({map.column(DOB), map.column(DateBought)}, nameColumn), {}};
    std::vector<String> sourceIds;  // the animals' ids as read, for the linking
    for (int64_t r = 1; !(cell(r, nameColumn).empty() && cell(r + 1, nameColumn).empty()); ++r) {
        const DatabaseRecord record = buildRow(map, r, records, dates);
        sourceIds.push_back(cell(r, map.column(OldId)));
        if (!db->Connect()) {
            MsgBox(db->ErrorMessage());
            return;
        }
        db->InsertRecord("tree", record);
        csvSource::reportRow(r, cell(r, nameColumn));
        YieldToEventLoop();
    }
    db->Commit();
    const String unreadDates = csvSource::unreadDates("birth date", dates.unread["DOB"]) +
                               csvSource::unreadDates("purchase date", dates.unread["dateBought"]);

    {
        LinkingScope linking(db);
        appSystem::keepSourceIds(db, sourceIds);
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
            if (answer != AnswerYes) {
                // The import stops here, but the dates that were lost are still told.
                if (!unreadDates.empty()) MsgBox(unreadDates.substr(EndOfLine.size()));
                return;
            }
            appSystem::findSex(db, "rsd");
        }
    }

    // A Cancel that deleted the new file leaves nothing to stamp.
    if (destination->Exists()) {
        appSystem::connectData();
        appSystem::UpdateVersion();
    }
    closeProgress();
    MsgBox("Operation completed" + unreadDates);
}

}  // namespace

void convertCSV() {
    appSystem::CSVa.Clear();
    appSystem::output = {};

    // The source is opened first: when it cannot be read, no old converted
    // file is deleted and no new one is made.
    Ref<TextInputStream> in = csvSource::open();
    if (!in) return;

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
    appSystem::output.createdFile = appSystem::destinationFilePath;
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
