// The CAV rig as the connector uses it: iODBC's wide functions, the exact CAV
// connection text, the row statements of the conversions into CAV, and text
// beyond ASCII in both directions. What is written is checked with the
// sqlite3 tool (SqliteCli), not through ODBC.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/rig/CavFixture.h"
#include "tests/rig/CavRigPaths.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

// iODBC 3.52.9 loses a one-byte copy it makes for a connection handle whose
// connect failed when that handle connects again; not ours to mend.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libiodbc.so.2\n";
}

namespace {

// The rows that the sqlite3 tool reads: cells joined by "|", each row ended by
// "\n", NULL as SqliteCli::Null.
std::string readBack(const std::string& path, const std::string& sql) {
    std::string text;
    for (const auto& row : SqliteCli::query(path, sql)) {
        for (size_t i = 0; i < row.size(); ++i) text += (i ? "|" : "") + row[i];
        text += "\n";
    }
    return text;
}

// UTF-8 and wide text converted by the C library, independently of the driver.
locale_t utf8Locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    return locale;
}

std::wstring wide(const std::string& text) {
    const locale_t old = uselocale(utf8Locale());
    std::wstring out(text.size() + 1, L'\0');
    const char* from = text.c_str();
    mbstate_t state{};
    const size_t n = mbsrtowcs(out.data(), &from, out.size(), &state);
    uselocale(old);
    out.resize(n == size_t(-1) ? 0 : n);
    return out;
}

std::string utf8(const std::wstring& text) {
    const locale_t old = uselocale(utf8Locale());
    std::string out(text.size() * 4 + 1, '\0');
    const wchar_t* from = text.c_str();
    mbstate_t state{};
    const size_t n = wcsrtombs(out.data(), &from, out.size(), &state);
    uselocale(old);
    out.resize(n == size_t(-1) ? 0 : n);
    return out;
}

SQLWCHAR* w(const std::wstring& text) {
    return const_cast<SQLWCHAR*>(text.c_str());
}

struct Diagnostic {
    std::wstring state;
    SQLINTEGER native = 0;
    std::wstring message;
};

Diagnostic diagnostic(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record = 1) {
    SQLWCHAR state[6] = {0};
    SQLWCHAR message[1024] = {0};
    Diagnostic d;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &d.native, message, 1024, &length))) {
        d.state = state;
        d.message = message;
    }
    return d;
}

// An environment and one connection, used the way the connector uses them.
class Odbc {
public:
    Odbc() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~Odbc() {
        freeStatement();
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Odbc(const Odbc&) = delete;
    Odbc& operator=(const Odbc&) = delete;

    SQLRETURN connect(const std::string& text) {
        const std::wstring in = wide(text);
        SQLWCHAR out[1024] = {0};
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            SQLDriverConnectW(dbc_, nullptr, w(in), SQL_NTS, out, 1024, &length, SQL_DRIVER_COMPLETE_REQUIRED);
        connected_ = SQL_SUCCEEDED(rc);
        completed = out;
        return rc;
    }
    Diagnostic connectionError() const { return diagnostic(SQL_HANDLE_DBC, dbc_); }
    Diagnostic statementError() const { return diagnostic(SQL_HANDLE_STMT, stmt_); }

    // A new statement handle; the previous one is freed.
    SQLHSTMT statement() {
        freeStatement();
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return stmt_;
    }
    SQLRETURN execute(const std::wstring& sql) {
        return SQLExecDirectW(statement(), w(sql), SQLINTEGER(sql.size()));
    }
    SQLLEN rowCount() {
        SQLLEN count = -2;
        SQLRowCount(stmt_, &count);
        return count;
    }
    SQLRETURN commit() { return SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT); }

    // Every cell of a select read with SQLGetData as wide text in pieces of
    // 8192 bytes, as the connector reads long text; nullopt for NULL.
    using Row = std::vector<std::optional<std::wstring>>;
    std::vector<Row> select(const std::wstring& sql) {
        std::vector<Row> rows;
        if (!SQL_SUCCEEDED(execute(sql))) return rows;
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt_, &columns);
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            Row row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) row.push_back(cell(c));
            rows.push_back(row);
        }
        return rows;
    }
    std::optional<std::wstring> cell(SQLUSMALLINT column) {
        std::wstring value;
        for (;;) {
            SQLWCHAR chunk[2048 + 1] = {0};
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_WCHAR, chunk, 8192, &indicator);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) {
                ADD_FAILURE() << "SQLGetData failed: " << utf8(statementError().message);
                break;
            }
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            value += chunk;
            if (rc == SQL_SUCCESS) break;
        }
        return value;
    }

    SQLHENV env_ = SQL_NULL_HANDLE;
    SQLHDBC dbc_ = SQL_NULL_HANDLE;
    SQLHSTMT stmt_ = SQL_NULL_HANDLE;
    std::wstring completed;  // the completed connection text of the last connect

private:
    void freeStatement() {
        if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = SQL_NULL_HANDLE;
    }
    bool connected_ = false;
};

// Names that need more than one byte in UTF-8, up to four.
struct Text {
    const char* utf8;
    const wchar_t* wide;
};
const Text kNames[] = {
    {"Björk", L"Björk"}, {"Ōkami", L"Ōkami"}, {"✓", L"✓"}, {"Björk ✓", L"Björk ✓"}, {"𝄞 Clef", L"𝄞 Clef"},
};

// A fresh CAV file with the CAV password in a temporary folder.
class CavRig : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("Brevolan.cav");
        CavFixture::create(path);
        ASSERT_EQ(odbc.connect(cav_rig::connectionText(path)), SQL_SUCCESS)
            << utf8(odbc.connectionError().message);
    }
    std::string query(const std::string& sql) { return readBack(path, sql); }

    TempDir dir;
    std::string path;
    Odbc odbc;
};

}  // namespace

TEST(CavRigConfiguration, LinkingTheRigPointsTheDriverManagerAtItsFilesOnly) {
    const struct {
        const char* variable;
        const char* file;
    } cases[] = {{"ODBCINSTINI", CAV_RIG_ODBCINST_INI}, {"SYSODBCINSTINI", CAV_RIG_ODBCINST_INI},
                 {"ODBCINI", CAV_RIG_ODBC_INI}, {"SYSODBCINI", CAV_RIG_ODBC_INI}};
    for (const auto& c : cases) {
        ASSERT_NE(std::getenv(c.variable), nullptr) << c.variable;
        EXPECT_STREQ(std::getenv(c.variable), c.file) << c.variable;
    }
    const std::string drivers = TempDir::read(CAV_RIG_ODBCINST_INI);
    EXPECT_NE(drivers.find("[Microsoft Access Driver (*.mdb)]"), std::string::npos) << drivers;
}

TEST(CavRigConnect, ThePasswordDecidesWhetherTheFileOpens) {
    struct Case {
        const char* name;
        std::optional<std::string> filePassword;
        std::string given;
        bool opens;
    } cases[] = {
        {"the CAV password", cav_rig::kPassword, cav_rig::kPassword, true},
        {"a wrong password", cav_rig::kPassword, "wrong", false},
        {"an empty password", cav_rig::kPassword, "", false},
        {"the password in capitals", cav_rig::kPassword, "QE7RTMOXA", false},
        {"any password, file without one", std::nullopt, "anything", true},
        {"no password, file without one", std::nullopt, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("Brevolan.cav");
        CavFixture::Options options;
        options.password = c.filePassword;
        CavFixture::create(path, options);
        Odbc odbc;
        const std::string text = cav_rig::connectionText(path, c.given);
        const SQLRETURN rc = odbc.connect(text);
        if (c.opens) {
            EXPECT_EQ(rc, SQL_SUCCESS) << utf8(odbc.connectionError().message);
            // A second connection can be opened with the completed text.
            EXPECT_EQ(odbc.completed, wide(text));
        } else {
            EXPECT_EQ(rc, SQL_ERROR);
            const Diagnostic d = odbc.connectionError();
            EXPECT_EQ(d.state, wide(cav_rig::kPasswordState));
            EXPECT_EQ(d.native, cav_rig::kPasswordNativeError);
            EXPECT_EQ(d.message, wide(cav_rig::kPasswordMessage));
        }
    }
}

TEST(CavRigConnect, ARefusedConnectionCanConnectWithTheRightPassword) {
    TempDir dir;
    const std::string path = dir.file("Brevolan.cav");
    CavFixture::create(path);
    Odbc odbc;
    ASSERT_EQ(odbc.connect(cav_rig::connectionText(path, "wrong")), SQL_ERROR);
    EXPECT_EQ(odbc.connect(cav_rig::connectionText(path)), SQL_SUCCESS) << utf8(odbc.connectionError().message);
    EXPECT_EQ(odbc.select(L"SELECT id FROM cavyUser"), std::vector<Odbc::Row>{{L"1"}});
}

TEST(CavRigConnect, AMissingFileIsRefusedAndNotCreated) {
    TempDir dir;
    const std::string path = dir.file("missing.cav");
    Odbc odbc;
    EXPECT_EQ(odbc.connect(cav_rig::connectionText(path)), SQL_ERROR);
    EXPECT_FALSE(odbc.connectionError().message.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(CavRigConnect, DataSourcesOfTheRigsOdbcIniConnect) {
    const struct {
        std::string text;
        bool opens;
    } cases[] = {
        {"DSN=CAV Rig;UID=;PWD=qe7rtmoxa;", true},
        {"DSN=CAV Rig;UID=;PWD=wrong;", false},
        {"DSN=CAV Rig Open;UID=;PWD=;", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Odbc odbc;
        EXPECT_EQ(SQL_SUCCEEDED(odbc.connect(c.text)), c.opens) << utf8(odbc.connectionError().message);
        if (c.opens) {
            EXPECT_EQ(odbc.select(L"SELECT id FROM cavyUser"), std::vector<Odbc::Row>{{L"1"}});
        }
    }
    // The chooser's way in: the listed names, then one with user and password.
    Odbc odbc;
    std::vector<std::wstring> listed;
    SQLWCHAR name[256], description[256];
    SQLSMALLINT nameLength = 0, descriptionLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;
         SQL_SUCCEEDED(SQLDataSourcesW(odbc.env_, direction, name, 256, &nameLength, description, 256,
                                       &descriptionLength));
         direction = SQL_FETCH_NEXT)
        listed.push_back(std::wstring(name) + L" = " + description);
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"CAV Rig = Microsoft Access Driver (*.mdb)",
                                                 L"CAV Rig Open = Microsoft Access Driver (*.mdb)"}));
    const std::wstring dsn = wide(cav_rig::kDataSource), user = L"", password = wide(cav_rig::kPassword);
    EXPECT_TRUE(SQL_SUCCEEDED(SQLConnectW(odbc.dbc_, w(dsn), SQL_NTS, w(user), SQL_NTS, w(password), SQL_NTS)))
        << utf8(odbc.connectionError().message);
    SQLDisconnect(odbc.dbc_);
}

TEST(CavRigConnect, AFileInAFolderWithANonAsciiNameOpensAndIsNamedWhole) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("Björk ✓"));
    const std::string path = dir.file("Björk ✓/Ōkami.cav");
    CavFixture::create(path);
    Odbc odbc;
    ASSERT_EQ(odbc.connect(cav_rig::connectionText(path)), SQL_SUCCESS) << utf8(odbc.connectionError().message);
    const struct {
        SQLUSMALLINT type;
        std::wstring want;
    } cases[] = {{SQL_DATABASE_NAME, wide(path)}, {SQL_DBMS_NAME, L"SQLite"}};
    for (const auto& c : cases) {
        SQLWCHAR value[512] = {0};
        SQLSMALLINT length = 0;
        EXPECT_EQ(SQLGetInfoW(odbc.dbc_, c.type, value, sizeof value, &length), SQL_SUCCESS);
        EXPECT_EQ(std::wstring(value), c.want);
        EXPECT_EQ(length, SQLSMALLINT(c.want.size() * sizeof(SQLWCHAR)));
    }
}

// A path with ";" or braces is given in braces, "}}" for "}", as Access
// drivers read connection texts; the file it names is the one written, and
// no file is made for a part of the path.
TEST(CavRigConnect, ABracedPathNamesTheWholeFile) {
    const struct {
        const char* folder;
        const char* braced;  // the folder as the braced value writes it
    } cases[] = {{"herd;2021", "herd;2021"}, {"c}d", "c}}d"}, {"{old} herd", "{old}} herd"}, {"x%3By?#", "x%3By?#"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        TempDir dir;
        std::filesystem::create_directory(dir.file(c.folder));
        const std::string path = dir.file(std::string(c.folder) + "/Brevolan.cav");
        CavFixture::create(path);
        Odbc odbc;
        const std::string text = std::string("DRIVER={") + cav_rig::kDriverName + "};DBQ={" + dir.path() + "/" +
                                 c.braced + "/Brevolan.cav};UID=;PWD=" + cav_rig::kPassword + ";";
        ASSERT_EQ(odbc.connect(text), SQL_SUCCESS) << utf8(odbc.connectionError().message);
        ASSERT_EQ(odbc.execute(L"INSERT INTO tree(name) VALUES ('Björk')"), SQL_SUCCESS);
        EXPECT_EQ(odbc.commit(), SQL_SUCCESS);
        EXPECT_EQ(readBack(path, "SELECT name FROM tree"), "Björk\n");
        EXPECT_EQ(TempDir::namesIn(dir.path()), std::set<std::string>{c.folder});
    }
}

// SQLite opens no path of more than 511 bytes: such a path is refused as
// Access refuses an invalid one, never cut to the name of another file.
TEST(CavRigConnect, APathTooLongForSqliteIsRefusedAsNotValid) {
    TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < 520) folder += "/" + std::string(100, 'd');
    std::filesystem::create_directories(folder);
    Odbc odbc;
    EXPECT_EQ(odbc.connect(cav_rig::connectionText(folder + "/Brevolan.cav")), SQL_ERROR);
    const Diagnostic d = odbc.connectionError();
    EXPECT_EQ(d.state, L"HY000");
    EXPECT_EQ(d.native, -1023);
    EXPECT_EQ(d.message.substr(0, 60), L"[Microsoft][ODBC Microsoft Access Driver] '(unknown)' is not");
    EXPECT_TRUE(TempDir::namesIn(folder).empty());
}

TEST_F(CavRig, AConnectionWhoseFileWentAwayIsDeadAndCannotConnectAgain) {
    // Asked the way the connector asks before every row: the narrow call.
    auto dead = [&] {
        SQLUINTEGER answer = 99;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLGetConnectAttr(odbc.dbc_, SQL_ATTR_CONNECTION_DEAD, &answer, 0, nullptr)));
        return answer;
    };
    EXPECT_EQ(dead(), SQLUINTEGER(SQL_CD_FALSE));
    std::filesystem::rename(path, path + ".away");
    EXPECT_EQ(dead(), SQLUINTEGER(SQL_CD_TRUE));

    Odbc again;
    EXPECT_EQ(again.connect(cav_rig::connectionText(path)), SQL_ERROR);
    std::filesystem::rename(path + ".away", path);
    EXPECT_EQ(dead(), SQLUINTEGER(SQL_CD_FALSE)) << "back in place, the file answers again";
    EXPECT_EQ(again.connect(cav_rig::connectionText(path)), SQL_SUCCESS);
}

// The row statements of the conversions into CAV. The RSD/CAX export leaves
// four positions of tree empty; an empty position is a syntax error in
// SQLite, so here they hold NULL.
TEST_F(CavRig, TheConversionsRowStatementsLand) {
    const std::wstring treePrefix =
        L"INSERT INTO tree (name,colour,breed,sex,dob,oldId,fatherId,motherId,ps,pd,tag,prefix,suffix,health,cage,"
        L"notes,customfield1,customfield2,customfield3,customfield4,customfield5,customfield6,customfield7,"
        L"customfield8,customfield9,customfield10,customfield11,customfield12)VALUES ('";
    ASSERT_EQ(treePrefix.size(), 278u);
    const struct {
        std::wstring statement;
        std::string check;
        std::string want;
    } cases[] = {
        {treePrefix + L"Björk ✓','Agouti','Abyssinian','female','2024-03-07',NULL,NULL,NULL,'Sire`s','Ōkami','T1',"
                      L"'Pre','Suf',NULL,'C2','Notes ✓','c1','c2','c3','c4','c5','c6','c7','c8','c9','c10','c11','"
                      L"c12')",
         "SELECT * FROM tree",
         "1|Björk ✓|Agouti|Abyssinian|female|2024-03-07|<null>|<null>|<null>|Sire`s|Ōkami|T1|Pre|Suf|<null>|C2|Notes ✓|"
         "c1|c2|c3|c4|c5|c6|c7|c8|c9|c10|c11|c12\n"},
        {treePrefix + L"Ōkami','','','undefined','1925-01-01','12',NULL,'7','','','','','','','','','','','','','',"
                      L"'','','','','','','')",
         "SELECT id, name, sex, dob, oldId, fatherId, motherId, typeof(motherId) FROM tree",
         "1|Ōkami|undefined|1925-01-01|12|<null>|7|text\n"},
        {L"INSERT INTO matings (Breed, Boar, Sow, Due, Mated, Born, numBoars, NumSows, Colour, Sold, Unsuccessful, "
         L"Stillborn, numUndefined) VALUES ('Rex','Björk','✓','2024-05-01','2024-03-01','2024-05-03','2','1',"
         L"'notes','True','False','0','1')",
         "SELECT * FROM matings", "1|Rex|Björk|✓|2024-05-01|2024-03-01|2024-05-03|2|1|notes|True|False|0|1\n"},
        {L"INSERT INTO soldStock (Dam, Offspring, Colour, DateSold, SoldTo, Sire) VALUES ('Dam ✓','Ōkami','notes',"
         L"'2024-06-01','Björk','Sire')",
         "SELECT * FROM soldStock", "1|Dam ✓|Ōkami|notes|2024-06-01|Björk|Sire\n"},
        {L"INSERT INTO vaccinations (dueDate,name,vaccination,done) VALUES ('2024-07-01','Björk ✓','Worming','True')",
         "SELECT * FROM vaccinations", "1|2024-07-01|Björk ✓|Worming|True\n"},
        {L"Update cavyUser SET fldCustomName3 = 'größe ✓' WHERE id = 1",
         "SELECT id, fldCustomName1, fldCustomName3 FROM cavyUser", "1|<null>|größe ✓\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.statement));
        SqliteCli::query(path, "DELETE FROM tree; DELETE FROM matings; DELETE FROM soldStock;"
                                  "DELETE FROM vaccinations; UPDATE cavyUser SET fldCustomName3 = NULL;");
        ASSERT_EQ(odbc.execute(c.statement), SQL_SUCCESS) << utf8(odbc.statementError().message);
        EXPECT_EQ(odbc.rowCount(), 1);
        EXPECT_EQ(odbc.commit(), SQL_SUCCESS);
        EXPECT_EQ(query(c.check), c.want);
    }
}

TEST_F(CavRig, ACaptionGoesIntoANewRowWhenTheFirstRowIsNotOne) {
    TempDir other;
    const std::string file = other.file("Other.cav");
    CavFixture::Options options;
    options.cavyUserId = 7;
    CavFixture::create(file, options);
    Odbc second;
    ASSERT_EQ(second.connect(cav_rig::connectionText(file)), SQL_SUCCESS);
    EXPECT_EQ(second.select(L"SELECT * FROM cavyUser").at(0).at(0), L"7");
    ASSERT_EQ(second.execute(L"INSERT INTO cavyUser(fldCustomName1) VALUES ('colour ✓')"), SQL_SUCCESS);
    EXPECT_EQ(readBack(file, "SELECT id, fldCustomName1 FROM cavyUser"), "7|<null>\n8|colour ✓\n");
}

TEST_F(CavRig, AnUpdateReportsTheRowsItChanged) {
    SqliteCli::query(path, "INSERT INTO tree (name, fatherId) VALUES ('a', '7'), ('b', '7'), ('c', '8');");
    ASSERT_EQ(odbc.execute(L"UPDATE tree SET ps = 'Björk' WHERE fatherId  = 7"), SQL_SUCCESS);
    EXPECT_EQ(odbc.rowCount(), 2);
    EXPECT_EQ(query("SELECT name, ps FROM tree ORDER BY id"), "a|Björk\nb|Björk\nc|<null>\n");
}

TEST_F(CavRig, TextBeyondAsciiRoundTrips) {
    for (const auto& name : kNames) {
        SCOPED_TRACE(name.utf8);
        SqliteCli::query(path, "DELETE FROM tree;");
        // Written through ODBC, read by the sqlite3 tool.
        ASSERT_EQ(odbc.execute(L"INSERT INTO tree (name) VALUES ('" + std::wstring(name.wide) + L"')"), SQL_SUCCESS);
        EXPECT_EQ(query("SELECT name, length(name) FROM tree"),
                  std::string(name.utf8) + "|" + std::to_string(wcslen(name.wide)) + "\n");
        // Found by a condition with the same text, and read back whole.
        EXPECT_EQ(odbc.select(L"SELECT name FROM tree WHERE name = '" + std::wstring(name.wide) + L"'"),
                  std::vector<Odbc::Row>{{name.wide}});
    }
}

TEST_F(CavRig, ColumnNamesBeyondAsciiAreDescribedWhole) {
    SqliteCli::query(path, "CREATE TABLE ünits (\"größe ✓\" VARCHAR(255));");
    ASSERT_EQ(odbc.execute(L"SELECT \"größe ✓\" FROM ünits"), SQL_SUCCESS) << utf8(odbc.statementError().message);
    SQLWCHAR name[256] = {0};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQLDescribeColW(odbc.stmt_, 1, name, 256, &length, &type, &size, &digits, &nullable), SQL_SUCCESS);
    EXPECT_EQ(std::wstring(name), L"größe ✓");
    EXPECT_EQ(length, 7);
    EXPECT_EQ(type, SQL_VARCHAR);
    EXPECT_EQ(size, 255u);
    // A name buffer too short keeps whole characters and tells the full length.
    ASSERT_EQ(SQLDescribeColW(odbc.stmt_, 1, name, 4, &length, &type, &size, &digits, &nullable),
              SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(std::wstring(name), L"grö");
    EXPECT_EQ(length, 7);
    EXPECT_EQ(odbc.statementError().state, L"01004");
}

// A long value is read in pieces, each piece telling what was left before it;
// characters that the narrow driver hands out split across its own chunks
// come out whole.
TEST_F(CavRig, ALongValueIsReadInPieces) {
    std::string stored;
    std::wstring want;
    for (int i = 0; i < 3000; ++i) {
        stored += "ö✓x";
        want += L"ö✓x";
    }
    SqliteCli::query(path, "INSERT INTO tree (notes) VALUES ('" + stored + "');");
    ASSERT_EQ(odbc.execute(L"SELECT notes FROM tree"), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(odbc.stmt_), SQL_SUCCESS);
    std::wstring got;
    std::vector<SQLLEN> lefts;
    SQLRETURN rc;
    do {
        SQLWCHAR chunk[2048] = {0};
        SQLLEN indicator = 0;
        rc = SQLGetData(odbc.stmt_, 1, SQL_C_WCHAR, chunk, sizeof chunk, &indicator);
        ASSERT_TRUE(SQL_SUCCEEDED(rc));
        if (rc == SQL_SUCCESS_WITH_INFO) {
            EXPECT_EQ(odbc.statementError().state, L"01004");
        }
        lefts.push_back(indicator);
        got += chunk;
    } while (rc == SQL_SUCCESS_WITH_INFO);
    EXPECT_EQ(got, want);
    const SQLLEN total = SQLLEN(want.size() * sizeof(SQLWCHAR)), piece = 2047 * sizeof(SQLWCHAR);
    EXPECT_EQ(lefts, (std::vector<SQLLEN>{total, total - piece, total - 2 * piece, total - 3 * piece,
                                          total - 4 * piece}));
    SQLWCHAR after[8];
    SQLLEN indicator = 0;
    EXPECT_EQ(SQLGetData(odbc.stmt_, 1, SQL_C_WCHAR, after, sizeof after, &indicator), SQL_NO_DATA);
}

TEST_F(CavRig, NullAndEmptyValuesAreToldApart) {
    SqliteCli::query(path, "INSERT INTO tree (name, colour) VALUES ('', NULL);");
    ASSERT_EQ(odbc.execute(L"SELECT name, colour FROM tree"), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(odbc.stmt_), SQL_SUCCESS);
    const struct {
        SQLUSMALLINT column;
        SQLLEN indicator;
    } cases[] = {{1, 0}, {2, SQL_NULL_DATA}};
    for (const auto& c : cases) {
        SQLWCHAR value[16] = {L'?'};
        SQLLEN indicator = 99;
        EXPECT_EQ(SQLGetData(odbc.stmt_, c.column, SQL_C_WCHAR, value, sizeof value, &indicator), SQL_SUCCESS);
        EXPECT_EQ(indicator, c.indicator);
        EXPECT_EQ(SQLGetData(odbc.stmt_, c.column, SQL_C_WCHAR, value, sizeof value, &indicator), SQL_NO_DATA);
    }
}

TEST_F(CavRig, BoundWideColumnsHoldEachFetchedRow) {
    for (const auto& name : kNames)
        SqliteCli::query(path, std::string("INSERT INTO tree (name) VALUES ('") + name.utf8 + "');");
    SqliteCli::query(path, "INSERT INTO tree (name) VALUES (NULL);");
    ASSERT_EQ(odbc.execute(L"SELECT name, name FROM tree ORDER BY id"), SQL_SUCCESS);
    SQLWCHAR whole[256], cut[4];
    SQLLEN wholeLength = 0, cutLength = 0;
    ASSERT_EQ(SQLBindCol(odbc.stmt_, 1, SQL_C_WCHAR, whole, sizeof whole, &wholeLength), SQL_SUCCESS);
    ASSERT_EQ(SQLBindCol(odbc.stmt_, 2, SQL_C_WCHAR, cut, sizeof cut, &cutLength), SQL_SUCCESS);
    for (const auto& name : kNames) {
        SCOPED_TRACE(name.utf8);
        const std::wstring want = name.wide;
        const SQLRETURN rc = SQLFetch(odbc.stmt_);
        EXPECT_EQ(rc, want.size() > 3 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS);
        EXPECT_EQ(std::wstring(whole), want);
        EXPECT_EQ(wholeLength, SQLLEN(want.size() * sizeof(SQLWCHAR)));
        EXPECT_EQ(std::wstring(cut), want.substr(0, 3));
        EXPECT_EQ(cutLength, wholeLength);
        if (rc == SQL_SUCCESS_WITH_INFO) {
            EXPECT_EQ(odbc.statementError().state, L"01004");
        }
    }
    EXPECT_EQ(SQLFetch(odbc.stmt_), SQL_SUCCESS);
    EXPECT_EQ(wholeLength, SQL_NULL_DATA);
    EXPECT_EQ(SQLFetch(odbc.stmt_), SQL_NO_DATA);
}

// Parameters are read when the statement runs, not when they are bound.
TEST_F(CavRig, BoundWideParametersAreWrittenAsTheyStandAtEachRun) {
    SQLHSTMT statement = odbc.statement();
    const std::wstring insert = L"INSERT INTO tree (name, notes) VALUES (?, ?)";
    ASSERT_EQ(SQLPrepareW(statement, w(insert), SQL_NTS), SQL_SUCCESS);
    SQLWCHAR name[64] = {0}, notes[64] = {0};
    SQLLEN nameLength = SQL_NTS, notesLength = 0;
    ASSERT_EQ(SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 255, 0, name, sizeof name,
                               &nameLength),
              SQL_SUCCESS);
    ASSERT_EQ(SQLBindParameter(statement, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WLONGVARCHAR, 0, 0, notes,
                               sizeof notes, &notesLength),
              SQL_SUCCESS);
    const struct {
        const wchar_t* name;
        const wchar_t* notes;
        SQLLEN notesLength;  // bytes, or SQL_NULL_DATA
    } runs[] = {{L"Björk ✓", L"Ōkami ✓ and more", 7 * sizeof(SQLWCHAR)}, {L"𝄞", L"", SQL_NULL_DATA}};
    for (const auto& run : runs) {
        wcscpy(name, run.name);
        wcscpy(notes, run.notes);
        notesLength = run.notesLength;
        ASSERT_EQ(SQLExecute(statement), SQL_SUCCESS) << utf8(odbc.statementError().message);
    }
    EXPECT_EQ(query("SELECT name, notes FROM tree ORDER BY id"), "Björk ✓|Ōkami ✓\n𝄞|<null>\n");
}

// Access refuses an empty text in a Date/Time or Number column, and so
// loses the whole row; the rig's file refuses it too. NULL passes.
TEST_F(CavRig, DateAndNumberColumnsRefuseAnEmptyText) {
    SqliteCli::query(path, "INSERT INTO tree (id, name) VALUES (1, 'Bella');");
    const std::wstring mismatch = L"Data type mismatch in criteria expression.";
    const struct {
        std::wstring statement;
        bool refused;
    } cases[] = {
        {L"INSERT INTO tree (name,dob) VALUES ('A','')", true},
        {L"INSERT INTO tree (name,oldId,fatherId,motherId) VALUES ('A','7','','8')", true},
        {L"UPDATE tree SET motherId = '' WHERE id = 1", true},
        {L"INSERT INTO matings (Breed,Due,numBoars) VALUES ('Rex','2024-05-01','')", true},
        {L"INSERT INTO matings (Breed,Born) VALUES ('Rex','')", true},
        {L"INSERT INTO soldStock (Dam,DateSold) VALUES ('Dam','')", true},
        {L"INSERT INTO vaccinations (name,dueDate) VALUES ('Bella','')", true},
        {L"INSERT INTO tree (name,dob,oldId,fatherId,motherId,colour) VALUES ('A',NULL,NULL,NULL,NULL,'')", false},
        {L"INSERT INTO matings (Breed,Due,Mated,Born,numBoars,NumSows,Stillborn,numUndefined,Colour) VALUES "
         L"('',NULL,NULL,NULL,NULL,NULL,NULL,NULL,'')",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.statement));
        if (!c.refused) {
            EXPECT_EQ(odbc.execute(c.statement), SQL_SUCCESS) << utf8(odbc.statementError().message);
            continue;
        }
        EXPECT_EQ(odbc.execute(c.statement), SQL_ERROR);
        EXPECT_NE(odbc.statementError().message.find(mismatch), std::wstring::npos)
            << utf8(odbc.statementError().message);
    }
    EXPECT_EQ(odbc.commit(), SQL_SUCCESS);
    EXPECT_EQ(query("SELECT count(*) FROM tree WHERE name = 'A'"), "1\n");
    EXPECT_EQ(query("SELECT motherId FROM tree WHERE id = 1"), "<null>\n");
    EXPECT_EQ(query("SELECT count(*) FROM matings"), "1\n");
}

// oldId, fatherId and motherId are Number columns in an Access file: a
// criterion that compares one with a quoted text is refused, before anything
// changes, while a quoted number put into one is converted and passes.
TEST_F(CavRig, CriteriaThatCompareANumberColumnWithQuotedTextAreRefused) {
    const struct {
        std::wstring statement;
        bool refused;
    } cases[] = {
        {L"SELECT name FROM tree WHERE oldId = '7'", true},
        {L"UPDATE tree SET ps = 'Sire' WHERE fatherId  = '7'", true},
        {L"UPDATE tree SET sex = 'male' WHERE OLDID='7' AND (sex IS NULL OR sex <> 'male')", true},
        {L"SELECT name FROM tree WHERE name = 'Kid' AND tree.[motherId] <> '8'", true},
        {L"SELECT name FROM tree WHERE '7' = oldId", true},
        {L"SELECT name FROM tree WHERE oldId = 7", false},
        {L"UPDATE tree SET ps = 'Sire' WHERE fatherId  = 7", false},
        {L"SELECT name FROM tree WHERE oldId <> -7", false},
        {L"SELECT name FROM tree WHERE name = 'oldId' OR ps = 'fatherId = ''7'''", false},
        {L"SELECT name FROM tree WHERE ps = '7' OR breed <> 'oldId'", false},
        {L"UPDATE tree SET fatherId = '7', ps = 'Sire' WHERE id = 2", false},
        {L"INSERT INTO tree (name,oldId,fatherId,motherId) VALUES ('Kid','9','7','8')", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.statement));
        SqliteCli::query(path, "DELETE FROM tree; INSERT INTO tree (id, name, oldId, fatherId, motherId) "
                               "VALUES (1, 'Sire', '7', NULL, NULL), (2, 'Kid', '9', '7', '8');");
        const SQLRETURN prepared = SQLPrepareW(odbc.statement(), w(c.statement), SQL_NTS);
        EXPECT_EQ(prepared == SQL_ERROR, c.refused);
        if (!c.refused) {
            EXPECT_EQ(odbc.execute(c.statement), SQL_SUCCESS) << utf8(odbc.statementError().message);
            continue;
        }
        EXPECT_EQ(odbc.statementError().state, L"22018");
        EXPECT_EQ(odbc.execute(c.statement), SQL_ERROR);
        const Diagnostic d = odbc.statementError();
        EXPECT_EQ(d.state, L"22018");
        EXPECT_EQ(d.native, cav_rig::kTypeMismatchNativeError);
        EXPECT_EQ(utf8(d.message), cav_rig::kTypeMismatchMessage);
        EXPECT_EQ(query("SELECT name, sex, ps, fatherId FROM tree ORDER BY id"),
                  "Sire|<null>|<null>|<null>\nKid|<null>|<null>|7\n");
    }
}

TEST_F(CavRig, DriverMessagesArriveWhole) {
    const struct {
        std::wstring statement;
        std::wstring message;
    } cases[] = {
        {L"SELECT name FROM nosuch_✓", L"no such table: nosuch_✓"},
        // The RSD/CAX export's tree statement leaves positions empty.
        {L"INSERT INTO tree (name,colour,oldId,fatherId)VALUES ('Björk','',,)", L"syntax error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(c.statement));
        EXPECT_EQ(odbc.execute(c.statement), SQL_ERROR);
        const Diagnostic d = odbc.statementError();
        EXPECT_EQ(d.state, L"HY000");
        EXPECT_NE(d.message.find(c.message), std::wstring::npos) << utf8(d.message);
        // A short buffer keeps whole characters and tells the full length.
        SQLWCHAR state[6], shortMessage[6];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, odbc.stmt_, 1, state, &native, shortMessage, 6, &length),
                  SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(std::wstring(shortMessage), d.message.substr(0, 5));
        EXPECT_EQ(length, SQLSMALLINT(d.message.size()));
    }
}

TEST_F(CavRig, TheCatalogListsTheCavTablesAndTheColumnsTheStatementsWrite) {
    const std::wstring table = L"tree";
    ASSERT_EQ(SQLColumnsW(odbc.statement(), nullptr, 0, nullptr, 0, w(table), SQL_NTS, nullptr, 0), SQL_SUCCESS);
    std::wstring columns;
    while (SQL_SUCCEEDED(SQLFetch(odbc.stmt_))) columns += odbc.cell(4).value_or(L"?") + L",";
    EXPECT_EQ(columns,
              L"id,name,colour,breed,sex,dob,oldId,fatherId,motherId,ps,pd,tag,prefix,suffix,health,cage,notes,"
              L"customfield1,customfield2,customfield3,customfield4,customfield5,customfield6,customfield7,"
              L"customfield8,customfield9,customfield10,customfield11,customfield12,");

    const std::wstring types = L"TABLE";
    ASSERT_EQ(SQLTablesW(odbc.statement(), nullptr, 0, nullptr, 0, nullptr, 0, w(types), SQL_NTS), SQL_SUCCESS);
    std::vector<std::wstring> tables;
    while (SQL_SUCCEEDED(SQLFetch(odbc.stmt_))) tables.push_back(odbc.cell(3).value_or(L"?"));
    for (const wchar_t* t : {L"tree", L"matings", L"soldStock", L"vaccinations", L"cavyUser"})
        EXPECT_NE(std::find(tables.begin(), tables.end(), t), tables.end()) << utf8(t);
}
