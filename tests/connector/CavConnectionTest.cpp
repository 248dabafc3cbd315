// The connector against a CAV file as the conversions reach it: the CAV
// connection text through the driver manager to the driver registered as
// "Microsoft Access Driver (*.mdb)" (the test rig). What was written is read
// back with the sqlite3 tool.

#include <filesystem>

#include <gtest/gtest.h>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

class Cav : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loaded) << PluginLoadError("Corvane64.so");
        file = dir.file("herd.cav");
        CavFixture::create(file);
        db.SetDataSource(cav_rig::connectionText(file));
    }

    const bool loaded = LoadConnector();  // before the database object is made
    TempDir dir;
    std::string file;
    ODBCDatabase db;
};

// The driver manager completes a connection text beyond ASCII whole, and a
// second connection opened with it (for a driver that allows one active
// statement) reaches the same file with the same password.
TEST_F(Cav, CompletedConnectionTextBeyondAsciiOpensTheSecondConnection) {
    const std::string path = dir.file("Mid Ünïcode herd.cav");
    CavFixture::create(path);
    SqliteCli::query(path, "INSERT INTO tree (id, name) VALUES (1, 'Apple'), (2, 'Basil');");
    db.SetDataSource(cav_rig::connectionText(path));
    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    EXPECT_EQ(std::string(ConnectionOf(db)->completedConnectionText), cav_rig::connectionText(path));

    ConnectionOf(db)->maxActiveStatements = 1;
    Ref<RecordSet> rs = db.SQLSelect("SELECT id, name FROM tree ORDER BY id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    rs->MoveNext();
    rs->Edit();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs->Field("name")->SetValue(Variant("Basilisk"));
    rs->Update();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs = nullptr;
    EXPECT_EQ(SqliteCli::query(path, "SELECT name FROM tree ORDER BY id"), (SqliteCli::Rows{{"Apple"}, {"Basilisk"}}));
}

TEST_F(Cav, WrongPasswordGivesTheDriversCodeAndMessage) {
    db.SetDataSource(cav_rig::connectionText(file, "not-the-password"));
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), cav_rig::kPasswordNativeError);
    EXPECT_EQ(db.ErrorMessage(), cav_rig::kPasswordMessage);
    EXPECT_EQ(ConnectionOf(db)->hdbc, nullptr);
    EXPECT_FALSE(db.IsConnected());
}

TEST_F(Cav, NamesBeyondAsciiAreWrittenAndReadBackUnchanged) {
    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    const std::vector<std::string> names = {"Björk", "Ōkami", "✓", "Zoë’s “best” 🐹"};
    for (size_t i = 0; i < names.size(); ++i) {
        db.SQLExecute("INSERT INTO tree (id, name, notes) VALUES (" + std::to_string(i + 1) + ", '" + names[i] +
                      "', '" + names[i] + " notes')");
        ASSERT_EQ(db.ErrorCode(), 0) << names[i] << ": " << db.ErrorMessage();
        db.Commit();
    }
    // Through an independent reader: the bytes in the file.
    const SqliteCli::Rows stored = SqliteCli::query(file, "SELECT name, notes FROM tree ORDER BY id");
    ASSERT_EQ(stored.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(stored[i][0], names[i]);
        EXPECT_EQ(stored[i][1], names[i] + " notes");
    }
    // Through the connector: short text and long text columns.
    Ref<RecordSet> rs = db.SQLSelect("SELECT name, notes FROM tree WHERE name = '" + names[0] + "' OR id > 1 ORDER BY id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    std::vector<std::string> read;
    for (; !rs->Eof(); rs->MoveNext()) {
        read.push_back(rs->Field("name")->StringValue());
        EXPECT_EQ(rs->Field("notes")->StringValue(), read.back() + " notes");
    }
    EXPECT_EQ(read, names);
}

// With autocommit off (ODBC's connection attribute 102), what the connection
// writes is seen by no other program until it is committed; a rollback
// undoes it, and so does closing or losing the connection, which leaves the
// file to other programs.
TEST_F(Cav, AutocommitOffKeepsTheWritesToTheConnectionUntilTheyAreCommitted) {
    const std::string away = file + ".away";
    enum End { Commit, Rollback, Close, Lost };
    const struct {
        const char* name;
        End end;
        SqliteCli::Rows kept;
    } cases[] = {{"commit", Commit, {{"Kept"}}}, {"rollback", Rollback, {}}, {"close", Close, {}}, {"lost", Lost, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SqliteCli::query(file, "DELETE FROM tree");
        ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
        db.SetConnectionAttribute(102, 0);
        ASSERT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
        EXPECT_EQ(db.GetConnectionAttribute(102).IntegerValue(), 0);
        db.SQLExecute("INSERT INTO tree (name) VALUES ('Kept')");
        ASSERT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
        EXPECT_EQ(SqliteCli::query(file, "SELECT count(*) FROM tree"), (SqliteCli::Rows{{"0"}}));
        switch (c.end) {
            case Commit: db.Commit(); break;
            case Rollback: db.Rollback(); break;
            case Close: db.Close(); break;
            case Lost:
                // The connect finds the connection dead and closes it; the
                // file is not there to connect again.
                std::filesystem::rename(file, away);
                EXPECT_FALSE(db.Connect());
                std::filesystem::rename(away, file);
                break;
        }
        if (c.end != Lost) {
            EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
        }
        EXPECT_EQ(SqliteCli::query(file, "SELECT name FROM tree"), c.kept);
        // No lock is left behind: another program writes at once.
        EXPECT_EQ(SqliteCli::query(file, "INSERT INTO tree (name) VALUES ('Other'); SELECT count(*) FROM tree"),
                  (SqliteCli::Rows{{std::to_string(c.kept.size() + 1)}}));
        db.Close();
    }
}

}  // namespace
