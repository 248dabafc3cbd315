#include "convert/convertRsdToCav.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "convert/cavDatabase.h"
#include "convert/csvSource.h"
#include "convert/rsdSource.h"
#include "framework/Encodings.h"
#include "framework/EventLoop.h"
#include "framework/Interaction.h"
#include "services/Progress.h"
#include "services/appSystem.h"

namespace convertRsdToCav {

namespace {

const String Completed = "Operation completed";

// How a CAV value is made of the source row.
enum class From {
    Text,          // the column's text
    DateOrNumber,  // the column's text for a Date/Time or Number column, which refuses '': NULL when empty
    NameOf,        // the name of the tree row whose id the column holds
    Boolean,       // "True" or "False" of the column's text (appSystem::getBooleanString)
    Nothing,       // NULL: the CAV column is left empty
};

struct Value {
    const char* column;  // the source column (case ignored); nullptr for Nothing
    From from;
};

struct TableCopy {
    const char* select;
    String prefix;
    std::vector<Value> values;  // in the order of the prefix's columns
    const char* what;           // the source table, for the user
    String label;               // the progress label, before the row's name or number
    bool labelByName;           // the label ends with the row's name, else its index
};

std::vector<Value> treeValues() {
    using F = From;
    std::vector<Value> v = {{"name", F::Text},         {"Colour", F::Text},   {"Breed", F::Text},
                            {"Sex", F::Text},          {"DOB", F::DateOrNumber}, {nullptr, F::Nothing},
                            {nullptr, F::Nothing},     {nullptr, F::Nothing}, {"ps", F::Text},
                            {"pd", F::Text},           {"tag", F::Text},      {"Prefix", F::Text},
                            {"Suffix", F::Text},       {nullptr, F::Nothing}, {"Cage", F::Text},
                            {"Notes", F::Text}};
    static const char* const custom[] = {"Customfield1", "Customfield2", "Customfield3",  "Customfield4",
                                         "Customfield5", "Customfield6", "Customfield7",  "Customfield8",
                                         "Customfield9", "Customfield10", "Customfield11", "Customfield12"};
    for (const char* c : custom) v.push_back({c, F::Text});
    return v;
}

// The four copies, in the order they run; the first is the tree.
const std::vector<TableCopy>& Tables() {
    using F = From;
    static const std::vector<TableCopy> tables = {
        {"SELECT * FROM tree", cavDatabase::TreePrefix, treeValues(), "animals", "Adding tree record for ", true},
        {"SELECT * FROM breeding",
         "INSERT INTO matings (Breed, Boar, Sow, Due, Mated, Born, numBoars, NumSows, Colour, Sold, Unsuccessful, "
         "Stillborn, numUndefined) VALUES ('",
         {{"breed", F::Text},
          {"fatherId", F::NameOf},
          {"motherId", F::NameOf},
          {"due", F::DateOrNumber},
          {"mated", F::DateOrNumber},
          {"born", F::DateOrNumber},
          {"numBoars", F::DateOrNumber},
          {"numSows", F::DateOrNumber},
          {"notes", F::Text},
          {"sold", F::Boolean},
          {"unsuccessful", F::Boolean},
          {"stillborn", F::DateOrNumber},
          {"numUndefined", F::DateOrNumber}},
         "breeding records",
         "Adding breeding record # ",
         false},
        {"SELECT * FROM soldStock",
         "INSERT INTO soldStock (Dam, Offspring, Colour, DateSold, SoldTo, Sire) VALUES ('",
         {{"motherId", F::NameOf},
          {"nameId", F::NameOf},
          {"notes", F::Text},
          {"dateSold", F::DateOrNumber},
          {"soldTo", F::Text},
          {"fatherId", F::NameOf}},
         "sold stock records",
         "Adding Sold Stock record # ",
         false},
        {"SELECT * FROM vaccinations",
         "INSERT INTO vaccinations (dueDate,name,vaccination,done) VALUES ('",
         {{"dueDate", F::DateOrNumber}, {"nameId", F::NameOf}, {"vaccination", F::Text}, {"done", F::Text}},
         "vaccination records",
         "Adding Treatment record # ",
         false},
    };
    return tables;
}

// The text of a column of the current row; "" for a column the table lacks.
String text(const Ref<RecordSet>& rs, const char* column) {
    Ref<DatabaseField> field = rs->Field(column);
    return field ? field->StringValue() : String();
}

// Where each value's column sits in the record set (nullopt for a column
// that the table lacks, whose value is then empty): found once per table by
// name, case ignored, the first column of that name, as RecordSet::Field
// finds it.
std::vector<std::optional<int>> positions(const TableCopy& table, const Ref<RecordSet>& rs) {
    std::vector<std::optional<int>> at;
    for (const Value& v : table.values) {
        std::optional<int> found;
        for (int i = 0; v.column && !found && i < rs->FieldCount(); ++i)
            if (TextEquals(rs->ColumnName(i), v.column)) found = i;
        at.push_back(found);
    }
    return at;
}

// A source text as the CAV file takes it: text that is not UTF-8, as older
// programs wrote it, is read as Windows-1252 (as the CSV reader reads such a
// file), and NUL characters, which no statement's text can carry, are
// removed; `removedNul` is set when there were any.
String cavText(String text, bool& removedNul) {
    if (text.find('\0') != String::npos) {
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        removedNul = true;
    }
    if (IsValidUTF8(text)) return text;
    // A byte that Windows-1252 leaves undefined stands for the code point of
    // its own value, as Windows reads it.
    String decoded;
    if (!Recode(text, "WINDOWS-1252", "UTF-8", decoded, Undecodable::Latin1))
        return ConvertEncoding(text, Encoding::UTF8);
    return decoded;
}

String statement(const TableCopy& table, const std::vector<std::optional<int>>& at, const Ref<RecordSet>& rs,
                 const rsdSource::NamesById& nameOf, bool& removedNul) {
    cavDatabase::Insert insert(table.prefix);
    for (size_t k = 0; k < table.values.size(); ++k) {
        const String value = at[k] ? rs->ColumnValue(*at[k]).StringValue() : String();
        switch (table.values[k].from) {
            case From::Text: insert.value(cavText(value, removedNul)); break;
            case From::DateOrNumber: insert.dateOrNumber(cavText(value, removedNul)); break;
            case From::NameOf: insert.value(cavText(nameOf(value), removedNul)); break;
            case From::Boolean: insert.value(appSystem::getBooleanString(Variant(value))); break;
            case From::Nothing: insert.null(); break;
        }
    }
    return insert.statement();
}

// The row as the progress reports name it: the table's label and the row's
// name or index, as the user reads it.
String rowLabel(const TableCopy& table, const Ref<RecordSet>& rs, int64_t index) {
    bool removedNul = false;
    return table.label + (table.labelByName ? cavText(text(rs, "name"), removedNul) : Str(index));
}

// What the closing message adds for the rows whose NUL characters were
// removed (their labels without "Adding "): "" for none.
String removedNuls(const std::vector<String>& rows) {
    if (rows.empty()) return String();
    return EndOfLine + "The NUL characters (zero bytes) in the " + csvSource::itemList(rows) + " were removed.";
}

void report(Progress& progress, const TableCopy& table, const Ref<RecordSet>& rs, int64_t index, int64_t total) {
    progress.Show();
    progress.SetMaximum(int(total));
    progress.SetMessage(rowLabel(table, rs, index));
    progress.SetValue(ProgressBarValue(index, total));
    progress.Refresh();
}

}  // namespace

void runConvertRsdToCav() {
    const String source = appSystem::sourceFilepath, destination = appSystem::destinationFilePath;
    Progress& progress = CurrentProgress();
    progress.Show();
    progress.SetBarVisible(true);
    const String message = ExportTables(source, destination, progress);
    progress.Close();
    if (!message.empty()) MsgBox(message);
}

String ExportTables(const String& source, const String& destination, Progress& progress) {
    appSystem::output = {};
    appSystem::output.pickedDatabase = true;
    Ref<ODBCDatabase> cav = cavDatabase::connect(destination);
    if (!cav) return String();  // told by the "Database Error: " box

    appSystem::dataPath = source;
    appSystem::connectData();
    if (appSystem::dataInUse()) return String();  // told by connectData
    if (rsdSource::hasStandInTable(appSystem::db)) return rsdSource::unreadableMessage(source);

    cavDatabase::RowWriter writer(cav, cavDatabase::RowWriter::Commits::EachRow);
    std::optional<rsdSource::NamesById> nameOf;
    String unread;
    std::vector<String> withNul;  // the rows whose NUL characters were removed
    for (const TableCopy& table : Tables()) {
        Ref<RecordSet> rs = appSystem::GetRecordset(table.select);
        if (!rs) {
            // Without its animals the source is no RSD/CAX file to export.
            if (!nameOf) return rsdSource::unreadableMessage(source);
            unread += EndOfLine + "The " + String(table.what) + " could not be read from the source file.";
            continue;
        }
        if (!nameOf) nameOf.emplace(rs);
        const int64_t total = rs->RecordCount();
        const std::vector<std::optional<int>> at = positions(table, rs);
        for (int64_t index = 0; !rs->Eof(); ++index) {
            bool removedNul = false;
            writer.write(statement(table, at, rs, *nameOf, removedNul));
            if (removedNul) withNul.push_back(rowLabel(table, rs, index).substr(String("Adding ").size()));
            if (index % 5 == 0) report(progress, table, rs, index, total);
            rs->MoveNext();
            YieldToEventLoop();
        }
    }
    // A row or a commit that the database refused (a full disk, a read-only
    // file) is no completion: it is told as the import tells it, with a beep,
    // the database's error and the count of the records that did not get in.
    if (const String failure = writer.failure(); !failure.empty()) {
        Beep();
        return failure + unread + removedNuls(withNul);
    }
    return Completed + writer.problems() + unread + removedNuls(withNul);
}

}  // namespace convertRsdToCav
