// The two CSV imports on the same files: into a new RSD/CAX file, and into an
// empty CAV file of the rig through the real connector. They read a CSV file
// alike; each test says what each target then holds where the two differ.

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "convert/convertCsvToCav.h"
#include "convert/convertCsvToRsd.h"
#include "tests/convert/CavTarget.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/rig/CavFixture.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const std::string Null = SqliteCli::Null;

}  // namespace

class CsvImport : public ConvertTest, public testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        ConvertTest::SetUp();
        cavTarget::useOwnHome(env, home);
        if (!cav()) return;
        ASSERT_TRUE(cavTarget::connectorBound()) << PluginLoadError(plugins::ConnectorLibrary);
        cavFile = dir.file("Brevolan.cav");
        CavFixture::create(cavFile);
    }

    bool cav() const { return std::string(GetParam()) == "cav"; }

    // Writes `text` as the CSV file `name` and imports it, answering the
    // questions with `answers`; the texts of the boxes shown.
    std::vector<String> import(const std::string& name, const std::string& text, const std::vector<int>& answers = {}) {
        return importFile(dir.write(name, text), answers);
    }
    // Imports the CSV file at `path`: into a new RSD/CAX file beside it, or
    // into the CAV file, whose tree is emptied first.
    std::vector<String> importFile(const std::string& path, const std::vector<int>& answers = {}) {
        ui.clear();
        progress.clear();
        for (int answer : answers) ui.AnswerNext(answer);
        appSystem::sourceFilepath = path;
        if (cav()) {
            SqliteCli::query(cavFile, "DELETE FROM tree");
            appSystem::destinationFilePath = target = cavFile;
            convertCsvToCav::runconvertCSVtoCav();
        } else {
            appSystem::destinationFilePath = target = appSystem::getNewName(path, ".cax");
            convertCsvToRsd::convertCSV();
        }
        return ui.texts();
    }

    // The target's animals, in the order they were written.
    Rows tree(const std::string& columns) {
        return SqliteCli::query(target, "SELECT " + columns + " FROM tree ORDER BY id");
    }
    // The caption of custom field 1.
    Rows caption() {
        return SqliteCli::query(target, cav() ? "SELECT fldCustomName1 FROM cavyUser" : "SELECT CustomName1 FROM settings");
    }
    std::vector<String> messagesStartingWith(const String& start) const {
        std::vector<String> out;
        for (const String& m : progress.messages())
            if (m.rfind(start, 0) == 0) out.push_back(m);
        return out;
    }

    EnvGuard env;
    TempDir home;
    std::string cavFile;
    std::string target;  // the file that the last import wrote into
};

INSTANTIATE_TEST_SUITE_P(Targets, CsvImport, testing::Values("rsd", "cav"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_P(CsvImport, EachEncodingASpreadsheetSavesInIsReadWithItsHeadingsAndNames) {
    // One herd as a spreadsheet saves it as "CSV UTF-8", as plain "CSV"
    // (Windows-1252) and as "Unicode text" (UTF-16 with a byte-order mark).
    // The parents are named by their ids, which give their names.
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
        EXPECT_EQ(import(std::string(c.name) + ".csv", c.bytes), std::vector<String>{Completed});
        EXPECT_EQ(tree("name, ps, pd, customfield1"),
                  (Rows{{"Kid", "Björk", "Dam", "12"}, {"Dam", "", "", ""}, {"Björk", "", "", ""}}));
        EXPECT_EQ(caption(), (Rows{{"größe"}}));
    }
}

// A stray Windows-1252 byte in a UTF-8 file, or a last line that the file
// ends inside in the middle of a character, costs only that byte its UTF-8;
// the last line is read like any other.
TEST_P(CsvImport, AUtf8FileWithAStrayByteOrCutInItsLastCharacterKeepsItsOtherCharacters) {
    const struct {
        const char* name;
        std::string bytes;
        Rows rows;
    } cases[] = {
        {"Windows-1252 byte", "name,sex,notes\n\xC3\x89lan,m,caf\xE9\nBj\xC3\xB6rk,f,x\n",
         {{"Élan", "café"}, {"Björk", "x"}}},
        {"cut in its last character", "name,sex,notes\n\xC3\x89lan,m,x\nBj\xC3\xB6rk,f,Ren\xC3",
         {{"Élan", "x"}, {"Björk", "RenÃ"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(import(std::string(c.name) + ".csv", c.bytes), std::vector<String>{Completed});
        EXPECT_EQ(tree("name, notes"), c.rows);
    }
}

TEST_P(CsvImport, RecordsAreReadAsSpreadsheetsWriteThem) {
    const struct {
        const char* name;
        std::string text;
        Rows animals;  // name, colour, notes
    } cases[] = {
        {"a quoted comma", "name,colour,notes\r\n\"Smith, J\",red,\"one, two\"\r\n", {{"Smith, J", "red", "one, two"}}},
        {"a quoted note over two lines", "name,notes,colour\r\nA,\"line one\r\nline two\",red\r\nB,x,blue\r\n",
         {{"A", "red", "line one\nline two"}, {"B", "blue", "x"}}},
        {"a blank line inside a quoted note", "name,notes\nA,\"one\n\ntwo\"\nB,\n",
         {{"A", "", "one\n\ntwo"}, {"B", "", ""}}},
        {"quoted commas and line breaks between blank lines",
         "name,notes\r\n\r\n\"Smith, J\",\"one, two\r\nthree\"\r\n\r\nLu,\"\"\"quoted\"\"\"\r\n",
         {{"Smith, J", "", "one, two\nthree"}, {"Lu", "", "\"quoted\""}}},
        {"doubled quotes", "name,notes\n\"Big \"\"Bo\"\"\",\"5\"\" tall\"\n", {{"Big \"Bo\"", "", "5\" tall"}}},
        {"quotes outside quoted fields", "name,notes\nBig\" Bo,5\" tall\n", {{"Big Bo", "", "5 tall"}}},
        {"blank lines before the headings and between the animals",
         "\r\n  \r\nname,colour\r\n\r\n\r\nA,red\r\n\t\r\nB,blue\r\n\r\n", {{"A", "red", ""}, {"B", "blue", ""}}},
        {"a spreadsheet's empty rows between the animals", "name,colour,notes\r\nA,red,\r\n,,\r\n,,\r\n,,\r\nB,blue,\r\n",
         {{"A", "red", ""}, {"B", "blue", ""}}},
        {"empty rows of blanks and empty quoted fields", "name,colour,notes\nA,red,\n , ,\t\n\"\",\" \",\"\"\nB,blue,\n",
         {{"A", "red", ""}, {"B", "blue", ""}}},
        {"empty rows with fewer commas", "name,colour,notes\nA,red,\n , \n\"\",\nB,blue,\n",
         {{"A", "red", ""}, {"B", "blue", ""}}},
        {"empty rows before the headings", ",,\n , ,\nname,colour,notes\nA,red,\n", {{"A", "red", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Without a sex column the import asks whether to derive it; the
        // comma check of the import into CAV asks nothing.
        const std::vector<String> boxes = import(std::string(c.name) + ".csv", c.text, {AnswerYes});
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(ui.boxes()[0].title, "Missing field");
        EXPECT_EQ(boxes[1], Completed);
        EXPECT_EQ(tree("name, colour, notes"), c.animals);
    }
}

TEST_P(CsvImport, DatesAreReadInOneOrderForTheFileAndThoseThatAreNoneAreTold) {
    // Each date column is read in one order of day and month for the whole
    // file. An RSD/CAX file keeps the birth and the purchase date, "" for one
    // that is missing or no date; a CAV file the birth date, 1925-01-01 for
    // one that is missing and NULL for one that is no date.
    const String noBirthDates = "\nThe birth date on line(s) 2, 3, 6 could not be read and was left empty.";
    const struct {
        const char* name;
        const char* locale;
        std::string lines;  // after the heading line "name,sex,sire,dam,dob,date bought"
        Rows rsd;           // dob, dateBought
        Rows cav;           // dob
        String rsdCompletion;
        String cavCompletion;
    } cases[] = {
        {"day first on a month-first desktop", "en_US.UTF-8", "A,f,,,25/12/2020,\nB,f,,,05/01/2021,\nC,f,,,,\n",
         {{"2020-12-25", ""}, {"2021-01-05", ""}, {"", ""}},
         {{"2020-12-25"}, {"2021-01-05"}, {"1925-01-01"}},
         Completed,
         Completed},
        {"month first on a month-first desktop", "en_US.UTF-8", "A,f,,,12/25/2020,\nB,f,,,05/01/2021,\n",
         {{"2020-12-25", ""}, {"2021-05-01", ""}},
         {{"2020-12-25"}, {"2021-05-01"}},
         Completed,
         Completed},
        {"SQL dates on a day-first desktop", "de_DE.UTF-8", "A,f,,,2020-1-5,05.01.2021\n",
         {{"2020-01-05", "2021-01-05"}},
         {{"2020-01-05"}},
         Completed,
         Completed},
        {"texts that are no dates", "en_US.UTF-8",
         "A,f,,,-1/-1/-1,\nB,f,,,99/99/9999,2/3/2020\n\nC,f,,,1/2/2020,soon\nD,f,,,13/31/2020,\nE,f,,,,\n"
         "F,f,,,2020-01-05,\n",
         {{"", ""}, {"", "2020-02-03"}, {"2020-01-02", ""}, {"", ""}, {"", ""}, {"2020-01-05", ""}},
         {{Null}, {Null}, {"2020-01-02"}, {Null}, {"1925-01-01"}, {"2020-01-05"}},
         Completed + noBirthDates + "\nThe purchase date on line(s) 5 could not be read and was left empty.",
         Completed + noBirthDates},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        env.set("LC_ALL", c.locale);
        const std::vector<String> boxes =
            import(std::string(c.name) + ".csv", "name,sex,sire,dam,dob,date bought\n" + c.lines);
        EXPECT_EQ(boxes, std::vector<String>{cav() ? c.cavCompletion : c.rsdCompletion});
        EXPECT_EQ(tree(cav() ? "dob" : "dob, dateBought"), cav() ? c.cav : c.rsd);
    }
}

TEST_P(CsvImport, TwoEmptyNamesInARowEndTheAnimalsAndEveryTwentiethIsReported) {
    std::string nineteen = "name,sex,sire,dam\n";
    Rows named;  // name, sex
    for (int i = 1; i <= 19; ++i) {
        nineteen += "A" + std::to_string(i) + ",m,,\n";
        named.push_back({"A" + std::to_string(i), "male"});
    }
    auto with = [&named](const Rows& more) {
        Rows rows = named;
        rows.insert(rows.end(), more.begin(), more.end());
        return rows;
    };
    // The lines that two empty names in a row leave out are told first.
    auto leftOut = [](const std::string& lines) {
        return "Not all of this file can be imported:\n- the " + lines +
               " on: the animals end where a line without a name is followed by another one or by the end of the "
               "file\nDo you want to continue?";
    };
    const struct {
        const char* name;
        std::string text;
        Rows animals;
        String found;  // the one progress report, at the 20th animal; "" for none
        std::vector<String> boxes;
    } cases[] = {
        {"19 animals", nineteen, named, "", {Completed}},
        {"20 animals", nineteen + "A20,m,,\n", with({{"A20", "male"}}), "Found  - A20\n20 records", {Completed}},
        // An empty name followed by a name is written; two in a row end the rows.
        {"an empty name, then two", nineteen + ",f,,\nA21,m,,\n,m,,\n,f,,\nA24,m,,\n",
         with({{"", "female"}, {"A21", "male"}}), "Found  - \n20 records",
         {leftOut("3 line(s) from line 23"), Completed}},
        {"an empty name last", nineteen + ",f,,note\n", named, "", {leftOut("1 line(s) from line 21"), Completed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<int> yesWhenAsked(c.boxes.size() - 1, AnswerYes);
        EXPECT_EQ(import(std::string(c.name) + ".csv", c.text, yesWhenAsked), c.boxes);
        EXPECT_EQ(tree("name, sex"), c.animals);
        const std::vector<String> found = messagesStartingWith("Found  - ");
        EXPECT_EQ(found, c.found.empty() ? std::vector<String>{} : std::vector<String>{c.found});
        if (!found.empty()) {
            EXPECT_EQ(progress.reports()[0], (ShownProgress{c.found, false, 100, 0})) << "the bar is hidden";
        }
        EXPECT_FALSE(progress.isOpen());
    }

    // No to the question imports nothing.
    EXPECT_EQ(import("no.csv", "name,sex\nA1,m\n,f\n,m\nA4,f\n", {AnswerNo}),
              std::vector<String>{leftOut("3 line(s) from line 3")});
    if (cav())
        EXPECT_EQ(tree("count(*)"), (Rows{{"0"}}));
    else
        EXPECT_FALSE(exists(target)) << "no file is made for a source the user turned down";
}

TEST_P(CsvImport, AShorterFileAfterALongerOneImportsOnlyItsOwnLines) {
    import("long.csv", "name,colour,breed,sex,sire,dam\nA1,red,Rex,m,,\nA2,blue,Rex,m,,\nA3,grey,Rex,m,,\n");
    EXPECT_EQ(import("short.csv", "name,breed,sex,sire,dam\nB1,,,,\n"), std::vector<String>{Completed});
    EXPECT_EQ(tree("name, colour, breed"), (Rows{{"B1", "", ""}})) << "the longer file's later rows are not read again";
}

TEST_P(CsvImport, FieldsBeyondTheGridAreAskedAboutBeforeAnythingIsWrittenAndNeverFillAnAbsentColumn) {
    // 72 fields on the heading line and on the animal's: after a heading
    // that takes a custom slot, headings are missing.
    std::string line = "Bella,f,,,3kg";
    for (int n = 6; n <= 72; ++n) line += ",v" + std::to_string(n);
    const std::string text = "name,sex,sire,dam,Weight" + std::string(67, ',') + "\n" + line + "\n";
    const String tooMuch = "Not all of this file can be imported:\n"
                           "- the fields after the 70th field on line(s) 1, 2\n"
                           "Do you want to continue?";

    EXPECT_EQ(import("no.csv", text, {AnswerNo}), std::vector<String>{tooMuch});
    EXPECT_EQ(ui.boxes()[0].title, "Too much data");
    if (cav()) {
        EXPECT_EQ(tree("count(*)"), (Rows{{"0"}}));
        EXPECT_EQ(caption(), (Rows{{Null}}));
    } else {
        EXPECT_FALSE(exists(target)) << "no file is made for a source the user turned down";
    }

    const std::vector<String> boxes = import("yes.csv", text, {AnswerYes, AnswerYes});
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], tooMuch);
    EXPECT_EQ(ui.boxes()[1].title, "Before you begin!");
    EXPECT_EQ(boxes[1].rfind("The column(s)  columns 6 to 70 (no heading) will not be imported", 0), 0u)
        << "the fields without a heading that the grid holds";
    EXPECT_EQ(boxes[2], Completed);
    EXPECT_EQ(tree("name, colour, breed, notes, customfield1"), (Rows{{"Bella", "", "", "", "3kg"}}))
        << "the 71st field lands in the grid's absent column, which no field reads";
    EXPECT_EQ(caption(), (Rows{{"weight"}}));
}

TEST_P(CsvImport, ASourceThatCannotBeReadIsToldAndNothingIsWritten) {
    std::filesystem::create_directory(dir.file("folder.csv"));
    dir.write("odd.csv", std::string("\xFF\xFEn\0a\0m\0e", 7));
    // A FIFO without a writer, and a device that never ends: refused at once.
    ASSERT_EQ(::mkfifo(dir.file("pipe.csv").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.csv"));
    const struct {
        const char* name;
        String why;  // after the path
    } cases[] = {
        {"missing.csv", ""},
        {"folder.csv", ""},
        {"odd.csv", "\nThe file is marked as UTF-16 (little endian) but its text is not valid UTF-16."},
        {"pipe.csv", "\nIt is a named pipe (FIFO), not a file."},
        {"zero.csv", "\nIt is a device, not a file."},
    };
    for (const auto& c : cases) {
        const std::string name = c.name;
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        dir.write(name.substr(0, name.size() - 4) + ".cax", "old");
        EXPECT_EQ(importFile(path), (std::vector<String>{"The file cannot be read:\n" + path + c.why}));
        if (cav()) {
            EXPECT_EQ(tree("count(*)"), (Rows{{"0"}}));
        } else {
            EXPECT_EQ(TempDir::read(target), "old") << "no overwrite question, no new file";
        }
    }
}

TEST_P(CsvImport, AWideSheetKeepsTwelveCustomColumnsAndNamesTheRest) {
    // Both files store twelve custom fields: the headings that find no slot
    // among them are named, and the animals are imported without them.
    const struct {
        const char* name;
        int unknown;       // headings col1, col2, ... after "name,sex"
        std::string more;  // headings after them
        String listed;     // what the question names, after "The column(s) "
    } cases[] = {
        {"13 unknown headings", 13, "", " col13"},
        {"20 unknown headings", 20, "", " col13, col14, col15, col16, col17, col18, col19, col20"},
        {"the words of slots 13 to 15", 12, ",customfield13,user field14,15", " customfield13, user field14, 15"},
        {"a second name heading", 12, ",Animal Name", " Animal Name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int columns = c.unknown + int(std::count(c.more.begin(), c.more.end(), ','));
        std::string text = "name,sex";
        for (int k = 1; k <= c.unknown; ++k) text += ",col" + std::to_string(k);
        text += c.more + "\n";
        Rows animals;
        for (int i = 1; i <= 5; ++i) {
            text += "A" + std::to_string(i) + ",m";
            SqliteCli::Row animal{"A" + std::to_string(i)};
            for (int k = 1; k <= columns; ++k) {
                const std::string value = "v" + std::to_string(i) + "." + std::to_string(k);
                text += "," + value;
                if (k <= 12) animal.push_back(value);
            }
            text += "\n";
            animals.push_back(animal);
        }
        const std::vector<String> boxes = import(std::string(c.name) + ".csv", text, {AnswerYes});
        ASSERT_EQ(boxes.size(), 2u) << boxes[0];
        EXPECT_EQ(ui.boxes()[0].title, "Before you begin!");
        EXPECT_EQ(boxes[0].substr(0, boxes[0].find(" will not")), "The column(s) " + c.listed);
        EXPECT_EQ(boxes[1], Completed);

        std::string custom, captions;
        SqliteCli::Row headings;
        for (int n = 1; n <= 12; ++n) {
            custom += ", customfield" + std::to_string(n);
            captions += std::string(n > 1 ? ", " : "") + (cav() ? "fldCustomName" : "CustomName") + std::to_string(n);
            headings.push_back("col" + std::to_string(n));
        }
        EXPECT_EQ(tree("name" + custom), animals);
        EXPECT_EQ(SqliteCli::query(target, "SELECT " + captions + (cav() ? " FROM cavyUser" : " FROM settings")),
                  Rows{headings});
    }
}

TEST_P(CsvImport, ALaterHeadingOfAFieldIsACustomColumnUnderItsOwnHeading) {
    // The first column of each field keeps it; the later ones take the
    // custom fields in their order, with their headings as captions.
    const std::vector<String> boxes =
        import("twice.csv",
               "name,sex,notes,Animal Name,NOTES,sire,Sire Name,reg no,tag\n"
               "Bella,f,first note,Bee,second note,,Rex,T1,T2\n"
               "Kid,m,,Kiddo,,,,T3,\n");
    EXPECT_EQ(boxes, std::vector<String>{Completed});
    EXPECT_EQ(tree("name, notes, ps, tag, customfield1, customfield2, customfield3, customfield4"),
              (Rows{{"Bella", "first note", "", "T1", "Bee", "second note", "Rex", "T2"},
                    {"Kid", "", "", "T3", "Kiddo", "", "", ""}}));
    EXPECT_EQ(SqliteCli::query(target, cav() ? "SELECT fldCustomName1, fldCustomName2, fldCustomName3, fldCustomName4 "
                                               "FROM cavyUser"
                                             : "SELECT CustomName1, CustomName2, CustomName3, CustomName4 FROM settings"),
              (Rows{{"animal name", "notes", "sire name", "tag"}}));
}

TEST_P(CsvImport, AParentIdOneNamesAnimalOneWhereTheFileHasOneAndNoParentElsewhere) {
    const struct {
        const char* name;
        std::string ids;  // of the dam and of the other grown animal
        Rows animals;     // name, ps, pd, and 1 for no father's link
    } cases[] = {
        {"animals numbered from 1", "2,1", {{"Dam", "", "", "1"}, {"Founder", "", "", "1"}, {"Kid", "Founder", "Dam", "0"}}},
        {"no animal 1", "2,10", {{"Dam", "", "", "1"}, {"Founder", "", "", "1"}, {"Kid", "", "Dam", "1"}}},
        {"an animal 01", "2,01", {{"Dam", "", "", "1"}, {"Founder", "", "", "1"}, {"Kid", "", "Dam", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dam = c.ids.substr(0, c.ids.find(',')), founder = c.ids.substr(c.ids.find(',') + 1);
        EXPECT_EQ(import(std::string(c.name) + ".csv", "uid,name,sex,sireid,damid\n" + dam + ",Dam,f,,\n" + founder +
                                                          ",Founder,m,,\n3,Kid,f,1," + dam + "\n"),
                  std::vector<String>{Completed});
        EXPECT_EQ(tree("name, ps, pd, ifnull(fatherId, '') = ''"), c.animals);
    }
}

// A NUL character (a zero byte) in a value or a heading costs neither the
// row, the caption nor the import: it is removed, and its line is named.
TEST_P(CsvImport, NulCharactersAreRemovedAndTheirLinesNamed) {
    using namespace std::string_literals;
    const std::string text = "name,sex,sire,dam,weight,co\0lour code,\0box\0\nBel\0la,f,,,1\0,a\0b,\nMax,m,,,2,c,d\n"s;
    EXPECT_EQ(import("nul.csv", text),
              std::vector<String>{Completed + "\nThe NUL characters (zero bytes) on line(s) 1, 2 were removed."});
    EXPECT_EQ(tree("name, sex, customfield1, customfield2, customfield3"),
              (Rows{{"Bella", "female", "1", "ab", ""}, {"Max", "male", "2", "c", "d"}}));
    EXPECT_EQ(SqliteCli::query(target, cav() ? "SELECT fldCustomName1, fldCustomName2, fldCustomName3 FROM cavyUser"
                                             : "SELECT CustomName1, CustomName2, CustomName3 FROM settings"),
              (Rows{{"weight", "colour code", "box"}}));
}
