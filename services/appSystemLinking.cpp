// Pedigree linking and sex derivation on any Database (the new RSD/CAX file
// of an import, or an ODBC connection to a CAV file). Only plain SQL text and
// the generic record sets are used, so every value put into a statement is
// written as a literal whose apostrophes are doubled: an id or a name can
// never end its literal and change what the statement does.

#include <iterator>
#include <optional>
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

// The progress total for the main record set: CAV record sets cannot count
// their rows, so a separate select is stepped through. -1 when that select
// fails.
int64_t rowTotal(const Ref<Database>& database, const String& type, const Ref<RecordSet>& rs) {
    if (!TextEquals(type, "cav")) return rs->RecordCount();
    Ref<RecordSet> ids = database->SQLSelect("SELECT id FROM tree");
    if (!ids) return -1;
    return getODBCrecords(ids);
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
    if (!wrote(database, "CREATE TEMP TABLE IF NOT EXISTS " + String(SourceIdsTable) +
                             "(id INTEGER PRIMARY KEY, oldId TEXT)") ||
        !wrote(database, "DELETE FROM " + String(SourceIdsTable)))
        return false;
    for (size_t n = 0; n < ids.size(); ++n) {
        DatabaseRecord record;
        record.IntegerColumn("id", int64_t(n + 1));
        record.Column("oldId", ids[n]);
        database->InsertRecord(SourceIdsTable, record);
        if (database->ErrorCode() != 0) return false;
    }
    return true;
}

namespace {

// One parent of a row: the column of its link and the column of its name.
struct Parent {
    const char* link;
    const char* name;
};
const Parent Parents[] = {{"fatherId", "ps"}, {"motherId", "pd"}};

// Each CAV row keeps the source file's ids as its links: the name of the
// first row whose oldId is a parent id is written as that parent's name into
// every row with that parent id. A parent id that no row has leaves the
// name that the file gave.
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
        if (id.empty() || done.count(id)) return true;
        Ref<RecordSet> lookup = database_->SQLSelect("SELECT name FROM tree WHERE oldId = " + literal(id));
        if (!lookup) return true;
        if (!lookup->Eof() && !wrote(database_, String("UPDATE tree SET ") + parent.name + " = " +
                                                    literal(text(lookup, "name")) + " WHERE " + parent.link +
                                                    "  = " + literal(id)))
            return false;
        done.insert(id);
        return true;
    }

    Ref<Database> database_;
    std::unordered_set<String> done_[std::size(Parents)];  // the parent ids done, by parent
};

// The links of a new RSD/CAX file, by the source file's ids: see
// convertIdRecordToName in appSystem.h for the rules.
class LinksFromSourceIds {
public:
    // Reads the animals' ids from `rs` (the whole tree, with id, name and
    // oldId) and from the import's own table of the ids as it read them, and
    // leaves `rs` on its first row.
    LinksFromSourceIds(const Ref<Database>& database, const Ref<RecordSet>& rs) {
        std::unordered_map<int64_t, String> sourceIds;
        if (Ref<RecordSet> kept = database->SQLSelect("SELECT id, oldId FROM " + String(SourceIdsTable)))
            for (; !kept->Eof(); kept->MoveNext())
                sourceIds.emplace(kept->Field("id")->IntegerValue(), text(kept, "oldId"));
        const bool keptByImport = !sourceIds.empty();

        for (; !rs->Eof(); rs->MoveNext()) {
            const int64_t id = rs->Field("id")->IntegerValue();
            names_.emplace(id, text(rs, "name"));
            auto kept = sourceIds.find(id);
            const String sourceId = keptByImport ? (kept == sourceIds.end() ? String() : kept->second)
                                                 : text(rs, "oldId");
            if (sourceId.empty()) continue;
            // The first animal with an id is its parent: the lowest tree id.
            auto [at, added] = firstWithId_.emplace(sourceId, id);
            if (!added && id < at->second) at->second = id;
        }
        rs->MoveFirst();
    }

    // Rewrites the current row's links (and their names) through `rs`; false
    // when the update was refused.
    bool row(const Ref<Database>& database, const Ref<RecordSet>& rs) {
        rs->Edit();
        bool changed = false;
        for (const Parent& parent : Parents) {
            const String sourceId = text(rs, parent.link);
            if (sourceId.empty()) continue;
            auto found = firstWithId_.find(sourceId);
            if (found == firstWithId_.end()) {
                rs->Field(parent.link)->SetStringValue("");
            } else {
                rs->Field(parent.link)->SetStringValue(Str(found->second));
                rs->Field(parent.name)->SetStringValue(names_[found->second]);
            }
            changed = true;
        }
        if (!changed) return true;
        rs->Update();
        return database->ErrorCode() == 0;
    }

private:
    std::unordered_map<String, int64_t> firstWithId_;  // source id text -> tree id
    std::unordered_map<int64_t, String> names_;        // tree id -> name
};

}  // namespace

bool convertIdRecordToName(const Ref<Database>& database, const String& type, Progress& progress) {
    const bool cav = TextEquals(type, "cav");
    Ref<RecordSet> rs = database->SQLSelect(cav ? "Select oldId,fatherId,motherId From tree"
                                                : "Select id,name,oldId,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rowTotal(database, type, rs);
    if (total < 0) return true;

    std::optional<NamesFromSourceIds> names;
    std::optional<LinksFromSourceIds> links;
    if (cav) names.emplace(database);
    else links.emplace(database, rs);

    int64_t i = 0;
    while (!rs->Eof()) {
        if (!(cav ? names->row(rs) : links->row(database, rs))) return false;

        progress.Show();
        progress.SetBarVisible(true);
        progress.SetMaximum(int(total));
        if (i % 20 == 0) {
            progress.SetMessage("Getting name from id  #" + Str(i));
            progress.SetValue(ProgressBarValue(i, total));
            progress.Refresh();
        }
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select * From " + table);
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    // The tree's names and ids do not change while the links are written, so
    // the id found for a name is kept for the next row of that name.
    std::unordered_map<String, String> idByName;
    int64_t k = 0;
    while (!rs->Eof()) {
        rs->Edit();
        const String name = text(rs, nameColumn);
        // A link that is already there was found by the parent's id, which
        // names the parent more surely than a name that several animals may
        // share: it stays.
        const bool linkedById = !text(rs, idColumn).empty();
        bool linked = false;
        if (!linkedById && !name.empty() && Lowercase(name) != "unknown") {
            const String key = rma(name);
            auto found = idByName.find(key);
            if (found == idByName.end()) {
                Ref<RecordSet> lookup = database->SQLSelect("Select id From tree WHERE name = " + literal(key));
                if (lookup) found = idByName.emplace(key, text(lookup, "id")).first;
            }
            if (found != idByName.end()) {
                if (Ref<DatabaseField> link = rs->Field(idColumn)) link->SetStringValue(found->second);
                rs->Update();
                if (database->ErrorCode() != 0) return false;
                linked = true;
            }
        }
        if (linked) {
            ++k;
            progress.SetBarVisible(true);
            progress.SetMaximum(int(total));
            if (k % 20 == 0) {
                progress.SetMessage("Linked " + Str(k) + " " + idColumn + " records for Table " +
                                             Uppercase(table));
                progress.SetValue(ProgressBarValue(k, total));
                progress.Refresh();
            }
        }
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

bool findSex(const Ref<Database>& database, const String& type, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select name,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rowTotal(database, type, rs);
    if (total < 0) return true;

    // In a CAV file the links hold the source file's ids, so a parent is the
    // row whose oldId is the link. In an RSD/CAX file the linking has made
    // every link the parent row's own id (or "").
    const String parentColumn = TextEquals(type, "cav") ? "oldId" : "id";

    int64_t i = 0;
    // False when the update or its commit was refused.
    auto mark = [&](const String& link, const char* sex) {
        if (link.empty()) return true;
        // Rows that already hold the sex are left alone: the result is the
        // same, and a commit without changes costs the disk nothing.
        if (!wrote(database, "UPDATE tree SET sex = " + literal(sex) + " WHERE " + parentColumn + " = " +
                                 literal(link) + " AND (sex IS NULL OR sex <> " + literal(sex) + ")") ||
            !committed(database))
            return false;
        progress.Show();
        progress.SetBarVisible(true);
        progress.SetMaximum(int(total));
        progress.SetValue(ProgressBarValue(i, total));
        progress.SetMessage("Found sex  of " + rpa(text(rs, "name")) + " - " + sex);
        progress.Refresh();
        return true;
    };

    while (!rs->Eof()) {
        if (!mark(text(rs, "fatherId"), "male") || !mark(text(rs, "motherId"), "female")) return false;
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return true;
}

}  // namespace appSystem
