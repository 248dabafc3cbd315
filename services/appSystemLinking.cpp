// Pedigree linking and sex derivation on any Database (the new RSD/CAX file
// of an import, or an ODBC connection to a CAV file). Only plain SQL text and
// the generic record sets are used, so every value put into a statement is
// written as a literal whose apostrophes are doubled, or, for a Number column
// of a CAV file, as an integer that holds nothing but digits: an id or a name
// can never end its literal and change what the statement does.
//
// An RSD/CAX file is linked by sets of rows: each pass changes a run of rows
// with a few statements, then reports each row of the run and yields after
// it, as a pass row by row would. Those statements are SQLite's, which the
// Access driver behind a CAV connection does not understand: a CAV file is
// linked row by row.

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "framework/EventLoop.h"
#include "services/Progress.h"
#include "services/appSystem.h"

namespace appSystem {

namespace {

// The import's own table of the source file's ids as it read them, one row
// per tree row: temporary, so that the file never holds it.
const char* const SourceIdsTable = "sourceIds";

// The text as an SQL string literal.
String literal(const String& text) { return SQLQuoted(text, '\''); }

// A source id as the value that a criterion on a Number column of a CAV
// file (oldId, fatherId, motherId) compares with: an integer (an optional
// "-" and digits) written as it stands and unquoted, for Access refuses to
// compare a Number column with a text. Any other id is "", as no row of a
// Number column can hold it.
String numberOf(const String& id) {
    const size_t digits = id.rfind('-', 0) == 0 ? 1 : 0;
    const bool integer = id.size() > digits && std::all_of(id.begin() + digits, id.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    return integer ? id : String();
}

// The text of a column of the current row; "" when missing or empty.
String text(const Ref<RecordSet>& rs, const String& column) {
    Ref<DatabaseField> field = rs->Field(column);
    return field ? field->StringValue() : String();
}

// Runs a write (an UPDATE, a commit) and tells whether the database took
// it; a refusal leaves the database's error code and message set.
bool wrote(const Ref<Database>& database, const String& sql) {
    database->SQLExecute(sql);
    return database->ErrorCode() == 0;
}
bool committed(const Ref<Database>& database) {
    database->Commit();
    return database->ErrorCode() == 0;
}

// One parent of a row: the column of its link, the column of its name, and
// the sex that being this parent gives.
struct Parent {
    const char* link;
    const char* name;
    const char* sex;
};
const Parent Parents[] = {{"fatherId", "ps", "male"}, {"motherId", "pd", "female"}};

// Makes the import's table of source ids, empty.
bool sourceIdsTable(const Ref<Database>& database) {
    return wrote(database, "CREATE TEMP TABLE IF NOT EXISTS " + String(SourceIdsTable) +
                               "(id INTEGER PRIMARY KEY, oldId TEXT)") &&
           wrote(database, "DELETE FROM " + String(SourceIdsTable));
}
// Keeps `id` as the source id of tree row `row`.
bool keepSourceId(const Ref<Database>& database, int64_t row, const String& id) {
    DatabaseRecord record;
    record.IntegerColumn("id", row);
    record.Column("oldId", id);
    database->InsertRecord(SourceIdsTable, record);
    return database->ErrorCode() == 0;
}

// The progress of the passes, row by row as the passes report.

// Parent names from source ids: every row, the message every 20th.
void reportIdRow(Progress& progress, int64_t i, int64_t total) {
    progress.Show();
    progress.SetBarVisible(true);
    progress.SetMaximum(int(total));
    if (i % 20 == 0) {
        progress.SetMessage("Getting name from id  #" + Str(i));
        progress.SetValue(ProgressBarValue(i, total));
        progress.Refresh();
    }
}

// Sex from parenthood: every parent marked, named by the row that marks it.
void reportSex(Progress& progress, int64_t i, int64_t total, const String& name, const char* sex) {
    progress.Show();
    progress.SetBarVisible(true);
    progress.SetMaximum(int(total));
    progress.SetValue(ProgressBarValue(i, total));
    progress.SetMessage("Found sex  of " + rpa(name) + " - " + sex);
    progress.Refresh();
}

// ---- A CAV file, row by row ----

// The progress total of a CAV tree, whose record sets cannot count their
// rows: a separate select stepped through. -1 when that select fails.
int64_t cavRowTotal(const Ref<Database>& database) {
    Ref<RecordSet> ids = database->SQLSelect("SELECT id FROM tree");
    if (!ids) return -1;
    return getODBCrecords(ids);
}

// Each CAV row keeps the source file's ids as its links: the name of the
// first row whose oldId is a parent id is written as that parent's name into
// every row with that parent id. A parent id that no row has, or that is no
// integer (which no Number column holds), leaves the name that the file gave.
class NamesFromSourceIds {
public:
    explicit NamesFromSourceIds(const Ref<Database>& database) : database_(database) {}

    // False when an update was refused.
    bool row(const Ref<RecordSet>& rs) {
        for (size_t p = 0; p < std::size(Parents); ++p)
            if (!fill(text(rs, Parents[p].link), Parents[p], done_[p])) return false;
        return true;
    }

private:
    // The update for a parent id sets the name column of every row with that
    // id, and the name it looks up does not change meanwhile: running it again
    // for a later sibling would change nothing, so each id is done once.
    bool fill(const String& id, const Parent& parent, std::unordered_set<String>& done) {
        const String number = numberOf(id);
        if (number.empty() || done.count(id)) return true;
        Ref<RecordSet> lookup = database_->SQLSelect("SELECT name FROM tree WHERE oldId = " + number);
        if (!lookup) return true;
        if (!lookup->Eof() && !wrote(database_, String("UPDATE tree SET ") + parent.name + " = " +
                                                    literal(text(lookup, "name")) + " WHERE " + parent.link +
                                                    "  = " + number))
            return false;
        done.insert(id);
        return true;
    }

    Ref<Database> database_;
    std::unordered_set<String> done_[std::size(Parents)];  // the parent ids done, by parent
};

bool cavNamesFromSourceIds(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select oldId,fatherId,motherId From tree");
    if (!rs) return true;
    const int64_t total = cavRowTotal(database);
    if (total < 0) return true;
    NamesFromSourceIds names(database);
    for (int64_t i = 0; !rs->Eof(); ++i) {
        if (!names.row(rs)) return false;
        reportIdRow(progress, i, total);
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

// Whether a parent's name column names a parent: neither "" nor "unknown"
// in any case, as for the linking by name of an RSD/CAX file.
bool namesAParent(const String& name) { return !name.empty() && Lowercase(name) != "unknown"; }

// The tree id of the first row (lowest id) called `name`, as the import
// stored both; "" when no row is.
String firstCalled(const Ref<Database>& database, const String& name) {
    Ref<RecordSet> rows = database->SQLSelect("SELECT id FROM tree WHERE name = " + literal(name) + " ORDER BY id");
    return rows && !rows->Eof() ? numberOf(text(rows, "id")) : String();
}

// In a CAV file the links hold the source file's ids: a parent is the row
// whose oldId is the link. A link that is no integer names no row: it is
// reported as any other, and nothing is written for it. Where a link is
// empty, the parent's name (ps, pd) names the first row of that name, so
// that a file which gave its parents by name alone still yields their sex.
bool cavSex(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select name,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = cavRowTotal(database);
    if (total < 0) return true;

    int64_t i = 0;
    // The first row of each parent name looked up: the sex marks change no
    // name, so siblings need not look their parent up again.
    std::unordered_map<String, String> firstIds;
    auto firstIdOf = [&](const String& name) -> const String& {
        auto found = firstIds.find(name);
        if (found == firstIds.end()) found = firstIds.emplace(name, firstCalled(database, name)).first;
        return found->second;
    };
    // Marks the rows that `where` selects with `sex`; false when the update
    // or its commit was refused. Rows that already hold the sex are left
    // alone: the result is the same, and a commit without changes costs the
    // disk nothing.
    auto mark = [&](const String& where, const char* sex) {
        return wrote(database, "UPDATE tree SET sex = " + literal(sex) + " WHERE " + where +
                                   " AND (sex IS NULL OR sex <> " + literal(sex) + ")") &&
               committed(database);
    };
    // False when a mark was refused.
    auto markParent = [&](const Parent& parent) {
        const String link = text(rs, parent.link);
        String where;
        if (!link.empty()) {
            if (const String number = numberOf(link); !number.empty()) where = "oldId = " + number;
        } else if (const String name = text(rs, parent.name); namesAParent(name)) {
            if (const String& id = firstIdOf(name); !id.empty()) where = "id = " + id;
        } else {
            return true;
        }
        if (!where.empty() && !mark(where, parent.sex)) return false;
        reportSex(progress, i, total, text(rs, "name"), parent.sex);
        return true;
    };
    for (; !rs->Eof(); ++i) {
        for (const Parent& parent : Parents)
            if (!markParent(parent)) return false;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return true;
}

// ---- An RSD/CAX file, by sets of rows ----

// The rows that one set of statements changes at once: a few milliseconds
// of work, after which the rows are reported and Cancel can answer.
const size_t RunRows = 1000;

// The linking's own temporary tables, which go again at the end of each
// pass: the parents by source id, and the parent links of a run of rows.
const char* const ParentsTable = "linkParents";
const char* const MentionsTable = "linkMentions";

// Goes through `rows` (a select of a table in the order of its "id", left
// on its first row) in runs of RunRows rows: `write(first, last)` changes
// the rows whose ids lie from first to last, then `report(rows)` runs on
// each of them in turn, each followed by a yield to the event loop. False
// at once when a write was refused.
template <class Write, class Report>
bool byRuns(const Ref<RecordSet>& rows, Write write, Report report) {
    std::vector<int64_t> ids;
    for (; !rows->Eof(); rows->MoveNext()) ids.push_back(rows->Field("id")->IntegerValue());
    rows->MoveFirst();
    for (size_t start = 0; start < ids.size(); start += RunRows) {
        const size_t end = std::min(ids.size(), start + RunRows);
        if (!write(ids[start], ids[end - 1])) return false;
        for (size_t r = start; r < end; ++r) {
            report(rows);
            rows->MoveNext();
            YieldToEventLoop();
        }
    }
    return true;
}

// " WHERE id BETWEEN first AND last", the rows of a run.
String runOf(int64_t first, int64_t last) { return " WHERE id BETWEEN " + Str(first) + " AND " + Str(last); }

// Makes sure that the source ids are kept: where the import kept none, each
// animal's stored oldId stands in, as its text reads.
bool sourceIdsKept(const Ref<Database>& database) {
    Ref<RecordSet> kept = database->SQLSelect("SELECT id FROM " + String(SourceIdsTable) + " LIMIT 1");
    if (kept && !kept->Eof()) return true;
    Ref<RecordSet> stored = database->SQLSelect("SELECT id, oldId FROM tree");
    if (!stored) return true;
    if (!sourceIdsTable(database)) return false;
    for (; !stored->Eof(); stored->MoveNext())
        if (!keepSourceId(database, stored->Field("id")->IntegerValue(), text(stored, "oldId"))) return false;
    return true;
}

// The parent of each source id: the animal with the lowest tree id among
// those with that id, with its name ("" for none).
bool parentsBySourceId(const Ref<Database>& database) {
    const String parents(ParentsTable);
    return sourceIdsKept(database) &&
           wrote(database, "CREATE TEMP TABLE IF NOT EXISTS " + parents +
                               "(sourceId TEXT PRIMARY KEY, id INTEGER, name TEXT)") &&
           wrote(database, "DELETE FROM " + parents) &&
           wrote(database, "INSERT INTO " + parents + "(sourceId, id) SELECT s.oldId, min(s.id) FROM " +
                               SourceIdsTable + " s JOIN tree t ON t.id = s.id WHERE s.oldId <> '' GROUP BY s.oldId") &&
           wrote(database, "UPDATE " + parents + " SET name = ifnull((SELECT name FROM tree WHERE tree.id = " +
                               parents + ".id), '')");
}

// The statement that links a run of rows by id: a parent id that is an
// animal's becomes that animal's tree id, with its name as the parent's
// name; any other parent id becomes "".
String linkByIdStatement() {
    const String parents(ParentsTable);
    String sets;
    for (const Parent& parent : Parents) {
        const String link = parent.link, name = parent.name;
        const String found = " FROM " + parents + " WHERE sourceId = tree." + link + ")";
        if (!sets.empty()) sets += ", ";
        sets += name + " = ifnull((SELECT name" + found + ", " + name + "), " + link + " = CASE WHEN " + link +
                " <> '' THEN ifnull((SELECT CAST(id AS TEXT)" + found + ", '') ELSE " + link + " END";
    }
    return "UPDATE tree SET " + sets;
}

bool linkByIds(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rows = database->SQLSelect("SELECT id FROM tree ORDER BY id");
    if (!rows) return true;
    const int64_t total = rows->RecordCount();
    if (!parentsBySourceId(database)) return false;

    const String update = linkByIdStatement();
    int64_t i = 0;
    const bool linked = byRuns(
        rows,
        [&](int64_t first, int64_t last) {
            return wrote(database, update + runOf(first, last) + " AND (fatherId <> '' OR motherId <> '')");
        },
        [&](const Ref<RecordSet>&) { reportIdRow(progress, i++, total); });
    return linked && wrote(database, "DROP TABLE " + String(ParentsTable)) && committed(database);
}

// The rows that a name may link: no link yet, and a name that is neither ""
// nor "unknown" in any case (the program's lower-casing also takes the
// Kelvin sign for a "k").
String linkableByName(const String& nameColumn, const String& idColumn) {
    return "ifnull(" + idColumn + ", '') = '' AND " + nameColumn + " <> '' AND lower(replace(" + nameColumn +
           ", char(8490), 'k')) <> 'unknown'";
}

// The sex of the parents that the links of a run of rows name (by tree
// id): each the sex of its last mention in the run, in tree order, the
// father before the mother.
bool markRun(const Ref<Database>& database, int64_t first, int64_t last) {
    const String mentions(MentionsTable);
    String picked;
    for (size_t p = 0; p < std::size(Parents); ++p) {
        const String link = String("c.") + Parents[p].link;
        if (!picked.empty()) picked += " UNION ALL ";
        picked += "SELECT p.id, 2 * c.id + " + Str(int64_t(p)) + ", " + literal(Parents[p].sex) +
                  " FROM tree c JOIN tree p ON p.id = " + link + " WHERE c.id BETWEEN " + Str(first) + " AND " +
                  Str(last) + " AND " + link + " <> ''";
    }
    return wrote(database, "DELETE FROM " + mentions) &&
           wrote(database, "INSERT INTO " + mentions + "(parent, mention, sex) " + picked) &&
           wrote(database, "UPDATE tree SET sex = (SELECT sex FROM " + mentions + " WHERE parent = tree.id ORDER BY "
                               "mention DESC LIMIT 1) WHERE id IN (SELECT parent FROM " + mentions + ")") &&
           committed(database);
}

bool sexOfParents(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rows = database->SQLSelect("SELECT id, name, fatherId, motherId FROM tree ORDER BY id");
    if (!rows) return true;
    const int64_t total = rows->RecordCount();
    const String mentions(MentionsTable);
    if (!wrote(database,
               "CREATE TEMP TABLE IF NOT EXISTS " + mentions + "(parent INTEGER, mention INTEGER, sex TEXT)") ||
        !wrote(database,
               "CREATE INDEX IF NOT EXISTS temp." + mentions + "_parent ON " + mentions + "(parent, mention)"))
        return false;

    int64_t i = 0;
    const bool marked = byRuns(
        rows, [&](int64_t first, int64_t last) { return markRun(database, first, last); },
        [&](const Ref<RecordSet>& row) {
            for (const Parent& parent : Parents)
                if (!text(row, parent.link).empty()) reportSex(progress, i, total, text(row, "name"), parent.sex);
            ++i;
        });
    return marked && wrote(database, "DROP TABLE " + mentions) && committed(database);
}

}  // namespace

int64_t getODBCrecords(const Ref<RecordSet>& rs) {
    rs->MoveFirst();
    int64_t n = 0;
    while (!rs->Eof()) {
        ++n;
        rs->MoveNext();
        YieldToEventLoop();
    }
    rs->MoveFirst();
    return n + 1;
}

bool keepSourceIds(const Ref<Database>& database, const std::vector<String>& ids) {
    if (!sourceIdsTable(database)) return false;
    for (size_t n = 0; n < ids.size(); ++n)
        if (!keepSourceId(database, int64_t(n + 1), ids[n])) return false;
    return true;
}

bool convertIdRecordToName(const Ref<Database>& database, const String& type, Progress& progress) {
    return TextEquals(type, "cav") ? cavNamesFromSourceIds(database, progress) : linkByIds(database, progress);
}

bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress) {
    const String linkable = linkableByName(nameColumn, idColumn);
    Ref<RecordSet> rows = database->SQLSelect("SELECT id, " + linkable + " AS linkable FROM " + table + " ORDER BY id");
    if (!rows) return true;
    const int64_t total = rows->RecordCount();

    // A link that is already there was found by the parent's id, which names
    // the parent more surely than a name that several animals may share: it
    // stays. A name links to the first animal of that name, looked up with
    // apostrophes as backticks, or to "" when none has it.
    const String update = "UPDATE " + table + " SET " + idColumn +
                          " = ifnull(CAST((SELECT min(p.id) FROM tree p WHERE p.name = replace(" + table + "." +
                          nameColumn + ", '''', '`')) AS TEXT), '')";
    int64_t k = 0;
    const bool linked = byRuns(
        rows,
        [&](int64_t first, int64_t last) { return wrote(database, update + runOf(first, last) + " AND " + linkable); },
        [&](const Ref<RecordSet>& row) {
            if (row->Field("linkable")->IntegerValue() == 0) return;
            ++k;
            progress.SetBarVisible(true);
            progress.SetMaximum(int(total));
            if (k % 20 == 0) {
                progress.SetMessage("Linked " + Str(k) + " " + idColumn + " records for Table " + Uppercase(table));
                progress.SetValue(ProgressBarValue(k, total));
                progress.Refresh();
            }
        });
    return linked && committed(database);
}

bool findSex(const Ref<Database>& database, const String& type, Progress& progress) {
    return TextEquals(type, "cav") ? cavSex(database, progress) : sexOfParents(database, progress);
}

}  // namespace appSystem
