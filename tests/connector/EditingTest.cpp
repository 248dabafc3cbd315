// Editing, updating and deleting the current row of a record set through
// the connector, against the test rig; every change is read back with the
// sqlite3 tool.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

constexpr int64_t kNotUnique = 9000, kNoCurrentRecord = 9003, kNoTable = 9004, kNoSecondConnection = 9005;

class Editing : public RigDatabaseTest {
protected:
    void SetUp() override {
        open("create table tree (id integer primary key, name varchar(50), weight double);"
             "insert into tree values (1, 'Apple', 812.5), (2, 'Basil', 790), (3, 'Clover', 655.25);"
             "create table notes (body text, score real);"
             "insert into notes values ('calm', 1.5);"
             "create table tally (n integer, label varchar(20));"
             "insert into tally values (1, 'one'), (2, 'two');");
    }

    Ref<RecordSet> select(const String& sql) {
        Ref<RecordSet> rs = db.SQLSelect(sql);
        EXPECT_FALSE(rs.IsNil()) << sql << ": " << db.ErrorMessage();
        return rs;
    }

    // Sets the fields of the current row and writes them.
    void update(RecordSet& rs, const std::vector<std::pair<String, Variant>>& values) {
        rs.Edit();
        ASSERT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
        for (const auto& [name, value] : values) rs.Field(name)->SetValue(value);
        rs.Update();
    }

    std::string trees() { return Sqlite(file, "select id, name, weight from tree order by id"); }

    // Makes the driver one that allows one active statement, so that editing
    // runs on a second connection opened with this connection text.
    void editThrough(const std::string& connectionText) {
        ODBCConnection* connection = ConnectionOf(db);
        connection->maxActiveStatements = 1;
        std::snprintf(connection->completedConnectionText, sizeof connection->completedConnectionText, "%s",
                      connectionText.c_str());
    }

    // The error of a connection with this text, which must fail.
    static String refusal(const std::string& connectionText) {
        ODBCDatabase refused;
        refused.SetDataSource(connectionText);
        EXPECT_FALSE(refused.Connect());
        EXPECT_FALSE(refused.ErrorMessage().empty());
        return refused.ErrorMessage();
    }

};

TEST_F(Editing, UpdateWritesTheCurrentRow) {
    Ref<RecordSet> rs = select("SELECT * FROM tree ORDER BY id");
    rs->MoveNext();
    update(*rs, {{"name", Variant("Basilisk")}, {"weight", Variant(801.25)}});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(ConnectionOf(db)->lastRowCount, 1);
    rs->Close();
    EXPECT_EQ(trees(), "1|Apple|812.5\n2|Basilisk|801.25\n3|Clover|655.25\n");
}

TEST_F(Editing, DeleteRemovesTheCurrentRowEachTime) {
    Ref<RecordSet> rs = select("SELECT id, name FROM tree ORDER BY id");
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->MoveNext();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Basil");
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->Close();
    EXPECT_EQ(trees(), "3|Clover|655.25\n");
}

// Without a primary key, the integer columns identify the row.
TEST_F(Editing, IntegerColumnsServeAsKeyWithoutAPrimaryKey) {
    Ref<RecordSet> rs = select("SELECT n, label FROM tally ORDER BY n");
    rs->MoveNext();
    update(*rs, {{"label", Variant("second")}});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->Close();
    EXPECT_EQ(Sqlite(file, "select n, label from tally order by n"), "1|one\n2|second\n");
}

TEST_F(Editing, RowsThatCannotBeEditedGiveTheirError) {
    struct Case {
        const char* what;
        const char* sql;
        int moves;  // MoveNext calls before the operation
        std::function<void(RecordSet&)> operation;
        int64_t code;
        const char* message;
    } cases[] = {
        {"edit without rows", "SELECT * FROM tree WHERE id > 99", 0, [](RecordSet& rs) { rs.Edit(); },
         kNoCurrentRecord,
         "The operation could not be performed because there is no current record on which to perform it."},
        {"edit past the last row", "SELECT * FROM tree", 3, [](RecordSet& rs) { rs.Edit(); }, kNoCurrentRecord,
         "The operation could not be performed because there is no current record on which to perform it."},
        {"edit of a select without FROM", "SELECT 1 AS one", 0, [](RecordSet& rs) { rs.Edit(); }, kNoTable,
         "The fields cannot be updated because the table can't be determined."},
        {"edit of a table without key", "SELECT * FROM notes", 0, [](RecordSet& rs) { rs.Edit(); }, kNotUnique,
         "The RecordSet cannot be edited because the uniqueness of its rows cannot be verified."},
        {"delete in a table without key", "SELECT * FROM notes", 0, [](RecordSet& rs) { rs.DeleteRecord(); },
         kNotUnique, "The RecordSet cannot be edited because the uniqueness of its rows cannot be verified."},
        {"update in a table without key", "SELECT * FROM notes", 0,
         [](RecordSet& rs) {
             rs.Edit();
             rs.Field("body")->SetValue(Variant("changed"));
             rs.Update();
         },
         kNotUnique, "The RecordSet cannot be edited because the uniqueness of its rows cannot be verified."},
        // Past the last row the clause of the row before must not be used
        // again: it would delete or change a row that is not current.
        {"delete past the last row after an edit of it", "SELECT * FROM tree ORDER BY id", 2,
         [](RecordSet& rs) {
             rs.Edit();
             rs.MoveNext();
             rs.DeleteRecord();
         },
         kNotUnique, "The RecordSet cannot be edited because the uniqueness of its rows cannot be verified."},
    };
    for (const Case& c : cases) {
        Ref<RecordSet> rs = select(c.sql);
        ASSERT_FALSE(rs.IsNil());
        for (int i = 0; i < c.moves; ++i) rs->MoveNext();
        c.operation(*rs);
        EXPECT_EQ(db.ErrorCode(), c.code) << c.what;
        EXPECT_EQ(db.ErrorMessage(), c.message) << c.what;
    }
    EXPECT_EQ(trees(), "1|Apple|812.5\n2|Basil|790.0\n3|Clover|655.25\n") << "nothing changed";
    EXPECT_EQ(Sqlite(file, "select body from notes"), "calm\n");
}

// A scroll that finds no row, or fails, leaves no current row: the row the
// cursor read before it must not be deleted or changed in its name.
TEST_F(Editing, ScrollWithoutARowLeavesNothingToChange) {
    db.SetProperty("ScrollableCursor", Variant(true));
    struct Case {
        const char* what;
        const char* sql;
        std::function<void(ConnectorCursor&)> scroll;
    } cases[] = {
        {"previous before the first row", "SELECT * FROM tree ORDER BY id",
         [](ConnectorCursor& c) {
             c.First();
             c.Previous();
         }},
        {"first on an empty set", "SELECT * FROM tree WHERE id > 99", [](ConnectorCursor& c) { c.First(); }},
        {"last on an empty set", "SELECT * FROM tree WHERE id > 99", [](ConnectorCursor& c) { c.Last(); }},
        // Once the select has no further result, the driver manager refuses
        // to scroll.
        {"a refused scroll", "SELECT * FROM tree ORDER BY id",
         [this](ConnectorCursor& c) {
             c.Next();
             EXPECT_FALSE(db.NextRecordset());
             c.Last();
             EXPECT_NE(db.ErrorCode(), 0) << "the scroll is refused";
         }},
    };
    for (const Case& c : cases) {
        ConnectorCursor cursor(db, c.sql);
        ASSERT_TRUE(cursor.ok()) << c.what << ": " << db.ErrorMessage();
        c.scroll(cursor);
        cursor.Delete();
        EXPECT_EQ(db.ErrorCode(), kNotUnique) << c.what << ": delete: " << db.ErrorMessage();
        cursor.Update(1, "Changed");
        EXPECT_EQ(db.ErrorCode(), kNotUnique) << c.what << ": update: " << db.ErrorMessage();
    }
    EXPECT_EQ(trees(), "1|Apple|812.5\n2|Basil|790.0\n3|Clover|655.25\n") << "nothing changed";

    // A scroll that finds its row makes it the current one again.
    ConnectorCursor cursor(db, "SELECT * FROM tree ORDER BY id");
    cursor.Last();
    cursor.Previous();
    ASSERT_EQ(cursor.Text(1), "Basil") << db.ErrorMessage();
    cursor.Delete();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(trees(), "1|Apple|812.5\n3|Clover|655.25\n");
}

// The table is the word after the first FROM set off by whitespace.
TEST_F(Editing, TableOfTheSelectIsFoundAfterFrom) {
    struct Case {
        const char* sql;
        int64_t code;
    } cases[] = {
        {"SELECT * FROM tree", 0},
        {"select *\tfrom\ttree order by id", 0},
        {"SELECT name, id\nFROM   tree\nWHERE id > 0", 0},
        {"SELECT *FROM tree", kNoTable},       // no whitespace before FROM
        {"SELECT * FROM tree;", kNotUnique},   // the table "tree;" has no key
    };
    for (const Case& c : cases) {
        Ref<RecordSet> rs = select(c.sql);
        ASSERT_FALSE(rs.IsNil());
        rs->Edit();
        EXPECT_EQ(db.ErrorCode(), c.code) << c.sql << ": " << db.ErrorMessage();
    }
}

// A key value is one literal whatever it holds: its quotes are doubled.
TEST_F(Editing, TextKeyWithQuotesNamesOnlyItsRow) {
    Sqlite(file, "create table tags (code varchar(20) primary key, note varchar(20));"
                 "insert into tags values ('a', 'first'), ('x'' OR ''1''=''1', 'tricky'), ('O''Brien', 'irish');");
    Ref<RecordSet> rs = select("SELECT code, note FROM tags ORDER BY note");
    rs->MoveNext();
    ASSERT_EQ(rs->Field("code")->StringValue(), "O'Brien");
    update(*rs, {{"note", Variant("changed")}});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->MoveNext();
    ASSERT_EQ(rs->Field("code")->StringValue(), "x' OR '1'='1");
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->Close();
    EXPECT_EQ(Sqlite(file, "select code, note from tags order by code"), "O'Brien|changed\na|first\n");
}

// A TINYINT column, read into a 16-bit area, is compared as its number.
TEST_F(Editing, TinyIntegerKeyNamesItsRow) {
    Sqlite(file, "create table flags (k tinyint, v varchar(10)); insert into flags values (5, 'five'), (6, 'six');");
    Ref<RecordSet> rs = select("SELECT k, v FROM flags ORDER BY k");
    update(*rs, {{"v", Variant("FIVE")}});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(ConnectionOf(db)->lastRowCount, 1);
    rs->Close();
    EXPECT_EQ(Sqlite(file, "select k, v from flags order by k"), "5|FIVE\n6|six\n");
}

// A driver that allows one active statement: keys are found and rows
// written on a second connection opened with the completed connection text,
// here one that names a copy of the file.
TEST_F(Editing, OneActiveStatementEditsOnASecondConnection) {
    const std::string copy = dir.file("copy.db");
    std::filesystem::copy_file(file, copy);
    ODBCConnection* connection = ConnectionOf(db);
    editThrough(RigConnectionText(copy));

    Ref<RecordSet> rs = select("SELECT * FROM tree ORDER BY id");
    update(*rs, {{"name", Variant("Apricot")}});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(connection->lastRowCount, 1);
    rs->MoveNext();
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(Sqlite(copy, "select id, name from tree order by id"), "1|Apricot\n3|Clover\n");
    rs->Close();
    EXPECT_EQ(trees(), "1|Apple|812.5\n2|Basil|790.0\n3|Clover|655.25\n") << "the first connection wrote nothing";

    // The keys stay known; a second connection that cannot connect gives
    // 9005 with its own message, and nothing is written.
    rs = select("SELECT * FROM tree ORDER BY id");
    rs->Edit();
    ASSERT_EQ(db.ErrorCode(), 0);
    const std::string missing = RigConnectionText(dir.file("missing.db"));
    editThrough(missing);
    rs->Field("name")->SetValue(Variant("Lost"));
    rs->Update();
    EXPECT_EQ(db.ErrorCode(), kNoSecondConnection);
    EXPECT_EQ(db.ErrorMessage(), refusal(missing));
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), kNoSecondConnection);
    EXPECT_EQ(Sqlite(copy, "select id, name from tree order by id"), "1|Apricot\n3|Clover\n");
}

// A second connection that cannot connect is named as the cause also while
// the keys are not known yet, and they are looked up again the next time.
TEST_F(Editing, SecondConnectionThatCannotConnectIsTheCause) {
    const std::string missing = RigConnectionText(dir.file("missing.db"));
    editThrough(missing);
    const String refused = refusal(missing);

    struct Case {
        const char* what;
        std::function<void(RecordSet&)> operation;
    } cases[] = {
        {"edit", [](RecordSet& rs) { rs.Edit(); }},
        {"delete", [](RecordSet& rs) { rs.DeleteRecord(); }},
        {"update",
         [&](RecordSet& rs) {
             rs.Edit();
             rs.Field("name")->SetValue(Variant("Lost"));
             rs.Update();
         }},
    };
    for (const Case& c : cases) {
        Ref<RecordSet> rs = select("SELECT * FROM tree ORDER BY id");
        c.operation(*rs);
        EXPECT_EQ(db.ErrorCode(), kNoSecondConnection) << c.what << ": " << db.ErrorMessage();
        EXPECT_EQ(db.ErrorMessage(), refused) << c.what;
    }
    EXPECT_EQ(trees(), "1|Apple|812.5\n2|Basil|790.0\n3|Clover|655.25\n") << "nothing changed";

    Ref<RecordSet> rs = select("SELECT * FROM tree ORDER BY id");
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), kNoSecondConnection);
    editThrough(RigConnectionText(file));
    rs->DeleteRecord();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->Close();
    EXPECT_EQ(trees(), "2|Basil|790.0\n3|Clover|655.25\n");
}

}  // namespace
