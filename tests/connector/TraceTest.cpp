// The trace log that the connector writes while the flag file names one.
// These tests own the machine's flag file while they run (a CTest resource
// lock keeps them apart) and put back what was there.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

namespace {

const char* kFlagFile = "/tmp/CorvaneTraceOn.txt";

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadConnector());
        std::ifstream existing(kFlagFile, std::ios::binary);
        hadFlag_ = existing.good();
        if (hadFlag_) saved_ << existing.rdbuf();
        Sqlite(dir.file("herd.db"), "create table tree (id integer, name text); insert into tree values (1, 'Apple');");
    }
    void TearDown() override {
        if (hadFlag_) std::ofstream(kFlagFile, std::ios::binary) << saved_.str();
        else std::remove(kFlagFile);
    }
    void writeFlag(const std::string& content) { std::ofstream(kFlagFile, std::ios::binary) << content; }

    TempDir dir;

private:
    bool hadFlag_ = false;
    std::stringstream saved_;
};

TEST_F(Trace, EveryConnectionStartsTheLogWithATimeStamp) {
    const std::string log = dir.file("corvane trace.log");
    writeFlag(dir.path() + "/trace.log\n  ignored words\n");
    {
        ODBCDatabase db;
        db.SetDataSource(SqliteConnectionText(dir.file("herd.db")));
        ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
        Ref<RecordSet> rs = db.SQLSelect("select name from tree");
        ASSERT_FALSE(rs.IsNil());
        EXPECT_EQ(rs->Field("name")->StringValue(), "Apple");
        db.SQLExecute("update tree set name = 'Basil'");
        EXPECT_TRUE(db.Connect());
    }
    { ODBCDatabase second; }

    const std::string text = TempDir::read(dir.path() + "/trace.log");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    const std::regex stamp(R"(\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\.\d{1,6})");
    EXPECT_TRUE(std::regex_match(lines[0], stamp)) << lines[0];
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_match(l, stamp); }),
              2) << "one time stamp per connection";

    auto has = [&](const std::string& prefix) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    for (const char* prefix :
         {"ENTER ODBCDatabaseConnect(0x", "ENTER ODBCConnect(0x", "ENTER ODBCPerformSelect(0x",
          "ENTER ODBCSelectThread(0x", "ENTER ODBCSelectThread::Run", "ENTER ~ODBCSelectThread", "ENTER ODBCCursor(0x",
          "ENTER NextRecord: 0x", "ENTER ColumnValue(0): 0x", "ENTER ODBCExecute(0x", "ENTER ODBCExecuteThread::Run",
          "ENTER odbc_execDirect(0x", "ENTER ~ODBCCursor: 0x", "ENTER ODBCCloseDatabase(0x"})
        EXPECT_TRUE(has(prefix)) << prefix << "\n" << text;
    EXPECT_NE(text.find("ENTER ODBCPerformSelect(0x"), std::string::npos);
    EXPECT_NE(text.find(", select name from tree)"), std::string::npos) << "the SQL text is in the line";
    EXPECT_NE(text.find(", update tree set name = 'Basil', 134217984)"), std::string::npos);
    EXPECT_NE(text.find(", DRIVER="), std::string::npos) << "the connection text is in the connect line";
    // The second Connect found the connection alive: one connect only.
    size_t connects = 0;
    for (size_t at = text.find("ENTER ODBCConnect("); at != std::string::npos; at = text.find("ENTER ODBCConnect(", at + 1))
        ++connects;
    EXPECT_EQ(connects, 1u);
}

TEST_F(Trace, EmptyOrMissingFlagFileGivesNoTrace) {
    for (const char* content : {"", "   \n\t"}) {
        writeFlag(content);
        ODBCDatabase db;
        EXPECT_EQ(ConnectionOf(db)->traceOn, 0) << "flag file \"" << content << "\"";
        EXPECT_EQ(ConnectionOf(db)->traceStream, nullptr);
    }
    std::remove(kFlagFile);
    ODBCDatabase db;
    EXPECT_EQ(ConnectionOf(db)->traceOn, 0);
}

TEST_F(Trace, LogThatCannotBeOpenedGivesNoTrace) {
    writeFlag(dir.path() + "/no/such/folder/trace.log");
    ODBCDatabase db;
    EXPECT_EQ(ConnectionOf(db)->traceOn, 0);
    db.SetDataSource(SqliteConnectionText(dir.file("herd.db")));
    EXPECT_TRUE(db.Connect());
}

// The connect line shows the connection text that Connect made.
TEST_F(Trace, ConnectionTextFollowsDataSourceHostAndLogin) {
    const std::string log = dir.path() + "/rules.log";
    writeFlag(log);
    const std::string sqlite = SqliteConnectionText(dir.file("herd.db"));
    std::string lower = sqlite;
    lower.replace(0, 7, "driver=");
    struct Case {
        std::string dataSource, host, expected;
    } cases[] = {
        {"HerdDSN", "ignored", "DSN=HerdDSN;UID=breeder;PWD=s3cret;"},
        {sqlite, "", sqlite},
        {lower, "", lower},  // the keyword counts in any case
        {"", "HostDSN", "DSN=HostDSN;UID=breeder;PWD=s3cret;"},
    };
    for (const Case& c : cases) {
        std::remove(log.c_str());
        ODBCDatabase db;
        db.SetDataSource(c.dataSource);
        db.Host = c.host;
        db.UserName = "breeder";
        db.Password = "s3cret";
        db.Connect();
        const std::string text = TempDir::read(log);
        EXPECT_NE(text.find(", " + c.expected + ")\n"), std::string::npos) << c.dataSource << "\n" << text;
    }
}


// The lines of the catalog queries, the prepared statement and the editing
// of a row: their arguments, and the WHERE clause as it grows.
TEST_F(Trace, CatalogPrepareAndEditingLinesShowTheirArguments) {
    const std::string log = dir.path() + "/catalog.log";
    writeFlag(log);
    const std::string file = dir.file("litter.db");
    Sqlite(file, "create table litter (id integer, born date, name text, primary key (id, born));"
                 "insert into litter values (-5, '2024-03-07', 'Pip');");
    {
        ODBCDatabase db;
        db.SetDataSource(SqliteConnectionText(file));
        ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
        EXPECT_FALSE(db.FieldSchema("litter").IsNil());
        EXPECT_FALSE(db.PrimaryKeys("litter").IsNil());
        EXPECT_FALSE(db.GetInfo(17).IsNil());
        EXPECT_FALSE(db.Prepare("select name from litter").IsNil());
        Ref<RecordSet> rs = db.SQLSelect("SELECT * FROM litter");
        ASSERT_FALSE(rs.IsNil());
        rs->Edit();
        EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    }
    const std::string text = TempDir::read(log);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    for (const char* pattern : {
             R"(ENTER ODBCGetFieldSchema\(0x[0-9a-f]+, litter\))",
             R"(ENTER odbc_primary_keys\(0x[0-9a-f]+, 0x[0-9a-f]+, 6\))",
             R"(ENTER ODBCPrimaryKeys\(0x[0-9a-f]+, litter\))",
             R"(ENTER ODBCGetInfo\(0x[0-9a-f]+, 17\))",
             R"(ENTER ODBCPrepare\(0x[0-9a-f]+, select name from litter\))",
             R"(ENTER EditRecord: 0x[0-9a-f]+)",
             R"(ENTER BuildWhereClause: 0x[0-9a-f]+)",
             R"(BuildWhereClause: tableName: litter)",
             R"(comparing column name: born and id)",
             R"(column type: 3 value: id = -5)",
             R"(column type: 8 value: id = -5 AND born = '2024-3-7')",
         })
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string& l) { return std::regex_match(l, std::regex(pattern)); }))
            << pattern << "\n" << text;
}

}  // namespace
