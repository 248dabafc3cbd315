#include "tests/services/ServicesFixture.h"
#include "tests/support/SqliteCli.h"

namespace {

// The tables of an RSD/CAX file as the Brevolan program expects them: name,
// number of columns, and the text of each CREATE statement after its table
// name, blanks included.
struct ExpectedTable {
    const char* name;
    size_t columns;
    const char* body;
};

const ExpectedTable Expected[] = {
    {"settings", 37,
     " (id integer NOT NULL PRIMARY KEY, Breeder Varchar, Email Varchar, StudNum Varchar, PhoneNum Varchar, "
     "Background Varchar, Logo Varchar, Stud Varchar, Animal Varchar, Male Varchar, Female Varchar, Gestation "
     "integer, Country Varchar, CustomDetails Varchar, CustomName1 Varchar, CustomName2 Varchar, CustomName3 Varchar, "
     "Organisation Varchar, Father Varchar, Mother Varchar, Prefix Varchar, CustomName4 Varchar, CustomName5 Varchar, "
     "NestBox Varchar, Wean Varchar, Rebreed Varchar, WeightMeasure Varchar, Version Varchar, CustomName6 Varchar, "
     "CustomName7 Varchar, CustomName8 Varchar, CustomName9 Varchar, CustomName10 Varchar, CustomName11 Varchar, "
     "CustomName12 Varchar, Shelter Varchar, BreederName Varchar)"},
    {"tree", 46,
     "(id integer NOT NULL PRIMARY KEY, fatherId Varchar, motherId Varchar, title Varchar, name Varchar, colour "
     "Varchar, breed Varchar, sex Varchar, dob DATE, notes varchar, ps Varchar, pd Varchar, cage Varchar, tag "
     "Varchar, customField1 Varchar, customField2 Varchar, customField3 Varchar,  customfield4 Varchar, customField5 "
     "Varchar, customField6 Varchar,  picture Varchar, deceased Varchar, dateDeceased DATE,  health MEMO, journal "
     "MEMO, callname Varchar, sold Varchar, datesold DATE, breeder Varchar, owner Varchar, prefix Varchar, suffix "
     "Varchar, CustomField7 Varchar, CustomField8 Varchar, CustomField9 Varchar, CustomField10 Varchar, CustomField11 "
     "Varchar, CustomField12 Varchar, coi Varchar, DateAdded DATE,BoughtFrom Varchar,DateBought DATE,purchasePrice "
     "Varchar,birthEstimate Varchar,oldId Integer,leased Varchar)"},
    {"weights", 6,
     "(id integer NOT NULL PRIMARY KEY, nameId varchar, weightDate DATE, weightTime Varchar, name Varchar, weight "
     "Varchar)"},
    {"vaccinations", 6,
     "(id integer NOT NULL PRIMARY KEY, nameId varchar, duedate DATE, name Varchar, vaccination Varchar, done "
     "Varchar)"},
    {"breeding", 15,
     "(id integer NOT NULL PRIMARY KEY, fatherId varchar, motherId varchar, breed Varchar, Boar Varchar, Sow "
     "Varchar, mated DATE,due DATE, born DATE, numBoars Varchar, numSows Varchar, notes Varchar, sold Varchar, "
     "unsuccessful Varchar,stillBorn Varchar)"},
    {"soldstock", 7,
     "(id integer NOT NULL PRIMARY KEY, nameId varchar, Offspring Varchar,DateSold DATE, SoldTo Varchar, Notes "
     "Varchar,Price Varchar)"},
    {"contacts", 11,
     "(id integer NOT NULL PRIMARY KEY, name Varchar, address Varchar, city Varchar, state Varchar, country "
     "Varchar, postcode Varchar, phone Varchar, email Varchar, notes String, category Varchar)"},
    {"reminders", 4, "(id integer NOT NULL PRIMARY KEY, duedate DATE, reminder Varchar, done Varchar)"},
    {"shows", 10,
     "(id integer NOT NULL PRIMARY KEY,nameId varchar,  name Varchar, show Varchar, showDate DATE, class Varchar, "
     "competitorNum String, place Varchar, judge Varchar, awards Varchar)"},
    {"print", 40,
     "(id integer NOT NULL PRIMARY KEY, Name varChar, Orientation varChar, Margin Varchar, FontSize varChar, "
     "FontName varChar, FontColour Varchar, FontBold Varchar, FontItalic Varchar, SubjectFontSize Varchar, "
     "SubjectFontName varChar, SubjectFontColour Varchar, SubjectFontBold Varchar, SubjectFontItalic Varchar, "
     "TitleFontSize varChar, TitleFontName varChar, TitleFontColour Varchar, TitleFontBold Varchar, TitleFontItalic "
     "Varchar, ShowBorder Varchar, WhichGraphic Varchar, ShowShadow Varchar, PicSize varChar, LineColour Varchar, "
     "Generationchoice varChar, PrintWhat Varchar, FieldChoices varChar, picLeft varChar, picTop varChar,background "
     "Varchar, bracketWidth Varchar, detailsLeft Varchar, detailsTop Varchar, certLeft Varchar, certTop Varchar, "
     "otherDetailsLeft Varchar, otherDetailsTop Varchar, otherDetails Varchar, wrapLength varChar, objectPositions "
     "Varchar)"},
    {"expenditure", 7,
     "(id integer NOT NULL PRIMARY KEY, nameId varchar, expense_date DATE, name Varchar, details Varchar, expense "
     "Varchar, income Varchar)"},
    {"journal", 4, "(id integer NOT NULL PRIMARY KEY, nameId varchar, journalDate DATE, note Varchar)"},
};

}  // namespace

class Schema : public ServicesTest {
protected:
    // A new file with the twelve tables, made as the CSV import makes it.
    std::string makeFile() {
        const std::string path = dir.file("herd.cax");
        auto db = New<SqlFileDatabase>();
        db->DatabaseFile = GetFolderItem(path);
        EXPECT_TRUE(db->CreateDatabaseFile());
        appSystem::makeRSDfields(db);
        return path;
    }
};

TEST_F(Schema, TheTwelveTablesStandInOrderWithTheirColumnsAsWritten) {
    const std::string path = makeFile();
    const auto rows = SqliteCli::query(path, "SELECT name, sql FROM sqlite_master WHERE type = 'table' ORDER BY rowid");
    ASSERT_EQ(rows.size(), std::size(Expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        const ExpectedTable& t = Expected[i];
        SCOPED_TRACE(t.name);
        EXPECT_EQ(rows[i][0], t.name);
        EXPECT_EQ(rows[i][1], std::string("CREATE TABLE ") + t.name + t.body);
        const auto columns = SqliteCli::columns(path, t.name);
        EXPECT_EQ(columns.size(), t.columns);
        EXPECT_EQ(columns.empty() ? "" : columns.front(), "id");
        EXPECT_EQ(SqliteCli::query(path, std::string("SELECT count(*) FROM pragma_table_info('") + t.name +
                                             "') WHERE pk = 1 AND type LIKE 'integer' AND name = 'id'"),
                  (SqliteCli::Rows{{"1"}}));
    }
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(Schema, RunningItAgainChangesNothingAndReportsNothing) {
    const std::string path = makeFile();
    const std::string before = TempDir::read(path);
    auto db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(path);
    ASSERT_TRUE(db->Connect());
    EXPECT_NO_THROW(appSystem::makeRSDfields(db));
    db = nullptr;
    EXPECT_EQ(TempDir::read(path), before);
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_THROW(appSystem::makeRSDfields(nullptr), NilObjectException);
}

TEST_F(Schema, RowsInsertedWithoutAnIdAreNumberedFromOne) {
    const std::string path = makeFile();
    appSystem::dataPath = appSystem::output.createdFile = path;
    appSystem::connectData();
    for (const char* table : {"settings", "tree"}) {
        for (const char* value : {"first", "second"}) {
            DatabaseRecord record;
            record.Column(std::string(table) == "tree" ? "name" : "Breeder", value);
            EXPECT_TRUE(appSystem::saveToFile(appSystem::db, record, table));
        }
    }
    appSystem::db = nullptr;
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, Breeder FROM settings"),
              (SqliteCli::Rows{{"1", "first"}, {"2", "second"}}));
    EXPECT_EQ(SqliteCli::query(path, "SELECT id, name FROM tree"), (SqliteCli::Rows{{"1", "first"}, {"2", "second"}}));
}
