// Prepared statements of the connector against the test rig: every bind
// type written and read back with the sqlite3 tool, binds at gaps, the
// binding errors, prepared selects run again, and the statement's hold on
// its connection.

#include <gtest/gtest.h>

#include <functional>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/TempDir.h"

using namespace connector_test;
using PS = ODBCPreparedStatement;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

class Prepared : public RigDatabaseTest {
protected:
    void SetUp() override {
        // Columns without declared types keep exactly what was bound.
        open("create table v (k integer primary key, a, b, c);"
             "create table tree (id integer primary key, name varchar(50), weight double);"
             "insert into tree values (1, 'Apple', 812.5), (2, 'Basil', 790), (3, 'Clover', 655.25);");
    }

    Ref<PS> prepare(const String& sql) {
        Ref<PS> ps = db.Prepare(sql);
        EXPECT_FALSE(ps.IsNil()) << db.ErrorMessage();
        return ps;
    }

    // The stored value and its SQLite type, "value|type".
    std::string stored(int k) {
        return Sqlite(file, "select quote(a), typeof(a) from v where k = " + std::to_string(k));
    }

};

TEST_F(Prepared, EveryBindTypeStoresItsValue) {
    String longText;
    for (int i = 0; i < 20000; ++i) longText += char('a' + i % 26);
    struct Case {
        const char* what;
        int64_t type;
        Variant value;
        std::string stored;
    } cases[] = {
        {"NULL", PS::ODBC_TYPE_NULL, Variant("ignored"), "NULL|null"},
        {"TINYINT", PS::ODBC_TYPE_TINYINT, Variant(int64_t(7)), "7|integer"},
        {"TINYINT negative", PS::ODBC_TYPE_TINYINT, Variant(int64_t(-6)), "-6|integer"},
        {"SMALLINT", PS::ODBC_TYPE_SMALLINT, Variant(int64_t(-300)), "-300|integer"},
        {"INTEGER", PS::ODBC_TYPE_INTEGER, Variant(int64_t(70000)), "70000|integer"},
        {"INTEGER negative", PS::ODBC_TYPE_INTEGER, Variant(int64_t(-70000)), "-70000|integer"},
        {"BIGINT", PS::ODBC_TYPE_BIGINT, Variant(int64_t(5000000000)), "5000000000|integer"},
        {"BIGINT negative", PS::ODBC_TYPE_BIGINT, Variant(int64_t(-5000000000)), "-5000000000|integer"},
        {"FLOAT", PS::ODBC_TYPE_FLOAT, Variant(1.5), "1.5|real"},
        {"DOUBLE", PS::ODBC_TYPE_DOUBLE, Variant(812.125), "812.125|real"},
        {"DATE", PS::ODBC_TYPE_DATE, Variant(New<Date>(2024, 3, 7, 9, 5, 2)), "'2024-03-07'|text"},
        {"TIME", PS::ODBC_TYPE_TIME, Variant(New<Date>(2024, 3, 7, 9, 5, 2)), "'09:05:02'|text"},
        // With the column size of the structure's 16 bytes the driver kept
        // "yyyy-mm-dd hh:mm" of it and lost the seconds.
        {"TIMESTAMP", PS::ODBC_TYPE_TIMESTAMP, Variant(New<Date>(2024, 3, 7, 9, 5, 2)),
         "'2024-03-07 09:05:02.000'|text"},
        {"DATE from its text", PS::ODBC_TYPE_DATE, Variant("2023-11-30"), "'2023-11-30'|text"},
        {"BINARY", PS::ODBC_TYPE_BINARY, Variant(String("A\0B", 3)), "X'410042'|blob"},
        {"STRING", PS::ODBC_TYPE_STRING, Variant("Zoë’s “best” 🐹"), "'Zoë’s “best” 🐹'|text"},
        {"STRING empty", PS::ODBC_TYPE_STRING, Variant(""), "''|text"},
        {"LONGSTRING", PS::ODBC_TYPE_LONGSTRING, Variant(longText), "'" + longText + "'|text"},
        {"INTEGER of nil", PS::ODBC_TYPE_INTEGER, Variant(), "NULL|null"},
        {"DATE of nil", PS::ODBC_TYPE_DATE, Variant(), "NULL|null"},
    };
    Ref<PS> ps = prepare("insert into v (k, a) values (?, ?)");
    int k = 0;
    for (const Case& c : cases) {
        ++k;
        ps->BindType({PS::ODBC_TYPE_INTEGER, c.type});
        ps->SQLExecute({Variant(int64_t(k)), c.value});
        EXPECT_EQ(db.ErrorCode(), 0) << c.what << ": " << db.ErrorMessage();
        EXPECT_EQ(stored(k), c.stored + "\n") << c.what;
    }
}

// Values bound at a gap leave the places before it empty; the types of those
// places decide what an empty place binds.
TEST_F(Prepared, BindAtAGapLeavesNoneBefore) {
    Ref<PS> ps = prepare("insert into v (a, b, c, k) values (?, ?, ?, ?)");
    ps->Bind(3, Variant(int64_t(1)), PS::ODBC_TYPE_INTEGER);
    ps->BindType(1, PS::ODBC_TYPE_DOUBLE);  // place 0 gets ODBC_TYPE_LONGSTRING
    ps->BindType(0, PS::ODBC_TYPE_NULL);
    ps->BindType(2, PS::ODBC_TYPE_DATE);
    ps->SQLExecute();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(Sqlite(file, "select quote(a), quote(b), quote(c), k from v"), "NULL|NULL|NULL|1\n")
        << "none binds NULL as a number or date";

    ps->BindType({PS::ODBC_TYPE_LONGSTRING, PS::ODBC_TYPE_DOUBLE, PS::ODBC_TYPE_DATE, PS::ODBC_TYPE_INTEGER});
    ps->Bind(3, Variant(int64_t(2)));
    ps->SQLExecute();
    EXPECT_EQ(db.ErrorCode(), -1);
    EXPECT_EQ(db.ErrorMessage(), "The value of parameter 0 is not a string value");
    EXPECT_EQ(Sqlite(file, "select count(*) from v"), "1\n") << "nothing ran";

    // Parameters given to the run replace the values from place 0 on; later
    // ones stay bound.
    ps->SQLExecute({Variant("first"), Variant(2.5)});
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(Sqlite(file, "select a, b, quote(c) from v where k = 2"), "first|2.5|NULL\n");
}

TEST_F(Prepared, BindingErrorsRunNothing) {
    struct Case {
        const char* what;
        std::function<void(PS&)> bind;
        const char* message;
    } cases[] = {
        {"values without types", [](PS& ps) { ps.Bind({Variant("a"), Variant("b")}); },
         "Bind types were not specified, see BindType"},
        {"more values than types",
         [](PS& ps) {
             ps.BindType({PS::ODBC_TYPE_STRING, PS::ODBC_TYPE_STRING});
             ps.Bind({Variant("a"), Variant("b"), Variant("c")});
         },
         "3 parameters are being bound, but only 2 types were specified"},
        {"a date value that holds no date", [](PS& ps) { ps.Bind(0, Variant("not a date"), PS::ODBC_TYPE_DATE); },
         "The value of parameter 0 is not a date value"},
        {"nil bound as a string", [](PS& ps) { ps.Bind(0, Variant(), PS::ODBC_TYPE_STRING); },
         "The value of parameter 0 is not a string value"},
    };
    for (const Case& c : cases) {
        Ref<PS> ps = prepare("insert into v (a, b, c) values (?, ?, ?)");
        c.bind(*ps);
        ps->SQLExecute();
        EXPECT_EQ(db.ErrorCode(), -1) << c.what;
        EXPECT_EQ(db.ErrorMessage(), c.message) << c.what;
        EXPECT_TRUE(ps->SQLSelect().IsNil()) << c.what;
    }
    EXPECT_EQ(Sqlite(file, "select count(*) from v"), "0\n");
}

TEST_F(Prepared, SelectRunsAgainWithNewParameters) {
    Ref<PS> ps = prepare("select name from tree where weight > ? order by id");
    ps->BindType(0, PS::ODBC_TYPE_DOUBLE);
    Ref<RecordSet> rs = ps->SQLSelect({Variant(700.0)});
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"Apple", "Basil"}));

    // Still open: the driver manager refuses to run the statement again.
    EXPECT_TRUE(ps->SQLSelect({Variant(800.0)}).IsNil());
    EXPECT_NE(db.ErrorCode(), 0);
    EXPECT_NE(db.ErrorMessage().find("Invalid cursor state"), String::npos) << db.ErrorMessage();

    rs->Close();
    rs = ps->SQLSelect({Variant(800.0)});
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"Apple"}));
    EXPECT_EQ(ConnectionOf(db)->lastSelectCursor != nullptr, true);
}

TEST_F(Prepared, ExecuteChangesRowsWithoutARecordSet) {
    Ref<PS> ps = prepare("update tree set name = ? where id = ?");
    ps->BindType({PS::ODBC_TYPE_STRING, PS::ODBC_TYPE_INTEGER});
    ps->SQLExecute({Variant("Basilisk"), Variant(int64_t(2))});
    ps->SQLExecute({Variant("Nobody"), Variant(int64_t(99))});
    EXPECT_EQ(db.ErrorCode(), 0) << "no row matched: no error";
    EXPECT_EQ(Sqlite(file, "select name from tree order by id"), "Apple\nBasilisk\nClover\n");
}

TEST_F(Prepared, StatementThatCannotBePreparedReportsTheDriver) {
    Ref<PS> ps = prepare("select nosuchcolumn from tree where id = ?");
    ps->BindType(0, PS::ODBC_TYPE_INTEGER);
    EXPECT_TRUE(ps->SQLSelect({Variant(int64_t(1))}).IsNil());
    EXPECT_NE(db.ErrorMessage().find("nosuchcolumn"), String::npos) << db.ErrorMessage();
    // The next run prepares again, and fails the same way.
    EXPECT_TRUE(ps->SQLSelect({Variant(int64_t(1))}).IsNil());
    EXPECT_NE(db.ErrorMessage().find("nosuchcolumn"), String::npos) << db.ErrorMessage();
}

// The framework destroys the statement object: its statement ends and lets
// the connection go, while a record set it made reads on.
TEST_F(Prepared, StatementHoldsItsConnectionUntilItGoes) {
    ODBCConnection* connection = ConnectionOf(db);
    ASSERT_EQ(connection->refCount, 1);
    Ref<PS> ps = prepare("select name from tree order by id");
    EXPECT_EQ(connection->refCount, 2);
    Ref<RecordSet> rs = ps->SQLSelect();
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(connection->refCount, 3);
    ps = nullptr;
    EXPECT_EQ(connection->refCount, 2) << "the statement let its connection go";
    EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"Apple", "Basil", "Clover"}));
    rs = nullptr;
    EXPECT_EQ(connection->refCount, 1);
    EXPECT_NE(connection->hdbc, nullptr) << "the database still holds its connection";
}

// Closing the database ends the statement's handle with the connection; on
// the next connection the statement is prepared anew.
TEST_F(Prepared, StatementRunsAgainAfterItsConnectionWasClosed) {
    Ref<PS> ps = prepare("select name from tree where id = ?");
    ps->BindType(0, PS::ODBC_TYPE_INTEGER);
    Ref<RecordSet> rs = ps->SQLSelect({Variant(int64_t(1))});
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    db.Close();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    rs = nullptr;
    EXPECT_TRUE(ps->SQLSelect({Variant(int64_t(2))}).IsNil());
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    rs = ps->SQLSelect({Variant(int64_t(2))});
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(Rows(*rs), std::vector<std::string>{"Basil"});
}

TEST_F(Prepared, EngineEntryPreparesOnOpenConnectionsOnly) {
    DbEngineTable* engine = RegisteredEngineTables()[0];
    HostString sql = NewHostString("select 1");
    HostObject statement = engine->prepare(ConnectionOf(db), sql);
    ASSERT_NE(statement, nullptr);
    EXPECT_EQ(PluginObjectClass(statement), FindPluginClass("ODBCPreparedStatement"));
    UnlockPluginObject(statement);
    db.Close();
    EXPECT_EQ(engine->prepare(ConnectionOf(db), sql), nullptr);
    EXPECT_EQ(db.ErrorCode(), 0) << "without an error";
    ReleaseHostString(sql);
    EXPECT_TRUE(db.Prepare("select 1").IsNil());
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
}

}  // namespace
