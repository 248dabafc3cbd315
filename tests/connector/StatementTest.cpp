// Connecting and running statements through the real connector: against
// each backend (the plain SQLite ODBC driver reached by its file, and a CAV
// file through the test rig), then against the SQLite driver alone. Results
// are checked with the sqlite3 tool, never through ODBC.

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <set>

#include <sys/stat.h>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "plugins/PluginEntryTable.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

// ---- every backend -------------------------------------------------------------

// A database file that the connector reaches through a driver, holding a
// table tree (id, name, sex, notes, cage) with three animals.
struct Backend {
    const char* name;
    std::function<void(const std::string& path)> create;
    std::function<std::string(const std::string& path)> connectionText;
    // The driver takes wide text. For a narrow one (the SQLite driver) the
    // driver manager converts the connector's wide text by the locale, which
    // "C" cannot do beyond ASCII, into room for as many bytes as the text
    // has characters, which cuts a text beyond ASCII.
    bool wide;
};

constexpr const char* kAnimals =
    "INSERT INTO tree (id, name, sex, notes) VALUES (1, 'Apple', 'female', NULL), (2, 'Basil', 'male', 'calm'),"
    " (3, 'Clover', 'female', '');";

const Backend kBackends[] = {
    {"SqliteDriver",
     [](const std::string& path) {
         Sqlite(path, std::string("CREATE TABLE tree (id integer primary key, name varchar(50), sex varchar(10),"
                                  " notes varchar(200), cage varchar(10));") +
                          kAnimals);
     },
     SqliteConnectionText, false},
    {"CavRig",
     [](const std::string& path) {
         CavFixture::create(path);
         SqliteCli::query(path, kAnimals);
     },
     [](const std::string& path) { return cav_rig::connectionText(path); }, true},
};

void PrintTo(const Backend& backend, std::ostream* os) { *os << backend.name; }

// The calling thread's locale while this lives: the driver manager converts
// the narrow calls of an application to a driver's wide ones, and back, by it.
class ThreadLocale {
public:
    explicit ThreadLocale(const char* name) : locale_(newlocale(LC_ALL_MASK, name, nullptr)) {
        EXPECT_NE(locale_, locale_t(nullptr)) << name;
        if (locale_) old_ = uselocale(locale_);
    }
    ~ThreadLocale() {
        if (!locale_) return;
        uselocale(old_);
        freelocale(locale_);
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t locale_;
    locale_t old_ = nullptr;
};

class Backends : public DatabaseTest, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override { connect(GetParam().create, GetParam().connectionText); }
};

TEST_P(Backends, ConnectFillsWhatTheDriverReportsAndALiveConnectionAnswersAtOnce) {
    EXPECT_TRUE(db.IsConnected());
    EXPECT_EQ(db.DBMS(), "SQLite");
    EXPECT_EQ(db.ErrorCode(), 0);
    ODBCConnection* connection = ConnectionOf(db);
    SQLHDBC handle = connection->hdbc;
    ASSERT_NE(handle, nullptr);
    EXPECT_NE(std::string(connection->completedConnectionText).find("herd.db"), std::string::npos);

    // Marks that a real connect would overwrite.
    connection->Timeout = 4242;
    std::memcpy(connection->completedConnectionText, "untouched", 10);
    const String dbms = db.DBMS();
    EXPECT_TRUE(db.Connect());
    EXPECT_EQ(connection->hdbc, handle);
    EXPECT_EQ(connection->Timeout, 4242);
    EXPECT_STREQ(connection->completedConnectionText, "untouched");
    EXPECT_EQ(db.DBMS(), dbms);
}

TEST_P(Backends, SelectStepsThroughRowsWithoutCounting) {
    Ref<RecordSet> rs = db.SQLSelect("SELECT id, name, notes FROM tree ORDER BY id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(rs->RecordCount(), -1);
    EXPECT_EQ(rs->FieldCount(), 3);
    EXPECT_EQ(rs->ColumnName(1), "name");
    std::vector<std::string> rows;
    for (; !rs->Eof(); rs->MoveNext())
        rows.push_back(rs->Field("ID")->StringValue() + "|" + rs->Field("name")->StringValue() + "|" +
                       (rs->Field("notes")->Value().IsNil() ? "NULL" : rs->Field("notes")->StringValue()));
    EXPECT_EQ(rows, (std::vector<std::string>{"1|Apple|NULL", "2|Basil|calm", "3|Clover|"}));
    EXPECT_EQ(rs->Field("name")->StringValue(), "") << "past the last row no value is read";
    EXPECT_NE(ConnectionOf(db)->lastSelectCursor, nullptr);
    rs->Close();
    EXPECT_EQ(ConnectionOf(db)->lastSelectCursor, nullptr) << "closing the record set ends its cursor";
}

TEST_P(Backends, ExecuteSetsTheLastRowCount) {
    struct Case {
        const char* sql;
        int64_t rows;
    } cases[] = {
        {"UPDATE tree SET cage = 'A1' WHERE sex = 'female'", 2},
        {"UPDATE tree SET notes = 'checked' WHERE id >= 2", 2},
        {"UPDATE tree SET notes = 'none' WHERE id > 99", 0},
        {"DELETE FROM tree WHERE id = 1", 1},
    };
    for (const Case& c : cases) {
        ConnectionOf(db)->lastRowCount = -7;
        db.SQLExecute(c.sql);
        EXPECT_EQ(db.ErrorCode(), 0) << c.sql << ": " << db.ErrorMessage();
        EXPECT_EQ(ConnectionOf(db)->lastRowCount, c.rows) << c.sql;
    }
    db.Commit();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(Sqlite(file, "SELECT id, notes, cage FROM tree ORDER BY id"), "2|checked|<null>\n3|checked|A1\n");
}

TEST_P(Backends, FailedSelectLeavesNoCursorAndNoBusyEntry) {
    ConnectionOf(db)->lastSelectCursor = nullptr;
    Ref<RecordSet> rs = db.SQLSelect("SELECT nosuchcolumn FROM tree");
    EXPECT_TRUE(rs.IsNil());
    EXPECT_NE(db.ErrorCode(), 0);
    EXPECT_NE(db.ErrorMessage().find("nosuchcolumn"), String::npos) << db.ErrorMessage();
    EXPECT_EQ(ConnectionOf(db)->lastSelectCursor, nullptr);
    // A busy entry left behind would refuse the next statement.
    rs = db.SQLSelect("SELECT count(*) AS n FROM tree");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorCode() << " " << db.ErrorMessage();
    EXPECT_EQ(rs->Field("n")->IntegerValue(), 3);
    EXPECT_EQ(db.ErrorCode(), 0);
}

// What a second framework thread does while a statement runs detached: it
// tries a select and a statement on the same connection.
struct BusyProbe {
    ODBCDatabase* db = nullptr;
    bool ran = false;
    bool gotRecordSet = true;
    int64_t selectCode = 0, executeCode = 0;
    String selectMessage, executeMessage;
};

TEST_P(Backends, StatementsOnABusyConnectionAreRefused) {
    BusyProbe probe;
    probe.db = &db;
    SetPluginDetachHook(
        [](void* context) {
            auto* p = static_cast<BusyProbe*>(context);
            if (p->ran) return;
            p->ran = true;
            p->gotRecordSet = !p->db->SQLSelect("SELECT id FROM tree").IsNil();
            p->selectCode = p->db->ErrorCode();
            p->selectMessage = p->db->ErrorMessage();
            p->db->SQLExecute("INSERT INTO tree (id, name) VALUES (99, 'Intruder')");
            p->executeCode = p->db->ErrorCode();
            p->executeMessage = p->db->ErrorMessage();
        },
        &probe);
    db.SQLExecute("UPDATE tree SET notes = 'x' WHERE id = 1");
    SetPluginDetachHook(nullptr, nullptr);
    db.Commit();

    ASSERT_TRUE(probe.ran) << "the statement runs with the thread detached";
    EXPECT_FALSE(probe.gotRecordSet);
    EXPECT_EQ(probe.selectCode, 48879);
    EXPECT_EQ(probe.selectMessage, "A query is already in progress");
    EXPECT_EQ(probe.executeCode, 48879);
    EXPECT_EQ(probe.executeMessage, "A query is already in progress");
    EXPECT_FALSE(PluginThreadDetached()) << "the thread is attached again";
    EXPECT_EQ(Sqlite(file, "SELECT id, notes FROM tree WHERE id IN (1, 99)"), "1|x\n") << "the first statement ran";
    EXPECT_FALSE(db.SQLSelect("SELECT id FROM tree").IsNil()) << "the connection is free again";
}

// Plain statements share the connection's statement handle: each finds it
// ready, whatever the one before it left behind (rows nobody read, a
// failure), and a connection closed and connected again makes a new one.
TEST_P(Backends, EachStatementFindsTheConnectionReadyWhateverTheOneBeforeLeft) {
    struct Step {
        const char* sql;  // nullptr: close the database and connect again
        bool refused;
    } steps[] = {
        {"SELECT id, name FROM tree ORDER BY id", false},  // its rows are never read
        {"UPDATE tree SET cage = 'B2' WHERE id = 1", false},
        {"SELECT id FROM tree", false},
        {"SELECT nosuchcolumn FROM tree", true},
        {"UPDATE tree SET cage = 'B3' WHERE id = 2", false},
        {"INSERT INTO nosuchtable VALUES (1)", true},
        {nullptr, false},
        {"UPDATE tree SET cage = 'B4' WHERE id = 3", false},
    };
    for (const Step& step : steps) {
        if (!step.sql) {
            db.Commit();
            db.Close();
            ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
            continue;
        }
        db.SQLExecute(step.sql);
        EXPECT_EQ(db.ErrorCode() != 0, step.refused) << step.sql << ": " << db.ErrorMessage();
    }
    db.Commit();
    EXPECT_EQ(Sqlite(file, "SELECT id, cage FROM tree ORDER BY id"), "1|B2\n2|B3\n3|B4\n");
}

// A scrollable record set moves every way after stepping, and steps on
// from wherever a move left it.
TEST_P(Backends, ScrollableRecordSetMovesEveryWayAfterStepping) {
    db.SetProperty("ScrollableCursor", Variant(true));
    Ref<RecordSet> rs = db.SQLSelect("SELECT id, name FROM tree ORDER BY id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    struct Step {
        const char* move;
        void (RecordSet::*apply)();
        const char* name;  // nullptr: past the last row
    } steps[] = {
        {"next", &RecordSet::MoveNext, "Basil"},    {"previous", &RecordSet::MovePrevious, "Apple"},
        {"last", &RecordSet::MoveLast, "Clover"},   {"first", &RecordSet::MoveFirst, "Apple"},
        {"next", &RecordSet::MoveNext, "Basil"},    {"last", &RecordSet::MoveLast, "Clover"},
        {"previous", &RecordSet::MovePrevious, "Basil"}, {"next", &RecordSet::MoveNext, "Clover"},
        {"next", &RecordSet::MoveNext, nullptr},
    };
    EXPECT_EQ(rs->Field("name")->StringValue(), "Apple");
    std::string done = "first row";
    for (const Step& step : steps) {
        done += std::string(", ") + step.move;
        ((*rs).*step.apply)();
        EXPECT_EQ(db.ErrorCode(), 0) << done << ": " << db.ErrorMessage();
        if (step.name)
            EXPECT_EQ(rs->Field("name")->StringValue(), step.name) << done;
        else
            EXPECT_TRUE(rs->Eof()) << done;
    }
}

// A prepared statement runs with the types bound for this run: a type that
// names no bind type binds nothing, and the driver then misses the value,
// even where the run before bound one.
TEST_P(Backends, PreparedTypeThatNamesNoBindTypeLeavesItsParameterUnbound) {
    Ref<ODBCPreparedStatement> ps = db.Prepare("INSERT INTO tree (id, name) VALUES (?, ?)");
    ASSERT_FALSE(ps.IsNil()) << db.ErrorMessage();
    ps->BindType({ODBCPreparedStatement::ODBC_TYPE_INTEGER, ODBCPreparedStatement::ODBC_TYPE_STRING});
    ps->SQLExecute({Variant(int64_t(10)), Variant("Dill")});
    ASSERT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    int64_t id = 10;
    for (const int64_t type : {int64_t(12345), int64_t(-7)}) {
        ps->BindType(1, type);
        ps->SQLExecute({Variant(++id), Variant("Elder")});
        EXPECT_NE(db.ErrorCode(), 0) << type;
        EXPECT_FALSE(db.ErrorMessage().empty()) << type;
    }
    db.Commit();
    EXPECT_EQ(Sqlite(file, "SELECT id, quote(name) FROM tree WHERE id >= 10"), "10|'Dill'\n");
}

// A record added to a table whose name and columns go beyond ASCII: a
// driver that takes wide text stores it, in the "C" locale too; a narrow
// driver receives the statement cut, and says so.
TEST_P(Backends, InsertRecordIntoNamesBeyondAscii) {
    Sqlite(file, "CREATE TABLE \"Würfe\" (id integer primary key, \"größe\" integer, \"Mütter\" varchar(50));");
    const ThreadLocale locale(GetParam().wide ? "C" : "C.UTF-8");
    DatabaseRecord record;
    record.IntegerColumn("id", 1);
    record.IntegerColumn("größe", 4);
    record.Column("Mütter", "Apple");
    db.InsertRecord("Würfe", record);
    const int64_t code = db.ErrorCode();
    const String message = db.ErrorMessage();
    db.Commit();
    if (GetParam().wide) {
        EXPECT_EQ(code, 0) << message;
        EXPECT_EQ(ConnectionOf(db)->lastRowCount, 1);
        EXPECT_EQ(Sqlite(file, "SELECT id, \"größe\", \"Mütter\" FROM \"Würfe\""), "1|4|Apple\n");
    } else {
        EXPECT_NE(code, 0);
        EXPECT_EQ(Sqlite(file, "SELECT count(*) FROM \"Würfe\""), "0\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, Backends, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });

// The database name of a file whose path goes beyond ASCII comes whole. For
// the SQLite driver the locale is one that can write the path, and the ";"
// after the connection text take what the driver manager's conversion cuts
// off, or the driver would open another file.
TEST(DatabaseName, OfAPathBeyondAsciiComesWhole) {
    ASSERT_TRUE(LoadConnector());
    struct Case {
        const Backend& backend;
        const char* padding;
    } cases[] = {
        {kBackends[0], ";;;;;;;;;;;;;;;;"},
        {kBackends[1], ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string folder = dir.file("Ünïcödé 数据");
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        const std::string path = folder + "/r4 😀 ñ.cav";
        c.backend.create(path);
        const ThreadLocale locale(c.backend.wide ? "C" : "C.UTF-8");
        ODBCDatabase db;
        db.SetDataSource(c.backend.connectionText(path) + c.padding);
        ASSERT_TRUE(db.Connect()) << c.backend.name << ": " << db.ErrorMessage();
        EXPECT_EQ(db.Property("DatabaseName").StringValue(), path) << c.backend.name;
        EXPECT_EQ(db.DBMS(), "SQLite") << c.backend.name;
        EXPECT_EQ(TempDir::namesIn(folder), std::set<std::string>{"r4 😀 ñ.cav"}) << c.backend.name;
    }
}

// ---- the SQLite driver ------------------------------------------------------------

class Statements : public DatabaseTest {
protected:
    void SetUp() override {
        connect(
            [](const std::string& path) {
                Sqlite(path, "create table tree (id integer primary key, name varchar(50), born date, weight double,"
                             " notes varchar(200));"
                             "insert into tree values (1, 'Apple', '2024-03-07', 812.5, null);"
                             "insert into tree values (2, 'Basil', '2023-11-30', 790, 'calm');"
                             "insert into tree values (3, 'Clover', null, null, '');");
            },
            SqliteConnectionText);
    }
};

// Dates come as time stamps, numbers as the driver stores them; a NULL date
// or number is nil.
TEST_F(Statements, DatesAndNumbersArriveAsTheirTypes) {
    Ref<RecordSet> rs = db.SQLSelect("select id, born, weight from tree order by id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(Rows(*rs), (std::vector<std::string>{"1|2024-03-07 00:00:00|812.5", "2|2023-11-30 00:00:00|790",
                                                   "3|<nil>|<nil>"}));
}

TEST_F(Statements, RecordSetKeepsTheConnectionUntilItCloses) {
    Ref<RecordSet> rs;
    {
        ODBCDatabase other;
        other.SetDataSource(SqliteConnectionText(file));
        ASSERT_TRUE(other.Connect());
        rs = other.SQLSelect("select name from tree order by id");
        ASSERT_FALSE(rs.IsNil());
    }
    // The database object is gone; its connection lives on with the cursor.
    rs->MoveNext();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Basil");
    const int64_t objects = LiveHostObjects();
    rs = nullptr;
    EXPECT_EQ(LiveHostObjects(), objects - 2) << "record set and database object both end";
}

TEST_F(Statements, FailedExecuteReportsTheDriversMessage) {
    db.SQLExecute("insert into nosuchtable values (1)");
    EXPECT_NE(db.ErrorCode(), 0);
    EXPECT_NE(db.ErrorMessage().find("nosuchtable"), String::npos) << db.ErrorMessage();
    db.SQLExecute("update tree set name = 'Dill' where id = 3");
    EXPECT_EQ(db.ErrorCode(), 0) << "each statement clears the last error";
}

TEST_F(Statements, ClosedDatabaseReportsNotConnected) {
    db.Close();
    EXPECT_FALSE(db.IsConnected());
    EXPECT_TRUE(db.SQLSelect("select 1").IsNil());
    EXPECT_EQ(db.ErrorCode(), 1);
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
    db.SQLExecute("delete from tree");
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
    db.Commit();
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
    EXPECT_EQ(Sqlite(file, "select count(*) from tree"), "3\n");
    EXPECT_TRUE(db.Connect()) << "a closed database connects again";
}

// Another thread of the framework closes the database while a statement
// waits with its thread detached: the statement does not run, says so, and
// touches nothing of the closed connection.
TEST_F(Statements, DatabaseClosedWhileAStatementWaitsDetached) {
    SetPluginDetachHook([](void* context) { static_cast<ODBCDatabase*>(context)->Close(); }, &db);
    db.SQLExecute("update tree set name = 'Dill' where id = 3");
    SetPluginDetachHook(nullptr, nullptr);
    EXPECT_EQ(db.ErrorCode(), 1);
    EXPECT_EQ(db.ErrorMessage(), "Not connected.");
    EXPECT_FALSE(PluginThreadDetached());
    EXPECT_EQ(Sqlite(file, "select name from tree where id = 3"), "Clover\n");

    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    db.SQLExecute("update tree set name = 'Dill' where id = 3");
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    db.Commit();
    EXPECT_EQ(Sqlite(file, "select name from tree where id = 3"), "Dill\n");
}

// A record set still open when its database closes ends with it: the
// driver lets the connection go, and nothing reads the freed statement.
TEST_F(Statements, CloseEndsTheRecordSetsStillOpen) {
    Ref<RecordSet> rs = db.SQLSelect("select name from tree order by id");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    db.Close();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Apple") << "what was read stays";
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof()) << "no row comes from a closed connection";
    rs = nullptr;
    EXPECT_TRUE(db.Connect());
}

TEST_F(Statements, InsertRecordBindsValuesByType) {
    DatabaseRecord record;
    record.IntegerColumn("id", 7);
    record.Column("name", "Dandelion");
    record.DoubleColumn("weight", 701.25);
    db.InsertRecord("tree", record);
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(ConnectionOf(db)->lastRowCount, 1);
    EXPECT_EQ(Sqlite(file, "select id, name, weight from tree where id = 7"), "7|Dandelion|701.25\n");
}

TEST_F(Statements, TextAtTheLengthOfItsColumnAndLongTextArriveWhole) {
    const std::string full(255, 'v');
    std::string longText;
    for (int i = 0; i < 20000; ++i) longText += char('a' + i % 26);
    Sqlite(file, "create table notes (id integer primary key, short varchar(255), body text);"
                 "insert into notes values (1, '" + full + "', '" + longText + "');");
    Ref<RecordSet> rs = db.SQLSelect("select short, body from notes");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(rs->Field("short")->StringValue(), full);
    EXPECT_EQ(rs->Field("body")->StringValue(), longText);
}

TEST(MissingDataSource, ConnectWithoutAnyTextFails) {
    ASSERT_TRUE(LoadConnector());
    EnvGuard env;
    env.unset("DISPLAY");  // the data-source chooser cannot open
    ODBCDatabase db;
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(ConnectionOf(db)->hdbc, nullptr) << "no handle is left behind";
    EXPECT_FALSE(db.IsConnected());
}

TEST(MissingDataSource, UnknownDataSourceNameGivesTheDriverManagersError) {
    ASSERT_TRUE(LoadConnector());
    ODBCDatabase db;
    db.SetDataSource("NoSuchHerd");
    db.UserName = "breeder";
    EXPECT_FALSE(db.Connect());
    EXPECT_NE(db.ErrorCode(), 0);
    EXPECT_FALSE(db.ErrorMessage().empty());
    EXPECT_EQ(ConnectionOf(db)->hdbc, nullptr);
}

}  // namespace

namespace {

TEST(MissingDataSource, ConnectionTextBeyond4095BytesIsRefusedNotCut) {
    ASSERT_TRUE(LoadConnector());
    ODBCDatabase db;
    db.SetDataSource("DRIVER=" SQLITE_ODBC_DRIVER ";Database=/tmp/" + std::string(4100, 'x') + ".db;");
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), 1);
    EXPECT_EQ(db.ErrorMessage(), "The connection text is longer than 4095 bytes.");
    EXPECT_EQ(ConnectionOf(db)->hdbc, nullptr);
}

}  // namespace
