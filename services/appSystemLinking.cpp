// Pedigree linking and sex derivation on any Database (the new RSD/CAX file
// of an import, or an ODBC connection to a CAV file). Only plain SQL text and
// the generic record sets are used, so every value put into a statement is
// written as a literal whose apostrophes are doubled, or, for a Number column
// of a CAV file, as an integer that holds nothing but digits: an id or a name
// can never end its literal and change what the statement does.
//
// An RSD/CAX tree is linked in memory (Pedigree): the CSV import links the
// rows it has read before it writes any, and the operations on a database
// read its tree once, run the same step and write back the rows it changed.
// Each step reports every row and yields after it, as a pass row by row
// would. A CAV file is read once as well, and the passes write the rows
// they change by their ids, with plain statements, which the Access driver
// behind a CAV connection understands.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <string_view>
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

// ---- A CAV file, read once and written by its ids ----

using Cell = Pedigree::Cell;

// The progress total of a CAV tree, whose record sets cannot count their
// rows: a separate select stepped through. -1 when that select fails.
int64_t cavRowTotal(const Ref<Database>& database) {
    Ref<RecordSet> ids = database->SQLSelect("SELECT id FROM tree");
    if (!ids) return -1;
    return getODBCrecords(ids);
}

// The rows of a CAV tree, read once, in the order of a plain select of the
// tree (the order in which the passes take them), each column as text ("" for
// NULL), with the rows that hold each oldId, link and id. The passes look the
// parents up here instead of selecting them from the file row by row, which
// without an index on those columns would read the whole tree each time. The
// keys are the texts as the file holds them, as the criteria that the passes
// stood for compare them (an unquoted number with a text column).
struct CavTree {
    std::vector<String> id, name, link[2], parentName[2];
    std::vector<Cell> sex;
    std::unordered_map<String, std::vector<size_t>> byOldId, byLink[2];
    std::unordered_map<String, size_t> byId;
    size_t size() const { return id.size(); }
};

bool readCavTree(const Ref<Database>& database, CavTree& tree) {
    Ref<RecordSet> rs = database->SQLSelect("SELECT id, name, oldId, fatherId, motherId, ps, pd, sex FROM tree");
    if (!rs) return false;
    auto textAt = [&](int column) {
        const Variant value = rs->ColumnValue(column);
        return value.IsNil() ? String() : value.StringValue();
    };
    for (size_t n = 0; !rs->Eof(); rs->MoveNext(), ++n) {
        tree.id.push_back(textAt(0));
        tree.byId.emplace(tree.id.back(), n);
        tree.name.push_back(textAt(1));
        if (const String oldId = textAt(2); !oldId.empty()) tree.byOldId[oldId].push_back(n);
        for (int p = 0; p < 2; ++p) {
            tree.link[p].push_back(textAt(3 + p));
            if (!tree.link[p].back().empty()) tree.byLink[p][tree.link[p].back()].push_back(n);
            tree.parentName[p].push_back(textAt(5 + p));
        }
        const Variant sex = rs->ColumnValue(7);
        tree.sex.push_back(sex.IsNil() ? Cell() : Cell(sex.StringValue()));
    }
    return true;
}

// The text that a text column is compared with when a criterion gives it
// the unquoted integer `number` (as numberOf makes it): the integer's own
// decimal text, without leading zeros ("007" compares as "7", "-0" as "0").
// "" for an integer beyond 64 bits, which the database takes as a real
// number in exponent form, which no id that the import writes matches.
String comparedText(const String& number) {
    const bool negative = !number.empty() && number[0] == '-';
    const size_t first = number.find_first_not_of('0', negative ? 1 : 0);
    if (first == String::npos) return "0";
    const String digits = number.substr(first);
    static const String Largest = "9223372036854775807";
    if (digits.size() > Largest.size() || (digits.size() == Largest.size() && digits > Largest)) return String();
    return negative ? "-" + digits : digits;
}

// Sets `column` to the literal `value` in the rows `rows` of the tree, by
// their ids, a few hundred to a statement; false when an update was refused.
bool setRows(const Ref<Database>& database, const CavTree& tree, const std::vector<size_t>& rows,
             const char* column, const String& value) {
    constexpr size_t PerStatement = 200;
    for (size_t from = 0; from < rows.size(); from += PerStatement) {
        String ids;
        for (size_t k = from; k < std::min(rows.size(), from + PerStatement); ++k)
            ids += (ids.empty() ? "" : ",") + tree.id[rows[k]];
        if (!wrote(database, "UPDATE tree SET " + String(column) + " = " + literal(value) + " WHERE id IN (" + ids +
                                 ")"))
            return false;
    }
    return true;
}

// Each CAV row keeps the source file's ids as its links: the name of the
// first row whose oldId is a parent id is written as that parent's name into
// every row with that parent id, when the pass first meets that id. A parent
// id that no row has, or that is no integer (which no Number column holds),
// leaves the name that the file gave.
bool cavNamesFromSourceIds(const Ref<Database>& database, Progress& progress) {
    CavTree tree;
    if (!readCavTree(database, tree)) return true;
    const int64_t total = cavRowTotal(database);
    if (total < 0) return true;
    std::unordered_set<String> done[std::size(Parents)];  // the parent ids done, by parent
    std::vector<size_t> changed;
    for (size_t i = 0; i < tree.size(); ++i) {
        for (size_t p = 0; p < std::size(Parents); ++p) {
            const String& id = tree.link[p][i];
            const String number = numberOf(id);
            if (number.empty() || !done[p].insert(id).second) continue;
            const String compared = comparedText(number);
            auto parent = tree.byOldId.find(compared);
            if (compared.empty() || parent == tree.byOldId.end()) continue;
            const String& name = tree.name[parent->second.front()];
            // Every row whose link compares equal, the rows that already hold
            // the name aside, which would not change.
            changed.clear();
            for (size_t child : tree.byLink[p][compared])
                if (tree.parentName[p][child] != name) changed.push_back(child);
            if (!setRows(database, tree, changed, Parents[p].name, name)) return false;
            for (size_t child : changed) tree.parentName[p][child] = name;
        }
        reportIdRow(progress, int64_t(i), total);
        YieldToEventLoop();
    }
    return committed(database);
}

// Whether a parent's name column names a parent: neither "" nor "unknown"
// in any case, as for the linking by name of an RSD/CAX file.
bool namesAParent(const String& name) { return !name.empty() && Lowercase(name) != "unknown"; }

// The tree id of the first row (lowest id) called `name`, as the import
// stored both; "" when no row is. The database compares the names, as it
// compares text.
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
    CavTree tree;
    if (!readCavTree(database, tree)) return true;
    const int64_t total = cavRowTotal(database);
    if (total < 0) return true;

    // The first row of each parent name looked up: the sex marks change no
    // name, so siblings need not look their parent up again.
    std::unordered_map<String, String> firstIds;
    auto firstIdOf = [&](const String& name) -> const String& {
        auto found = firstIds.find(name);
        if (found == firstIds.end()) found = firstIds.emplace(name, firstCalled(database, name)).first;
        return found->second;
    };
    // The marks are made in memory and written a batch at a time: each
    // batch sets the rows whose sex now differs from what the file holds, in
    // one update per sex, so that a row marked twice in a batch is written
    // once, with its last mark. Rows that already hold the sex are left
    // alone: the result is the same, and the file changes no more than it
    // must.
    constexpr size_t Batch = 200;
    std::vector<Cell> stored = tree.sex;  // what the file holds
    std::vector<size_t> pending;          // rows marked since the last batch
    std::vector<bool> queued(tree.size());
    auto writeBatch = [&] {
        for (const Parent& parent : Parents) {
            std::vector<size_t> rows;
            for (size_t row : pending)
                if (tree.sex[row] == String(parent.sex) && stored[row] != tree.sex[row]) rows.push_back(row);
            if (!setRows(database, tree, rows, "sex", parent.sex)) return false;
            for (size_t row : rows) stored[row] = tree.sex[row];
        }
        for (size_t row : pending) queued[row] = false;
        pending.clear();
        return true;
    };
    std::vector<size_t> one(1);
    // Marks `rows` with `sex`; false when a batch was refused.
    auto mark = [&](const std::vector<size_t>& rows, const char* sex) {
        for (size_t row : rows) {
            if (tree.sex[row] == String(sex)) continue;
            tree.sex[row] = String(sex);
            if (!queued[row]) pending.push_back(row);
            queued[row] = true;
        }
        return pending.size() < Batch || writeBatch();
    };
    // False when a mark was refused.
    auto markParent = [&](size_t i, size_t p) {
        const Parent& parent = Parents[p];
        const String& link = tree.link[p][i];
        const std::vector<size_t>* rows = nullptr;
        if (!link.empty()) {
            if (const String number = numberOf(link); !number.empty()) {
                auto found = tree.byOldId.find(comparedText(number));
                if (found != tree.byOldId.end()) rows = &found->second;
            }
        } else if (const String& name = tree.parentName[p][i]; namesAParent(name)) {
            if (const String& id = firstIdOf(name); !id.empty()) {
                auto found = tree.byId.find(id);
                if (found != tree.byId.end()) {
                    one[0] = found->second;
                    rows = &one;
                }
            }
        } else {
            return true;
        }
        if (rows && !mark(*rows, parent.sex)) return false;
        reportSex(progress, int64_t(i), total, tree.name[i], parent.sex);
        return true;
    };
    for (size_t i = 0; i < tree.size(); ++i) {
        for (size_t p = 0; p < std::size(Parents); ++p)
            if (!markParent(i, p)) return false;
        YieldToEventLoop();
    }
    // One commit for all the marks: on a connection with autocommit off a
    // commit per mark would make the disk sync the file for each.
    return writeBatch() && committed(database);
}

// ---- An RSD/CAX file, in memory ----

bool filled(const Cell& cell) { return cell && !cell->empty(); }
const String& textOf(const Cell& cell) {
    static const String none;
    return cell ? *cell : none;
}

// The value of a column of the current row as text; nullopt for NULL.
Cell cellOf(const Ref<RecordSet>& rs, int column) {
    const Variant value = rs->ColumnValue(column);
    if (value.IsNil()) return std::nullopt;
    return value.StringValue();
}

// The tree id that a link holds as text ("42"), -1 for any other text.
int64_t linkedId(const String& link) {
    if (link.empty() || link.size() > 18) return -1;
    int64_t id = 0;
    for (char c : link) {
        if (c < '0' || c > '9') return -1;
        id = id * 10 + (c - '0');
    }
    return id;
}

// The tree id of the first row (lowest id) of each name, as the rows hold it.
std::unordered_map<String, int64_t> firstByName(const std::vector<int64_t>& ids, const std::vector<Cell>& names) {
    std::unordered_map<String, int64_t> first;
    first.reserve(ids.size());
    for (size_t n = 0; n < ids.size(); ++n)
        if (names[n]) {
            auto [at, added] = first.emplace(*names[n], ids[n]);
            if (!added && ids[n] < at->second) at->second = ids[n];
        }
    return first;
}

// Step 2 on the name column and id column of a table's rows: an empty link
// whose name names a parent becomes the tree id of the first animal of that
// name among the animals (tree ids and names), apostrophes taken as
// backticks, or "" when none has it. Reports each link made, the message
// every 20th, and yields after every row.
void linkNames(const std::vector<Cell>& names, std::vector<Cell>& links, const std::vector<int64_t>& animalIds,
               const std::vector<Cell>& animalNames, const String& table, const String& idColumn,
               Progress& progress) {
    const int64_t total = int64_t(names.size());
    int64_t k = 0;
    // Made at the first link that needs it: where every link was found by
    // id, none does.
    std::optional<std::unordered_map<String, int64_t>> firstCalled;
    for (size_t n = 0; n < names.size(); ++n) {
        if (!filled(links[n]) && names[n] && namesAParent(*names[n])) {
            if (!firstCalled) firstCalled = firstByName(animalIds, animalNames);
            auto found = firstCalled->find(rma(*names[n]));
            links[n] = found == firstCalled->end() ? String() : Str(found->second);
            ++k;
            progress.SetBarVisible(true);
            progress.SetMaximum(int(total));
            if (k % 20 == 0) {
                progress.SetMessage("Linked " + Str(k) + " " + idColumn + " records for Table " + Uppercase(table));
                progress.SetValue(ProgressBarValue(k, total));
                progress.Refresh();
            }
        }
        YieldToEventLoop();
    }
}

// The rows of a database's tree as the steps take them, in tree order,
// with the source ids that the import kept (the stored oldIds where it kept
// none). False when the tree cannot be read.
bool readTree(const Ref<Database>& database, Pedigree& tree) {
    Ref<RecordSet> rs = database->SQLSelect("SELECT id, name, oldId, fatherId, motherId, ps, pd, sex FROM tree ORDER BY id");
    if (!rs) return false;
    std::unordered_map<int64_t, String> kept;
    if (Ref<RecordSet> ids = database->SQLSelect("SELECT id, oldId FROM " + String(SourceIdsTable)))
        for (; !ids->Eof(); ids->MoveNext()) kept.emplace(ids->Field("id")->IntegerValue(), text(ids, "oldId"));
    for (; !rs->Eof(); rs->MoveNext()) {
        const int64_t id = rs->ColumnValue(0).IntegerValue();
        tree.id.push_back(id);
        tree.name.push_back(cellOf(rs, 1));
        if (kept.empty()) {
            tree.sourceId.push_back(textOf(cellOf(rs, 2)));
        } else {
            auto found = kept.find(id);
            tree.sourceId.push_back(found == kept.end() ? String() : found->second);
        }
        for (int p = 0; p < 2; ++p) {
            tree.link[p].push_back(cellOf(rs, 3 + p));
            tree.parentName[p].push_back(cellOf(rs, 5 + p));
        }
        tree.sex.push_back(cellOf(rs, 7));
    }
    return true;
}

// Writes the links, parents' names and sex that differ from `before` back
// into the database's tree, one update per changed row; false at the first
// one refused.
bool writeChanges(const Ref<Database>& database, const Pedigree& before, const Pedigree& after) {
    auto value = [](const Cell& cell) { return cell ? literal(*cell) : String("NULL"); };
    for (size_t n = 0; n < after.size(); ++n) {
        String sets;
        auto set = [&](const char* column, const Cell& was, const Cell& is) {
            if (was == is) return;
            if (!sets.empty()) sets += ", ";
            sets += String(column) + " = " + value(is);
        };
        for (int p = 0; p < 2; ++p) {
            set(Parents[p].link, before.link[p][n], after.link[p][n]);
            set(Parents[p].name, before.parentName[p][n], after.parentName[p][n]);
        }
        set("sex", before.sex[n], after.sex[n]);
        if (!sets.empty() && !wrote(database, "UPDATE tree SET " + sets + " WHERE id = " + Str(after.id[n])))
            return false;
    }
    return true;
}

// Runs a step on a database's tree in memory and writes what it changed,
// then commits.
template <class Step>
bool onDatabase(const Ref<Database>& database, Step step) {
    Pedigree tree;
    if (!readTree(database, tree)) return true;
    const Pedigree before = tree;
    step(tree);
    return writeChanges(database, before, tree) && committed(database);
}

}  // namespace

void Pedigree::reserve(size_t rows) {
    id.reserve(rows);
    sourceId.reserve(rows);
    name.reserve(rows);
    sex.reserve(rows);
    for (int p = 0; p < 2; ++p) {
        link[p].reserve(rows);
        parentName[p].reserve(rows);
    }
}

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
    if (TextEquals(type, "cav")) return cavNamesFromSourceIds(database, progress);
    return onDatabase(database, [&](Pedigree& tree) { linkByIds(tree, progress); });
}

bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress) {
    Ref<RecordSet> rows = database->SQLSelect("SELECT id, " + nameColumn + ", " + idColumn + " FROM " + table +
                                              " ORDER BY id");
    if (!rows) return true;
    Ref<RecordSet> animals = database->SQLSelect("SELECT id, name FROM tree ORDER BY id");
    if (!animals) return true;
    std::vector<int64_t> ids, treeIds;
    std::vector<Cell> names, links, treeNames;
    for (; !rows->Eof(); rows->MoveNext()) {
        ids.push_back(rows->ColumnValue(0).IntegerValue());
        names.push_back(cellOf(rows, 1));
        links.push_back(cellOf(rows, 2));
    }
    for (; !animals->Eof(); animals->MoveNext()) {
        treeIds.push_back(animals->ColumnValue(0).IntegerValue());
        treeNames.push_back(cellOf(animals, 1));
    }
    const std::vector<Cell> before = links;
    linkNames(names, links, treeIds, treeNames, table, idColumn, progress);
    for (size_t n = 0; n < links.size(); ++n)
        if (links[n] != before[n] && !wrote(database, "UPDATE " + table + " SET " + idColumn + " = " +
                                                          literal(*links[n]) + " WHERE id = " + Str(ids[n])))
            return false;
    return committed(database);
}

bool findSex(const Ref<Database>& database, const String& type, Progress& progress) {
    if (TextEquals(type, "cav")) return cavSex(database, progress);
    return onDatabase(database, [&](Pedigree& tree) { deriveSex(tree, progress); });
}

namespace {

// The rows of the source ids of a tree, found by id: the row of an id is
// the one with the lowest tree id among those with that id. An open-
// addressing table of row numbers, each slot a row (plus one; 0 is free)
// whose source id the table compares in place: no id is copied, and a
// look-up touches one slot or a few next to it.
class RowsBySourceId {
public:
    explicit RowsBySourceId(const Pedigree& tree) : tree_(tree) {
        size_t capacity = 16;
        while (capacity < 2 * tree.size()) capacity *= 2;
        slots_.assign(capacity, 0);
        for (size_t n = 0; n < tree.size(); ++n) {
            const String& id = tree.sourceId[n];
            if (id.empty()) continue;
            uint32_t& slot = slots_[place(id)];
            if (slot == 0) slot = uint32_t(n + 1);
            else if (tree.id[n] < tree.id[slot - 1]) slot = uint32_t(n + 1);
        }
    }
    // The row of the source id, or npos when no row has it.
    size_t find(std::string_view id) const {
        const uint32_t slot = slots_[place(id)];
        return slot ? size_t(slot - 1) : npos;
    }
    static constexpr size_t npos = size_t(-1);

private:
    // The slot that holds the id's row, or the free slot where it goes.
    size_t place(std::string_view id) const {
        const size_t mask = slots_.size() - 1;
        for (size_t i = std::hash<std::string_view>()(id) & mask;; i = (i + 1) & mask)
            if (slots_[i] == 0 || tree_.sourceId[slots_[i] - 1] == id) return i;
    }

    const Pedigree& tree_;
    std::vector<uint32_t> slots_;
};

}  // namespace

void linkByIds(Pedigree& tree, Progress& progress) {
    // The source ids do not change meanwhile: no step changes them.
    const RowsBySourceId parents(tree);
    // The names as they were before any row changed (no step changes one).
    const int64_t total = int64_t(tree.size());
    for (size_t n = 0; n < tree.size(); ++n) {
        for (int p = 0; p < 2; ++p) {
            Cell& link = tree.link[p][n];
            if (!filled(link)) continue;
            const size_t found = parents.find(*link);
            if (found == RowsBySourceId::npos) {
                link = String();
            } else {
                link = Str(tree.id[found]);
                tree.parentName[p][n] = textOf(tree.name[found]);
            }
        }
        reportIdRow(progress, int64_t(n), total);
        YieldToEventLoop();
    }
}

void linkByNames(Pedigree& tree, PedigreeParent parent, Progress& progress) {
    linkNames(tree.parentName[parent], tree.link[parent], tree.id, tree.name, "tree",
              Parents[parent].link, progress);
}

void deriveSex(Pedigree& tree, Progress& progress) {
    // The row of each tree id: by its place where the ids run on from the
    // first without a gap (as a new file numbers its rows), else by a map.
    const size_t rows = tree.size();
    bool dense = true;
    for (size_t n = 0; n < rows && dense; ++n) dense = tree.id[n] == tree.id[0] + int64_t(n);
    std::unordered_map<int64_t, size_t> rowOf;
    if (!dense) {
        rowOf.reserve(rows);
        for (size_t n = 0; n < rows; ++n) rowOf.emplace(tree.id[n], n);
    }
    auto rowOfId = [&](int64_t id) -> std::optional<size_t> {
        if (dense) {
            if (rows == 0 || id < tree.id[0] || id - tree.id[0] >= int64_t(rows)) return std::nullopt;
            return size_t(id - tree.id[0]);
        }
        auto found = rowOf.find(id);
        if (found == rowOf.end()) return std::nullopt;
        return found->second;
    };
    const int64_t total = int64_t(tree.size());
    for (size_t n = 0; n < tree.size(); ++n) {
        for (int p = 0; p < 2; ++p) {
            const Cell& link = tree.link[p][n];
            if (!filled(link)) continue;
            // The last mark of a parent stays: rows run in tree order, the
            // father before the mother.
            if (const auto row = rowOfId(linkedId(*link))) tree.sex[*row] = String(Parents[p].sex);
            reportSex(progress, int64_t(n), total, textOf(tree.name[n]), Parents[p].sex);
        }
        YieldToEventLoop();
    }
}

}  // namespace appSystem
