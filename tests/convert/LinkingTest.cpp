#include "framework/FolderItem.h"
#include "framework/SqlFileDatabase.h"
#include "tests/convert/ProgressRecorder.h"
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
