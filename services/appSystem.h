#pragma once
// The conversion services: the state of the conversion in progress, the one
// way the conversions reach an RSD/CAX database file, and the small text,
// field and date functions every conversion uses. Everything runs on the GUI
// thread; the state lives as long as the program.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/Database.h"
#include "framework/Date.h"
#include "framework/Ref.h"
#include "framework/SqlFileDatabase.h"
#include "framework/Text.h"
#include "framework/Variant.h"
#include "services/CsvGrid.h"

class Progress;

namespace appSystem {

// ---- State of the current conversion ----

// The CSV cell grid. The CSV imports call CSVa.Clear() before they read a
// file, so that every cell that no line of that file fills reads "".
extern CsvGrid CSVa;
// The RSD/CAX file that connectData opens; while "" nothing is opened.
extern String dataPath;
// The open RSD/CAX database: nil until the first connectData with a path,
// then the object that the last connectData made (connected or not).
extern Ref<SqlFileDatabase> db;
// The input and the output file of the current conversion. Each conversion
// entry reads them once, when it starts, and passes them down; they stay as
// they are for the windows and Cancel.
extern String sourceFilepath;
extern String destinationFilePath;

// What the running conversion writes, as Cancel in the progress window finds
// it (Cancel runs inside the conversion's yields). Each conversion sets it
// afresh when it starts.
struct Output {
    // The file that the conversion made itself (the new RSD/CAX file, the
    // exported CSV file), once it exists: Cancel offers to delete it. "" for
    // none. A conversion makes its file under a temporary name beside the
    // destination, which it takes the place of once it is complete; this is
    // the only file that connectData opens for writing.
    String createdFile;
    // The conversion adds records to a CAV database that the user picked and
    // the converter did not make: Cancel never deletes it, and tells how many
    // records this conversion has written to it.
    bool pickedDatabase = false;
    int64_t recordsWritten = 0;  // records written to that database so far
    // What the conversion has written to that database is one transaction
    // that it has not committed yet: Cancel offers to stop the conversion,
    // which then undoes all of it.
    bool uncommitted = false;
};
extern Output output;
// The box for a conversion whose unfinished file vanished while it was
// written, without a Cancel: the file or its folder was moved or deleted,
// and nothing was made at `destination`.
String vanishedOutputMessage(const String& destination);

// ---- RSD/CAX database access ----

// Replaces db by a new object on dataPath, opened with the database key or,
// failing that, without a key; for reading only unless dataPath is
// output.createdFile, so that a source is never changed. A source with a hot
// journal beside it (a change that was never finished) is opened as a
// private copy of it and its journal in the temporary folder, recovered
// there as SQLite would recover it; the copy goes when another file is
// opened or the program ends. Shows "Cannot open
// database." when neither opens, and "The file ... is in use by another
// program." when another program kept it locked for a few seconds. Does
// nothing while dataPath is "". Never raises.
void connectData();
// What the last connectData found: dataPath locked by another program.
bool dataInUse();
// connectData, then the select on db: the record set on its first row, or nil
// (also when no path was ever set). Never raises.
Ref<RecordSet> GetRecordset(const String& sql);
// Inserts the record into the table of `database` (an open database of the
// caller's own; nothing is opened) and commits. True when inserted and
// committed; otherwise tells the database's error (showDatabaseError) and
// gives false. Raises NilObjectException when no database object exists at
// all.
bool saveToFile(const Ref<Database>& database, const DatabaseRecord& record, const String& table);
// Closes db; nothing when db is nil. db keeps the closed object.
void closeData();
// Sets Version "20402" in the first settings row of `database`, an open
// database of the caller's own (the new file of an import; nothing is
// opened), or inserts a row holding only that version into an empty settings
// table. True when the version is stamped and committed; otherwise false
// after the box with the database's error.
bool UpdateVersion(const Ref<Database>& database);
// A beep and the box "Database Error: " + code + two line ends + message of
// the database's last failure.
void showDatabaseError(const Database& database);
// The heading of custom field "CustomField1" to "CustomField12" (any case)
// from the first settings row; "" for any other key and on any failure.
String getRsdCustomHeading(const String& field);

// Creates the twelve tables of an RSD/CAX file in `database` (open on a new,
// empty file) and commits once. False at the first statement or the commit
// that the database refuses, with its error code and message set.
bool makeRSDfields(const Ref<Database>& database);

// ---- Pedigree linking and sex derivation ----
// These work on the database object they are given (the new RSD/CAX file of
// an import, or an ODBC connection to a CAV file) with plain SQL text, report
// to `progress` and yield after every row. An RSD/CAX file's tree is read
// once, linked in memory and the changed rows written back; a CAV file is
// changed row by row. A main select that gives no record set returns at once without
// changes. Each returns false at the first update or commit that the
// database refuses (a full disk), leaving the database's error code and
// message set, and true otherwise.
//
// How an RSD/CAX tree is linked (the CSV to RSD/CAX import runs the steps
// on its rows in memory, linkByIds, linkByNames for the fathers and then the
// mothers, and deriveSex when asked; on a file, keepSourceIds, then
// convertIdRecordToName "rsd", convertNameRecordToNewId for the fathers and
// then the mothers, and findSex "rsd" do the same):
// 1. By id. A parent id (fatherId, motherId as the file gave it) is compared
//    as text with the animals' own ids as the file gave them: "007" and "7"
//    are two animals, and ids of any length keep every digit. The animal
//    with the lowest tree id among those with that id is the parent: the
//    link becomes its tree id, and the parent's name (ps, pd) its name. A
//    parent id that no animal has empties the link; the name that the file
//    gave stays.
// 2. By name, only where a link is empty after step 1: a name that is not ""
//    or "unknown" (any case) links to the animal with the lowest tree id
//    among those of that name, apostrophes taken as backticks; no such
//    animal gives "". A link found by id is never replaced by a name.
// 3. Sex: every row that a link names (by tree id) is marked "male" when it
//    is somebody's father and "female" when it is somebody's mother, row by
//    row in tree order, the father before the mother; the last mark stays.
// The links of a CAV file stay the source file's ids: there
// convertIdRecordToName "cav" only fills the names of the parents found by
// id (a parent id that no row has as its oldId leaves the name as it was),
// and findSex "cav" marks the rows whose oldId is a link, and where a link
// is empty the first row (lowest id) whose name is the parent's name (not ""
// or "unknown", any case).

// The source file's ids as the import read them, the n-th for tree row n (the
// rows of a new file are numbered 1, 2, 3 in the order they were inserted),
// kept in a temporary table of the import's connection, which the file never
// holds. The tree's oldId column is declared Integer and stores "007" as 7
// and a 20-digit id as an approximate real; the linking of an RSD/CAX file
// compares the links with these texts instead (with the stored oldId where
// none were kept).
bool keepSourceIds(const Ref<Database>& database, const std::vector<String>& ids);
// "rsd": rewrites every parent link from the source id to the parent's tree
// id and fills the parent's name, or empties a link that names no animal
// (step 1 above). "cav": fills tree.ps and tree.pd from the names of the
// rows whose oldId is the parent id. Commits once at the end. `type` is
// compared without regard to case.
bool convertIdRecordToName(const Ref<Database>& database, const String& type, Progress& progress);
// Sets the empty id column (fatherId, motherId) of every row of `table`
// whose name column holds a name (not "" or "unknown") to the tree id of the
// first row with that name (looked up with apostrophes as backticks), ""
// when none has it (step 2 above); commits once at the end.
bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress);
// Marks every parent row "male" (named in a fatherId) or "female" (in a
// motherId): "cav", the row whose oldId is the link (for an empty link the
// first row called as the parent's name in ps, pd), committing once at the end;
// "rsd", the row whose id is the link, committing once at the end.
bool findSex(const Ref<Database>& database, const String& type, Progress& progress);
// The number of rows of the record set plus one, counted by stepping through
// it; leaves it on its first row. Raises NilObjectException for nil.
int64_t getODBCrecords(const Ref<RecordSet>& rs);

// The tree of a new RSD/CAX file in memory, before it is written: the import
// links it with the three steps above and writes each row once, with its
// final links, parents' names and sex. Row n of each column is the animal
// with tree id `id[n]`, in tree order; a nullopt cell is NULL.
struct Pedigree {
    using Cell = std::optional<String>;
    std::vector<int64_t> id;
    std::vector<String> sourceId;  // the animal's id as the file gave it, "" for none
    std::vector<Cell> name;
    std::vector<Cell> link[2];        // fatherId, motherId
    std::vector<Cell> parentName[2];  // ps, pd
    std::vector<Cell> sex;
    size_t size() const { return id.size(); }
    // Room for `rows` rows in every column.
    void reserve(size_t rows);
};
// The parents of a Pedigree row, in the order the steps take them.
enum PedigreeParent { Father = 0, Mother = 1 };
// Step 1 (by id), with the reports and yields of convertIdRecordToName "rsd".
void linkByIds(Pedigree& tree, Progress& progress);
// Step 2 (by name) for one parent, with the reports and yields of
// convertNameRecordToNewId on "tree".
void linkByNames(Pedigree& tree, PedigreeParent parent, Progress& progress);
// Step 3 (sex), with the reports and yields of findSex "rsd".
void deriveSex(Pedigree& tree, Progress& progress);

// ---- Text, field and date functions ----

// A CSV line is read by CsvReader (services/CsvReader.h), which says how
// quoted fields are cut.

// The line trimmed, without carriage returns and line feeds outside its
// quoted fields.
String clean(const String& line);
// Cuts the line into its fields (every caller passes the delimiter ",") and
// writes field k into CSVa(row, k), yielding to the event loop after every
// cut. Fields outside the grid are not stored, silently; the cells written
// before stay. The number of fields of the line, stored or not.
int64_t extractfields(const String& line, int64_t row, const String& delimiter);
// True when every field of the line is empty once trimmed: a blank line, or
// a spreadsheet's empty row (",,,,", blanks and "" allowed).
bool holdsNoValue(const String& line);
// The number of commas that separate the line's fields, yielding once per
// character and once more; 0 on any failure.
int64_t countCommas(const String& line);
// "male", "female" or "undefined" for a sex word, case ignored.
String convertSex(const String& text);
// Apostrophes become backticks (for text put into SQL literals).
String rma(const String& text);
// The text as an SQL string literal whose apostrophes are backticks (rma),
// as the Brevolan program stores text: no value can end its literal early.
String rmaLiteral(const String& text);
// Appends rmaLiteral(text) to `sql`, without a text of its own in between
// (a statement of many values is built with it).
void appendRmaLiteral(String& sql, std::string_view text);
// Backticks become apostrophes, and so does every "$" unless a digit follows
// the first "$".
String rpa(String text);
// Every line ending (a line feed, a carriage return, or both in that order)
// becomes " - ".
String rcr(const String& text);
// Appends rcr of the text to `out`, with every comma as a blank when
// `commasToBlanks`: a value that keeps its line's columns.
void appendLineText(String& out, std::string_view text, bool commasToBlanks);
// The CSV-safe text of a column of the record set's current row: a date's SQL
// date; otherwise the text with commas as blanks and line endings as " - ".
// "" for a nil record set, an unknown column or an empty value.
String GetFieldString(const Ref<RecordSet>& rs, const String& column);
// GetFieldString of the column at `index` (RecordSet::ColumnIndex) appended
// to `out`, reading the value without copying it; nothing is appended on
// any failure.
void appendFieldString(String& out, RecordSet& rs, int index);
// "True" when the value is true, -1 or "-1"; otherwise "False".
String getBooleanString(const Variant& value);
// The path without its last four characters, followed by the suffix; the
// cut never reaches past the file name into its folder.
String getNewName(const String& path, const String& suffix);
// The value's text read as a date in the user's locale (in `order`); nil
// when it is none.
Ref<Date> CDate(const Variant& value, DateOrder order);
// SQL date text for a date as the user typed it, read in the user's locale
// (in `order`); text whose fifth and eighth characters are "-" passes
// unchanged; "" when it reads as no date.
String convDisplayDateToSql(const String& text, DateOrder order);
// The order in which to read the dates of one file, decided once for all of
// them: the locale's, unless some date reads only with day and month the
// other way round and that order reads every date of the texts (every text
// that reads as a date in any order). So a day-first file on a month-first
// desktop is read day first, and no date of a file is read one way and
// another the other way.
DateOrder dateOrderOf(const std::vector<String>& texts);

}  // namespace appSystem
