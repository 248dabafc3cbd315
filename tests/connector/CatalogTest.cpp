// The schema, catalog and information queries of the connector against a
// fixture database (two tables joined by a foreign key, a unique and a plain
// index, a view, a table without key) reached through the test rig's driver
// and the iODBC driver manager.

#include <gtest/gtest.h>

#include <functional>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "plugins/PluginEntryTable.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

using Lines = std::vector<std::string>;

class Catalog : public RigDatabaseTest {
protected:
    void SetUp() override {
        open("create table owner (id integer primary key, name varchar(50) not null);"
             "create table tree (ID integer primary key, name varchar(50) not null, tag varchar(20), born date,"
             " weight double, ownerId integer references owner(id));"
             "create unique index tree_tag on tree(tag);"
             "create index tree_name on tree(name);"
             "create view heavy as select * from tree where weight > 800;"
             "create table notes (body text, score real);"
             "insert into owner values (1, 'Ann');"
             "insert into tree values (1, 'Apple', 'T1', '2024-03-07', 812.5, 1);");
    }

    void extended(bool on) { db.SetProperty("ExtendedSchema", Variant(on)); }

    // Header and rows of a record set that must be there.
    static Lines lines(Ref<RecordSet> rs) {
        EXPECT_FALSE(rs.IsNil());
        if (rs.IsNil()) return {};
        Lines all{Header(*rs)};
        for (const std::string& row : Rows(*rs)) all.push_back(row);
        return all;
    }

};

TEST_F(Catalog, TableSchemaAsksForTablesOrWithExtendedSchemaForEveryKind) {
    EXPECT_EQ(lines(db.TableSchema()), (Lines{"TableName", "owner", "tree", "notes"}));
    extended(true);
    EXPECT_EQ(lines(db.TableSchema()),
              (Lines{"TableName|TableType|Remarks|TableCatalog|TableSchema", "owner|TABLE|||", "tree|TABLE|||",
                     "heavy|VIEW|||", "notes|TABLE|||"}));
    EXPECT_EQ(db.ErrorCode(), 0);
}

TEST_F(Catalog, FieldSchemaMarksTheKeyAndTheColumnsWithoutNulls) {
    EXPECT_EQ(lines(db.FieldSchema("tree")), (Lines{"ColumnName|FieldType|IsPrimary|NotNull|Length",
                                                    "ID|3|True|False|9", "name|5|False|True|50",
                                                    "tag|5|False|False|20", "born|8|False|False|0",
                                                    "weight|7|False|False|53", "ownerId|3|False|False|9"}));
    extended(true);
    const Lines all = lines(db.FieldSchema("tree"));
    ASSERT_EQ(all.size(), 7u);
    EXPECT_EQ(all[0],
              "ColumnName|FieldType|IsPrimary|NotNull|Length|DataType|TypeName|TableCatalog|TableSchema|TableName|"
              "ColumnSize|BufferLength|DecimalDigits|NumPrecRadix|Nullable|Remarks");
    EXPECT_EQ(all[2], "name|5|False|True|50|12|varchar(50)|||tree|50|50|10|0|0|");
    // A table without primary key: every column is not primary, and the
    // failed key lookup leaves no error.
    EXPECT_EQ(lines(db.FieldSchema("notes")).size(), 3u);
    EXPECT_EQ(db.ErrorCode(), 0);
}

// FieldType is reported as a short integer column but handed out as text;
// the flags are booleans both ways.
TEST_F(Catalog, FieldSchemaCellsCarryTheirTypes) {
    DbEngineTable* engine = RegisteredEngineTables()[0];
    DbCursorTable* cursors = RegisteredCursorTables()[0];
    HostString table = NewHostString("tree");
    HostObject rs = engine->fieldSchema(ConnectionOf(db), table);
    ReleaseHostString(table);
    ASSERT_NE(rs, nullptr);
    void* cursor = PluginRecordSetCursor(rs);
    EXPECT_EQ(cursors->columnType(cursor, 1), 255) << "no type before the first row";
    ASSERT_EQ(cursors->nextRow(cursor), 1);
    struct Case {
        int column;
        int64_t reported;
        int32_t handedOut;
    } cases[] = {{0, HOST_TYPE_TEXT, HOST_TYPE_STRING_OBJECT},
                 {1, HOST_TYPE_SHORT, HOST_TYPE_STRING_OBJECT},
                 {2, HOST_TYPE_BOOLEAN, HOST_TYPE_BOOLEAN},
                 {3, HOST_TYPE_BOOLEAN, HOST_TYPE_BOOLEAN},
                 {4, HOST_TYPE_INTEGER, HOST_TYPE_STRING_OBJECT}};
    for (const Case& c : cases) {
        EXPECT_EQ(cursors->columnType(cursor, c.column), c.reported) << c.column;
        void* value = nullptr;
        int32_t type = -1;
        int64_t length = -1;
        cursors->columnValue(cursor, c.column, &value, &type, &length);
        EXPECT_EQ(type, c.handedOut) << c.column;
        EXPECT_EQ(length, c.handedOut == HOST_TYPE_BOOLEAN ? 1 : 8) << c.column;
    }
    void* value = nullptr;
    int32_t type = -1;
    cursors->columnValue(cursor, 2, &value, &type, nullptr);
    EXPECT_EQ(*static_cast<uint8_t*>(value), 1) << "ID is the key";
    UnlockPluginObject(rs);
}

TEST_F(Catalog, IndexSchemaListsUniqueIndexesOnly) {
    EXPECT_EQ(lines(db.IndexSchema("tree")), (Lines{"IndexName", "sqlite_autoindex_0", "tree_tag"}));
    extended(true);
    const Lines all = lines(db.IndexSchema("tree"));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], "IndexName|TableName|NonUnique|IndexQualifier|Type|OrdinalPosition|ColumnName|TableCatalog|"
                      "TableSchema|AscOrDesc|Cardinality|Pages|FilterCondition");
    EXPECT_EQ(all[2], "tree_tag|tree|0||3|1|tag|||A|||");
}

TEST_F(Catalog, PrimaryAndForeignKeys) {
    EXPECT_EQ(lines(db.PrimaryKeys("tree")),
              (Lines{"KeyName|TableName|ColumnName|KeySeq|TableCatalog|TableSchema", "|tree|ID|1||"}));
    EXPECT_EQ(lines(db.PrimaryKeys("notes")), (Lines{"KeyName|TableName|ColumnName|KeySeq|TableCatalog|TableSchema"}));
    EXPECT_EQ(db.ErrorCode(), 0);
    const Lines foreign = {
        "PrimaryKeyTableName|PrimaryKeyColumnName|PrimaryKeyName|ForeignKeyTableName|ForeignKeyColumnName|"
        "ForeignKeyName|KeySeq|PrimaryKeyTableCatalog|PrimaryKeyTableSchema|ForeignKeyTableCatalog|"
        "ForeignKeyTableSchema|UpdateRule|DeleteRule",
        "owner|id||tree|ownerId||1|||||3|3"};
    EXPECT_EQ(lines(db.ForeignKeys("owner", "tree")), foreign);
    EXPECT_EQ(lines(db.ForeignKeys("", "tree")), foreign) << "an empty table stands for every table";
}

// The other catalog queries: their columns in order, and what the driver has
// for the fixture.
TEST_F(Catalog, OtherCatalogQueriesCarryTheirColumns) {
    struct Case {
        const char* query;
        Ref<RecordSet> rs;
        Lines expected;  // the header, then the first rows wanted
        size_t rows;
    } cases[] = {
        {"SpecialColumns", db.SpecialColumns(1, "tree", 0, 1),
         {"Scope|ColumnName|DataType|TypeName|ColumnSize|BufferLength|DecimalDigits|PseudoColumn"}, 1},
        {"TablePrivileges", db.TablePrivileges("tree"),
         {"TableName|Grantor|Grantee|Privilege|IsGrantable|TableCatalog|TableSchema", "tree|||DELETE|||"}, 5},
        {"ColumnPrivileges", db.ColumnPrivileges("tree", "name"),
         {"ColumnName|Grantor|Grantee|Privilege|IsGrantable|TableName|TableCatalog|TableSchema"}, 0},
        {"Procedures", db.Procedures(),
         {"ProcedureName|ProcedureType|NumInputParams|NumOutputParams|NumResultSets|Remarks|ProcedureCatalog|"
          "ProcedureSchema"},
         0},
        {"ProcedureColumns", db.ProcedureColumns("any"),
         {"ColumnName|ColumnType|DataType|TypeName|ColumnSize|ProcedureCatalog|ProcedureSchema|ProcedureName|"
          "BufferLength|DecimalDigits|NumPrecRadix|Nullable|Remarks"},
         0},
        {"GetSQLTypeInfo", db.GetSQLTypeInfo(4),
         {"TypeName|DataType|ColumnSize|LiteralPrefix|LiteralSuffix|CreateParams|Nullable|CaseSensitive|Searchable|"
          "UnsignedAttribute|FixedPrecScale|AutoUniqueValue|LocalTypeName|MinimumScale|MaximumScale|SQLDataType|"
          "SQLDateTimeSub|NumPrecRadix|IntervalPrecision",
          "integer|4|9||||1|0|3|0|0|0|integer|||4|0||"},
         1},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.query);
        ASSERT_FALSE(c.rs.IsNil()) << db.ErrorMessage();
        EXPECT_EQ(c.rs->RecordCount(), int64_t(c.rows)) << "the whole result is in memory";
        const Lines all = lines(c.rs);
        ASSERT_EQ(all.size(), c.rows + 1);
        EXPECT_TRUE(std::equal(c.expected.begin(), c.expected.end(), all.begin()));
    }
}

// An empty result still has its columns, and a record set that was read to
// its end stays there.
TEST_F(Catalog, EmptyResultHasItsColumnsAndNoRow) {
    DbCursorTable* cursors = RegisteredCursorTables()[0];
    HostObject rs = plugins::CallBound<HostObject>(plugins::ODBCDatabaseProcedures, db.Object());
    ASSERT_NE(rs, nullptr);
    void* cursor = PluginRecordSetCursor(rs);
    EXPECT_EQ(cursors->rowCount(cursor), 0);
    EXPECT_EQ(cursors->columnCount(cursor), 8);
    HostString name = cursors->columnName(cursor, 7);
    EXPECT_EQ(HostStringText(name), "ProcedureSchema");
    ReleaseHostString(name);
    EXPECT_EQ(cursors->columnName(cursor, 8), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(cursors->nextRow(cursor), 0);
    cursors->firstRow(cursor);
    EXPECT_EQ(cursors->nextRow(cursor), 0) << "a catalog record set does not move back";
    void* value = &rs;
    int32_t type = 77;
    cursors->columnValue(cursor, 0, &value, &type, nullptr);
    EXPECT_EQ(value, &rs) << "nothing is written without a row";
    EXPECT_EQ(type, 77);
    UnlockPluginObject(rs);
}

TEST_F(Catalog, GetInfoByTheKindOfEachInfoType) {
    struct Case {
        int64_t type;
        Variant::Type kind;
        String value;  // "" when only the kind is checked
    } cases[] = {
        {17, Variant::Type::Text, "SQLite"},                      // SQL_DBMS_NAME, wide text
        {29, Variant::Type::Text, "\""},                          // SQL_IDENTIFIER_QUOTE_CHAR
        {1058, Variant::Type::Text, "Oct 19 2018 03:37:51"},      // the build time, not asked
        {8, Variant::Type::Integer, ""},                          // SQL_FETCH_DIRECTION, 32-bit
        {1, Variant::Type::Integer, "0"},                         // SQL_ACTIVE_STATEMENTS, 16-bit
    };
    for (const Case& c : cases) {
        const Variant v = db.GetInfo(c.type);
        EXPECT_EQ(v.GetType(), c.kind) << c.type;
        if (!c.value.empty()) {
            EXPECT_EQ(v.StringValue(), c.value) << c.type;
        }
        EXPECT_EQ(db.ErrorCode(), 0) << c.type << " " << db.ErrorMessage();
    }
    for (int64_t unsupported : {115, 122, 1057, 1059, 9999, 10010, 10023, -1}) {
        EXPECT_TRUE(db.GetInfo(unsupported).IsNil()) << unsupported;
        EXPECT_EQ(db.ErrorCode(), 1) << unsupported;
        EXPECT_EQ(db.ErrorMessage(), "Option not supported.") << unsupported;
    }
    // A type the driver does not answer: its own diagnostic.
    EXPECT_TRUE(db.GetInfo(10000).IsNil());
    EXPECT_NE(db.ErrorMessage().find("10000"), String::npos) << db.ErrorMessage();
}

TEST_F(Catalog, ConnectionAttributes) {
    EXPECT_EQ(db.GetConnectionAttribute(102).IntegerValue(), 1) << "SQL_AUTOCOMMIT is on";
    db.SetConnectionAttribute(102, 0);
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
    EXPECT_EQ(db.GetConnectionAttribute(102).IntegerValue(), 0);
    // The trace file of the driver manager: a text attribute, read whole.
    const Variant traceFile = db.GetConnectionAttribute(105);
    EXPECT_EQ(traceFile.GetType(), Variant::Type::Text);
    EXPECT_FALSE(traceFile.StringValue().empty());
    for (int64_t attribute : {105, 106, 109, 99}) {
        db.SetConnectionAttribute(attribute, 1);
        EXPECT_EQ(db.ErrorMessage(), "Option not supported.") << attribute;
    }
    EXPECT_TRUE(db.GetConnectionAttribute(99).IsNil());
    EXPECT_EQ(db.ErrorMessage(), "Option not supported.");
}

TEST_F(Catalog, NextRecordsetWithoutAFurtherResultIsFalseWithoutError) {
    EXPECT_FALSE(db.NextRecordset());
    Ref<RecordSet> rs = db.SQLSelect("select name from tree");
    ASSERT_FALSE(rs.IsNil());
    EXPECT_FALSE(db.NextRecordset());
    EXPECT_EQ(db.ErrorCode(), 0);
    EXPECT_EQ(rs->Field("name")->StringValue(), "Apple") << "the record set reads on";
}

TEST(CatalogUnconnected, DataSourcesAndDriversNeedNoConnection) {
    ASSERT_TRUE(LoadConnector());
    ODBCDatabase db;
    Ref<RecordSet> sources = db.DataSourceNames();
    ASSERT_FALSE(sources.IsNil());
    EXPECT_EQ(Header(*sources), "Name|Description|Type");
    // The rig names one file as user and system configuration alike.
    EXPECT_EQ(Rows(*sources),
              (Lines{"CAV Rig|Microsoft Access Driver (*.mdb)|User", "CAV Rig Open|Microsoft Access Driver (*.mdb)|User",
                     "CAV Rig|Microsoft Access Driver (*.mdb)|System",
                     "CAV Rig Open|Microsoft Access Driver (*.mdb)|System"}));
    Ref<RecordSet> drivers = db.DriverNames();
    ASSERT_FALSE(drivers.IsNil());
    EXPECT_EQ(Rows(*drivers), (Lines{"Microsoft Access Driver (*.mdb)|Installed|System"}));
    // The environment made here serves the connects that follow.
    db.SetDataSource(cav_rig::kOpenDataSource);
    EXPECT_TRUE(db.Connect()) << db.ErrorMessage();
}

// The environment that a listing makes before the first connect serves every
// connection after it, so it must behave as a connect would have made it:
// with ODBC 3 behaviour, under which record sets scroll.
TEST(CatalogUnconnected, ConnectionsAfterAListingStillScroll) {
    ASSERT_TRUE(LoadConnector());
    TempDir dir;
    const std::string file = dir.file("herd.db");
    Sqlite(file, "create table tree (id integer primary key, name varchar(50));"
                 "insert into tree values (1, 'Apple'), (2, 'Basil'), (3, 'Clover');");
    ODBCDatabase db;
    ASSERT_FALSE(db.DriverNames().IsNil());
    ASSERT_FALSE(db.DataSourceNames().IsNil());
    db.SetDataSource(RigConnectionText(file));
    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    db.SetProperty("ScrollableCursor", Variant(true));

    ConnectorCursor cursor(db, "select name from tree order by id");
    ASSERT_TRUE(cursor.ok()) << db.ErrorMessage();
    cursor.Last();
    EXPECT_EQ(cursor.Text(0), "Clover") << db.ErrorMessage();
    cursor.Previous();
    EXPECT_EQ(cursor.Text(0), "Basil") << db.ErrorMessage();
    cursor.First();
    EXPECT_EQ(cursor.Text(0), "Apple") << db.ErrorMessage();
    EXPECT_EQ(db.ErrorCode(), 0) << db.ErrorMessage();
}

TEST(CatalogUnconnected, EveryQueryOnAClosedConnectionSaysNotConnected) {
    ASSERT_TRUE(LoadConnector());
    ODBCDatabase db;
    struct Case {
        const char* query;
        std::function<bool()> answersNothing;
    } cases[] = {
        {"TableSchema", [&] { return db.TableSchema().IsNil(); }},
        {"FieldSchema", [&] { return db.FieldSchema("tree").IsNil(); }},
        {"IndexSchema", [&] { return db.IndexSchema("tree").IsNil(); }},
        {"PrimaryKeys", [&] { return db.PrimaryKeys("tree").IsNil(); }},
        {"ForeignKeys", [&] { return db.ForeignKeys("a", "b").IsNil(); }},
        {"SpecialColumns", [&] { return db.SpecialColumns(1, "tree", 0, 1).IsNil(); }},
        {"TablePrivileges", [&] { return db.TablePrivileges("tree").IsNil(); }},
        {"ColumnPrivileges", [&] { return db.ColumnPrivileges("tree", "id").IsNil(); }},
        {"Procedures", [&] { return db.Procedures().IsNil(); }},
        {"ProcedureColumns", [&] { return db.ProcedureColumns("p").IsNil(); }},
        {"GetSQLTypeInfo", [&] { return db.GetSQLTypeInfo(0).IsNil(); }},
        {"GetInfo", [&] { return db.GetInfo(17).IsNil(); }},
        {"GetConnectionAttribute", [&] { return db.GetConnectionAttribute(102).IsNil(); }},
        {"SetConnectionAttribute", [&] { db.SetConnectionAttribute(102, 0); return true; }},
        {"NextRecordset", [&] { return !db.NextRecordset(); }},
        {"Prepare", [&] { return db.Prepare("select 1").IsNil(); }},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.answersNothing()) << c.query;
        EXPECT_EQ(db.ErrorCode(), 1) << c.query;
        EXPECT_EQ(db.ErrorMessage(), "Not connected.") << c.query;
    }
}

}  // namespace
