#include "framework/EventLoop.h"
#include "tests/services/ServicesFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/SqliteCli.h"

namespace {

int g_yields = 0;
void countYield() { ++g_yields; }

// Counts the yields to the event loop while it lives.
struct YieldCounter {
    YieldCounter() {
        g_yields = 0;
        SetYieldHandler(countYield);
    }
    ~YieldCounter() { SetYieldHandler(nullptr); }
    int count() const { return g_yields; }
};

std::vector<String> rowCells(int64_t row, int64_t upTo) {
    std::vector<String> cells;
    for (int64_t c = 0; c <= upTo; ++c) cells.push_back(appSystem::CSVa(row, c));
    return cells;
}

}  // namespace

using TextFunctions = ServicesTest;

TEST_F(TextFunctions, TheGridStoresWrittenCellsAndKeepsItsBounds) {
    CsvGrid& grid = appSystem::CSVa;
    EXPECT_EQ(grid(0, 0), "");
    EXPECT_EQ(grid(CsvGrid::LastRow, CsvGrid::LastColumn), "");
    grid.Set(7, 2, "two");
    grid.Set(7, 0, "zero");
    grid.Set(7, 1, "one");
    grid.Set(7, 0, "0");  // replacing a cell keeps its neighbours
    EXPECT_EQ(rowCells(7, 3), (std::vector<String>{"0", "one", "two", ""}));
    grid.Set(CsvGrid::LastRow, CsvGrid::LastColumn, "corner");
    EXPECT_EQ(grid(CsvGrid::LastRow, CsvGrid::LastColumn), "corner");

    struct Cell {
        int64_t row, column;
    } outside[] = {{-1, 0}, {0, -1}, {CsvGrid::LastRow + 1, 0}, {0, CsvGrid::LastColumn + 1}};
    for (const auto& c : outside) {
        EXPECT_THROW(grid.Set(c.row, c.column, "x"), OutOfBoundsException) << c.row << "," << c.column;
        EXPECT_THROW(grid(c.row, c.column), OutOfBoundsException) << c.row << "," << c.column;
    }

    grid.Clear();
    EXPECT_EQ(grid(7, 1), "");
    EXPECT_EQ(grid(CsvGrid::LastRow, CsvGrid::LastColumn), "");
}

TEST_F(TextFunctions, CleanTrimsAndDropsLineEndingsOutsideQuotedFields) {
    struct Case {
        const char* line;
        const char* cleaned;
    } cases[] = {
        {"   \"Bella\",brown,\"f\"\r\n", "\"Bella\",brown,\"f\""},  // the quotes are the splitter's
        {"a\"b\rc\nd  ", "a\"bcd"},
        {"x,\"note\r\nline two\",y\r", "x,\"note\r\nline two\",y"},
        {" x,y\rz\n,w \r\n", "x,yz,w"},  // without quotes too
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(appSystem::clean(c.line), c.cleaned) << c.line;
}

TEST_F(TextFunctions, QuotedFieldsHoldCommasLineBreaksAndQuotesAsSpreadsheetsWriteThem) {
    struct Case {
        const char* line;
        std::vector<String> fields;
    } cases[] = {
        {"\"Smith, J\",2020-01-02,7", {"Smith, J", "2020-01-02", "7"}},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
        {"\"line one\nline two\",b", {"line one\nline two", "b"}},
        {",\"c,d\",\"\",", {"", "c,d", "", ""}},
        {"\"a,b\"", {"a,b"}},
        // Outside quoted fields the quotes are dropped and every comma cuts.
        {"5\" tall,x", {"5 tall", "x"}},
        {"\"Big\" Bob,x", {"Big Bob", "x"}},
        {"a, \"b,c\"", {"a", " b", "c"}},
        {"\"never closed,x", {"never closed", "x"}},
        {"\"Bj\xC3\xB6rk, \xE2\x9C\x93\",\xC3\xB6", {"Björk, ✓", "ö"}},
    };
    int64_t row = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(appSystem::extractfields(c.line, row, ","), int64_t(c.fields.size()));
        EXPECT_EQ(rowCells(row, int64_t(c.fields.size()) - 1), c.fields);
        EXPECT_EQ(appSystem::CSVa(row, int64_t(c.fields.size())), "");
        EXPECT_EQ(appSystem::countCommas(c.line), int64_t(c.fields.size()) - 1);
        ++row;
    }
}

TEST_F(TextFunctions, ExtractFieldsWritesOneRowAndYieldsPerCut) {
    YieldCounter yields;
    appSystem::CSVa.Set(5, 3, "left by an earlier line");
    appSystem::extractfields("Bella,,\"f\"", 5, ",");
    EXPECT_EQ(rowCells(5, 3), (std::vector<String>{"Bella", "", "f", "left by an earlier line"}))
        << "cells beyond the line's last field are not written";
    EXPECT_EQ(yields.count(), 2);

    appSystem::extractfields("", 6, ",");
    EXPECT_EQ(appSystem::CSVa(6, 0), "");
    appSystem::extractfields("a,b,", 8, ",");
    EXPECT_EQ(rowCells(8, 2), (std::vector<String>{"a", "b", ""}));
    appSystem::extractfields("Björk,✓", 9, ",");
    EXPECT_EQ(rowCells(9, 1), (std::vector<String>{"Björk", "✓"}));
    appSystem::extractfields(" a\rb , c ", 10, ",");
    EXPECT_EQ(rowCells(10, 1), (std::vector<String>{" a\rb ", " c "})) << "a field keeps what the line holds";
}

TEST_F(TextFunctions, ExtractFieldsDropsWhatFallsOutsideTheGrid) {
    String line;
    for (int i = 0; i < 72; ++i) line += (i ? "," : "") + Str(int64_t(i));
    EXPECT_NO_THROW(appSystem::extractfields(line, 1, ","));
    EXPECT_EQ(appSystem::CSVa(1, 0), "0");
    EXPECT_EQ(appSystem::CSVa(1, 70), "70");
    EXPECT_NO_THROW(appSystem::extractfields("a,b", CsvGrid::LastRow + 1, ","));
    EXPECT_NO_THROW(appSystem::extractfields("a,b", -1, ","));
    EXPECT_EQ(appSystem::CSVa(CsvGrid::LastRow, 0), "");
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(TextFunctions, CountCommasCountsAndYieldsPerCharacter) {
    struct Case {
        const char* line;
        int64_t commas;
        int yields;
    } cases[] = {
        {"a,,b,c", 3, 7}, {"", 0, 1}, {",", 1, 2}, {"ö,✓", 1, 4},
    };
    for (const auto& c : cases) {
        YieldCounter yields;
        EXPECT_EQ(appSystem::countCommas(c.line), c.commas) << c.line;
        EXPECT_EQ(yields.count(), c.yields) << c.line;
    }
}

TEST_F(TextFunctions, ConvertSexKnowsItsWordsInAnyCase) {
    for (const char* m : {"m", "M", "male", "MALE", "Dog", "sire", "buck", "cock", "boar", "bull", "b", "C"})
        EXPECT_EQ(appSystem::convertSex(m), "male") << m;
    for (const char* f : {"f", "F", "Female", "bitch", "dam", "DOE", "hen", "sow", "cow", "d", "h"})
        EXPECT_EQ(appSystem::convertSex(f), "female") << f;
    for (const char* u : {"", "?", "unknown", "undefined", " m", "male ", "mare", "x"})
        EXPECT_EQ(appSystem::convertSex(u), "undefined") << "\"" << u << "\"";
}

TEST_F(TextFunctions, ApostrophesGoInAsBackticksAndComeBack) {
    EXPECT_EQ(appSystem::rma("O'Neil's"), "O`Neil`s");
    EXPECT_EQ(appSystem::rma("plain"), "plain");
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"O`Neil`s", "O'Neil's"},
        {"Bob$s cage", "Bob's cage"},
        {"$5 and Tom$s", "$5 and Tom$s"},   // a digit after the first "$" keeps every "$"
        {"Tom$s $5", "Tom's '5"},           // a letter after the first "$" changes every one
        {"price$", "price'"},               // nothing after "$"
        {"no dollar", "no dollar"},
        {"Jö$rg$s", "Jö'rg's"},
        {"£$5 Jö$rg", "£$5 Jö$rg"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(appSystem::rpa(c.in), c.out) << c.in;
    EXPECT_EQ(appSystem::rcr("line1\nline2\r\nline3\rend\n\n"), "line1 - line2 - line3 - end -  - ");
}

TEST_F(TextFunctions, GetFieldStringGivesCsvSafeText) {
    const std::string path = dir.file("herd.rsd");
    SqliteCli::query(path,
                     "CREATE TABLE tree(id integer PRIMARY KEY, name Varchar, dob DATE, notes varchar, "
                     "oldId Integer);"
                     "INSERT INTO tree VALUES (1, 'Bella', '2020-03-04', 'fed at 10:00, then 12:00', 5);"
                     "INSERT INTO tree VALUES (2, 'a,b,c', '', 'line one' || char(10) || 'two' || char(13), NULL);"
                     "INSERT INTO tree VALUES (3, 'Vet', '2021-03-04 10:00:00', '2021-03-04 10:00:00 vet', NULL);"
                     "INSERT INTO tree VALUES (4, 'Late', '2021-03-04 12:34:56', '2021-03-04 10:00', 2.5);");
    appSystem::dataPath = path;
    Ref<RecordSet> rs = appSystem::GetRecordset("SELECT * FROM tree ORDER BY id");
    ASSERT_TRUE(rs);
    EXPECT_EQ(appSystem::GetFieldString(rs, "DOB"), "2020-03-04");
    EXPECT_EQ(appSystem::GetFieldString(rs, "Name"), "Bella");
    EXPECT_EQ(appSystem::GetFieldString(rs, "oldid"), "5");
    // A note that mentions a time holds no date: it is kept as text.
    EXPECT_EQ(appSystem::GetFieldString(rs, "notes"), "fed at 10:00  then 12:00");
    EXPECT_EQ(appSystem::GetFieldString(rs, "nosuchcolumn"), "");
    rs->MoveNext();
    EXPECT_EQ(appSystem::GetFieldString(rs, "name"), "a b c");
    EXPECT_EQ(appSystem::GetFieldString(rs, "dob"), "");
    EXPECT_EQ(appSystem::GetFieldString(rs, "notes"), "line one - two - ");
    EXPECT_EQ(appSystem::GetFieldString(rs, "oldId"), "");
    rs->MoveNext();
    EXPECT_EQ(appSystem::GetFieldString(rs, "dob"), "2021-03-04");
    EXPECT_EQ(appSystem::GetFieldString(rs, "notes"), "2021-03-04 10:00:00 vet") << "text after a time is no date";
    rs->MoveNext();
    EXPECT_EQ(appSystem::GetFieldString(rs, "dob"), "2021-03-04 12:34:56") << "a time without \"0:00\" stays";
    EXPECT_EQ(appSystem::GetFieldString(rs, "notes"), "2021-03-04") << "a text that reads as a date";
    EXPECT_EQ(appSystem::GetFieldString(rs, "oldId"), "2.5");
    rs->MoveNext();
    EXPECT_EQ(appSystem::GetFieldString(rs, "name"), "") << "no current row";
    EXPECT_EQ(appSystem::GetFieldString(nullptr, "name"), "");
}

// A DATE column's value is its SQL date when it reads as a date whose text
// holds "0:00", and its text otherwise; also where the text has a date's
// shape but names no day, or a date's length but not its shape.
TEST_F(TextFunctions, GetFieldStringOfADateColumnGivesItsSqlDateOrItsText) {
    const struct {
        const char* stored;  // an SQL literal
        const char* field;
    } cases[] = {
        {"'2020-03-04'", "2020-03-04"},
        {"'0000-01-01'", "0000-01-01"},
        {"'2021-02-30'", "2021-02-30"},
        {"'2021-13-02'", "2021-13-02"},
        {"'2021-00-31'", "2021-00-31"},
        {"'2021-01-32'", "2021-01-32"},
        {"' 2021-01-02'", "2021-01-02"},
        {"'2021-01-02 00:00:00'", "2021-01-02"},
        {"'2021-01-02 10:00'", "2021-01-02"},
        {"'2021-01-02 12:34:56'", "2021-01-02 12:34:56"},
        {"'2021/01/02'", "2021/01/02"},
        {"'2021-1-02,'", "2021-1-02 "},
        {"'202a-01-02'", "202a-01-02"},
        {"'20210-1-02'", "20210-1-02"},
        {"'2021-01-0' || char(10)", "2021-01-0 - "},
        {"20200304", "20200304"},
        {"''", ""},
        {"NULL", ""},
    };
    const std::string path = dir.file("dates.rsd");
    std::string sql = "CREATE TABLE tree(id integer PRIMARY KEY, dob DATE);";
    for (const auto& c : cases) sql += std::string("INSERT INTO tree(dob) VALUES (") + c.stored + ");";
    SqliteCli::query(path, sql);
    appSystem::dataPath = path;
    Ref<RecordSet> rs = appSystem::GetRecordset("SELECT dob FROM tree ORDER BY id");
    ASSERT_TRUE(rs);
    for (const auto& c : cases) {
        String appended = "before,";
        appSystem::appendFieldString(appended, *rs, 0);
        EXPECT_EQ(appended, std::string("before,") + c.field) << c.stored;
        EXPECT_EQ(appSystem::GetFieldString(rs, "dob"), c.field) << c.stored;
        rs->MoveNext();
    }
}

TEST_F(TextFunctions, BooleanStringsAndNewNames) {
    for (const Variant& v : {Variant(true), Variant(int64_t(-1)), Variant("-1"), Variant("True")})
        EXPECT_EQ(appSystem::getBooleanString(v), "True") << v.StringValue();
    for (const Variant& v : {Variant(false), Variant(int64_t(0)), Variant(""), Variant()})
        EXPECT_EQ(appSystem::getBooleanString(v), "False") << v.StringValue();

    struct Case {
        const char* path;
        const char* suffix;
        const char* want;
    } cases[] = {
        {"/home/user/herd.csv", ".cax", "/home/user/herd.cax"},
        {"/home/user/herd.rsd", "( tree ).csv", "/home/user/herd( tree ).csv"},
        {"/home/user/herd", ".cax", "/home/user/.cax"},
        {"ab", ".cax", ".cax"},
        {"/home/user/herds/ab", ".cax", "/home/user/herds/.cax"},
        {"/home/user/herds/x", "( tree ).csv", "/home/user/herds/( tree ).csv"},
    };
    for (const auto& c : cases) EXPECT_EQ(appSystem::getNewName(c.path, c.suffix), c.want) << c.path;
}

TEST_F(TextFunctions, DatesBecomeSqlDateText) {
    EnvGuard env;
    env.set("LC_ALL", "C.UTF-8");  // month first
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"2020-03-04", "2020-03-04"},
        {"abcd-ef-gh", "abcd-ef-gh"},  // taken as SQL date text without a check
        {"3/4/2020", "2020-03-04"},
        {"12/25/99", "1999-12-25"},
        {"3/4/2020 0:00", "2020-03-04"},
        {"", ""},
        {"unknown", ""},
        {"31/31/2020", ""},
        {"-1/-1/-1", ""},
        {"99/99/9999", ""},
    };
    // The imports read every date of a file in one order, here the locale's.
    const DateOrder order = LocaleDateOrder();
    for (const auto& c : cases) EXPECT_EQ(appSystem::convDisplayDateToSql(c.in, order), c.out) << c.in;
    ASSERT_TRUE(appSystem::CDate(Variant("1/1/1925"), order));
    EXPECT_EQ(appSystem::CDate(Variant("1/1/1925"), order)->SQLDate(), "1925-01-01");
    EXPECT_EQ(appSystem::CDate(Variant(New<Date>(2021, 6, 7)), order)->SQLDate(), "2021-06-07");
    EXPECT_EQ(appSystem::CDate(Variant(), order), nullptr);
    EXPECT_EQ(appSystem::CDate(Variant("not a date"), order), nullptr);
}

TEST_F(TextFunctions, TheDatesOfAFileAreReadInOneOrderOfDayAndMonth) {
    using O = DateOrder;
    struct Case {
        const char* name;
        const char* locale;
        std::vector<String> dates;
        DateOrder order;
    } cases[] = {
        {"day first on a month-first desktop", "en_US.UTF-8", {"05/01/2021", "25/12/2020", ""}, O::DayMonthYear},
        {"nothing needs the other order", "en_US.UTF-8", {"05/01/2021", "12/11/2020"}, O::MonthDayYear},
        {"neither order reads every date", "en_US.UTF-8", {"25/12/2020", "12/25/2020"}, O::MonthDayYear},
        {"text and SQL dates are no hindrance", "en_US.UTF-8", {"soon", "2020-12-31", "13.1.2020"}, O::DayMonthYear},
        {"month first on a day-first desktop", "en_GB.UTF-8", {"12/25/2020", "01/02/2021"}, O::MonthDayYear},
        {"day first on a day-first desktop", "de_DE.UTF-8", {"05.01.2021", "1.2.2020"}, O::DayMonthYear},
        {"no dates", "en_GB.UTF-8", {}, O::DayMonthYear},
    };
    EnvGuard env;
    for (const auto& c : cases) {
        env.set("LC_ALL", c.locale);
        EXPECT_EQ(appSystem::dateOrderOf(c.dates), c.order) << c.name;
    }
}
