#include "convert/convertCsvToRsd.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/support/EnvGuard.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String SexQuestion =
    "The converter cannot find a column for the animal's sex. Do you want to determine the sex by whether it has "
    "been a father or mother in the past?\nClick NO if you have called your sex field something else. The converter "
    "will exit. Go back to your file and fix it.?";

std::string animal(int i) { return "A" + std::to_string(i); }

}  // namespace

class CsvToRsd : public ConvertTest {
protected:
    Rows tree(const std::string& path, const std::string& columns) {
        return SqliteCli::query(path, "SELECT " + columns + " FROM tree ORDER BY id");
    }
    std::vector<String> messagesStartingWith(const String& start) {
        std::vector<String> out;
        for (const String& m : progress.messages())
            if (m.rfind(start, 0) == 0) out.push_back(m);
        return out;
    }
};

TEST_F(CsvToRsd, EveryKindOfColumnIsStoredAsItsGroupSays) {
    const std::string cax = csvSource(
        "herd.csv",
        "Animal Name,Colour,Breed,SEX,Birth Date,UID,SireId,DamId,Sire Name,Dam Name,Reg No,Show Title,Obedience,"
        "Vet,Pen,Pet Name,Awards,Date Bought,Seller,Price,User Field3,Weight\n"
        "  \"Bella's\",brown,Rex,f,2021-03-04,10,1,1,,,T1,Ch,CD,wormed,C4,Bee,best in show,2020-01-02,Jo's farm,50,"
        "x3,12kg\r\n"
        "Max,black,Rex,boar,2022-05-06,11,10,,,,T2,,,,,,,,,,,\n");
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));

    EXPECT_EQ(tree(cax, "id, name, colour, breed, sex, dob, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix, "
                        "health, cage, callname, notes, DateBought, BoughtFrom, purchasePrice, customField3, "
                        "customField1"),
              (Rows{{"1", "Bella`s", "brown", "Rex", "female", "2021-03-04", "10", "<null>", "<null>", "", "", "T1",
                     "Ch", "CD", "wormed", "C4", "<null>", "best in show", "2020-01-02", "Jo`s farm", "50", "x3",
                     "12kg"},
                    {"2", "Max", "black", "Rex", "male", "2022-05-06", "11", "1", "", "Bella`s", "", "T2", "", "", "",
                     "", "<null>", "", "", "", "", "", ""}}))
        << "a parent id of 1 is not written; the father found by id is linked by name to its new row";
    EXPECT_EQ(SqliteCli::query(cax, "SELECT CustomName1, Version FROM settings"), (Rows{{"weight", "20402"}}));
    EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*), sum(type = 'table') FROM sqlite_master"), (Rows{{"12", "12"}}))
        << "the linking's own indexes are gone";
}

TEST_F(CsvToRsd, EachEncodingASpreadsheetSavesInIsReadWithItsHeadingsAndNames) {
    // One herd as a spreadsheet saves it as "CSV UTF-8", as plain "CSV"
    // (Windows-1252) and as "Unicode text" (UTF-16 with a byte-order mark).
    const std::u16string herd = u"uid,name,sireid,damid,sex,Größe\r\n9,Kid,2,3,m,12\r\n3,Dam,,,f,\r\n2,Björk,,,m,\r\n";
    std::string utf8 = "\xEF\xBB\xBF", windows1252, utf16 = "\xFF\xFE";
    for (char16_t c : herd) {
        utf8 += Chr(c);
        windows1252 += char(c);
        utf16 += std::string{char(c & 0xFF), char(c >> 8)};
    }
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {{"UTF-8 with byte-order mark", utf8}, {"Windows-1252", windows1252}, {"UTF-16", utf16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        const std::string cax = csvSource(std::string(c.name) + ".csv", c.bytes);
        convertCsvToRsd::convertCSV();
        EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));
        EXPECT_EQ(tree(cax, "oldId, name, fatherId, motherId, customField1"),
                  (Rows{{"9", "Kid", "3", "2", "12"}, {"3", "Dam", "", "", ""}, {"2", "Björk", "", "", ""}}));
        EXPECT_EQ(SqliteCli::query(cax, "SELECT CustomName1 FROM settings"), (Rows{{"größe"}}));
    }
}

TEST_F(CsvToRsd, RecordsAreReadAsSpreadsheetsWriteThem) {
    const struct {
        const char* name;
        std::string text;
        Rows animals;  // name, dob, oldId, notes
    } cases[] = {
        {"a quoted comma", "name,dob,uid\r\n\"Smith, J\",2020-01-02,7\r\n",
         {{"Smith, J", "2020-01-02", "7", ""}}},
        {"a quoted note over two lines", "name,notes,uid\r\nA,\"line one\r\nline two\",1\r\nB,x,2\r\n",
         {{"A", "", "1", "line one\nline two"}, {"B", "", "2", "x"}}},
        {"a blank line inside a quoted note", "name,notes\nA,\"one\n\ntwo\"\nB,\n",
         {{"A", "", "", "one\n\ntwo"}, {"B", "", "", ""}}},
        {"doubled quotes", "name,notes\n\"Big \"\"Bo\"\"\",\"5\"\" tall\"\n", {{"Big \"Bo\"", "", "", "5\" tall"}}},
        {"quotes outside quoted fields", "name,notes\nBig\" Bo,5\" tall\n", {{"Big Bo", "", "", "5 tall"}}},
        {"blank lines before the headings and between the animals",
         "\r\n  \r\nname,uid\r\n\r\n\r\nA,1\r\n\t\r\nB,2\r\n\r\n",
         {{"A", "", "1", ""}, {"B", "", "2", ""}}},
        {"a spreadsheet's empty rows between the animals", "name,uid,notes\r\nA,1,\r\n,,\r\n,,\r\n,,\r\nB,2,\r\n",
         {{"A", "", "1", ""}, {"B", "", "2", ""}}},
        {"empty rows of blanks and empty quoted fields", "name,uid,notes\nA,1,\n , ,\t\n\"\",\" \",\"\"\nB,2,\n",
         {{"A", "", "1", ""}, {"B", "", "2", ""}}},
        {"empty rows before the headings", ",,\n , ,\nname,uid,notes\nA,1,\n", {{"A", "", "1", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        const std::string cax = csvSource(std::string(c.name) + ".csv", c.text);
        ui.AnswerYes();  // no sex column: derive it
        convertCsvToRsd::convertCSV();
        EXPECT_EQ(ui.texts().back(), Completed);
        EXPECT_EQ(tree(cax, "name, dob, oldId, notes"), c.animals);
        progress.clear();
    }
}

TEST_F(CsvToRsd, AQuoteThatIsNeverClosedIsToldAndItsLineReadWithoutQuoting) {
    const std::string cax = csvSource("herd.csv", "name,notes,sex\nA,\"never closed,f\nB,fine,m\nC,,m\n");
    ui.AnswerYes();
    convertCsvToRsd::convertCSV();
    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[0].title, "Too much data");
    EXPECT_EQ(ui.boxes()[0].text, "Not all of this file can be imported:\n"
                                  "- line(s) 2: a double quote opens a field and is never closed, so the line is "
                                  "read without quoting\nDo you want to continue?");
    EXPECT_EQ(ui.boxes()[1].text, Completed);
    EXPECT_EQ(tree(cax, "name, notes, sex"),
              (Rows{{"A", "never closed", "female"}, {"B", "fine", "male"}, {"C", "", "male"}}))
        << "every line after it is a record of its own";
}

TEST_F(CsvToRsd, DatesAreReadInOneOrderForTheFileAndThoseThatAreNoneAreTold) {
    const struct {
        const char* name;
        const char* locale;
        std::string text;
        Rows animals;  // name, dob, dateBought
        String completion;
    } cases[] = {
        {"day first on a month-first desktop", "en_US.UTF-8", "name,sex,dob\nA,f,25/12/2020\nB,f,05/01/2021\n",
         {{"A", "2020-12-25", ""}, {"B", "2021-01-05", ""}}, Completed},
        {"month first on a month-first desktop", "en_US.UTF-8", "name,sex,dob\nA,f,12/25/2020\nB,f,05/01/2021\n",
         {{"A", "2020-12-25", ""}, {"B", "2021-05-01", ""}}, Completed},
        {"SQL dates on a day-first desktop", "de_DE.UTF-8", "name,sex,dob,date bought\nA,f,2020-1-5,05.01.2021\n",
         {{"A", "2020-01-05", "2021-01-05"}}, Completed},
        {"texts that are no dates", "en_US.UTF-8",
         "name,sex,dob,date bought\nA,f,-1/-1/-1,\nB,f,99/99/9999,2/3/2020\n\nC,f,1/2/2020,soon\n",
         {{"A", "", ""}, {"B", "", "2020-02-03"}, {"C", "2020-01-02", ""}},
         Completed + "\nThe birth date on line(s) 2, 3 could not be read and was left empty."
                     "\nThe purchase date on line(s) 5 could not be read and was left empty."},
    };
    EnvGuard env;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        env.set("LC_ALL", c.locale);
        const std::string cax = csvSource(std::string(c.name) + ".csv", c.text);
        convertCsvToRsd::convertCSV();
        EXPECT_EQ(ui.texts(), (std::vector<String>{c.completion}));
        EXPECT_EQ(tree(cax, "name, dob, dateBought"), c.animals);
    }
}

TEST_F(CsvToRsd, TheFirstProgressComesAtTheTwentiethAnimal) {
    for (int n : {19, 20}) {
        SCOPED_TRACE(n);
        progress.clear();
        ui.clear();
        csvSource("herd" + std::to_string(n) + ".csv", herd("name,sex", n, [](int i) { return animal(i) + ",m"; }));
        convertCsvToRsd::convertCSV();
        const std::vector<String> found = messagesStartingWith("Found  - ");
        if (n == 19) {
            EXPECT_TRUE(found.empty());
            continue;
        }
        EXPECT_EQ(found, (std::vector<String>{"Found  - A20\n20 records"}));
        for (const auto& report : progress.reports())
            EXPECT_TRUE(report.message != found[0] || !report.barVisible) << "the bar is hidden";
        EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));
        EXPECT_FALSE(progress.isOpen());
    }
}

TEST_F(CsvToRsd, AnExistingFileIsReplacedOnlyAfterYes) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        ui.clear();
        const std::string cax = csvSource("herd.csv", "name,sex\nBella,f\n");
        dir.write("herd.cax", "the old converted file");
        yes ? ui.AnswerYes() : ui.AnswerNo();
        convertCsvToRsd::convertCSV();
        ASSERT_FALSE(ui.boxes().empty());
        EXPECT_EQ(ui.boxes()[0].title, "Overwrite file");
        EXPECT_EQ(ui.boxes()[0].text,
                  "This file has been converted before. Do you want to overwrite the old converted file?");
        if (!yes) {
            EXPECT_EQ(ui.texts().back(), "Rename or move your old converted file and try again.");
            EXPECT_EQ(TempDir::read(cax), "the old converted file");
        } else {
            EXPECT_EQ(ui.texts().back(), Completed);
            EXPECT_EQ(tree(cax, "name"), (Rows{{"Bella"}}));
        }
    }
}

TEST_F(CsvToRsd, WithoutASexColumnTheSexComesFromParenthoodOnlyAfterYes) {
    const std::string text = "name,sire,dam,uid,sireid,damid\n"
                             "Other,,,3,,\n"
                             "Sire,,,100,,\n"
                             "Dam,,,200,,\n"
                             "Kid,Sire,Dam,4,,\n"
                             "Kid2,,,5,100,200\n";
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        ui.clear();
        const std::string cax = csvSource(yes ? "yes.csv" : "no.csv", text);
        yes ? ui.AnswerYes() : ui.AnswerNo();
        convertCsvToRsd::convertCSV();
        ASSERT_EQ(ui.boxes().size(), yes ? 2u : 1u);
        EXPECT_EQ(ui.boxes()[0].title, "Missing field");
        EXPECT_EQ(ui.boxes()[0].text, SexQuestion);
        // The links hold the parents' new ids (2 and 3), which are also the
        // source ids of other animals: the parents themselves are marked.
        EXPECT_EQ(tree(cax, "name, fatherId, motherId, sex"),
                  (Rows{{"Other", "", "", "undefined"},
                        {"Sire", "", "", yes ? "male" : "undefined"},
                        {"Dam", "", "", yes ? "female" : "undefined"},
                        {"Kid", "2", "3", "undefined"},
                        {"Kid2", "2", "3", "undefined"}}));
        if (yes) {
            EXPECT_EQ(ui.texts().back(), Completed);
            EXPECT_EQ(SqliteCli::query(cax, "SELECT Version FROM settings"), (Rows{{"20402"}}));
        } else {
            EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*) FROM settings"), (Rows{{"0"}})) << "no version stamp";
        }
        EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*) FROM sqlite_master WHERE type = 'index'"), (Rows{{"0"}}));
        progress.clear();
    }
}

TEST_F(CsvToRsd, TwoEmptyNamesInARowEndTheAnimals) {
    const std::string cax = csvSource("herd.csv", "name,colour,sex\nA1,red\n,blue\nA3,green\n,pink\n,grey\nA6,white\n");
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(tree(cax, "name, colour"), (Rows{{"A1", "red"}, {"", "blue"}, {"A3", "green"}}));
}

TEST_F(CsvToRsd, AShorterFileAfterALongerOneImportsOnlyItsOwnLines) {
    csvSource("long.csv", "name,colour,breed,sex\nA1,red,Rex\nA2,blue,Rex\nA3,green,Rex\n");
    convertCsvToRsd::convertCSV();
    const std::string cax = csvSource("short.csv", "name,breed,sex\nB1\n");
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(tree(cax, "name, colour, breed"), (Rows{{"B1", "", ""}}));
}

TEST_F(CsvToRsd, FieldsBeyondTheGridAreToldAndNeverFillAnAbsentColumn) {
    std::string line = "Bella,f";
    for (int n = 3; n <= 72; ++n) line += ",v" + std::to_string(n);
    const std::string cax = csvSource("wide.csv", "name,sex\nA1,m\n" + line + "\n");
    ui.AnswerYes();
    ui.AnswerYes();
    convertCsvToRsd::convertCSV();
    ASSERT_EQ(ui.boxes().size(), 3u);
    EXPECT_EQ(ui.boxes()[0].title, "Too much data");
    EXPECT_EQ(ui.boxes()[0].text, "Not all of this file can be imported:\n"
                                  "- the fields after the 70th field on line(s) 3\n"
                                  "Do you want to continue?");
    EXPECT_EQ(ui.boxes()[1].title, "Before you begin!");
    EXPECT_EQ(ui.boxes()[1].text.rfind("The column(s)  columns 3 to 70 (no heading) will not be imported", 0), 0u)
        << "the fields without a heading that the grid holds";
    EXPECT_EQ(tree(cax, "name, colour, breed, notes"), (Rows{{"A1", "", "", ""}, {"Bella", "", "", ""}}))
        << "the 71st field of the long line lands in the grid's absent column";
}

TEST_F(CsvToRsd, LinesBeyondTheGridAreToldBeforeAnyAnimalIsWritten) {
    std::string text = "name,sex\n";
    text.reserve(1200000);
    for (int i = 1; i <= 99002; ++i) text += "A" + std::to_string(i) + ",m\n";
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        progress.clear();
        ui.clear();
        const std::string cax = csvSource(yes ? "yes.csv" : "no.csv", text);
        yes ? ui.AnswerYes() : ui.AnswerNo();
        convertCsvToRsd::convertCSV();
        ASSERT_FALSE(ui.texts().empty());
        EXPECT_EQ(ui.texts()[0], "Not all of this file can be imported:\n"
                                 "- the 2 line(s) from line 99002 on: the converter imports at most 99000 animals\n"
                                 "Do you want to continue?");
        EXPECT_EQ(ui.texts().back() == Completed, yes);
        if (!yes) {
            EXPECT_FALSE(exists(cax)) << "no file is made for a source the user turned down";
            continue;
        }
        // The rows run up to the grid's last row, whose look-ahead lies
        // beyond the grid.
        EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*), max(name = 'A99000') FROM tree"), (Rows{{"99000", "1"}}));
    }
}

TEST_F(CsvToRsd, ASourceThatCannotBeReadChangesNothing) {
    std::filesystem::create_directory(dir.file("folder.csv"));
    dir.write("odd.csv", std::string("\xFF\xFEn\0a\0m\0e", 7));
    const struct {
        const char* name;
        String why;  // after the path
    } cases[] = {
        {"missing.csv", ""},
        {"folder.csv", ""},
        {"odd.csv", "\nThe file is marked as UTF-16 (little endian) but its text is not valid UTF-16."},
    };
    for (const auto& c : cases) {
        const std::string name = c.name;
        SCOPED_TRACE(name);
        ui.clear();
        appSystem::sourceFilepath = dir.file(name);
        appSystem::destinationFilePath = appSystem::getNewName(appSystem::sourceFilepath, ".cax");
        dir.write(name.substr(0, name.size() - 4) + ".cax", "old");
        convertCsvToRsd::convertCSV();
        EXPECT_EQ(ui.texts(), (std::vector<String>{"The file cannot be read:\n" + appSystem::sourceFilepath + c.why}));
        EXPECT_EQ(TempDir::read(appSystem::destinationFilePath), "old") << "no overwrite question, no new file";
    }
}

TEST_F(CsvToRsd, AFileThatCannotBeCreatedIsToldWithTheDatabaseError) {
    csvSource("herd.csv", "name\nBella\n");
    appSystem::destinationFilePath = dir.file("no such folder/herd.cax");
    convertCsvToRsd::convertCSV();
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0].rfind("Database Error: 14\n\n", 0), 0u) << ui.texts()[0];
    EXPECT_EQ(ui.beeps(), 1);
}

TEST_F(CsvToRsd, ACsvFileNamedLikeItsDestinationIsNotReplaced) {
    const std::string path = dir.write("herd.cax", "name\nBella\n");
    appSystem::sourceFilepath = path;
    appSystem::destinationFilePath = appSystem::getNewName(path, ".cax");
    convertCsvToRsd::convertCSV();
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_EQ(ui.texts()[0], "The new file would replace the file being converted:\n" + path +
                                 "\nGive the CSV file the extension .csv and try again.");
    EXPECT_EQ(TempDir::read(path), "name\nBella\n");
}

// Every linking rule, one animal each, on one small herd: the ids are the
// file's text, a link found by id is never replaced by a name, a parent id
// that names no animal empties its link and leaves the name, and the sex
// derivation marks the rows that the links name.
TEST_F(CsvToRsd, TheParentsAreLinkedByIdFirstThenByName) {
    const std::string cax = csvSource(
        "herd.csv",
        "uid,name,sireid,damid,sire,dam\n"
        "100,Bella,,,,\n"
        "200,Bella,,,,\n"
        "7,Seven,,,,\n"
        "007,Double-O,,,,\n"
        "12345678901234567890,Long0,,,,\n"
        "12345678901234567891,Long1,,,,\n"
        "5,Five,,,,\n"
        "5,Five again,,,,\n"
        ",O'Neil,,,,\n"
        "1001,ById,200,,,\n"
        "1002,IdBeforeName,200,,Bella,\n"
        "1003,UnknownId,2,,,\n"
        "1004,UnknownIdWithName,2,,Seven,\n"
        "1005,TextIds,007,7,,\n"
        "1006,LongIds,12345678901234567891,12345678901234567890,,\n"
        "1007,SharedId,5,,,\n"
        "1008,ByName,,,Double-O,O'Neil\n"
        "1009,UnknownName,,,unknown,UNKNOWN\n"
        "1010,NameOfNobody,,,Nobody,\n"
        "1011,ParentIdOne,1,,Seven,\n"
        "1012,UnknownIdUnknownName,,999,,Unknown\n");
    ui.AnswerYes();  // the sex from parenthood
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(ui.texts().back(), Completed);

    const std::string longId = "1.23456789012346e+19";
    EXPECT_EQ(tree(cax, "id, oldId, name, fatherId, motherId, ps, pd, sex"),
              (Rows{{"1", "100", "Bella", "", "", "", "", "undefined"},
                    {"2", "200", "Bella", "", "", "", "", "male"},
                    {"3", "7", "Seven", "", "", "", "", "male"},
                    {"4", "7", "Double-O", "", "", "", "", "male"},
                    {"5", longId, "Long0", "", "", "", "", "female"},
                    {"6", longId, "Long1", "", "", "", "", "male"},
                    {"7", "5", "Five", "", "", "", "", "male"},
                    {"8", "5", "Five again", "", "", "", "", "undefined"},
                    {"9", "", "O`Neil", "", "", "", "", "female"},
                    {"10", "1001", "ById", "2", "", "Bella", "", "undefined"},
                    {"11", "1002", "IdBeforeName", "2", "", "Bella", "", "undefined"},
                    {"12", "1003", "UnknownId", "", "", "", "", "undefined"},
                    {"13", "1004", "UnknownIdWithName", "3", "", "Seven", "", "undefined"},
                    {"14", "1005", "TextIds", "4", "3", "Double-O", "Seven", "undefined"},
                    {"15", "1006", "LongIds", "6", "5", "Long1", "Long0", "undefined"},
                    {"16", "1007", "SharedId", "7", "", "Five", "", "undefined"},
                    {"17", "1008", "ByName", "4", "9", "Double-O", "O`Neil", "undefined"},
                    {"18", "1009", "UnknownName", "", "", "unknown", "UNKNOWN", "undefined"},
                    {"19", "1010", "NameOfNobody", "", "", "Nobody", "", "undefined"},
                    {"20", "1011", "ParentIdOne", "3", "", "Seven", "", "undefined"},
                    {"21", "1012", "UnknownIdUnknownName", "", "", "", "Unknown", "undefined"}}))
        << "oldId is stored as the Integer column makes it; the links compare with the ids as the file wrote them; "
           "only the Bella whose id is a father's is marked male";
}
