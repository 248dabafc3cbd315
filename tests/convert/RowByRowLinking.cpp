#include "tests/convert/RowByRowLinking.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "framework/EventLoop.h"
#include "services/appSystem.h"

namespace rowByRow {

namespace {

String literal(const String& text) { return SQLQuoted(text, '\''); }

String text(const Ref<RecordSet>& rs, const String& column) {
    Ref<DatabaseField> field = rs->Field(column);
    return field ? field->StringValue() : String();
}

bool committed(const Ref<Database>& database) {
    database->Commit();
    return database->ErrorCode() == 0;
}

struct Parent {
    const char* link;
    const char* name;
};
const Parent Parents[] = {{"fatherId", "ps"}, {"motherId", "pd"}};

// The reports of the passes: parent names from ids on every row, the
// message every 20th; the sex on every parent marked.
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

void reportSex(Progress& progress, int64_t i, int64_t total, const String& name, const char* sex) {
    progress.Show();
    progress.SetBarVisible(true);
    progress.SetMaximum(int(total));
    progress.SetValue(ProgressBarValue(i, total));
    progress.SetMessage("Found sex  of " + appSystem::rpa(name) + " - " + sex);
    progress.Refresh();
}

}  // namespace

bool convertIdRecordToName(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select id,name,oldId,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    // The source ids kept by the import, by tree id; else the stored oldIds.
    std::unordered_map<int64_t, String> sourceIds;
    if (Ref<RecordSet> kept = database->SQLSelect("SELECT id, oldId FROM sourceIds"))
        for (; !kept->Eof(); kept->MoveNext())
            sourceIds.emplace(kept->Field("id")->IntegerValue(), text(kept, "oldId"));
    const bool keptByImport = !sourceIds.empty();
    std::unordered_map<String, int64_t> firstWithId;
    std::unordered_map<int64_t, String> names;
    for (; !rs->Eof(); rs->MoveNext()) {
        const int64_t id = rs->Field("id")->IntegerValue();
        names.emplace(id, text(rs, "name"));
        auto kept = sourceIds.find(id);
        const String sourceId =
            keptByImport ? (kept == sourceIds.end() ? String() : kept->second) : text(rs, "oldId");
        if (sourceId.empty()) continue;
        auto [at, added] = firstWithId.emplace(sourceId, id);
        if (!added && id < at->second) at->second = id;
    }
    rs->MoveFirst();

    int64_t i = 0;
    while (!rs->Eof()) {
        rs->Edit();
        bool changed = false;
        for (const Parent& parent : Parents) {
            const String sourceId = text(rs, parent.link);
            if (sourceId.empty()) continue;
            auto found = firstWithId.find(sourceId);
            if (found == firstWithId.end()) {
                rs->Field(parent.link)->SetStringValue("");
            } else {
                rs->Field(parent.link)->SetStringValue(Str(found->second));
                rs->Field(parent.name)->SetStringValue(names[found->second]);
            }
            changed = true;
        }
        if (changed) {
            rs->Update();
            if (database->ErrorCode() != 0) return false;
        }

        reportIdRow(progress, i, total);
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

    std::unordered_map<String, String> idByName;
    int64_t k = 0;
    while (!rs->Eof()) {
        rs->Edit();
        const String name = text(rs, nameColumn);
        const bool linkedById = !text(rs, idColumn).empty();
        if (!linkedById && !name.empty() && Lowercase(name) != "unknown") {
            const String key = appSystem::rma(name);
            auto found = idByName.find(key);
            if (found == idByName.end()) {
                Ref<RecordSet> lookup = database->SQLSelect("Select id From tree WHERE name = " + literal(key));
                if (lookup) found = idByName.emplace(key, text(lookup, "id")).first;
            }
            if (found != idByName.end()) {
                if (Ref<DatabaseField> link = rs->Field(idColumn)) link->SetStringValue(found->second);
                rs->Update();
                if (database->ErrorCode() != 0) return false;
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
        }
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

bool findSex(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select name,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    int64_t i = 0;
    auto mark = [&](const String& link, const char* sex) {
        if (link.empty()) return true;
        database->SQLExecute("UPDATE tree SET sex = " + literal(sex) + " WHERE id = " + literal(link));
        if (database->ErrorCode() != 0 || !committed(database)) return false;
        reportSex(progress, i, total, text(rs, "name"), sex);
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


// ---- A CAV file, row by row ----

namespace {

// A source id as an unquoted integer for a criterion on a Number column;
// "" for any other text.
String numberOf(const String& id) {
    const size_t digits = id.rfind('-', 0) == 0 ? 1 : 0;
    const bool integer = id.size() > digits && std::all_of(id.begin() + digits, id.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    return integer ? id : String();
}

bool wrote(const Ref<Database>& database, const String& sql) {
    database->SQLExecute(sql);
    return database->ErrorCode() == 0;
}

struct CavParent {
    const char* link;
    const char* name;
    const char* sex;
};
const CavParent CavParents[] = {{"fatherId", "ps", "male"}, {"motherId", "pd", "female"}};

int64_t cavRowTotal(const Ref<Database>& database) {
    Ref<RecordSet> ids = database->SQLSelect("SELECT id FROM tree");
    if (!ids) return -1;
    return appSystem::getODBCrecords(ids);
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
        for (size_t p = 0; p < std::size(CavParents); ++p)
            if (!fill(text(rs, CavParents[p].link), CavParents[p], done_[p])) return false;
        return true;
    }

private:
    // The update for a parent id sets the name column of every row with that
    // id, and the name it looks up does not change meanwhile: running it again
    // for a later sibling would change nothing, so each id is done once.
    bool fill(const String& id, const CavParent& parent, std::unordered_set<String>& done) {
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
    std::unordered_set<String> done_[std::size(CavParents)];  // the parent ids done, by parent
};

// Whether a parent's name column names a parent: neither "" nor "unknown"
// in any case, as for the linking by name of an RSD/CAX file.
bool namesAParent(const String& name) { return !name.empty() && Lowercase(name) != "unknown"; }

// The tree id of the first row (lowest id) called `name`, as the import
// stored both; "" when no row is.
String firstCalled(const Ref<Database>& database, const String& name) {
    Ref<RecordSet> rows = database->SQLSelect("SELECT id FROM tree WHERE name = " + literal(name) + " ORDER BY id");
    return rows && !rows->Eof() ? numberOf(text(rows, "id")) : String();
}

}  // namespace

bool cavConvertIdRecordToName(const Ref<Database>& database, Progress& progress) {
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

// In a CAV file the links hold the source file's ids: a parent is the row
// whose oldId is the link. A link that is no integer names no row: it is
// reported as any other, and nothing is written for it. Where a link is
// empty, the parent's name (ps, pd) names the first row of that name, so
// that a file which gave its parents by name alone still yields their sex.
bool cavFindSex(const Ref<Database>& database, Progress& progress) {
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
    auto markParent = [&](const CavParent& parent) {
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
        for (const CavParent& parent : CavParents)
            if (!markParent(parent)) return false;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return true;
}

}  // namespace rowByRow
