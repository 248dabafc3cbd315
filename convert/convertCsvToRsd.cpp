#include "convert/convertCsvToRsd.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "convert/csvHeadingAliases.h"
#include "convert/csvSource.h"
#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "framework/PendingFile.h"
#include "framework/SqlFileDatabase.h"
#include "services/Progress.h"
#include "services/appSystem.h"

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

using Cell = appSystem::Pedigree::Cell;

// A cell as the tree row stores it, converted for its group; nullopt for
// NULL.
Cell stored(const Group& group, const String& value, bool animalOne) {
    switch (group.conversion) {
        case Conversion::Unchanged: return value;
        case Conversion::Apostrophes: return appSystem::rma(value);
        case Conversion::Sex: return appSystem::convertSex(value);
        case Conversion::ParentId:
            // "1" leaves the link empty, as a link left out of the row
            // would, unless an animal of the file has the id "1"; every row
            // has the same columns, so that all go through one prepared
            // insert.
            if (value == "1" && !animalOne) return std::nullopt;
            return value;
        case Conversion::Date:  // read by the row, which keeps the dates it could not read
        case Conversion::NotImported: break;
    }
    return std::nullopt;
}

// The tree rows as they are written: the groups whose columns each row
// fills, in this order (the row's columns, then the custom slots), and the
// values of one row by position, bound into one prepared insert.
class TreeRows {
public:
    TreeRows(const CsvGrid& grid, const Mapping& map, const csvSource::Records& records, bool animalOne)
        : grid_(grid),
          records_(records),
          animalOne_(animalOne),
          dates_{csvSource::dateOrder(grid, {map.column(DOB), map.column(DateBought)}, map.column(Name)), {}} {
        const std::vector<Group>& groups = Groups();
        auto add = [&](int g, int64_t column) {
            const Group& group = groups[size_t(g - 1)];
            if (group.conversion == Conversion::NotImported) return;
            groups_.push_back(g);
            gridColumns_.push_back(column);
            columns_.push_back(group.column);
        };
        for (int g : RowGroups) add(g, map.column(g));
        for (int slot = 1; slot <= RsdVariant.slotCount; ++slot) add(FirstSlotGroup + slot - 1, map.slot(slot));
        texts_.resize(columns_.size());
        values_.resize(columns_.size());
    }

    const std::vector<String>& columns() const { return columns_; }
    // The values of grid row r, with the name, links, parents' names and
    // sex of `tree`'s row n; valid until the next row.
    const std::vector<std::optional<std::string_view>>& row(int64_t r, const appSystem::Pedigree& tree, size_t n) {
        const std::vector<Group>& groups = Groups();
        for (size_t i = 0; i < columns_.size(); ++i) {
            const Group& group = groups[size_t(groups_[i] - 1)];
            switch (groups_[i]) {
                case Name: values_[i] = view(tree.name[n]); continue;
                case Sex: values_[i] = view(tree.sex[n]); continue;
                case FatherId: values_[i] = view(tree.link[appSystem::Father][n]); continue;
                case MotherId: values_[i] = view(tree.link[appSystem::Mother][n]); continue;
                case Ps: values_[i] = view(tree.parentName[appSystem::Father][n]); continue;
                case Pd: values_[i] = view(tree.parentName[appSystem::Mother][n]); continue;
                default: break;
            }
            // The grid's own text where the conversion leaves it as it is,
            // so that most values are never copied.
            const std::string_view cell = grid_.cellView(r, gridColumns_[i]);
            String& text = texts_[i];
            switch (group.conversion) {
                case Conversion::Unchanged: values_[i] = cell; continue;
                case Conversion::Apostrophes:
                    if (cell.find('\'') == std::string_view::npos) {
                        values_[i] = cell;
                        continue;
                    }
                    text = appSystem::rma(String(cell));
                    break;
                case Conversion::Date: {
                    text.assign(cell);
                    String date = appSystem::convDisplayDateToSql(text, dates_.order);
                    if (date.empty() && !text.empty()) dates_.unread[group.column].push_back(records_.lineOf(r));
                    text = std::move(date);
                    break;
                }
                default: {
                    Cell value = stored(group, String(cell), animalOne_);
                    if (!value) {
                        values_[i] = std::nullopt;
                        continue;
                    }
                    text = std::move(*value);
                    break;
                }
            }
            values_[i] = std::string_view(text);
        }
        return values_;
    }
    // The lines of the dates that could not be read, as the closing
    // message tells them.
    String unreadDates() {
        return csvSource::unreadDates("birth date", dates_.unread["DOB"]) +
               csvSource::unreadDates("purchase date", dates_.unread["dateBought"]);
    }

private:
    static std::optional<std::string_view> view(const Cell& cell) {
        return cell ? std::optional<std::string_view>(*cell) : std::nullopt;
    }

    const CsvGrid& grid_;
    const csvSource::Records& records_;
    bool animalOne_;
    RowDates dates_;
    std::vector<int> groups_;
    std::vector<int64_t> gridColumns_;
    std::vector<String> columns_;
    std::vector<String> texts_;
    std::vector<std::optional<std::string_view>> values_;
};

// Reads the whole file into the grid, record j into row j.
csvSource::Records readFile(CsvGrid& grid, CsvReader& reader) {
    csvSource::Records records(grid);
    for (int64_t j = 0; reader.next(); ++j) {
        records.store(j, reader);
        YieldToEventLoop();
    }
    return records;
}

bool sameFile(const String& a, const String& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// Says that the file at the destination stays as it was because it cannot
// be replaced, or because another program holds it; true when neither.
bool replaceable(const String& destination) {
    if (CannotBeReplaced(destination)) {
        MsgBox("The existing file " + destination + " cannot be replaced." + EndOfLine +
               "Make sure that the file and its folder can be written to.");
        return false;
    }
    if (SqlFileLock(destination).InUse()) {
        MsgBox("The file " + destination + " is in use by another program.");
        return false;
    }
    return true;
}

// How an import into the new file ended.
enum class Outcome {
    Completed,  // in place, stamped: "Operation completed"
    Cancelled,  // the user cancelled and wants the unfinished file gone: it goes, untold
    Stopped,    // a refusal, or a failure that has been told
};

// The new file, made under a temporary name beside the destination through
// the import's own database object alone (tables, captions, rows, links and
// the version stamp), and put in the destination's place only once it is
// complete. On every other way out the object lets go of it and it is
// removed, so the destination keeps the file that was there before.
class NewFile {
public:
    // `replacing`: the user agreed to replace the file at the destination;
    // without that, a file that appears there meanwhile is kept.
    NewFile(const String& destination, const CsvGrid& grid, Progress& progress, bool replacing)
        : grid_(grid),
          progress_(progress),
          pending_(destination, replacing),
          destinationExisted_(replacing) {
        appSystem::dataPath = pending_.Path();
        db_ = New<SqlFileDatabase>();
        db_->DatabaseFile = GetFolderItem(pending_.Path());
    }
    ~NewFile() {
        db_->Close();
        // The shared database lets go of its file too, as after every import.
        appSystem::closeData();
        pending_.Discard();  // nothing once the file is in place
        appSystem::output.createdFile.clear();
        appSystem::dataPath = pending_.Destination();
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    Outcome build(const csvSource::Records& records);
    // The dates that could not be read, for the closing message: "" or lines
    // that each start with a line end.
    const String& unreadDates() const { return unreadDates_; }

private:
    // A write the database refused: told as the unfinished file's going
    // when it went (a database cannot write a file that was moved), and
    // not at all after a Cancel.
    Outcome failed(const Database& database) {
        if (progress_.Cancelled()) return Outcome::Cancelled;
        if (!pending_.Exists()) return vanished();
        progress_.Close();
        appSystem::showDatabaseError(database);
        return Outcome::Stopped;
    }
    // The unfinished file or its folder was moved or deleted by someone
    // else: no completion, and the user is told.
    Outcome vanished() {
        progress_.Close();
        MsgBox(appSystem::vanishedOutputMessage(pending_.Destination()));
        return Outcome::Stopped;
    }
    // Where the import stands after a step that yielded: cancelled, the
    // unfinished file gone, or nullopt to go on.
    std::optional<Outcome> interrupted() {
        if (progress_.Cancelled()) return Outcome::Cancelled;
        if (!pending_.Exists()) return vanished();
        return std::nullopt;
    }
    bool wrote() const { return db_->ErrorCode() == 0; }
    std::optional<Outcome> rows(const Mapping& map);
    Outcome link(const Mapping& map, const csvSource::Records& records);
    Outcome write(const Mapping& map, const csvSource::Records& records);
    Outcome putInPlace();

    const CsvGrid& grid_;
    Progress& progress_;
    PendingFile pending_;
    bool destinationExisted_;
    Ref<SqlFileDatabase> db_;
    appSystem::Pedigree tree_;  // the rows' names, ids, links and sex, linked before they are written
    String unreadDates_;
};

Outcome NewFile::build(const csvSource::Records& records) {
    if (!db_->CreateDatabaseFile()) {
        appSystem::showDatabaseError(*db_);
        return Outcome::Stopped;
    }
    appSystem::output.createdFile = pending_.Path();
    if (!appSystem::makeRSDfields(db_)) return failed(*db_);

    const Mapping map = mapHeadings(grid_, RsdVariant);
    // A caption that cannot be stored (and has been told) stops the import
    // after the checks of the headings; the later ones are not tried.
    bool captionsStored = true;
    for (const Caption& caption : map.captions)
        if (!(captionsStored = saveToSettings(db_, caption.column, caption.heading))) break;
    const bool proceed = acceptHeadings(map);
    if (const auto stop = interrupted()) return *stop;
    if (!captionsStored || !proceed || !records.acceptEndOfAnimals(map.column(Name))) return Outcome::Stopped;

    if (const auto stop = rows(map)) return *stop;
    return link(map, records);
}

// Reads the animals of the grid's rows into the tree in memory, reporting
// every 20th row as it goes; an outcome when cancelled.
std::optional<Outcome> NewFile::rows(const Mapping& map) {
    const std::vector<Group>& groups = Groups();
    const int64_t nameColumn = map.column(Name);
    const bool animalOne = hasAnimalOne(grid_, map);
    auto value = [&](int g, int64_t r) {
        return stored(groups[size_t(g - 1)], grid_.cell(r, map.column(g)), animalOne);
    };
    // The tree's columns are made once at their size.
    size_t animals = 0;
    while (!grid_.endOfRows(int64_t(animals) + 1, nameColumn)) ++animals;
    tree_.reserve(animals);
    for (int64_t r = 1; !grid_.endOfRows(r, nameColumn); ++r) {
        tree_.id.push_back(r);  // the rows of the new table are numbered as they are inserted
        tree_.sourceId.push_back(grid_.cell(r, map.column(OldId)));
        tree_.name.push_back(value(Name, r));
        tree_.link[appSystem::Father].push_back(value(FatherId, r));
        tree_.link[appSystem::Mother].push_back(value(MotherId, r));
        tree_.parentName[appSystem::Father].push_back(value(Ps, r));
        tree_.parentName[appSystem::Mother].push_back(value(Pd, r));
        tree_.sex.push_back(value(Sex, r));
        csvSource::reportRow(progress_, r, grid_.cell(r, nameColumn));
        YieldToEventLoop();
        if (progress_.Cancelled()) return Outcome::Cancelled;
    }
    return std::nullopt;
}

// Writes every tree row once, with its final links and sex, and commits.
Outcome NewFile::write(const Mapping& map, const csvSource::Records& records) {
    TreeRows rows(grid_, map, records, hasAnimalOne(grid_, map));
    for (size_t n = 0; n < tree_.size(); ++n) {
        const auto& values = rows.row(tree_.id[n], tree_, n);
        if (!db_->Connect()) {
            progress_.Close();
            MsgBox(db_->ErrorMessage());
            return Outcome::Stopped;
        }
        db_->InsertRow("tree", rows.columns(), values);
        if (!wrote()) return failed(*db_);
        // A long run of inserts yields within them: a Cancel may come there.
        if (progress_.Cancelled()) return Outcome::Cancelled;
    }
    db_->Commit();
    unreadDates_ = rows.unreadDates();
    return wrote() ? Outcome::Completed : failed(*db_);
}

Outcome NewFile::link(const Mapping& map, const csvSource::Records& records) {
    // Each step yields at every row; a Cancel is read after it.
    appSystem::linkByIds(tree_, progress_);
    if (progress_.Cancelled()) return Outcome::Cancelled;
    for (const appSystem::PedigreeParent parent : {appSystem::Father, appSystem::Mother}) {
        appSystem::linkByNames(tree_, parent, progress_);
        if (progress_.Cancelled()) return Outcome::Cancelled;
    }

    bool stamp = true;
    if (map.noSexColumn()) {
        const int answer = MsgBox(
            "The converter cannot find a column for the animal's sex. Do you want to determine the sex by "
            "whether it has been a father or mother in the past?" +
                EndOfLine +
                "Click NO if you have called your sex field something else. The converter will exit. Go back "
                "to your file and fix it." +
                "?",
            MsgBoxYesNoQuestion, "Missing field");
        stamp = answer == AnswerYes;
        if (stamp) appSystem::deriveSex(tree_, progress_);
        if (progress_.Cancelled()) return Outcome::Cancelled;
    }

    if (const Outcome written = write(map, records); written != Outcome::Completed) return written;

    if (!stamp) {
        // The user leaves to fix the source: the rows and links are kept
        // where no earlier file would be lost for them, and nothing else.
        // The dates that were lost are still told.
        progress_.Close();
        if (!destinationExisted_) putInPlace();
        if (!unreadDates_.empty()) MsgBox(unreadDates_.substr(EndOfLine.size()));
        return Outcome::Stopped;
    }
    if (const auto stop = interrupted()) return *stop;
    if (!appSystem::UpdateVersion(db_)) {
        progress_.Close();
        return Outcome::Stopped;
    }
    return putInPlace();
}

Outcome NewFile::putInPlace() {
    db_->Close();
    // The shared database may hold the file at the destination.
    appSystem::closeData();
    if (const auto stop = interrupted()) return *stop;
    const String& destination = pending_.Destination();
    // The file that was there may have been locked or protected meanwhile.
    SqlFileLock lock(pending_.Target());
    if (lock.InUse()) {
        progress_.Close();
        MsgBox("The file " + destination + " is in use by another program.");
        return Outcome::Stopped;
    }
    // The wait yielded: a Cancel may have come, or the file gone.
    if (const auto stop = interrupted()) return *stop;
    String why;
    PendingFile::Placing placed = PendingFile::Placing::NotPlaced;
    if (CannotBeReplaced(destination)) {
        why = "Make sure that the file and its folder can be written to.";
    } else {
        lock.RemoveLeftovers();
        placed = pending_.PutInPlace(why);
        if (placed == PendingFile::Placing::Done) return Outcome::Completed;
    }
    progress_.Close();
    if (placed != PendingFile::Placing::NotPlaced) {
        MsgBox(why);
        return Outcome::Stopped;
    }
    MsgBox((destinationExisted_ ? "The existing file " + destination + " cannot be replaced."
                                : "The file " + destination + " cannot be created.") +
           EndOfLine + why);
    return Outcome::Stopped;
}

}  // namespace

void convertCSV() {
    const String source = appSystem::sourceFilepath, destination = appSystem::destinationFilePath;
    CsvGrid& grid = appSystem::CSVa;
    Progress& progress = CurrentProgress();
    progress.ClearCancelled();
    grid.Clear();
    appSystem::output = {};

    // The source is opened first: when it cannot be read, no old converted
    // file is deleted and no new one is made.
    Ref<TextInputStream> in = csvSource::open(source);
    if (!in) return;

    appSystem::dataPath = destination;
    Ref<FolderItem> item = GetFolderItem(destination);
    const bool replacing = item && item->Exists();
    if (replacing) {
        if (sameFile(source, destination)) {
            MsgBox("The new file would replace the file being converted:" + EndOfLine + source + EndOfLine +
                   "Give the CSV file the extension .csv and try again.");
            return;
        }
        if (MsgBox("This file has been converted before. Do you want to overwrite the old converted file?",
                   MsgBoxYesNoQuestion, "Overwrite file") != AnswerYes) {
            MsgBox("Rename or move your old converted file and try again.");
            return;
        }
        // The old file stays until the new one is complete; what would keep
        // it from being replaced then is told now.
        if (!replaceable(destination)) return;
    }

    // Nothing is made before the whole source has been read and accepted.
    CsvReader reader(*in);
    const csvSource::Records records = readFile(grid, reader);
    in->Close();
    progress.Close();
    if (!records.accept(reader.unclosedQuotes())) return;

    Outcome outcome;
    String unreadDates;
    {
        NewFile file(destination, grid, progress, replacing);
        outcome = file.build(records);
        unreadDates = file.unreadDates();
    }
    if (outcome == Outcome::Stopped) return;
    progress.Close();
    // After a Cancel the unfinished file has gone with `file`: nothing more
    // is said.
    if (outcome == Outcome::Completed)
        MsgBox("Operation completed" + unreadDates + csvSource::removedNuls(reader.linesWithNul()));
}

bool saveToSettings(const Ref<SqlFileDatabase>& database, const String& column, const String& value) {
    // A file that went meanwhile is not written again (the import tells it
    // once the headings are done).
    if (!database->DatabaseFile || !database->DatabaseFile->Exists()) return false;
    auto lost = [&database] {
        appSystem::showDatabaseError(*database);
        return false;
    };
    Ref<RecordSet> rs = database->SQLSelect("SELECT id, " + column + " FROM settings");
    if (!rs) return lost();
    Ref<DatabaseField> id = rs->Field("id");
    if (id && id->IntegerValue() == 1) {
        // The caption is written as a value of the row, never into the text
        // of a statement, which would end at the first character that SQL
        // text cannot carry.
        rs->Edit();
        rs->Field(column)->SetStringValue(appSystem::rma(value));
        rs->Update();
        if (database->ErrorCode() == 0) database->Commit();
        return database->ErrorCode() == 0 || lost();
    }
    DatabaseRecord record;
    record.Column(column, appSystem::rma(value));
    return appSystem::saveToFile(database, record, "settings");
}

}  // namespace convertCsvToRsd
