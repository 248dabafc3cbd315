#include <filesystem>
#include <sched.h>
#include <sys/mount.h>

#include "tests/services/ServicesFixture.h"
#include "tests/support/SqliteCli.h"

namespace {

const std::string Key = "plovertarn";

// A settings table and a small tree, written by the independent tool.
const char* const HerdSql =
    "CREATE TABLE settings(id integer NOT NULL PRIMARY KEY, CustomName1 Varchar, CustomName4 Varchar, "
    "CustomName12 Varchar, Version Varchar);"
    "INSERT INTO settings(CustomName1, CustomName4, CustomName12) VALUES ('ear tag', 'owner', 'last');"
    "CREATE TABLE tree(id integer NOT NULL PRIMARY KEY, name Varchar, fatherId Varchar);"
    "INSERT INTO tree(name, fatherId) VALUES ('Bella', ''), ('Max', '1'), ('Rosie', '12-3');";

}  // namespace

class DatabaseAccess : public ServicesTest {
protected:
    std::string herd(const std::string& name, const std::string& key = "") {
        const std::string path = dir.file(name);
        SqliteCli::query(path, HerdSql, key);
        return path;
    }
};

TEST_F(DatabaseAccess, WithoutAPathNothingIsOpenedOrShown) {
    appSystem::connectData();
    EXPECT_EQ(appSystem::db, nullptr);
    EXPECT_EQ(appSystem::GetRecordset("SELECT 1"), nullptr);
    EXPECT_NO_THROW(appSystem::closeData());
    EXPECT_EQ(appSystem::getRsdCustomHeading("CustomField1"), "");
    DatabaseRecord record;
    EXPECT_THROW(appSystem::saveToFile(appSystem::db, record, "settings"), NilObjectException);
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(DatabaseAccess, KeyedAndPlainFilesOpenWithoutAMessage) {
    for (const std::string& key : {Key, std::string()}) {
        SCOPED_TRACE("key \"" + key + "\"");
        appSystem::dataPath = herd(key.empty() ? "plain.rsd" : "keyed.rsd", key);
        Ref<RecordSet> rs = appSystem::GetRecordset("SELECT name FROM tree ORDER BY id");
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->Field("name")->StringValue(), "Bella");
        EXPECT_EQ(appSystem::db->EncryptionKey, key) << "the key is tried first, no key second";
    }
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(DatabaseAccess, AFileThatIsNoDatabaseShowsTheMessageOnEveryReopeningAndStaysUntouched) {
    SqliteCli::query(dir.file("cut.rsd"), "CREATE TABLE t(id integer PRIMARY KEY, a);"
                                          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                                          "INSERT INTO t(a) SELECT hex(randomblob(80)) FROM n;");
    std::filesystem::resize_file(dir.file("cut.rsd"), std::filesystem::file_size(dir.file("cut.rsd")) / 2);
    std::filesystem::create_directory(dir.file("folder.rsd"));
    dir.write("empty.rsd", "");
    dir.write("herd.rsd", "NAME,COLOR,SEX\nBella,brown,f\n");
    SqliteCli::query(dir.file("otherkey.rsd"), "CREATE TABLE tree(id integer PRIMARY KEY)", "not the key");

    for (const char* name : {"missing.rsd", "folder.rsd", "empty.rsd", "herd.rsd", "cut.rsd", "otherkey.rsd"}) {
        SCOPED_TRACE(name);
        ui.clear();
        const std::string path = dir.file(name);
        const bool existed = std::filesystem::exists(path);
        const std::string before = existed ? TempDir::read(path) : "";
        appSystem::dataPath = path;

        EXPECT_EQ(appSystem::GetRecordset("SELECT * FROM tree"), nullptr);
        EXPECT_EQ(appSystem::GetRecordset("SELECT * FROM settings"), nullptr);
        EXPECT_EQ(ui.texts(), (std::vector<String>{"Cannot open database.", "Cannot open database."}));
        ASSERT_TRUE(appSystem::db) << "the unconnected object stays";
        EXPECT_NO_THROW(appSystem::closeData());

        appSystem::db = nullptr;
        EXPECT_EQ(std::filesystem::exists(path), existed);
        if (existed && !std::filesystem::is_directory(path)) {
            EXPECT_EQ(TempDir::read(path), before) << "byte for byte";
        }
    }
}

TEST_F(DatabaseAccess, EachSelectReopensAndEarlierRecordSetsStayReadable) {
    appSystem::dataPath = herd("herd.rsd");
    Ref<RecordSet> first = appSystem::GetRecordset("SELECT * FROM tree ORDER BY id");
    SqlFileDatabase* firstDb = appSystem::db.get();
    Ref<RecordSet> second = appSystem::GetRecordset("SELECT * FROM settings");
    ASSERT_TRUE(first && second);
    EXPECT_NE(appSystem::db.get(), firstDb);
    appSystem::closeData();
    std::vector<String> names;
    for (; !first->Eof(); first->MoveNext()) names.push_back(first->Field("NAME")->StringValue());
    EXPECT_EQ(names, (std::vector<String>{"Bella", "Max", "Rosie"}));
    EXPECT_EQ(appSystem::GetFieldString(second, "customname1"), "ear tag");
}

TEST_F(DatabaseAccess, CloseDataKeepsTheClosedObject) {
    appSystem::dataPath = herd("herd.rsd");
    appSystem::connectData();
    Ref<SqlFileDatabase> open = appSystem::db;
    appSystem::closeData();
    EXPECT_EQ(appSystem::db, open);
    EXPECT_EQ(appSystem::db->SQLSelect("SELECT * FROM tree"), nullptr);
}

TEST_F(DatabaseAccess, SaveToFileInsertsAndCommitsOrSaysWhy) {
    // As the import writes its new file: through a database object of its own.
    const std::string path = herd("herd.rsd");
    Ref<SqlFileDatabase> database = New<SqlFileDatabase>();
    database->DatabaseFile = GetFolderItem(path);
    ASSERT_TRUE(database->Connect());
    DatabaseRecord record;
    record.Column("name", "Nell");
    record.Column("nosuchcolumn", "dropped");
    EXPECT_TRUE(appSystem::saveToFile(database, record, "tree"));
    database->Close();  // committed, so nothing is lost when the file is let go
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, name FROM tree WHERE name = 'Nell'"),
              (SqliteCli::Rows{{"4", "Nell"}}));
    EXPECT_TRUE(ui.boxes().empty());

    // A refused insert is a failure with the database's message, not a success.
    ASSERT_TRUE(database->Connect());
    EXPECT_FALSE(appSystem::saveToFile(database, record, "nosuchtable"));
    EXPECT_EQ(ui.texts(), (std::vector<String>{"Database Error: 1\n\nno such table: nosuchtable"}));
    EXPECT_EQ(ui.beeps(), 1);
}

TEST_F(DatabaseAccess, OnlyTheFileAConversionIsMakingIsOpenedForWriting) {
    const std::string path = herd("herd.rsd");
    SqliteCli::query(path, "PRAGMA journal_mode = WAL");
    const std::string before = TempDir::read(path);
    appSystem::dataPath = path;
    appSystem::output.createdFile = dir.file("other.rsd");
    appSystem::connectData();
    DatabaseRecord record;
    record.Column("name", "Nell");
    EXPECT_FALSE(appSystem::saveToFile(appSystem::db, record, "tree"));
    EXPECT_FALSE(appSystem::UpdateVersion(appSystem::db));
    ASSERT_EQ(ui.texts().size(), 2u);
    for (const String& text : ui.texts())
        EXPECT_EQ(text.rfind("Database Error: 8\n\nattempt to write a readonly database", 0), 0u) << text;
    appSystem::db = nullptr;
    EXPECT_EQ(TempDir::read(path), before);
    EXPECT_EQ(TempDir::read(path + "-wal"), "") << "no write reached the log either";
}

TEST_F(DatabaseAccess, ASourceOnAReadOnlyMediumIsRead) {
    const std::string plain = herd("plain.rsd");
    const std::string logged = herd("logged.rsd");
    SqliteCli::query(logged, "PRAGMA journal_mode = WAL");
    ASSERT_FALSE(std::filesystem::exists(logged + "-shm"));
    // The folder mounted read-only, for this test's process alone.
    const char* folder = dir.path().c_str();
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(folder, folder, nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, folder, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "a read-only folder cannot be mounted here";
    for (const std::string& path : {plain, logged}) {
        SCOPED_TRACE(path);
        appSystem::dataPath = path;
        Ref<RecordSet> rs = appSystem::GetRecordset("SELECT name FROM tree ORDER BY id");
        ASSERT_TRUE(rs);
        EXPECT_EQ(rs->Field("name")->StringValue(), "Bella");
        appSystem::closeData();
    }
    EXPECT_TRUE(ui.boxes().empty());
    umount2(folder, MNT_DETACH);
}

// The stamp through an open database object of the caller's own, as the
// import stamps its new file.
TEST_F(DatabaseAccess, UpdateVersionStampsTheFirstSettingsRowOrMakesOne) {
    {
        const std::string path = herd("own.rsd");
        SqliteCli::query(path, "INSERT INTO settings(CustomName1) VALUES ('second row')");
        Ref<SqlFileDatabase> database = New<SqlFileDatabase>();
        database->DatabaseFile = GetFolderItem(path);
        ASSERT_TRUE(database->Connect());
        auto stamp = [&] { return appSystem::UpdateVersion(database); };

        EXPECT_TRUE(stamp());
        EXPECT_EQ(SqliteCli::query(path, "SELECT id, CustomName1, Version FROM settings ORDER BY id"),
                  (SqliteCli::Rows{{"1", "ear tag", "20402"}, {"2", "second row", SqliteCli::Null}}));

        SqliteCli::query(path, "DELETE FROM settings");
        EXPECT_TRUE(stamp());
        EXPECT_EQ(SqliteCli::query(path, "SELECT * FROM settings"),
                  (SqliteCli::Rows{{"1", SqliteCli::Null, SqliteCli::Null, SqliteCli::Null, "20402"}}));
        EXPECT_TRUE(ui.boxes().empty());

        // No settings table, or one without the column: told, never a crash.
        struct Broken {
            const char* sql;
            const char* message;
        } broken[] = {
            {"DROP TABLE settings", "Database Error: 1\n\nno such table: settings"},
            {"CREATE TABLE settings(id integer PRIMARY KEY, Breeder Varchar); INSERT INTO settings(Breeder) VALUES "
             "('x')",
             "Database Error: 1\n\nno such column: Version"},
        };
        for (const Broken& b : broken) {
            SCOPED_TRACE(b.sql);
            ui.clear();
            SqliteCli::query(path, b.sql);
            bool stamped = true;
            EXPECT_NO_THROW(stamped = stamp());
            EXPECT_FALSE(stamped);
            EXPECT_EQ(ui.texts(), (std::vector<String>{b.message}));
        }
        appSystem::db = nullptr;
    }
}

TEST_F(DatabaseAccess, CustomHeadingsGiveTextOrNothing) {
    appSystem::dataPath = herd("herd.rsd");
    struct Heading {
        const char* key;
        const char* want;
    } headings[] = {
        {"CustomField1", "ear tag"}, {"customfield4", "owner"}, {"CUSTOMFIELD12", "last"}, {"CustomField2", ""},
        {"CustomField13", ""},       {"CustomField0", ""},      {"", ""},                  {"CustomName1", ""},
    };
    for (const auto& h : headings) EXPECT_EQ(appSystem::getRsdCustomHeading(h.key), h.want) << h.key;

    // A settings table without one of the headings' columns.
    SqliteCli::query(appSystem::dataPath, "ALTER TABLE settings DROP COLUMN CustomName4");
    EXPECT_EQ(appSystem::getRsdCustomHeading("CustomField4"), "");
    EXPECT_EQ(appSystem::getRsdCustomHeading("CustomField1"), "ear tag");
    EXPECT_TRUE(ui.boxes().empty());
}

// An object of the caller's own and appSystem.db work on one new file in
// turn: tables, captions through appSystem.db, rows, links, then the version
// stamp; what each wrote is kept.
TEST_F(DatabaseAccess, TheImportsObjectAndTheSharedObjectShareOneFile) {
    const std::string path = dir.file("herd.cax");
    appSystem::dataPath = appSystem::output.createdFile = path;
    auto importDb = New<SqlFileDatabase>();
    importDb->DatabaseFile = GetFolderItem(path);
    ASSERT_TRUE(importDb->CreateDatabaseFile());
    appSystem::makeRSDfields(importDb);

    auto caption = [](const String& column, const String& value) {
        appSystem::connectData();
        Ref<RecordSet> rs = appSystem::db->SQLSelect("SELECT id FROM settings");
        ASSERT_TRUE(rs);
        if (rs->Field("id")->IntegerValue() == 1) {
            appSystem::db->SQLExecute("Update settings SET " + column + " = '" + appSystem::rma(value) +
                                      "' WHERE id = 1");
            appSystem::db->Commit();
        } else {
            DatabaseRecord record;
            record.Column(column, appSystem::rma(value));
            appSystem::saveToFile(appSystem::db, record, "settings");
        }
    };
    caption("CustomName1", "ear tag");
    caption("CustomName2", "owner's note");
    caption("CustomName13", "no such column");

    for (int i = 1; i <= 40; ++i) {
        DatabaseRecord row;
        row.Column("name", "animal " + Str(int64_t(i)));
        row.Column("oldId", Str(int64_t(i)));
        row.Column("customfield13", "kept nowhere");
        importDb->InsertRecord("tree", row);
        ASSERT_EQ(importDb->ErrorCode(), 0) << importDb->ErrorMessage();
    }
    // The shared object can read while the rows are not yet committed.
    EXPECT_TRUE(appSystem::GetRecordset("SELECT * FROM settings"));
    importDb->Commit();
    EXPECT_EQ(importDb->ErrorCode(), 0) << importDb->ErrorMessage();

    Ref<RecordSet> rs = importDb->SQLSelect("Select * From tree");
    ASSERT_TRUE(rs);
    rs->Edit();
    rs->Field("fatherId")->SetStringValue("2");
    rs->Update();
    importDb->SQLExecute("UPDATE tree SET ps = 'animal 2' WHERE fatherId  = '2'");
    importDb->Commit();
    EXPECT_EQ(importDb->ErrorCode(), 0) << importDb->ErrorMessage();

    appSystem::connectData();
    EXPECT_TRUE(appSystem::UpdateVersion(appSystem::db));

    importDb = nullptr;
    appSystem::db = nullptr;
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, CustomName1, CustomName2, Version FROM settings"),
              (SqliteCli::Rows{{"1", "ear tag", "owner`s note", "20402"}}));
    EXPECT_EQ(SqliteCli::query(path, "SELECT count(*), max(id) FROM tree"), (SqliteCli::Rows{{"40", "40"}}));
    EXPECT_EQ(SqliteCli::query(path, "SELECT name, ps FROM tree WHERE fatherId = '2'"),
              (SqliteCli::Rows{{"animal 1", "animal 2"}}));
    EXPECT_TRUE(ui.boxes().empty());
}
