#include "convert/convertCsvToCav.h"

#include <algorithm>
#include <vector>

#include "convert/cavDatabase.h"
#include "convert/csvHeadingAliases.h"
#include "convert/csvSource.h"
#include "framework/Date.h"
#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/Progress.h"
#include "services/appSystem.h"

namespace convertCsvToCav {

namespace {

using namespace csvHeadingAliases;

const String Completed = "Operation completed";

const String ReportName = "Converter Errors.txt";

// Pass 1: every line cleaned, its apostrophes as "$", its comma count
// compared with the heading line's, and split into the grid. The first
// mismatch asks whether to stop; from then on every mismatch goes into
// `report`, counted in `progress`. False when the user chose to stop.
bool readFile(CsvReader& reader, csvSource::Records& records, String& report, Progress& progress) {
    bool reportMode = false;
    int64_t headingCommas = 0;
    int64_t errors = 0;
    for (int64_t j = 0; reader.next(); ++j) {
        // An apostrophe is one byte and so is its "$": replaced in place.
        for (String& field : reader.fields()) std::replace(field.begin(), field.end(), '\'', '$');
        // Apostrophes neither make nor hide commas: the line is counted as
        // read and cleaned only for a report.
        const int64_t commas = appSystem::countCommas(reader.text());
        if (j == 0) headingCommas = commas;
        if (commas != headingCommas) {
            const String line = ReplaceAll(reader.text(), "'", "$");
            const String error = "There are " + Str(commas) + " commas in row " + Str(reader.line()) +
                                 " which is " + (commas > headingCommas ? "more" : "less") +
                                 " than in the headings row (" + Str(headingCommas) + ")";
            // A quoted field's line breaks would break the report's lines.
            const String snippet = "[ " + appSystem::rcr(Left(line, 55)) + "... ]";
            if (!reportMode) {
                const String question =
                    error + EndOfLine + EndOfLine + snippet + EndOfLine + EndOfLine +
                    "This could put information in the wrong fields. Do you want to stop the processes now and fix "
                    "your csv file?" +
                    EndOfLine + "(Click NO to make a report of all errors.)";
                if (MsgBox(question, MsgBoxYesNoQuestion, "Invalid file") == AnswerYes) {
                    MsgBox("Tip - Open the file in a plain text editor eg. Notepad or Text Edit to fix comma "
                           "problems." +
                           EndOfLine + "More commas - check for commas in the middle of names or text." + EndOfLine +
                           "Less commas -often line breaks (carriage returns) in the middle of names or text.");
                    return false;
                }
                reportMode = true;
                progress.Show();
                progress.SetBarVisible(false);
            }
            report += error + EndOfLine + String(13, ' ') + snippet + EndOfLine;
            ++errors;
            progress.SetMessage("Found " + Str(errors) + " errors.");
            progress.Refresh();
        }
        records.store(j, reader);
        YieldToEventLoop();
    }
    return true;
}

// Writes the report into "Converter Errors.txt" on the desktop, replacing an
// earlier one, and asks whether to stop; true to go on with the import.
bool reportErrors(const String& report) {
    Ref<FolderItem> desktop = SpecialFolder::Desktop();
    String why;
    if (!desktop) {
        why = "the Desktop folder cannot be found.";
    } else if (!desktop->Directory()) {
        why = "the Desktop folder " + desktop->AbsolutePath() + " does not exist.";
    } else {
        const String path = desktop->AbsolutePath() + ReportName;
        Ref<FolderItem> file = GetFolderItem(path);
        Ref<TextOutputStream> out = file ? file->CreateTextFile() : nullptr;
        try {
            if (out) {
                out->WriteLine(report);
                out->Close();
            }
        } catch (const IOException&) {
            out = nullptr;
        }
        if (!out) why = "the file " + path + " cannot be written.";
    }
    const String question = why.empty() ? "A list of all errors has been created on your Desktop. Do you want to "
                                          "exit now?"
                                        : "The list of all errors could not be created: " + why + EndOfLine +
                                              "Do you want to exit now?";
    return MsgBox(question, MsgBoxYesNoQuestion, "Error Report") != AnswerYes;
}

// The SQL date of a birth-date cell read in the file's order of day and
// month; an empty cell stands for 1 January 1925. "" when the cell holds no
// date.
String birthDate(std::string_view cellText, DateOrder order) {
    if (cellText.empty()) return Date(1925, 1, 1).SQLDate();
    // The commonest kind reads as itself: it is not parsed again.
    if (IsSqlDate(cellText)) return String(cellText);
    Ref<Date> d = appSystem::CDate(Variant(String(cellText)), order);
    return d ? d->SQLDate() : String();
}

// The tree statement of grid row r. The groups of the CAV variant come in
// the order of the tree statement's columns (name ... cage, then notes),
// with the call name recognised and left out; the twelve custom slots
// follow. An empty id, and a birth date that cannot be read, are written as
// NULL (their Number and Date/Time columns refuse ''); the line of such a
// date is noted in `badDates`. A parent id "1" is no parent unless
// `animalOne`, an animal of the file with the id "1".
String rowStatement(const CsvGrid& grid, const Mapping& map, int64_t r, const csvSource::Records& records,
                    DateOrder order, bool animalOne, std::vector<int64_t>& badDates) {
    const std::vector<Group>& groups = Groups();
    cavDatabase::Insert insert(cavDatabase::TreePrefix);
    for (int g = 1; g <= CavVariant.groupCount; ++g) {
        const std::string_view value = grid.cellView(r, map.column(g));
        switch (groups[size_t(g - 1)].conversion) {
            case Conversion::Unchanged:
            case Conversion::Apostrophes:
                // The animal's id goes into a Number column, as the parent ids do.
                g == OldId ? insert.dateOrNumber(value) : insert.value(value);
                break;
            case Conversion::Sex: insert.value(appSystem::convertSex(String(value))); break;
            case Conversion::ParentId:
                insert.dateOrNumber(value == "1" && !animalOne ? std::string_view() : value);
                break;
            case Conversion::NotImported: break;
            case Conversion::Date: {
                const String date = birthDate(value, order);
                if (date.empty()) {
                    insert.null();
                    badDates.push_back(records.lineOf(r));
                } else {
                    insert.value(date);
                }
                break;
            }
        }
    }
    for (int n = 1; n <= CavVariant.slotCount; ++n) insert.value(grid.cellView(r, map.slot(n)));
    return insert.statement();
}

// What the completion message adds to "Operation completed"; `removed`
// tells the lines whose NUL characters were removed.
String problems(const cavDatabase::RowWriter& writer, const std::vector<int64_t>& badDates, const String& removed) {
    return writer.problems() + csvSource::unreadDates("birth date", badDates) + removed;
}

// The animals that the rows of the grid give, as the rows stage counts
// them.
int64_t animalCount(const CsvGrid& grid, int64_t nameColumn) {
    int64_t r = 1;
    while (!grid.endOfRows(r, nameColumn)) ++r;
    return r - 1;
}

// Stages 3 to 5 on the import's connection `db`, once pass 1 has filled the
// grid.
//
// The captions and the rows are one transaction on `db`, committed after
// the last row: a Cancel, a row that the database refuses or a connection
// that is lost undoes all of it, and the database is as it was before the
// import. Only when the checks of the headings end the import are the
// captions committed by themselves, as no animal follows them then.
void importRows(const CsvGrid& grid, const Ref<ODBCDatabase>& db, const csvSource::Records& records,
                const String& removed, Progress& progress) {
    const Mapping map = mapHeadings(grid, CavVariant);
    if (!cavDatabase::beginTransaction(db)) return appSystem::showDatabaseError(*db);
    // A caption that the database refuses to write (told) stops the import
    // after the checks of the headings, before any animal is written; the
    // later ones are not tried, and the earlier ones are undone.
    bool captionsStored = true;
    for (const Caption& caption : map.captions)
        if (!(captionsStored = saveToSettings(db, caption.column, caption.heading))) break;
    if (!captionsStored) {
        db->Rollback();
        return;
    }
    if (!acceptHeadings(map) || !records.acceptEndOfAnimals(map.column(Name))) {
        db->Commit();
        if (db->ErrorCode() != 0) appSystem::showDatabaseError(*db);
        return;
    }

    cavDatabase::RowWriter writer(db, cavDatabase::RowWriter::Commits::OneTransaction);
    std::vector<int64_t> badDates;
    const int64_t nameColumn = map.column(Name);
    const DateOrder order = csvSource::dateOrder(grid, {map.column(DOB)}, nameColumn);
    const bool animalOne = hasAnimalOne(grid, map);
    appSystem::output.uncommitted = true;
    for (int64_t r = 1; !grid.endOfRows(r, nameColumn); ++r) {
        if (!writer.write(rowStatement(grid, map, r, records, order, animalOne, badDates))) break;
        csvSource::reportRow(progress, r, grid.cell(r, nameColumn));
        YieldToEventLoop();
        if (progress.Cancelled()) break;
    }
    const bool cancelled = progress.Cancelled();
    const bool committed = !cancelled && !writer.failed() && writer.commit();
    appSystem::output.uncommitted = false;
    if (!committed) {
        // Cancelled, or a row or the commit failed: nothing stays.
        writer.rollback();
        progress.Close();
        const String none = cavDatabase::noneWritten(animalCount(grid, nameColumn));
        if (cancelled) {
            MsgBox("The import was cancelled." + EndOfLine + none);
        } else {
            Beep();
            MsgBox(writer.failure() + EndOfLine + none);
        }
        return;
    }
    // A refused linking update ends the import with the database's message;
    // the updates before it stay, as each did when it was committed by
    // itself.
    auto linkingFailed = [&] {
        const String failure =
            "Database Error: " + Str(db->ErrorCode()) + EndOfLine + EndOfLine + db->ErrorMessage();
        db->Commit();
        progress.Close();
        Beep();
        MsgBox(failure);
    };

    if ((map.noPS() || map.noPd()) && !appSystem::convertIdRecordToName(db, "cav", progress))
        return linkingFailed();
    if (map.noSexColumn()) {
        const int answer = MsgBox(
            "The converter cannot find information for the sex field. Do you want to determine the sex by whether "
            "the animal has been a father or mother in the past?" +
                EndOfLine +
                "Click NO if you have called your sex field something else. The converter will exit. Go back to "
                "your file and fix it." +
                "?",
            MsgBoxYesNoQuestion, "Missing field");
        if (answer != AnswerYes) {
            // The import stops here, but what did not get in is still told.
            const String lost = problems(writer, badDates, removed);
            if (!lost.empty()) MsgBox(lost.substr(EndOfLine.size()));
            return;
        }
        if (!appSystem::findSex(db, "cav", progress)) return linkingFailed();
    }
    progress.Close();
    MsgBox(Completed + problems(writer, badDates, removed));
}

}  // namespace

void runconvertCSVtoCav() {
    const String source = appSystem::sourceFilepath, destination = appSystem::destinationFilePath;
    CsvGrid& grid = appSystem::CSVa;
    Progress& progress = CurrentProgress();
    appSystem::output = {};
    appSystem::output.pickedDatabase = true;
    progress.ClearCancelled();
    Ref<ODBCDatabase> db = cavDatabase::connect(destination);
    if (!db) return;

    // Only what this file's lines put into the grid is read.
    grid.Clear();
    Ref<TextInputStream> in = csvSource::open(source);
    if (!in) return;
    CsvReader reader(*in);
    csvSource::Records records(grid);
    String report;
    const bool goOn = readFile(reader, records, report, progress);
    in->Close();
    progress.Close();
    if (!goOn) return;
    if (!report.empty() && !reportErrors(report)) return;
    if (!records.accept(reader.unclosedQuotes())) return;
    importRows(grid, db, records, csvSource::removedNuls(reader.linesWithNul()), progress);
}

bool saveToSettings(const Ref<ODBCDatabase>& db, const String& column, const String& value) {
    auto lost = [&] {
        MsgBox("The custom field heading \"" + value + "\" could not be saved in the Brevolan database." +
               EndOfLine + db->ErrorMessage());
        return true;
    };

    Ref<RecordSet> rs = db->SQLSelect("SELECT * FROM cavyUser");
    if (!rs) return lost();
    Ref<DatabaseField> id = rs->Field("id");
    const bool update = id && id->IntegerValue() == 1;
    // The statement below runs on the same connection: the select's cursor
    // is let go first.
    rs->Close();

    // A table that takes no captions is told above and the import goes on;
    // a caption that the database refuses to write ends it. (No progress
    // window is open while the headings are read.)
    auto refused = [&] {
        appSystem::showDatabaseError(*db);
        return false;
    };
    // The caption is bound as a value, never written into the statement's
    // text, which would end at the first character that SQL text cannot
    // carry.
    Ref<ODBCPreparedStatement> statement =
        db->Prepare(update ? "UPDATE cavyUser SET " + column + " = ? WHERE id = 1"
                           : "INSERT INTO cavyUser(" + column + ") VALUES (?)");
    if (!statement) return refused();
    statement->BindType(0, ODBCPreparedStatement::ODBC_TYPE_STRING);
    statement->SQLExecute({Variant(appSystem::rma(value))});
    return !db->Error() || refused();
}

}  // namespace convertCsvToCav
