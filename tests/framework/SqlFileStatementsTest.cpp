// Statements that SqlFileDatabase keeps prepared and runs again with other
// values give what the same text gives on a connection of its own: the same
// rows in the same order, the same column names, the same errors and the
// same file; a statement that fails to write says so; and schema changes,
// ours or another program's, are seen.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "framework/SqlFileDatabase.h"
#include "tests/support/FaultyDisk.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

#include <sqlite3.h>

namespace {

Ref<SqlFileDatabase> openDb(const std::string& path) {
    auto db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(path);
    EXPECT_TRUE(db->Connect()) << path;
    return db;
}

// What a statement gave: its column names, its rows (each value with its
// type), or its error.
struct Outcome {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int64_t error = 0;
    std::string message;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    out << "error " << o.error << " " << o.message << "; columns";
    for (const auto& c : o.columns) out << " [" << c << "]";
    for (const auto& row : o.rows) {
        out << "\n ";
        for (const auto& cell : row) out << " " << cell;
    }
    return out;
}

std::string number(double d) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", d);
    return text;
}

// One value as SQLite's C API reads it.
std::string cell(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_INTEGER: return "i:" + std::to_string(sqlite3_column_int64(stmt, i));
        case SQLITE_FLOAT: return "r:" + number(sqlite3_column_double(stmt, i));
        case SQLITE_NULL: return "null";
        default: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            return "t:" + std::string(text, size_t(sqlite3_column_bytes(stmt, i)));
        }
    }
}

// One value as a record set gives it.
std::string cell(const Variant& v) {
    switch (v.GetType()) {
        case Variant::Type::Integer: return "i:" + std::to_string(v.IntegerValue());
        case Variant::Type::Double: return "r:" + number(v.DoubleValue());
        case Variant::Type::Nil: return "null";
        default: return "t:" + v.StringValue();
    }
}

// The text run as written on a connection of its own, as SQLSelect (its
// first statement, with its rows) or SQLExecute (every statement) would.
Outcome asWritten(const std::string& path, const std::string& sql, bool select) {
    Outcome o;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const char* next = sql.c_str();
    while (*next) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, next, -1, &stmt, &next);
        if (rc == SQLITE_OK && stmt) {
            for (int i = 0; select && i < sqlite3_column_count(stmt); ++i)
                o.columns.push_back(sqlite3_column_name(stmt, i));
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                if (!select) continue;
                o.rows.emplace_back();
                for (int i = 0; i < sqlite3_column_count(stmt); ++i) o.rows.back().push_back(cell(stmt, i));
            }
            if (rc == SQLITE_DONE) rc = SQLITE_OK;
        }
        if (rc != SQLITE_OK) {
            o.columns.clear();
            o.rows.clear();
            o.error = sqlite3_extended_errcode(db) & 0xff;
            o.message = sqlite3_errmsg(db);
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_OK || select) break;
    }
    sqlite3_close(db);
    return o;
}

Outcome throughDb(SqlFileDatabase& db, const std::string& sql, bool select) {
    Outcome o;
    if (select) {
        Ref<RecordSet> rs = db.SQLSelect(sql);
        if (rs) {
            for (int i = 0; i < rs->FieldCount(); ++i) o.columns.push_back(rs->ColumnName(i));
            for (; !rs->Eof(); rs->MoveNext()) {
                o.rows.emplace_back();
                for (int i = 0; i < rs->FieldCount(); ++i) o.rows.back().push_back(cell(rs->ColumnValue(i)));
            }
        }
    } else {
        db.SQLExecute(sql);
    }
    o.error = db.ErrorCode();
    o.message = db.ErrorMessage();
    return o;
}

// A small herd with an index on oldId, so that a lookup by it gives its rows
// in the index's order, and a breed compared without regard to case.
const std::string Herd =
    "CREATE TABLE tree(id integer NOT NULL PRIMARY KEY, name Varchar, colour Varchar, oldId Integer, "
    "fatherId Integer, ps Varchar, sex Varchar, price Real, breed Varchar COLLATE NOCASE);"
    "CREATE INDEX tree_oldId ON tree(oldId);"
    "INSERT INTO tree(name, colour, oldId, fatherId, ps, sex, price, breed) VALUES"
    " ('Bella', 'brown', 9, NULL, NULL, 'female', 3.5, 'Rex'),"
    " ('Max', NULL, 8, 7, NULL, 'male', NULL, 'rex'),"
    " ('O''Neil', 'white', 'x7', 7, NULL, NULL, '2.50', 'REX'),"
    " ('Nell', 'grey', 7, '8', NULL, 'undefined', 0, 'Teddy'),"
    " ('max', 'black', 7, NULL, 'Bella', 'male', NULL, NULL),"
    " ('Ares', '', 12, 9, NULL, 'male', 1, '');";

const std::string Dump = "SELECT * FROM tree ORDER BY id";

}  // namespace

TEST(SqlFileStatements, KeptStatementsGiveWhatTheirTextGives) {
    using namespace std::string_literals;
    struct Statement {
        std::string sql;
        bool select;
    } statements[] = {
        // A text compared with an INTEGER, REAL or NOCASE column, or a
        // number as a column's position.
        {"SELECT name FROM tree WHERE oldId = '7'", true},
        {"SELECT name FROM tree WHERE oldId = '07'", true},
        {"SELECT name FROM tree WHERE oldId = 'x7'", true},
        {"SELECT id FROM tree WHERE name = 'max'", true},
        {"SELECT id FROM tree WHERE breed = 'REX'", true},
        {"SELECT name FROM tree WHERE name = 'O''Neil'", true},
        {"SELECT name FROM tree WHERE price = '2.5'", true},
        {"SELECT name FROM tree WHERE name LIKE 'm%'", true},
        {"SELECT name FROM tree WHERE colour IN ('brown', 'white', '')", true},
        {"SELECT name, sex FROM tree WHERE fatherId = '7' ORDER BY 2, 1", true},
        {"SELECT name FROM tree WHERE oldId = 7", true},
        {"SELECT name FROM tree WHERE sex = 'male'", true},
        {"SELECT name FROM tree WHERE lower(name) || 'x' > 'a'", true},
        // Literals that name a column or stand where a name goes.
        {"SELECT name, 'a''b' FROM tree ORDER BY 2, 1", true},
        {"SELECT typeof('7'), '7' + 1, '' IS NULL FROM tree WHERE id = 1", true},
        {"SELECT name AS 'n' FROM tree WHERE oldId = '8'", true},
        {"SELECT name FROM tree WHERE name = 'bella' COLLATE 'nocase'", true},
        {"SELECT count(*), sex || '.' FROM tree WHERE sex <> 'male' GROUP BY sex || '.'", true},
        // What the shape of a statement leaves as written.
        {"SELECT hex(x'4142') FROM tree WHERE id = '1'", true},
        {"SELECT name FROM tree WHERE name = \"Max\"", true},
        {"SELECT name FROM tree WHERE id = '1'; SELECT 2", true},
        {"SELECT name FROM tree -- 'x'\n WHERE id = '2'", true},
        {"SELECT name FROM tree WHERE id = ?", true},
        {"SELECT nosuchcolumn FROM tree WHERE id = '1'", true},
        {"SELECT name FROM tree WHERE name = 'open", true},
        {"SELECT name FROM tree WHERE name = 'Max\0' OR name = 'Nell'"s, true},
        // Writes.
        {"UPDATE tree SET ps = 'O''Neil' WHERE fatherId = '7'", false},
        {"UPDATE tree SET sex = 'male' WHERE id = '2' AND (sex IS NULL OR sex <> 'male')", false},
        {"INSERT INTO tree (name, oldId, price, breed) VALUES ('Zed', '12', '3.50', '')", false},
        {"INSERT INTO tree (name) VALUES ('a;b -- c /* d */ \"e\" `f` [g] ?1 :x @y $z')", false},
        {"UPDATE tree SET colour = 'grey' WHERE breed = 'rex'", false},
        {"UPDATE tree SET oldId = '0x10' WHERE name = 'Zed'", false},
        {"INSERT INTO tree (name, oldId) SELECT name || '2', oldId FROM tree WHERE sex = 'female'", false},
        {"DELETE FROM tree WHERE name = 'Nell'", false},
        {"UPDATE tree SET nosuchcolumn = 'x' WHERE id = '1'", false},
        {"INSERT INTO tree (name) VALUES ('one'); INSERT INTO tree (name) VALUES ('two')", false},
    };
    // Indexes that a parameter in the place of a literal could not use, so
    // that the rows would come in another order.
    struct Schema {
        const char* what;
        const char* index;
    } schemas[] = {
        {"plain indexes", ""},
        {"a partial index", "CREATE INDEX tree_male ON tree(name) WHERE sex = 'male'"},
        {"an index on an expression", "CREATE INDEX tree_lower ON tree(lower(name) || 'x')"},
    };
    for (const Schema& schema : schemas) {
        SCOPED_TRACE(schema.what);
        TempDir dir;
        const std::string ours = dir.file("ours.rsd"), theirs = dir.file("theirs.rsd");
        SqliteCli::query(ours, Herd + schema.index);
        std::filesystem::copy_file(ours, theirs);
        auto db = openDb(ours);
        // Twice: the second time every statement is one kept from the first.
        for (int pass = 1; pass <= 2; ++pass) {
            for (const Statement& s : statements) {
                SCOPED_TRACE("pass " + std::to_string(pass) + ": " + s.sql);
                EXPECT_EQ(throughDb(*db, s.sql, s.select), asWritten(theirs, s.sql, s.select));
                db->Commit();
                EXPECT_EQ(asWritten(ours, Dump, true), asWritten(theirs, Dump, true));
            }
        }
    }
}

// A write that the disk refuses is reported by the call that made it, also
// when the statement was kept from an earlier call.
TEST(SqlFileStatements, AWriteThatFailsIsReportedByTheCallThatMadeIt) {
    TempDir dir;
    const std::string path = dir.file("herd.rsd");
    SqliteCli::query(path, Herd + "CREATE TABLE big(id integer PRIMARY KEY, notes Varchar);");
    const std::string before = TempDir::read(path);
    FaultyDisk disk;

    // Every call of the run, each with the count of writes and syncs after it.
    auto run = [&](std::vector<std::pair<std::string, int>>& calls, std::vector<int64_t>& codes) {
        auto db = openDb(path);
        // A small page cache: the statements write to the file as they run.
        db->SQLExecute("PRAGMA cache_size = 5");
        auto note = [&](const std::string& what) {
            calls.emplace_back(what, disk.operations());
            codes.push_back(db->ErrorCode());
        };
        const std::string notes(600, 'n');
        for (int i = 1; i <= 30; ++i) {
            db->SQLExecute("INSERT INTO big (notes) VALUES ('" + notes + std::to_string(i) + "')");
            note("insert " + std::to_string(i));
        }
        for (int i = 1; i <= 30; ++i) {
            DatabaseRecord record;
            record.Column("notes", notes);
            db->InsertRecord("big", record);
            note("record " + std::to_string(i));
        }
        for (int i = 1; i <= 6; ++i) {
            db->SQLExecute("UPDATE tree SET ps = '" + notes + "' WHERE id = '" + std::to_string(i) + "'");
            note("update " + std::to_string(i));
        }
        // Reading may write too: the page cache makes room.
        Ref<RecordSet> rs = db->SQLSelect("SELECT id, notes FROM big WHERE id > '20'");
        note("select");
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            rs->Edit();
            rs->Field("notes")->SetStringValue("edited " + notes);
            rs->Update();
            note("edit " + rs->Field("id")->StringValue());
        }
        db->Commit();
        note("commit");
    };

    disk.failAt(0, FaultyDisk::Fault::Full);
    std::vector<std::pair<std::string, int>> calls;
    std::vector<int64_t> codes;
    run(calls, codes);
    ASSERT_EQ(codes, std::vector<int64_t>(calls.size(), 0));
    const int writes = disk.operations();
    ASSERT_GT(writes, 30);

    struct Fault {
        const char* what;
        FaultyDisk::Fault fault;
        int64_t code;
    } faults[] = {{"full disk", FaultyDisk::Fault::Full, 13}, {"one I/O error", FaultyDisk::Fault::IoError, 10}};
    for (const Fault& f : faults) {
        for (int n = 1; n <= writes; ++n) {
            SCOPED_TRACE(std::string(f.what) + " at write " + std::to_string(n) + " of " + std::to_string(writes));
            dir.write("herd.rsd", before);
            std::filesystem::remove(path + "-journal");
            disk.failAt(n, f.fault);
            calls.clear();
            codes.clear();
            run(calls, codes);
            // The first call that reached the failed write reports it.
            size_t failed = 0;
            while (failed < calls.size() && calls[failed].second < n) ++failed;
            ASSERT_LT(failed, calls.size());
            EXPECT_EQ(codes[failed], f.code) << calls[failed].first;
            for (size_t i = 0; i < failed; ++i) EXPECT_EQ(codes[i], 0) << calls[i].first;
        }
    }
}

// Tables and indexes dropped or changed while statements on them are kept:
// by this object (the kept statements are let go first) or by another
// program (SQLite prepares them again).
TEST(SqlFileStatements, SchemaChangesAreSeenByKeptStatements) {
    TempDir dir;
    const std::string path = dir.file("herd.rsd");
    SqliteCli::query(path, Herd);
    auto db = openDb(path);
    const std::string lookup = "SELECT * FROM tree WHERE oldId = '8'";
    auto columns = [&] {
        std::vector<String> names;
        if (Ref<RecordSet> rs = db->SQLSelect(lookup))
            for (int i = 0; i < rs->FieldCount(); ++i) names.push_back(rs->ColumnName(i));
        return names;
    };
    ASSERT_EQ(columns().size(), 9u);

    db->SQLExecute("DROP INDEX tree_oldId");
    EXPECT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
    EXPECT_EQ(columns().size(), 9u);
    db->Commit();

    // Another program adds a column.
    SqliteCli::query(path, "ALTER TABLE tree ADD COLUMN weight Varchar");
    EXPECT_EQ(columns().size(), 10u);
    EXPECT_EQ(columns().back(), "weight");

    db->SQLExecute("DROP TABLE tree");
    EXPECT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
    EXPECT_TRUE(columns().empty());
    EXPECT_EQ(db->ErrorMessage(), "no such table: tree");
    db->SQLExecute("CREATE TABLE tree(id integer PRIMARY KEY, oldId Integer, name Varchar)");
    db->SQLExecute("INSERT INTO tree (oldId, name) VALUES ('8', 'Max')");
    EXPECT_EQ(columns(), (std::vector<String>{"id", "oldId", "name"}));
    db->Commit();
    EXPECT_EQ(db->ErrorCode(), 0) << db->ErrorMessage();
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, typeof(oldId), name FROM tree"),
              (SqliteCli::Rows{{"1", "integer", "Max"}}));
}
