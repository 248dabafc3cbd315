#include <clocale>
#include <sstream>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "framework/FolderItem.h"
#include "framework/SqlFileDatabase.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/convert/HostileSources.h"

namespace {

const String Headings = "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,";
const String NoCustomHeadings = Headings + ",,,,,,,,,,,";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace

class RsdToCsv : public ConvertTest {
protected:
    // An RSD/CAX file with the twelve tables and what `sql` adds, written by
    // the independent tool; the source of the next export.
    std::string rsdSource(const std::string& sql, const std::string& name = "herd.rsd") {
        const std::string path = rsdFile(sql, name);
        appSystem::sourceFilepath = path;
        return appSystem::getNewName(path, "( tree ).csv");
    }
    std::string exported(const std::string& sql) {
        const std::string csv = rsdSource(sql);
        convertRsdToCsv::runConvertRSDCSV();
        EXPECT_EQ(appSystem::destinationFilePath, csv);
        return TempDir::read(csv);
    }
};

TEST_F(RsdToCsv, TheHeadingLineCarriesTheCustomHeadingsAndEveryAnimalItsParentsByName) {
    const std::string csv = exported(
        "INSERT INTO settings(CustomName1, CustomName12) VALUES ('weight', 'last');"
        "INSERT INTO tree(name, colour, breed, sex, dob, notes, cage, tag, prefix, suffix, callname, customField1, "
        "CustomField12) VALUES ('Smith, J', 'red', 'Rex', 'male', '2020-01-02', 'fine', 'C1', 'T1', 'Ch', 'CD', "
        "'Jo', '3kg', 'z');"
        "INSERT INTO tree(name, notes) VALUES ('Dam', 'line one' || char(10) || 'two, three');"
        "INSERT INTO tree(name, fatherId, motherId, health) VALUES ('Kid`s', '1', '2', 'not exported');"
        "INSERT INTO tree(name, fatherId, motherId) VALUES ('Stray', '99', '');");
    EXPECT_EQ(csv, Headings + "weight,,,,,,,,,,,last\n"
                              "Smith  J,red,Rex,male,2020-01-02,fine,,,C1,T1,Ch,CD,Jo,3kg,,,,,,,,,,,z\n"
                              "Dam,,,,,line one - two  three,,,,,,,,,,,,,,,,,,,\n"
                              "Kid's,,,,,,Smith  J,Dam,,,,,,,,,,,,,,,,,\n"
                              "Stray,,,,,,,,,,,,,,,,,,,,,,,,\n");
    EXPECT_EQ(ui.texts(), (std::vector<String>{"Operation completed"}));
    EXPECT_FALSE(progress.isOpen());
}

TEST_F(RsdToCsv, OnlyARowWithAnIntegerIdIsNamedAsAParent) {
    // A tree made by another program, whose ids are not all integers.
    const std::string csv = exported(
        "DROP TABLE tree; CREATE TABLE tree(id, name, fatherId, motherId);"
        "INSERT INTO tree VALUES ('abc', 'Text', '', ''), (1e20, 'Huge', '', ''), (5, 'Five', '', ''), "
        "(6, 'Kid', '0', 'abc'), (7, 'Kid2', '100000000000000000000', '1e20'), (8, 'Kid3', '5', '5.0');");
    EXPECT_EQ(csv, NoCustomHeadings + "\n"
                                      "Text,,,,,,,,,,,,,,,,,,,,,,,,\n"
                                      "Huge,,,,,,,,,,,,,,,,,,,,,,,,\n"
                                      "Five,,,,,,,,,,,,,,,,,,,,,,,,\n"
                                      "Kid,,,,,,,,,,,,,,,,,,,,,,,,\n"
                                      "Kid2,,,,,,,,,,,,,,,,,,,,,,,,\n"
                                      "Kid3,,,,,,Five,Five,,,,,,,,,,,,,,,,,\n");
}

TEST_F(RsdToCsv, AParentLinkNamesTheRowWhoseIdItIsAndNothingElse) {
    // Links that are no number are not computed into another row's id.
    const std::string csv = exported(
        "INSERT INTO tree(name) VALUES ('Bella'), ('Max'), ('Rosie');"
        "INSERT INTO tree(name, fatherId, motherId) VALUES ('K1', '2', ' 3 '), ('K2', '', '99'), "
        "('K3', 'abc', '4-2'), ('K4', '1 OR 1=1', '3-1'), ('K5', '000000000000002', '0000000000000003'), "
        "('K6', '+2', '3.'), ('K7', '2 ', '03e0');");
    const std::vector<std::string> rows = lines(csv);
    ASSERT_EQ(rows.size(), 11u);
    const struct {
        const char* kid;
        const char* parents;  // FATHER,MOTHER
    } cases[] = {{"K1", "Max,Rosie"}, {"K2", ","},         {"K3", ","},        {"K4", ","},
                 {"K5", "Max,Rosie"}, {"K6", "Max,Rosie"}, {"K7", "Max,Rosie"}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[4 + i], std::string(cases[i].kid) + ",,,,,," + cases[i].parents + ",,,,,,,,,,,,,,,,,")
            << cases[i].kid;
}

TEST_F(RsdToCsv, EveryValueAndHeadingKeepsItsLineAndColumnSoTheFileReadsBack) {
    const std::string csv = exported(
        "INSERT INTO settings(CustomName1, CustomName2) VALUES ('owner`s mark', 'weight, kg');"
        "INSERT INTO tree(name, notes, customField1, customField2) VALUES "
        "('Cr' || char(13) || 'Name', 'a' || char(13) || char(10) || 'b', 'x', '3');"
        "INSERT INTO tree(name, notes) VALUES ('Vet', '2021-03-04 10:00:00 vet');"
        "INSERT INTO tree(name, notes) VALUES ('\"Champion', '5\" tall');"
        "INSERT INTO tree(name, notes) VALUES ('Last', '\"');");
    EXPECT_EQ(lines(csv), (std::vector<std::string>{Headings + "owner's mark,weight  kg,,,,,,,,,,",
                                                    "Cr - Name,,,,,a - b,,,,,,,,x,3,,,,,,,,,,",
                                                    "Vet,,,,,2021-03-04 10:00:00 vet,,,,,,,,,,,,,,,,,,,",
                                                    "\"\"\"Champion\",,,,,\"5\"\" tall\",,,,,,,,,,,,,,,,,,,",
                                                    "Last,,,,,\"\"\"\",,,,,,,,,,,,,,,,,,,"}))
        << "a value with a double quote is quoted, its quotes doubled";

    csvSource("herd.csv", csv);
    convertCsvToRsd::convertCSV();
    const std::string again = appSystem::destinationFilePath;
    EXPECT_EQ(SqliteCli::query(again, "SELECT name, notes, customField1, customField2 FROM tree ORDER BY id"),
              (SqliteCli::Rows{{"Cr - Name", "a - b", "x", "3"},
                               {"Vet", "2021-03-04 10:00:00 vet", "", ""},
                               {"\"Champion", "5\" tall", "", ""},
                               {"Last", "\"", "", ""}}));
    EXPECT_EQ(SqliteCli::query(again, "SELECT CustomName1, CustomName2 FROM settings"),
              (SqliteCli::Rows{{"owner`s mark", "weight  kg"}}));
}

TEST_F(RsdToCsv, CustomColumnsNamedByTheirSlotOrAfterAnEmptyHeadingSurviveARoundTrip) {
    csvSource("herd.csv", "name,sex,,customfield1,Weight\nA,f,,x,3kg\n");
    convertCsvToRsd::convertCSV();
    const std::string first = appSystem::destinationFilePath;
    EXPECT_EQ(SqliteCli::query(first, "SELECT customField1, customField2 FROM tree"), (SqliteCli::Rows{{"x", "3kg"}}));

    appSystem::sourceFilepath = first;
    convertRsdToCsv::runConvertRSDCSV();
    const std::string csv = TempDir::read(appSystem::destinationFilePath);
    EXPECT_EQ(lines(csv)[0], Headings + "customfield1,weight,,,,,,,,,,");

    csvSource("again.csv", csv);
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(SqliteCli::query(appSystem::destinationFilePath,
                               "SELECT name, sex, customField1, customField2 FROM tree"),
              (SqliteCli::Rows{{"A", "female", "x", "3kg"}}));
    EXPECT_EQ(ui.texts(), (std::vector<String>(3, "Operation completed")))
        << "empty headings over empty columns ask nothing";
}

TEST_F(RsdToCsv, DollarSignsStandForApostrophesUnlessADigitFollowsTheFirst) {
    const std::string csv = exported(
        "INSERT INTO tree(name, notes) VALUES ('O$Brien', 'cost $5');"
        "INSERT INTO tree(name, notes) VALUES ('Pay $5', 'O$Brien');");
    EXPECT_EQ(lines(csv), (std::vector<std::string>{NoCustomHeadings, "O'Brien,,,,,cost '5,,,,,,,,,,,,,,,,,,,",
                                                    "Pay $5,,,,,O$Brien,,,,,,,,,,,,,,,,,,,"}));
}

TEST_F(RsdToCsv, AnEmptyTreeGivesTheHeadingLineAlone) {
    EXPECT_EQ(exported(""), NoCustomHeadings + "\n");
    EXPECT_TRUE(progress.messages().empty());
}

TEST_F(RsdToCsv, ProgressComesEveryFiftiethAnimal) {
    std::string sql;
    for (int i = 1; i <= 120; ++i) sql += "INSERT INTO tree(name) VALUES ('A" + std::to_string(i) + "');";
    exported(sql);
    EXPECT_EQ(progress.messages(), (std::vector<String>{"Converting data table - TREE\nRecord: 0 of 120",
                                                        "Converting data table - TREE\nRecord: 50 of 120",
                                                        "Converting data table - TREE\nRecord: 100 of 120"}));
    EXPECT_EQ(progress.reports()[1], (ShownProgress{progress.reports()[1].message, true, 120, 50}));
}

TEST_F(RsdToCsv, AnExistingOutputIsReplacedWithoutAQuestion) {
    const std::string csv = rsdSource("INSERT INTO tree(name) VALUES ('Bella');");
    dir.write("herd( tree ).csv", "an older export that was much longer than the new one\n");
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_EQ(TempDir::read(csv), NoCustomHeadings + "\nBella,,,,,,,,,,,,,,,,,,,,,,,,\n");
}

TEST_F(RsdToCsv, ASourceThatCannotBeReadIsToldAndNothingIsWritten) {
    dir.write("herd.rsd", "NAME,SEX\nBella,f\n");
    appSystem::sourceFilepath = dir.file("herd.rsd");
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_EQ(ui.texts(), (std::vector<String>{"Cannot open database.", "Cannot open database.",
                                               "No animals could be read from " + appSystem::sourceFilepath +
                                                   "\nMake sure that it is a Brevolan database file (.rsd or .cax)."}));
    EXPECT_FALSE(exists(dir.file("herd( tree ).csv")));
    EXPECT_EQ(TempDir::read(dir.file("herd.rsd")), "NAME,SEX\nBella,f\n");
}

TEST_F(RsdToCsv, AHostileSourceIsRefusedAsNoBrevolanFile) {
    for (const auto& hostile : hostileSources::sources()) {
        SCOPED_TRACE(hostile.what);
        std::filesystem::remove(dir.file("herd.rsd"));
        ui.clear();
        const std::string csv = rsdSource(hostile.sql);
        const std::string before = TempDir::read(appSystem::sourceFilepath);
        convertRsdToCsv::runConvertRSDCSV();
        ASSERT_FALSE(ui.texts().empty());
        EXPECT_EQ(ui.texts().back(), "No animals could be read from " + appSystem::sourceFilepath +
                                         "\nMake sure that it is a Brevolan database file (.rsd or .cax).");
        EXPECT_FALSE(exists(csv));
        EXPECT_EQ(TempDir::read(appSystem::sourceFilepath), before);
    }
}

TEST_F(RsdToCsv, AnOutputThatCannotBeCreatedIsTold) {
    const std::string csv = rsdSource("INSERT INTO tree(name) VALUES ('Bella');");
    std::filesystem::create_directory(csv);
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_EQ(ui.texts(), (std::vector<String>{"The file " + csv + " cannot be created.\n"
                                                                   "Check that its folder exists and can be written to."}));
}

TEST_F(RsdToCsv, ARoundTripKeepsEveryAnimalAndItsParents) {
    const std::string source = "name,sex,sire,dam,notes\n"
                               "Sire,m,,,O'Neill's best\n"
                               "Dam,f,,,\n"
                               "Kid,m,Sire,Dam,\n"
                               "Grandkid,f,Kid,Dam,\n";
    csvSource("herd.csv", source);
    convertCsvToRsd::convertCSV();
    appSystem::sourceFilepath = appSystem::destinationFilePath;
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_EQ(lines(TempDir::read(appSystem::destinationFilePath)),
              (std::vector<std::string>{NoCustomHeadings, "Sire,,,male,,O'Neill's best,,,,,,,,,,,,,,,,,,,",
                                        "Dam,,,female,,,,,,,,,,,,,,,,,,,,,", "Kid,,,male,,,Sire,Dam,,,,,,,,,,,,,,,,,",
                                        "Grandkid,,,female,,,Kid,Dam,,,,,,,,,,,,,,,,,"}));
}

TEST_F(RsdToCsv, AnImportOfTheExportGivesTheSameAnimalsAndCustomFields) {
    // The export's custom headings stand after its own: custom headings that
    // are also field headings, and the twelve of a sheet wider than the
    // custom fields, come back into their custom fields.
    auto wide = [](int unknown) {
        std::string headings = "name,sex", line = "A,f";
        for (int k = 1; k <= unknown; ++k) {
            headings += ",h" + std::to_string(k);
            line += ",v" + std::to_string(k);
        }
        return headings + "\n" + line + "\nB,m" + std::string(size_t(unknown), ',') + "\n";
    };
    const struct {
        const char* name;
        std::string csv;
        int questions;  // "Before you begin!" on the first import
    } cases[] = {
        {"field headings as custom headings",
         "name,sex,sire,notes,Animal Name,Sire Name,NOTES,reg no,tag,Call Name,COLOR,colour\n"
         "Sire,m,,his notes,Big S,,note two,R1,T1,Sy,red,dark red\n"
         "Kid,f,Sire,,Little K,Sire,,R2,T2,,,\n",
         0},
        {"13 unknown headings", wide(13), 1},
        {"20 unknown headings", wide(20), 1},
    };
    std::string columns = "name, sex, colour, ps, fatherId, notes, tag";
    std::string captions = "CustomName1";
    for (int n = 1; n <= 12; ++n) columns += ", customField" + std::to_string(n);
    for (int n = 2; n <= 12; ++n) captions += ", CustomName" + std::to_string(n);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        for (int i = 0; i < c.questions; ++i) ui.AnswerYes();
        csvSource(std::string(c.name) + ".csv", c.csv);
        convertCsvToRsd::convertCSV();
        const std::string first = appSystem::destinationFilePath;
        appSystem::sourceFilepath = first;
        convertRsdToCsv::runConvertRSDCSV();
        const std::string exported = TempDir::read(appSystem::destinationFilePath);
        csvSource(std::string(c.name) + " again.csv", exported);
        convertCsvToRsd::convertCSV();
        const std::string again = appSystem::destinationFilePath;
        EXPECT_EQ(ui.texts().back(), "Operation completed");
        EXPECT_EQ(ui.texts().size(), size_t(c.questions) + 3) << "the export's import asks nothing";

        const SqliteCli::Rows animals = SqliteCli::query(first, "SELECT " + columns + " FROM tree ORDER BY id");
        EXPECT_EQ(SqliteCli::query(again, "SELECT " + columns + " FROM tree ORDER BY id"), animals);
        EXPECT_EQ(SqliteCli::query(again, "SELECT " + captions + " FROM settings"),
                  SqliteCli::query(first, "SELECT " + captions + " FROM settings"));
        ASSERT_EQ(animals.size(), 2u);
        EXPECT_NE(animals[0][7], "") << "the custom fields were filled";
    }
}

TEST_F(RsdToCsv, AParentLinkIsReadWithAPointUnderAGermanDesktopToo) {
    // The application takes the desktop's locale, whose decimal separator
    // may be a comma.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup makes de_DE.UTF-8";
    const std::string csv = exported(
        "INSERT INTO tree(id, name) VALUES (1, 'One'), (15, 'Fifteen');"
        "INSERT INTO tree(name, fatherId, motherId) VALUES ('Kid', '1.5', '1.5e1'), ('Kid2', '1,5', ' 15.0 ');");
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(lines(csv), (std::vector<std::string>{NoCustomHeadings, "One,,,,,,,,,,,,,,,,,,,,,,,,",
                                                    "Fifteen,,,,,,,,,,,,,,,,,,,,,,,,",
                                                    "Kid,,,,,,,Fifteen,,,,,,,,,,,,,,,,,",
                                                    "Kid2,,,,,,,Fifteen,,,,,,,,,,,,,,,,,"}));
}

TEST_F(RsdToCsv, ABirthDateThatReadsAsNoDateIsKeptAsItIs) {
    // The import keeps such a text, whose fifth and eighth characters are
    // "-", in the birth date; the export writes it unchanged.
    csvSource("herd.csv", "name,sex,dob\nA,f,+021-01-02\nB,f,2021-\t1-02\nC,f,2021- 1-02\nD,f,2021-01-02\n");
    convertCsvToRsd::convertCSV();
    const std::string rsd = appSystem::destinationFilePath;
    const SqliteCli::Rows dates = {{"+021-01-02"}, {"2021-\t1-02"}, {"2021- 1-02"}, {"2021-01-02"}};
    EXPECT_EQ(SqliteCli::query(rsd, "SELECT dob FROM tree ORDER BY id"), dates);
    appSystem::sourceFilepath = rsd;
    convertRsdToCsv::runConvertRSDCSV();
    std::vector<std::string> written;  // the fifth field of each line
    for (const std::string& line : lines(TempDir::read(appSystem::destinationFilePath))) {
        std::istringstream fields(line);
        std::string field;
        for (int k = 0; k < 5; ++k) std::getline(fields, field, ',');
        written.push_back(field);
    }
    EXPECT_EQ(written, (std::vector<std::string>{"DOB", "+021-01-02", "2021-\t1-02", "2021- 1-02", "2021-01-02"}));
}

// A source left with a hot journal beside it (the program that changed it
// was killed in the middle of a change that had reached the file) is read as
// SQLite recovers it, without its change, and neither the file nor its
// journal is changed by the export.
TEST_F(RsdToCsv, ASourceThatNeedsRecoveryIsReadAsRecoveredAndLeftAsItIs) {
    const std::string csv = rsdSource("INSERT INTO tree(name) VALUES ('Bella'); INSERT INTO tree(name) VALUES ('Max');");
    const std::string rsd = appSystem::sourceFilepath;
    // A change too large for a one-page cache, so that it reaches the file.
    SqliteCli::run(rsd, "PRAGMA cache_size = 1; BEGIN; UPDATE tree SET name = 'Changed';"
                        "INSERT INTO tree(name) SELECT hex(randomblob(300)) FROM tree, tree, tree, tree, tree, tree;\n"
                        ".shell kill -9 $PPID");
    ASSERT_GT(std::filesystem::file_size(rsd + "-journal"), 0u);
    const std::string file = TempDir::read(rsd), journal = TempDir::read(rsd + "-journal");
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_EQ(ui.texts(), std::vector<String>{"Operation completed"});
    EXPECT_EQ(lines(TempDir::read(csv)),
              (std::vector<std::string>{NoCustomHeadings, "Bella,,,,,,,,,,,,,,,,,,,,,,,,", "Max,,,,,,,,,,,,,,,,,,,,,,,,"}));
    EXPECT_EQ(TempDir::read(rsd), file);
    EXPECT_EQ(TempDir::read(rsd + "-journal"), journal);
}
