#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>

#include "framework/EventLoop.h"
#include "framework/SqlFileDatabase.h"
#include "tests/support/LockWait.h"
#include "tests/support/OtherProgram.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

namespace {

const std::string Key = "plovertarn";

Ref<SqlFileDatabase> openDb(const std::string& path, const std::string& key = "") {
    auto db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(path);
    db->EncryptionKey = key;
    return db;
}

// A small herd made by the independent tool, optionally keyed.
std::string makeHerd(const TempDir& dir, const std::string& name, const std::string& key = "") {
    const std::string path = dir.file(name);
    SqliteCli::query(path,
                     "CREATE TABLE tree(id integer NOT NULL PRIMARY KEY, name Varchar, colour Varchar, dob DATE, "
                     "oldId Integer);"
                     "INSERT INTO tree(name, colour, dob, oldId) VALUES ('Bella', 'brown', '2020-03-04', 7);"
                     "INSERT INTO tree(name, colour, dob, oldId) VALUES ('Max', NULL, 'not known', 8);",
                     key);
    return path;
}

int64_t countRows(const std::string& path, const std::string& table) {
    const auto rows = SqliteCli::query(path, "SELECT count(*) FROM " + table);
    return rows.empty() ? -1 : std::stoll(rows[0][0]);
}

}  // namespace

TEST(SqlFileDatabase, ConnectRefusesWhatIsNoReadableDatabaseAndLeavesTheFileAlone) {
    TempDir dir;
    const std::string keyed = makeHerd(dir, "keyed.rsd", Key);
    const std::string plain = makeHerd(dir, "plain.rsd");
    // A database cut short: its pages end long before the header says.
    std::string big = dir.file("truncated.rsd");
    SqliteCli::query(big, "CREATE TABLE t(id integer PRIMARY KEY, a);"
                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                          "INSERT INTO t(a) SELECT hex(randomblob(60)) FROM n;");
    std::filesystem::resize_file(big, std::filesystem::file_size(big) / 3);
    std::filesystem::create_directory(dir.file("folder.rsd"));
    dir.write("empty.rsd", "");
    dir.write("text.rsd", "NAME,COLOR\nBella,brown\n");
    dir.write("short.rsd", "SQLite format 3");
    // A keyed file with one byte of its second page changed.
    const std::string tampered = makeHerd(dir, "tampered.rsd", Key);
    {
        std::fstream f(tampered, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(1024 + 100);
        const char stored = char(f.get());
        f.seekp(1024 + 100);
        f.put(char(~stored));
    }

    struct Case {
        std::string file, key;
    } cases[] = {
        {"missing.rsd", ""}, {"missing.rsd", Key}, {"folder.rsd", ""}, {"empty.rsd", ""},   {"empty.rsd", Key},
        {"text.rsd", ""},    {"text.rsd", Key},    {"short.rsd", ""},  {"truncated.rsd", ""},
        {"keyed.rsd", ""},   {"keyed.rsd", "wrong"}, {"plain.rsd", Key}, {"tampered.rsd", Key},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " with key \"" + c.key + "\"");
        const std::string path = dir.file(c.file);
        const bool existed = std::filesystem::exists(path);
        const std::string before = existed ? TempDir::read(path) : "";
        auto db = openDb(path, c.key);
        bool connected = true;
        EXPECT_NO_THROW(connected = db->Connect());
        EXPECT_FALSE(connected);
        EXPECT_NE(db->ErrorCode(), 0);
        EXPECT_NE(db->ErrorMessage(), "");
        EXPECT_EQ(db->SQLSelect("SELECT 1"), nullptr);
        db = nullptr;
        EXPECT_EQ(std::filesystem::exists(path), existed);
        if (existed && !std::filesystem::is_directory(path)) {
            EXPECT_EQ(TempDir::read(path), before);
        }
        // No journal or other file is left beside it.
        EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    }
}

TEST(SqlFileDatabase, OpensKeyedFilesWithTheirKeyAndPlainFilesWithout) {
    TempDir dir;
    for (const std::string& key : {Key, std::string()}) {
        SCOPED_TRACE("key \"" + key + "\"");
        auto db = openDb(makeHerd(dir, key.empty() ? "plain.rsd" : "keyed.rsd", key), key);
        ASSERT_TRUE(db->Connect());
        EXPECT_TRUE(db->Connect()) << "connecting an open object again";
        EXPECT_EQ(db->ErrorCode(), 0);
        Ref<RecordSet> rs = db->SQLSelect("SELECT name FROM tree ORDER BY id");
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->Field("name")->StringValue(), "Bella");
    }
}

// Keyed files as the sqlcipher tool writes them read as the tool reads them:
// its default pages, larger ones, a full-size herd, and changes still in a
// write-ahead log beside the file (copied while the tool had it open).
TEST(SqlFileDatabase, ReadsKeyedFilesAsTheSqlcipherToolReadsThem) {
    TempDir dir;
    const std::string herd =
        "CREATE TABLE tree(id integer NOT NULL PRIMARY KEY, name Varchar, notes Text, dob DATE);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %d) "
        "INSERT INTO tree(name, notes, dob) SELECT 'A' || i, hex(randomblob(i % 300)), '2020-01-02' FROM n;";
    auto herdOf = [&](int animals) {
        std::string sql = herd;
        sql.replace(sql.find("%d"), 2, std::to_string(animals));
        return sql;
    };
    // The tool reads a file of other than its default pages only when told
    // their size (`setting`); the converter finds it.
    struct Case {
        std::string name, sql, setting;
    } cases[] = {
        {"defaults.rsd", herdOf(200), ""},
        {"pages4096.rsd", "PRAGMA cipher_page_size = 4096;" + herdOf(200), "PRAGMA cipher_page_size = 4096;"},
        {"full.rsd", herdOf(99000), ""},
        {"wal.rsd", herdOf(200) + "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                                  "UPDATE tree SET name = 'Changed' WHERE id = 5;"
                                  "INSERT INTO tree(name) VALUES ('Late');\n"
                                  ".system cp " + dir.file("wal.rsd") + " " + dir.file("copy.rsd") + " && cp " +
                                  dir.file("wal.rsd-wal") + " " + dir.file("copy.rsd-wal") + "\n",
         ""},
    };
    const std::string summary =
        "SELECT count(*), sum(id), sum(length(name)), min(name), max(name), sum(length(notes)), "
        "(SELECT name FROM tree WHERE id = 5), (SELECT name FROM tree ORDER BY id DESC LIMIT 1) FROM tree";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string made = dir.file(c.name);
        SqliteCli::Result result = SqliteCli::run(made, c.sql, Key);
        ASSERT_TRUE(result.ok) << result.error;
        const std::string path = c.name == "wal.rsd" ? dir.file("copy.rsd") : made;
        if (c.name == "wal.rsd") {
            ASSERT_GT(std::filesystem::file_size(path + "-wal"), 0u);
        }
        // Ours first: the tool, once done, moves the log into the file.
        auto db = openDb(path, Key);
        db->ReadOnly = true;
        ASSERT_TRUE(db->Connect()) << db->ErrorMessage();
        Ref<RecordSet> rs = db->SQLSelect(summary);
        ASSERT_TRUE(rs) << db->ErrorMessage();
        SqliteCli::Row read;
        for (int i = 0; i < rs->FieldCount(); ++i) read.push_back(rs->ColumnValue(i).StringValue());
        db = nullptr;
        EXPECT_EQ(SqliteCli::query(path, c.setting + summary, Key), SqliteCli::Rows{read});
    }
}

// Files come from others: what SQL can do to damage a file, functions with
// side effects called from the schema, and values that would take memory
// without bound are refused; nothing is read through memory maps.
TEST(SqlFileDatabase, ConnectionsAreSetUpForHostileFiles) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    SqliteCli::query(path, "CREATE VIEW leak AS SELECT hex(fts3_tokenizer('simple')) AS p;"
                           "CREATE VIEW node AS SELECT rtreenode(2, x'00000010') AS n;");
    const std::string schemaBefore = SqliteCli::query(path, "SELECT group_concat(sql, ';') FROM sqlite_master")[0][0];
    auto db = openDb(path);
    ASSERT_TRUE(db->Connect());
    const struct {
        const char* sql;
        const char* error;
    } refused[] = {
        {"SELECT p FROM leak", "unsafe use of fts3_tokenizer()"},
        {"SELECT n FROM node", "unsafe use of rtreenode()"},
        {"SELECT length(zeroblob(200000000)) AS n", "string or blob too big"},
        {"SELECT length(replace(hex(zeroblob(30000000)), '0', 'ab')) AS n", "string or blob too big"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(db->SQLSelect(c.sql), nullptr);
        EXPECT_EQ(db->ErrorMessage(), c.error);
    }
    db->SQLExecute("PRAGMA writable_schema = ON");
    db->SQLExecute("UPDATE sqlite_master SET sql = 'CREATE TABLE tree AS SELECT 1 AS id' WHERE name = 'tree'");
    EXPECT_NE(db->ErrorCode(), 0) << "the schema cannot be written";
    db->Commit();
    Ref<RecordSet> mmap = db->SQLSelect("PRAGMA mmap_size");
    ASSERT_TRUE(mmap);
    EXPECT_EQ(mmap->ColumnValue(0).IntegerValue(), 0);
    db->Close();
    EXPECT_EQ(SqliteCli::query(path, "SELECT group_concat(sql, ';') FROM sqlite_master")[0][0], schemaBefore);
}

// A select that gives more rows than the bound stops at the first row beyond
// it, also one that would never end.
TEST(SqlFileDatabase, ASelectOfMoreRowsThanTheBoundStopsThere) {
    TempDir dir;
    auto db = openDb(makeHerd(dir, "herd.rsd"));
    db->MaxRows = 3;
    ASSERT_TRUE(db->Connect());
    const struct {
        const char* sql;
        bool read;
    } cases[] = {
        {"WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r WHERE x < 3) SELECT x FROM r", true},
        {"WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r WHERE x < 4) SELECT x FROM r", false},
        {"WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) SELECT x FROM r", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        Ref<RecordSet> rs = db->SQLSelect(c.sql);
        EXPECT_EQ(bool(rs), c.read);
        EXPECT_EQ(db->ErrorCode(), c.read ? 0 : 18) << db->ErrorMessage();  // SQLITE_TOOBIG
        if (rs) {
            EXPECT_EQ(rs->RecordCount(), 3);
        }
    }
    EXPECT_TRUE(db->SQLSelect("SELECT 1")) << "the database stays usable";
}

TEST(SqlFileDatabase, CreatedFilesHaveNoKeyAndAreReadableAtOnce) {
    TempDir dir;
    auto db = openDb(dir.file("new.cax"), Key);
    ASSERT_TRUE(db->CreateDatabaseFile());
    // Another reader (and a second object) can open the new file before it holds a table.
    EXPECT_TRUE(SqliteCli::run(dir.file("new.cax"), "SELECT count(*) FROM sqlite_master").ok);
    auto second = openDb(dir.file("new.cax"));
    EXPECT_TRUE(second->Connect());

    db->SQLExecute("CREATE TABLE t(id integer NOT NULL PRIMARY KEY, a Varchar)");
    db->Commit();
    EXPECT_EQ(SqliteCli::columns(dir.file("new.cax"), "t"), (std::vector<std::string>{"id", "a"}));

    // An existing file is not replaced; a file in a missing folder cannot be made.
    const std::string before = TempDir::read(dir.file("new.cax"));
    auto again = openDb(dir.file("new.cax"));
    EXPECT_FALSE(again->CreateDatabaseFile());
    EXPECT_NE(again->ErrorCode(), 0);
    EXPECT_EQ(TempDir::read(dir.file("new.cax")), before);
    auto nowhere = openDb(dir.file("no/such/folder.cax"));
    EXPECT_FALSE(nowhere->CreateDatabaseFile());
    EXPECT_NE(nowhere->ErrorMessage(), "");
}

TEST(SqlFileDatabase, SelectReadsRowsFieldsAndDatesIgnoringCase) {
    TempDir dir;
    auto db = openDb(makeHerd(dir, "herd.rsd"));
    ASSERT_TRUE(db->Connect());

    Ref<RecordSet> rs = db->SQLSelect("select * from TREE order by ID");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Field("NAME")->StringValue(), "Bella");
    EXPECT_EQ(rs->Field("Colour")->StringValue(), "brown");
    EXPECT_EQ(rs->Field("OLDID")->IntegerValue(), 7);
    EXPECT_EQ(rs->Field("nosuchcolumn"), nullptr);
    // A DATE column's value is a date; its text holds the time of midnight.
    Ref<DatabaseField> dob = rs->Field("DOB");
    EXPECT_EQ(dob->Value().GetType(), Variant::Type::Date);
    EXPECT_EQ(dob->StringValue(), "2020-03-04 00:00:00");
    ASSERT_TRUE(dob->DateValue());
    EXPECT_EQ(dob->DateValue()->SQLDate(), "2020-03-04");

    rs->MoveNext();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Max");
    EXPECT_TRUE(rs->Field("colour")->Value().IsNil());
    EXPECT_EQ(rs->Field("dob")->StringValue(), "not known") << "text that is no date stays text";
    EXPECT_EQ(rs->Field("dob")->DateValue(), nullptr);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->Field("name")->StringValue(), "") << "no current row: an empty value";
    rs->MoveFirst();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Bella");

    Ref<RecordSet> none = db->SQLSelect("SELECT * FROM tree WHERE id = 99");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->Eof());
    EXPECT_EQ(none->RecordCount(), 0);
}

// The readers of many rows take a value's stored text without a copy: of a
// text column through ColumnText, of a DATE column (whose values may read as
// dates) through ColumnDateText; neither gives another kind of value.
TEST(SqlFileDatabase, StoredTextIsReadInPlaceByTheKindOfItsColumn) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    SqliteCli::query(path, "INSERT INTO tree(name, colour, dob) VALUES ('Rosie', '', 20200304);");
    auto db = openDb(path);
    ASSERT_TRUE(db->Connect());
    Ref<RecordSet> rs = db->SQLSelect("SELECT name, colour, dob, oldId FROM tree ORDER BY id");
    ASSERT_TRUE(rs);
    const struct {
        int row, column;
        const char* text;      // as ColumnText shows it; nullptr: false
        const char* dateText;  // as ColumnDateText shows it; nullptr: false
    } cases[] = {
        {0, 0, "Bella", nullptr},     {0, 2, nullptr, "2020-03-04"}, {0, 3, nullptr, nullptr},
        {1, 1, nullptr, nullptr},     {1, 2, nullptr, "not known"},  {2, 1, "", nullptr},
        {2, 2, nullptr, nullptr},     {3, 0, nullptr, nullptr},      {3, 2, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(c.row) + ", column " + std::to_string(c.column));
        rs->MoveFirst();
        for (int i = 0; i < c.row; ++i) rs->MoveNext();
        std::string_view text = "untouched", dateText = "untouched";
        EXPECT_EQ(rs->ColumnText(c.column, text), c.text != nullptr);
        if (c.text) {
            EXPECT_EQ(text, c.text);
        }
        EXPECT_EQ(rs->ColumnDateText(c.column, dateText), c.dateText != nullptr);
        if (c.dateText) {
            EXPECT_EQ(dateText, c.dateText);
        }
    }
    std::string_view text;
    EXPECT_THROW(rs->ColumnDateText(4, text), OutOfBoundsException);
}

TEST(SqlFileDatabase, FailuresSetTheErrorAndSuccessClearsIt) {
    TempDir dir;
    auto db = openDb(makeHerd(dir, "herd.rsd"));
    ASSERT_TRUE(db->Connect());
    for (const char* bad : {"SELECT * FROM nosuchtable", "SELEKT 1", "SELECT name FROM tree WHERE id =", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(db->SQLSelect(bad), nullptr);
        EXPECT_NE(db->ErrorCode(), 0);
    }
    db->SQLSelect("SELECT * FROM nosuchtable");
    EXPECT_EQ(db->ErrorCode(), 1);
    EXPECT_EQ(db->ErrorMessage(), "no such table: nosuchtable");
    EXPECT_TRUE(db->SQLSelect("SELECT 1"));
    EXPECT_EQ(db->ErrorCode(), 0);
    EXPECT_EQ(db->ErrorMessage(), "");

    DatabaseRecord record;
    record.Column("name", "x");
    EXPECT_NO_THROW(db->InsertRecord("nosuchtable", record));
    EXPECT_NE(db->ErrorCode(), 0);

    db->Close();
    EXPECT_EQ(db->SQLSelect("SELECT 1"), nullptr);
    EXPECT_NE(db->ErrorMessage(), "");
}

TEST(SqlFileDatabase, RecordSetsOutliveTheirDatabase) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    Ref<RecordSet> afterClose, afterRelease;
    {
        auto db = openDb(path);
        ASSERT_TRUE(db->Connect());
        afterClose = db->SQLSelect("SELECT name FROM tree ORDER BY id");
        afterRelease = db->SQLSelect("SELECT name FROM tree ORDER BY id DESC");
        db->Close();
    }
    ASSERT_TRUE(afterClose && afterRelease);
    EXPECT_EQ(afterClose->Field("name")->StringValue(), "Bella");
    afterClose->MoveNext();
    EXPECT_EQ(afterClose->Field("name")->StringValue(), "Max");
    EXPECT_EQ(afterRelease->Field("name")->StringValue(), "Max");
    // Editing one whose database is gone writes nothing and raises nothing.
    afterRelease->Edit();
    afterRelease->Field("name")->SetStringValue("Changed");
    EXPECT_NO_THROW(afterRelease->Update());
    EXPECT_EQ(SqliteCli::query(path, "SELECT name FROM tree ORDER BY id"),
              (SqliteCli::Rows{{"Bella"}, {"Max"}}));
}

TEST(SqlFileDatabase, InsertLeavesOutColumnsTheTableLacksAndNumbersRows) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    SqliteCli::query(path, "DELETE FROM tree");
    auto db = openDb(path);
    ASSERT_TRUE(db->Connect());
    for (const char* name : {"Ann", "Ben"}) {
        DatabaseRecord record;
        record.Column("NAME", name);
        record.Column("DOB", "2021-05-06");
        record.Column("OldID", "12");
        record.Column("customfield13", "kept nowhere");
        db->InsertRecord("TREE", record);
        EXPECT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
    }
    DatabaseRecord withId;
    withId.IntegerColumn("id", 10);
    withId.Column("name", "Cid");
    db->InsertRecord("tree", withId);
    db->Commit();
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, name, dob, typeof(oldId) FROM tree ORDER BY id"),
              (SqliteCli::Rows{{"1", "Ann", "2021-05-06", "integer"},
                               {"2", "Ben", "2021-05-06", "integer"},
                               {"10", "Cid", SqliteCli::Null, "null"}}));
}

TEST(SqlFileDatabase, RowsByPositionAreStoredAsTheSameRecordsByName) {
    // Each case inserted both ways into a table of its own; the tool reads
    // both back. A nullopt value is NULL, a text a text (with the column's
    // affinity), a column that the table lacks is left out, and values
    // missing at the end are NULL.
    const std::vector<String> columns = {"NAME", "dob", "OldID", "customfield13", "colour"};
    using Value = std::optional<std::string_view>;
    const struct {
        const char* name;
        std::vector<Value> values;
    } cases[] = {
        {"texts and numbers", {"Ann", "2021-05-06", "12", "kept nowhere", "brown"}},
        {"NULL and empty", {"Ben", std::nullopt, "", std::nullopt, ""}},
        {"apostrophes and a 20-digit id", {"O'Neil", "x'); DROP TABLE tree; --", "12345678901234567890", "", "a'b"}},
        {"short", {"Cid"}},
    };
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    SqliteCli::query(path, "DELETE FROM tree; CREATE TABLE byName(id integer NOT NULL PRIMARY KEY, name Varchar, "
                           "colour Varchar, dob DATE, oldId Integer);");
    auto db = openDb(path);
    ASSERT_TRUE(db->Connect());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DatabaseRecord record;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i < c.values.size() && c.values[i]) record.Column(columns[i], String(*c.values[i]));
            else record.NilColumn(columns[i]);
        }
        db->InsertRecord("byName", record);
        ASSERT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
        // The texts change after the call: only their bytes at the call count.
        std::vector<String> texts;
        for (const Value& v : c.values) texts.push_back(v ? String(*v) : String());
        std::vector<Value> values;
        for (size_t i = 0; i < c.values.size(); ++i)
            values.push_back(c.values[i] ? Value(texts[i]) : std::nullopt);
        db->InsertRow("TREE", columns, values);
        ASSERT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
        for (String& t : texts) t.assign(t.size(), '#');
    }
    db->Commit();
    const std::string read = "SELECT id, quote(name), quote(colour), quote(dob), quote(oldId), typeof(oldId) FROM ";
    const SqliteCli::Rows byPosition = SqliteCli::query(path, read + "tree ORDER BY id");
    EXPECT_EQ(byPosition.size(), std::size(cases));
    EXPECT_EQ(byPosition, SqliteCli::query(path, read + "byName ORDER BY id"));
    EXPECT_EQ(byPosition[1], (SqliteCli::Rows::value_type{"2", "'Ben'", "''", "NULL", "''", "text"}));
}

TEST(SqlFileDatabase, UpdateWritesEditedFieldsBackByTheKey) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    auto db = openDb(path);
    ASSERT_TRUE(db->Connect());
    Ref<RecordSet> rs = db->SQLSelect("Select * From tree ORDER BY name DESC");
    ASSERT_TRUE(rs);
    rs->Edit();
    rs->Field("Colour")->SetStringValue("white");
    rs->Update();
    EXPECT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
    EXPECT_EQ(rs->Field("colour")->StringValue(), "white") << "the row held in memory changes too";
    db->Commit();
    EXPECT_EQ(SqliteCli::query(path, "SELECT name, colour FROM tree ORDER BY id"),
              (SqliteCli::Rows{{"Bella", "brown"}, {"Max", "white"}}));

    // Rows that cannot be found again (no key selected) are not written.
    Ref<RecordSet> keyless = db->SQLSelect("SELECT name FROM tree");
    keyless->Edit();
    keyless->Field("name")->SetStringValue("Changed");
    keyless->Update();
    EXPECT_NE(db->ErrorCode(), 0);
    db->Commit();
    EXPECT_EQ(countRows(path, "tree WHERE name = 'Changed'"), 0);
}

TEST(SqlFileDatabase, OnlyCommitMakesWritesPermanent) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    auto write = [&](const char* name) {
        auto db = openDb(path);
        EXPECT_TRUE(db->Connect());
        DatabaseRecord record;
        record.Column("name", name);
        db->InsertRecord("tree", record);
        db->SQLExecute(std::string("UPDATE tree SET colour = '") + name + "' WHERE id = 1");
        return db;
    };
    write("dropped by close")->Close();
    write("dropped by release");
    EXPECT_EQ(countRows(path, "tree"), 2);
    EXPECT_EQ(SqliteCli::query(path, "SELECT colour FROM tree WHERE id = 1"), (SqliteCli::Rows{{"brown"}}));

    auto db = write("kept");
    db->Commit();
    EXPECT_EQ(db->ErrorCode(), 0);
    db->Commit();  // nothing open: nothing happens
    EXPECT_EQ(db->ErrorCode(), 0);
    db = nullptr;
    EXPECT_EQ(countRows(path, "tree"), 3);
    EXPECT_EQ(SqliteCli::query(path, "SELECT colour FROM tree WHERE id = 1"), (SqliteCli::Rows{{"kept"}}));
}

TEST(SqlFileDatabase, ReadsHoldNoLockAndAMomentaryLockIsWaitedFor) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    auto reader = openDb(path);
    ASSERT_TRUE(reader->Connect());
    Ref<RecordSet> rs = reader->SQLSelect("SELECT * FROM tree");
    ASSERT_TRUE(rs);
    // The tool waits for no lock: it can only write when nobody holds one.
    EXPECT_TRUE(SqliteCli::run(path, "BEGIN EXCLUSIVE; UPDATE tree SET colour = 'grey'; COMMIT;").ok);

    // Another object holds a write transaction for a moment; our write waits,
    // and the other object commits while the event loop runs meanwhile.
    static Ref<SqlFileDatabase> other;
    static int yields;
    other = openDb(path);
    ASSERT_TRUE(other->Connect());
    other->SQLExecute("UPDATE tree SET colour = 'black' WHERE id = 1");
    yields = 0;
    SetYieldHandler([] {
        if (!YieldingWithinWork() && ++yields == 5) other->Commit();
    });
    reader->SQLExecute("UPDATE tree SET colour = 'white' WHERE id = 2");
    reader->Commit();
    SetYieldHandler(nullptr);
    EXPECT_EQ(yields, 5);
    EXPECT_EQ(other->ErrorCode(), 0) << other->ErrorMessage();
    other = nullptr;
    EXPECT_EQ(reader->ErrorCode(), 0) << reader->ErrorMessage();
    EXPECT_EQ(SqliteCli::query(path, "SELECT colour FROM tree ORDER BY id"), (SqliteCli::Rows{{"black"}, {"white"}}));
}

TEST(SqlFileDatabase, AReadOnlyObjectNeverWritesTheFile) {
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd", Key);
    const std::string before = TempDir::read(path);
    auto db = openDb(path, Key);
    db->ReadOnly = true;
    ASSERT_TRUE(db->Connect());
    EXPECT_TRUE(db->SQLSelect("SELECT * FROM tree"));
    db->SQLExecute("UPDATE tree SET colour = 'grey'");
    EXPECT_EQ(db->ErrorCode(), 8);
    DatabaseRecord record;
    record.Column("name", "Nell");
    db->InsertRecord("tree", record);
    EXPECT_EQ(db->ErrorCode(), 8);
    db->Commit();
    db = nullptr;
    EXPECT_EQ(TempDir::read(path), before);
}

// Another program keeps the file locked: a statement waits for it (a few
// seconds in the program), yielding to the event loop all along, and then
// fails with SQLITE_BUSY; a Close that comes in during the wait ends it at
// once.
TEST(SqlFileDatabase, ALockOfAnotherProgramIsWaitedForWhileTheEventLoopRuns) {
    const std::chrono::milliseconds wait(200);
    const LockWaitFor shortWait(wait);
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    static int yields;
    static std::function<void()> onYield;
    // The waits' yields (a call that finds no yield for long yields too).
    SetYieldHandler([] {
        if (YieldingWithinWork()) return;
        ++yields;
        if (onYield) onYield();
    });
    // A select or a write, with values in its text or without: the first
    // statement with values on a new connection reads the indexes first, and
    // that waits for the lock too, but only once.
    struct Case {
        const char* name;
        const char* sql;
        bool select;
        bool closeDuringTheWait;
    } cases[] = {
        {"waited out", "SELECT * FROM tree", true, false},
        {"closed meanwhile", "SELECT * FROM tree", true, true},
        {"a lookup, waited out", "SELECT * FROM tree WHERE name = 'Bella'", true, false},
        {"an update, closed meanwhile", "UPDATE tree SET colour = 'white' WHERE id = '1'", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto db = openDb(path);
        ASSERT_TRUE(db->Connect());
        OtherProgram other(path, "BEGIN EXCLUSIVE; UPDATE tree SET colour = 'red';");
        yields = 0;
        onYield = c.closeDuringTheWait ? std::function<void()>([&] { db->Close(); }) : nullptr;
        if (c.select) {
            EXPECT_EQ(db->SQLSelect(c.sql), nullptr);
        } else {
            db->SQLExecute(c.sql);
        }
        EXPECT_EQ(db->ErrorCode(), 5);
        if (c.closeDuringTheWait) {
            EXPECT_EQ(yields, 1);
        } else {
            // Each look at the file sleeps 10 ms before its yield, so one
            // wait holds at most wait / 10 ms of them.
            EXPECT_GE(yields, 1);
            EXPECT_LE(yields, wait / std::chrono::milliseconds(10));
        }
        EXPECT_EQ(db->SQLSelect("SELECT 1") == nullptr, c.closeDuringTheWait) << "closed once the wait was over";
    }
    onYield = nullptr;
    SetYieldHandler(nullptr);
}

// A statement that runs long (this one a tenth of a second or so) yields to
// the event loop as it goes; a Close that comes in meanwhile (Cancel) lets
// it finish and closes after it.
TEST(SqlFileDatabase, ALongStatementYieldsAsItRunsAndACloseMeanwhileInterruptsIt) {
    TempDir dir;
    static Ref<SqlFileDatabase> db;
    static int yields, withinWork;
    static bool closeAtFirstYield;
    const String longSelect =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000000) SELECT count(*) AS c FROM n";
    db = openDb(makeHerd(dir, "herd.rsd"));
    ASSERT_TRUE(db->Connect());
    SetYieldHandler([] {
        withinWork += YieldingWithinWork();
        if (++yields == 1 && closeAtFirstYield) db->Close();
    });

    yields = withinWork = 0;
    closeAtFirstYield = false;
    Ref<RecordSet> rs = db->SQLSelect(longSelect);
    ASSERT_TRUE(rs) << db->ErrorMessage();
    EXPECT_EQ(rs->Field("c")->IntegerValue(), 3000000);
    EXPECT_GE(yields, 1);
    EXPECT_EQ(withinWork, yields) << "no yield of a statement ends a loop pass";

    // Cancel closes the database during a yield: the statement stops there.
    yields = withinWork = 0;
    closeAtFirstYield = true;
    rs = db->SQLSelect(longSelect);
    SetYieldHandler(nullptr);
    EXPECT_EQ(rs, nullptr);
    EXPECT_EQ(db->ErrorCode(), 9) << db->ErrorMessage();  // SQLITE_INTERRUPT
    EXPECT_FALSE(YieldingWithinWork());
    EXPECT_EQ(db->SQLSelect("SELECT 1"), nullptr) << "closed once the statement was over";
    db = nullptr;
}

// A short call after a long time without a yield (as in a loop of inserts
// that does not yield itself) yields once before it returns.
TEST(SqlFileDatabase, ACallAfterLongWithoutAYieldYieldsAtItsEnd) {
    TempDir dir;
    auto db = openDb(makeHerd(dir, "herd.rsd"));
    ASSERT_TRUE(db->Connect());
    static int withinWork;
    withinWork = 0;
    SetYieldHandler([] { withinWork += YieldingWithinWork(); });
    YieldToEventLoop();
    EXPECT_TRUE(db->SQLSelect("SELECT 1"));
    EXPECT_EQ(withinWork, 0) << "a yield was lately";
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_TRUE(db->SQLSelect("SELECT 1"));
    EXPECT_EQ(withinWork, 1);
    EXPECT_TRUE(db->SQLSelect("SELECT 1"));
    EXPECT_EQ(withinWork, 1) << "its own yield was lately";
    SetYieldHandler(nullptr);
}

TEST(SqlFileLock, KeepsOtherProgramsOffAndIsRefusedWhileOneHoldsTheFile) {
    const LockWaitFor shortWait(std::chrono::milliseconds(100));
    TempDir dir;
    const std::string path = makeHerd(dir, "herd.rsd");
    {
        // A reader that has the file open: its read lock stays until it lets go.
        OtherProgram reader(path, "BEGIN; SELECT count(*) FROM tree;");
        EXPECT_TRUE(SqlFileLock(path).InUse());
    }
    {
        SqlFileLock lock(path);
        EXPECT_FALSE(lock.InUse());
        EXPECT_FALSE(SqliteCli::run(path, "SELECT count(*) FROM tree").ok) << "no reader comes in meanwhile";
        dir.write("herd.rsd-journal", "left by a program that crashed");
        dir.write("herd.rsd-wal", "an old log");
        lock.RemoveLeftovers();
    }
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    EXPECT_TRUE(SqliteCli::run(path, "SELECT count(*) FROM tree").ok);
    EXPECT_FALSE(SqlFileLock(dir.file("missing.rsd")).InUse());
}
