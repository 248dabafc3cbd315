#include "convert/convertCsvToRsd.h"
#include "tests/convert/ConvertFixture.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String SexQuestion =
    "The converter cannot find a column for the animal's sex. Do you want to determine the sex by whether it has "
    "been a father or mother in the past?\nClick NO if you have called your sex field something else. The converter "
    "will exit. Go back to your file and fix it.?";

}  // namespace

class CsvToRsd : public ConvertTest {
protected:
    Rows tree(const std::string& path, const std::string& columns) {
        return SqliteCli::query(path, "SELECT " + columns + " FROM tree ORDER BY id");
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
