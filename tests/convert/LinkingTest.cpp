#include <algorithm>
#include <filesystem>
#include <optional>

#include "framework/FolderItem.h"
#include "framework/SqlFileDatabase.h"
#include "tests/convert/ProgressRecorder.h"
#include "tests/convert/RowByRowLinking.h"
#include "tests/services/ServicesFixture.h"
#include "tests/support/SqliteCli.h"

using SqliteCli::Rows;

namespace {

const char* const TreeSql =
    "CREATE TABLE tree(id integer NOT NULL PRIMARY KEY, fatherId Varchar, motherId Varchar, name Varchar, "
    "sex Varchar, ps Varchar, pd Varchar, oldId Integer);";

}  // namespace

class Linking : public ServicesTest {
protected:
    // A tree made by the independent tool from `inserts`, opened as the
    // import opens its own file.
    Ref<SqlFileDatabase> tree(const std::string& inserts) {
        path = dir.file("herd.cax");
        SqliteCli::query(path, TreeSql + inserts);
        Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
        db->DatabaseFile = GetFolderItem(path);
        EXPECT_TRUE(db->Connect());
        return db;
    }
    Rows rows(const std::string& columns) {
        return SqliteCli::query(path, "SELECT " + columns + " FROM tree ORDER BY id");
    }
    // Inserts of `n` animals named A1 ... An with oldIds 1 ... n.
    static std::string animals(int n, const std::string& fatherId = "") {
        std::string sql;
        for (int i = 1; i <= n; ++i)
            sql += "INSERT INTO tree(name, oldId, fatherId) VALUES ('A" + std::to_string(i) + "', " +
                   std::to_string(i) + ", '" + fatherId + "');";
        return sql;
    }

    ProgressRecorder progress;
    std::string path;
};

TEST_F(Linking, ParentNamesComeFromTheRowsWhoseSourceIdIsTheLink) {
    // A CAV tree keeps the source ids as its links; an RSD/CAX tree gets the
    // parents' own row ids, and a link that names no animal is emptied. In
    // both, a name that the file gave stays where no animal has the id.
    const std::string n = SqliteCli::Null;
    const struct {
        const char* type;
        Rows links;  // name, fatherId, motherId, ps, pd
    } cases[] = {
        {"cav",
         {{"Sire", n, n, n, n},
          {"Dam", n, n, n, n},
          {"Kid", "10", "11", "Sire", "Dam"},
          {"Lost", "10", "99", "Sire", "named"},
          {"Alone", "", "", "kept", n}}},
        {"rsd",
         {{"Sire", n, n, n, n},
          {"Dam", n, n, n, n},
          {"Kid", "1", "2", "Sire", "Dam"},
          {"Lost", "1", "", "Sire", "named"},
          {"Alone", "", "", "kept", n}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        progress.clear();
        std::remove(path.c_str());
        auto db = tree(
            "INSERT INTO tree(name, oldId) VALUES ('Sire', 10), ('Dam', 11);"
            "INSERT INTO tree(name, fatherId, motherId, ps, pd) VALUES ('Kid', '10', '11', 'old', ''), "
            "('Lost', '10', '99', '', 'named');"
            "INSERT INTO tree(name, fatherId, motherId, ps) VALUES ('Alone', '', '', 'kept');");
        appSystem::convertIdRecordToName(db, c.type, progress);
        EXPECT_EQ(rows("name, fatherId, motherId, ps, pd"), c.links);
        ASSERT_FALSE(progress.reports().empty());
        EXPECT_EQ(progress.reports()[0],
                  (ShownProgress{"Getting name from id  #0", true, std::string(c.type) == "cav" ? 6 : 5, 0}));
    }
}

TEST_F(Linking, ValuesWithApostrophesLinkTheirOwnRowsAndNoOthers) {
    auto db = tree(
        "INSERT INTO tree(name, oldId, sex) VALUES ('O''Brien', 5, 'undefined'), ('Other', 6, 'undefined');"
        "INSERT INTO tree(name, fatherId, motherId, ps, pd) VALUES "
        "('Kid', '5', '1'' OR ''1''=''1', '', 'keep'), ('Bystander', '6', '', 'Other', 'keep');");
    appSystem::convertIdRecordToName(db, "cav", progress);
    EXPECT_EQ(rows("name, ps, pd"), (Rows{{"O'Brien", "<null>", "<null>"},
                                          {"Other", "<null>", "<null>"},
                                          {"Kid", "O'Brien", "keep"},
                                          {"Bystander", "Other", "keep"}}));

    appSystem::findSex(db, "cav", progress);
    EXPECT_EQ(rows("sex"), (Rows{{"male"}, {"male"}, {"<null>"}, {"<null>"}}))
        << "the mother link \"1' OR '1'='1\" names no row";

    SqliteCli::query(path,
                     "UPDATE tree SET fatherId = NULL; UPDATE tree SET ps = 'x'' OR ''1''=''1' WHERE name = 'Kid'");
    appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId", progress);
    EXPECT_EQ(rows("name, fatherId"), (Rows{{"O'Brien", "<null>"}, {"Other", "<null>"}, {"Kid", ""}, {"Bystander", "2"}}));
}

TEST_F(Linking, NamesBecomeTheIdsOfTheFirstRowsWithThoseNames) {
    auto db = tree(
        "INSERT INTO tree(name) VALUES ('Max'), ('Ma`x'), ('Max');"
        "INSERT INTO tree(name, ps, fatherId) VALUES ('a', 'Max', ''), ('b', 'Ma''x', NULL), ('c', 'Nobody', ''), "
        "('d', '', NULL), ('e', 'unknown', NULL), ('f', 'UNKNOWN', NULL), ('g', 'Unknown', NULL), "
        "('h', 'Max', '3');");
    appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId", progress);
    EXPECT_EQ(rows("name, fatherId"), (Rows{{"Max", "<null>"},
                                            {"Ma`x", "<null>"},
                                            {"Max", "<null>"},
                                            {"a", "1"},
                                            {"b", "2"},
                                            {"c", ""},
                                            {"d", "<null>"},
                                            {"e", "<null>"},
                                            {"f", "<null>"},
                                            {"g", "<null>"},
                                            {"h", "3"}}))
        << "a name is looked up with backticks; empty and unknown names are skipped; a link found by id stays";
}

TEST_F(Linking, ProgressIsShownEveryTwentiethRowOrLink) {
    struct Case {
        int animals;
        bool byName;                    // convertNameRecordToNewId, else convertIdRecordToName
        std::vector<String> messages;
    };
    const Case cases[] = {
        {45, false, {"Getting name from id  #0", "Getting name from id  #20", "Getting name from id  #40"}},
        {19, true, {}},
        {40, true, {"Linked 20 fatherId records for Table TREE", "Linked 40 fatherId records for Table TREE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.animals) + (c.byName ? " by name" : " by id"));
        progress.clear();
        std::string sql = animals(c.animals, c.byName ? "" : "1");
        sql += "UPDATE tree SET ps = 'A1';";
        auto db = tree(sql);
        if (c.byName) appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId", progress);
        else appSystem::convertIdRecordToName(db, "rsd", progress);
        EXPECT_EQ(progress.messages(), c.messages);
        for (const auto& report : progress.reports()) EXPECT_EQ(report.maximum, c.animals);
        std::remove(path.c_str());
    }
}

TEST_F(Linking, InACavFileParentsAreTheRowsWhoseSourceIdIsTheLink) {
    auto db = tree(
        "INSERT INTO tree(name, oldId) VALUES ('Sire', 7), ('Dam', 8);"
        "INSERT INTO tree(name, fatherId, motherId) VALUES ('Kid1', '7', ''), ('Kid2', '7', ''), ('Kid3', '', '8'), "
        "('Kid4', '', '');");
    appSystem::findSex(db, "CAV", progress);
    EXPECT_EQ(rows("sex"), (Rows{{"male"}, {"female"}, {"<null>"}, {"<null>"}, {"<null>"}, {"<null>"}}));
    EXPECT_EQ(progress.messages(),
              (std::vector<String>{"Found sex  of Kid1 - male", "Found sex  of Kid2 - male", "Found sex  of Kid3 - female"}));
    for (const auto& report : progress.reports()) EXPECT_EQ(report.maximum, 7) << "rows counted, plus one";
}

TEST_F(Linking, InAnRsdFileTheLinksNameTheParentRowsByTheirIds) {
    // The links as the import leaves them: the parents' row ids (3 and 4),
    // never source ids, whatever the names.
    auto db = tree(
        "INSERT INTO tree(name, oldId) VALUES ('Other', 3), ('Else', 4), ('Sire', 100), ('Dam', 200), ('Nameless', 300);"
        "INSERT INTO tree(name, fatherId, motherId, ps, pd) VALUES ('Kid', '3', '4', 'Sire', 'Dam'), "
        "('Kid2', '100', '300', 'unknown', '');");
    appSystem::findSex(db, "rsd", progress);
    EXPECT_EQ(rows("name, sex"), (Rows{{"Other", "<null>"},
                                       {"Else", "<null>"},
                                       {"Sire", "male"},
                                       {"Dam", "female"},
                                       {"Nameless", "<null>"},
                                       {"Kid", "<null>"},
                                       {"Kid2", "<null>"}}));
}

TEST_F(Linking, AnimalNamedAsFatherAndAsMotherEndsWithTheLastMark) {
    auto db = tree(
        "INSERT INTO tree(name, oldId) VALUES ('Odd', 1);"
        "INSERT INTO tree(name, fatherId, motherId) VALUES ('k1', '1', ''), ('k2', '', '1'), ('k3', '1', '');");
    appSystem::findSex(db, "cav", progress);
    EXPECT_EQ(rows("sex"), (Rows{{"male"}, {"<null>"}, {"<null>"}, {"<null>"}}));
}

TEST_F(Linking, AnEmptyTreeChangesNothingAndShowsNoProgress) {
    auto db = tree("");
    appSystem::findSex(db, "rsd", progress);
    appSystem::convertIdRecordToName(db, "rsd", progress);
    appSystem::convertNameRecordToNewId(db, "tree", "pd", "motherId", progress);
    EXPECT_FALSE(progress.isOpen());
    EXPECT_TRUE(progress.reports().empty());
}

TEST_F(Linking, WithoutATreeTableNothingHappens) {
    path = dir.file("empty.cax");
    SqliteCli::query(path, "CREATE TABLE settings(id integer PRIMARY KEY)");
    Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(path);
    ASSERT_TRUE(db->Connect());
    for (const char* type : {"rsd", "cav"}) {
        appSystem::findSex(db, type, progress);
        appSystem::convertIdRecordToName(db, type, progress);
    }
    appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId", progress);
    EXPECT_FALSE(progress.isOpen());
}

TEST_F(Linking, CountingRowsGivesOneMoreAndRewinds) {
    auto db = tree(animals(3));
    Ref<RecordSet> rs = db->SQLSelect("SELECT name FROM tree ORDER BY id");
    rs->MoveNext();
    EXPECT_EQ(appSystem::getODBCrecords(rs), 4);
    EXPECT_EQ(rs->Field("name")->StringValue(), "A1");
    EXPECT_EQ(appSystem::getODBCrecords(db->SQLSelect("SELECT name FROM tree WHERE 0")), 1);
}

namespace {

// Every call that a progress display receives, and every yield, in order.
class ProgressCalls : public Progress {
public:
    std::vector<std::string> calls;

    void Show() override { calls.push_back("Show"); }
    void SetBarVisible(bool visible) override { calls.push_back("SetBarVisible " + std::to_string(visible)); }
    void SetMaximum(int maximum) override { calls.push_back("SetMaximum " + std::to_string(maximum)); }
    void SetValue(int value) override { calls.push_back("SetValue " + std::to_string(value)); }
    void SetMessage(const String& text) override { calls.push_back("SetMessage " + text); }
    void Refresh() override { calls.push_back("Refresh"); }
    void Close() override { calls.push_back("Close"); }
};

// The SQL literal of a text, or NULL.
std::string sqlValue(const std::optional<std::string>& text) {
    if (!text) return "NULL";
    std::string quoted = "'";
    for (char c : *text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// A herd without a sex column as the CSV import stores it before the
// linking (names with backticks, a parent id of "1" not written, every sex
// "undefined"), with the source ids as the file wrote them. Its parents are
// picked over the whole herd, before and after their children, so that
// every case meets every other: ids written two ways ("007" and "7"), ids
// of 20 digits, ids that two animals share and ids that no animal has,
// animals without an id, names that several animals share (also in another
// case), apostrophes (some names looked up in the file's own spelling),
// "unknown" in every case (with a Kelvin sign for the "K" too), names that
// no animal has, and animals that are their own parents by id or by name.
struct LinkingHerd {
    std::string inserts;
    std::vector<String> sourceIds;
};

LinkingHerd linkingHerd(int animals) {
    uint32_t seed = 20240611;
    auto pick = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const std::string shared[] = {"Bella", "O'Neil", "Max", "max"};
    const std::string textIds[] = {"007", "7", "12345678901234567890", "12345678901234567891"};
    std::vector<std::string> uid(size_t(animals) + 1), name(size_t(animals) + 1);
    for (int i = 1; i <= animals; ++i) {
        uid[size_t(i)] = i % 50 == 0 ? "" : i % 97 == 0 ? uid[size_t(i) - 1] : std::to_string(1000 + i);
        name[size_t(i)] = i % 7 == 0 ? shared[pick(4)] : i % 211 == 0 ? "" : "A" + std::to_string(i);
    }
    for (int t = 0; t < 4; ++t) uid[size_t(5 + t)] = textIds[t];
    uid[size_t(animals / 2)] = "7";

    auto parentId = [&](int i) -> std::string {
        switch (pick(10)) {
            case 0:
            case 1: return uid[1 + pick(uint32_t(animals))];
            case 2: return "999999";
            case 3: return uid[size_t(i)];
            case 4: return "1";
            case 5: return textIds[pick(4)];
            default: return "";
        }
    };
    auto parentName = [&](int i) -> std::string {
        switch (pick(12)) {
            case 0:
            case 1: return name[1 + pick(uint32_t(animals))];
            case 2: return "unknown";
            case 3: return "UNKNOWN";
            case 4: return "Unknown";
            case 5: return "UN\u212ANOWN";
            case 6: return "Nobody";
            case 7: return name[size_t(i)];
            case 8: return shared[pick(4)];
            case 9: return "unknown ";
            default: return "";
        }
    };
    auto backticks = [](std::string text) {
        for (char& c : text)
            if (c == '\'') c = '`';
        return text;
    };

    LinkingHerd herd;
    herd.inserts = "BEGIN;";
    for (int i = 1; i <= animals; ++i) {
        std::optional<std::string> stored = backticks(name[size_t(i)]);
        if (i % 509 == 0) stored.reset();
        std::string links[2], names[2];
        for (int p = 0; p < 2; ++p) {
            links[p] = parentId(i);
            names[p] = parentName(i);
        }
        auto link = [](const std::string& id) { return id == "1" ? std::nullopt : std::optional<std::string>(id); };
        auto parent = [&](const std::string& text) {
            return std::optional<std::string>(i % 3 == 0 ? text : backticks(text));
        };
        herd.inserts += "INSERT INTO tree(name, oldId, fatherId, motherId, ps, pd, sex) VALUES (" + sqlValue(stored) +
                        ", " + sqlValue(uid[size_t(i)]) + ", " + sqlValue(link(links[0])) + ", " +
                        sqlValue(link(links[1])) + ", " + sqlValue(parent(names[0])) + ", " +
                        sqlValue(parent(names[1])) + ", 'undefined');";
        herd.sourceIds.push_back(uid[size_t(i)]);
    }
    herd.inserts += "COMMIT;";
    return herd;
}

// The rows that differ first, or "" when none do.
std::string firstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t n = 0; n < std::max(a.size(), b.size()); ++n) {
        const std::string x = n < a.size() ? a[n] : "(none)", y = n < b.size() ? b[n] : "(none)";
        if (x != y) return "at " + std::to_string(n) + ": " + x + " | " + y;
    }
    return "";
}
std::vector<std::string> joined(const Rows& rows) {
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (const auto& cell : row) line += cell + ", ";
        lines.push_back(line);
    }
    return lines;
}

// The columns of the tree that the comparisons read, as SQL literals.
const std::string TreeColumns = "id, quote(name), quote(oldId), quote(fatherId), quote(motherId), quote(ps), "
                                "quote(pd), quote(sex)";

// A tree after a linking, and every call of the progress display on the way.
struct Linked {
    Rows tree;
    std::vector<std::string> progress;
};

// Links a copy `copy` of the file `made`, opened as the import opens its
// own file, with `link` after `prepare`.
template <class Prepare, class Link>
Linked linkCopy(const std::string& made, const std::string& copy, ProgressRecorder& progress, Prepare prepare,
                Link link) {
    std::filesystem::copy_file(made, copy);
    Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(copy);
    EXPECT_TRUE(db->Connect());
    prepare(db);
    ProgressCalls calls;
    progress.onYield = [&calls] { calls.calls.push_back("yield"); };
    EXPECT_TRUE(link(db, calls));
    progress.onYield = nullptr;
    db->Close();
    return Linked{SqliteCli::query(copy, "SELECT " + TreeColumns + " FROM tree ORDER BY id"), calls.calls};
}

// The program's linking `program` left the tree and showed the progress
// that `byRows` did, on the `rows` animals of the herd that was `unlinked`,
// and every pass did its part: `parts` (a select of four truths) holds for
// the tree in `file`.
void expectTheSame(const Linked& program, const Linked& byRows, size_t rows, const Rows& unlinked,
                   const std::string& file, const std::string& parts) {
    ASSERT_EQ(byRows.tree.size(), rows);
    EXPECT_EQ(firstDifference(joined(program.tree), joined(byRows.tree)), "");
    EXPECT_EQ(firstDifference(program.progress, byRows.progress), "");
    EXPECT_EQ(SqliteCli::query(file, parts), (Rows{{"1", "1", "1", "1"}}));
    EXPECT_NE(joined(program.tree), joined(unlinked));
}

}  // namespace

TEST_F(Linking, InMemoryAndRowByRowLeaveTheSameTreeAndShowTheSameProgress) {
    // Enough animals that parents come before and after their children,
    // and far apart from them; in a tree whose ids run on without a gap, as
    // an import makes it, and in one whose rows were partly deleted, whose
    // links by id may then name rows that are gone.
    const LinkingHerd herd = linkingHerd(2600);
    struct Case {
        const char* name;
        std::string change;  // run on the herd before it is linked
        size_t rows;
    } cases[] = {
        {"dense", "", 2600},
        {"gaps", "DELETE FROM tree WHERE id % 13 = 0 OR id < 4", 2600 - 200 - 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string made = dir.file(std::string(c.name) + "-made.cax");
        {
            Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
            db->DatabaseFile = GetFolderItem(made);
            ASSERT_TRUE(db->CreateDatabaseFile());
            ASSERT_TRUE(appSystem::makeRSDfields(db));
        }
        SqliteCli::query(made, herd.inserts + c.change);
        const Rows unlinked = SqliteCli::query(made, "SELECT " + TreeColumns + " FROM tree ORDER BY id");
        // Links a copy of the herd as the import does, with `link`.
        auto linked = [&](const std::string& name, auto link) {
            return linkCopy(made, dir.file(std::string(c.name) + "-" + name), progress,
                            [&](const Ref<SqlFileDatabase>& db) {
                                // The import's conditions: the commits of the sex
                                // derivation row by row would otherwise each wait
                                // for the disk.
                                db->SQLExecute("PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY; "
                                               "CREATE INDEX converter_link_name ON tree(name)");
                                db->Commit();
                                EXPECT_EQ(db->ErrorMessage(), "");
                                EXPECT_TRUE(appSystem::keepSourceIds(db, herd.sourceIds));
                            },
                            link);
        };
        const Linked inMemory = linked("memory.cax", [](const Ref<Database>& db, Progress& p) {
            return appSystem::convertIdRecordToName(db, "rsd", p) &&
                   appSystem::convertNameRecordToNewId(db, "tree", "ps", "fatherId", p) &&
                   appSystem::convertNameRecordToNewId(db, "tree", "pd", "motherId", p) &&
                   appSystem::findSex(db, "rsd", p);
        });
        const Linked byRows = linked("rows.cax", [](const Ref<Database>& db, Progress& p) {
            return rowByRow::convertIdRecordToName(db, p) &&
                   rowByRow::convertNameRecordToNewId(db, "tree", "ps", "fatherId", p) &&
                   rowByRow::convertNameRecordToNewId(db, "tree", "pd", "motherId", p) && rowByRow::findSex(db, p);
        });

        expectTheSame(inMemory, byRows, c.rows, unlinked, dir.file(std::string(c.name) + "-memory.cax"),
                      "SELECT sum(fatherId GLOB '[1-9]*') > 500, sum(motherId = '') > 100, sum(sex = 'male') > 100, "
                      "sum(sex = 'female') > 100 FROM tree");
    }
}

// A CAV tree is read once, and the rows that change are written by their
// ids: the same tree and the same progress as the passes that selected each
// parent and updated and committed each mark by criteria on the columns.
TEST_F(Linking, OnACavTreeReadOnceAndRowByRowLeaveTheSameTreeAndShowTheSameProgress) {
    const LinkingHerd herd = linkingHerd(2600);
    const std::string made = dir.file("made.cav");
    // The CAV tree's columns as the rig's files have them: text, compared
    // with an unquoted number as text.
    SqliteCli::query(made, "CREATE TABLE tree (id INTEGER PRIMARY KEY, name VARCHAR(255), oldId VARCHAR(255), "
                           "fatherId VARCHAR(255), motherId VARCHAR(255), ps VARCHAR(255), pd VARCHAR(255), "
                           "sex VARCHAR(255));" +
                               herd.inserts +
                               // Parents by negative ids, and rows with a sex already.
                               "UPDATE tree SET oldId = '-' || id WHERE id % 101 = 0;"
                               "UPDATE tree SET motherId = '-' || (id - id % 101) WHERE id % 13 = 0 AND id > 101;"
                               "UPDATE tree SET sex = NULL WHERE id % 17 = 0;"
                               "UPDATE tree SET sex = 'male' WHERE id % 19 = 0;");
    const Rows unlinked = SqliteCli::query(made, "SELECT " + TreeColumns + " FROM tree ORDER BY id");
    auto linked = [&](const std::string& name, auto link) {
        return linkCopy(made, dir.file(name), progress,
                        [](const Ref<SqlFileDatabase>& db) { db->SQLExecute("PRAGMA synchronous = OFF"); }, link);
    };
    const Linked readOnce = linked("once.cav", [](const Ref<Database>& db, Progress& p) {
        return appSystem::convertIdRecordToName(db, "cav", p) && appSystem::findSex(db, "cav", p);
    });
    const Linked byRows = linked("rows.cav", [](const Ref<Database>& db, Progress& p) {
        return rowByRow::cavConvertIdRecordToName(db, p) && rowByRow::cavFindSex(db, p);
    });

    expectTheSame(readOnce, byRows, 2600, unlinked, dir.file("once.cav"),
                  "SELECT sum(ps <> '' AND fatherId IS NOT NULL) > 300, sum(pd <> '' AND motherId LIKE '-%') > 10, "
                  "sum(sex = 'male') > 100, sum(sex = 'female') > 100 FROM tree");
}
