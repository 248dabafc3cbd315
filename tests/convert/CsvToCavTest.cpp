// The CSV import into CAV through the converter window: the row statement's
// columns, the captions in cavyUser, the comma-count check with its question
// and report, the linking and the sex question, and what a user is told when
// something cannot be stored. What it shares with the import into RSD/CAX is
// in CsvImportTest.cpp.

#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/convert/CavConversionFixture.h"
#include "tests/support/OtherProgram.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String SexQuestion = "The converter cannot find information for the sex field. Do you want to determine the "
                           "sex by whether the animal has been a father or mother in the past?\nClick NO if you "
                           "have called your sex field something else. The converter will exit. Go back to your "
                           "file and fix it.?";
const std::string TreeColumns =
    "name, colour, breed, sex, dob, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix, health, cage, notes";

std::string customColumns() {
    std::string columns;
    for (int n = 1; n <= 12; ++n) columns += (n > 1 ? ", customfield" : "customfield") + std::to_string(n);
    return columns;
}

}  // namespace

class CsvToCav : public CavConversion {
protected:
    std::vector<String> import(const std::string& text, const std::vector<int>& answers = {},
                               const std::string& target = "") {
        return convert("csv", dir.write("herd.csv", text), answers, target);
    }
    std::string report() const { return home.file("Desktop/Converter Errors.txt"); }
    static void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
};

TEST_F(CsvToCav, EveryColumnIsWrittenInTheStatementsOrderWithApostrophesAsDollars) {
    const std::vector<String> boxes = import(
        "Name,Colour,Breed,Sex,DOB,Id,SireId,DamId,Sire,Dam,Tag,Prefix,Suffix,Health,Cage,Call Name,Notes,Weight,"
        "Owner's Mark\n"
        "O'Neil,red,Rex,m,12/31/2020,7,1,01,Big 'Un,Dam,T1,Ch,CD,wormed,C1,Jo,it's fine,3kg,a'b\n"
        "Kid,,,x,,8, 1,7,,,,,,,,,,,\n");
    EXPECT_EQ(boxes, std::vector<String>{Completed});

    Rows::value_type first = {"O$Neil", "red",  "Rex", "male", "2020-12-31", "7",  SqliteCli::Null, "01",
                              "Big $Un", "Dam", "T1",  "Ch",   "CD",         "wormed", "C1", "it$s fine",
                              "3kg",    "a$b"};
    Rows::value_type second = {"Kid", "", "", "undefined", "1925-01-01", "8", " 1", "7", "", "", "", "", "", "",
                               "", "", "", ""};
    for (int n = 3; n <= 12; ++n) first.push_back(""), second.push_back("");
    EXPECT_EQ(cavRows("SELECT " + TreeColumns + ", " + customColumns() + " FROM tree ORDER BY id"),
              (Rows{first, second}))
        << "a parent id of exactly \"1\" is written empty (NULL), the call name not at all";
    EXPECT_EQ(cavRows("SELECT id, fldCustomName1, fldCustomName2, fldCustomName3 FROM cavyUser"),
              (Rows{{"1", "weight", "owner$s mark", SqliteCli::Null}}));

    // Lines that all match the heading line's comma count: no question, no
    // report, no progress.
    EXPECT_FALSE(exists(report()));
    EXPECT_TRUE(progress.messages().empty());
    EXPECT_FALSE(frmWait.IsOpen());
}

TEST_F(CsvToCav, ALineWhoseCommasDoNotMatchIsNamedByItsLineInTheFile) {
    const std::vector<String> boxes = import("name,sex\n\n\"A\nB\",m,x\n", {AnswerYes});
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].substr(0, boxes[0].find("\n\n")),
              "There are 2 commas in row 3 which is more than in the headings row (1)");
    EXPECT_NE(boxes[0].find("[ \"A - B\",m,x... ]"), String::npos) << boxes[0];
}

TEST_F(CsvToCav, CaptionsUpdateTheRowWithIdOneOrEachGoIntoANewRow) {
    const struct {
        const char* name;
        std::optional<int> cavyUserId;
        Rows captions;
    } cases[] = {
        {"first row has id 1", 1, {{"1", "weight", "show wins"}}},
        {"first row has id 5", 5, {{"5", SqliteCli::Null, SqliteCli::Null}, {"6", "weight", SqliteCli::Null},
                                   {"7", SqliteCli::Null, "show wins"}}},
        // The first caption makes row 1, which the second then updates.
        {"no row", std::nullopt, {{"1", "weight", "show wins"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        const std::string file = dir.file(std::string(c.name) + ".cav");
        CavFixture::Options options;
        options.cavyUserId = c.cavyUserId;
        CavFixture::create(file, options);
        EXPECT_EQ(import("name,sex,sire,dam,Weight,Show Wins\nBella,f,,,3kg,2\n", {}, file),
                  std::vector<String>{Completed});
        EXPECT_EQ(cavRows("SELECT id, fldCustomName1, fldCustomName2 FROM cavyUser ORDER BY id", file), c.captions);
        EXPECT_EQ(cavRows("SELECT name, customfield1, customfield2 FROM tree", file), (Rows{{"Bella", "3kg", "2"}}));
    }
}

TEST_F(CsvToCav, ACommaMismatchIsAskedAboutOnceAndThenReported) {
    const std::string text = "name,sex,colour,sire,dam\n"
                             "Bella,f,red,,\n"
                             "Max,m\n"
                             "Tom,m,red,,,with a much longer tail than the snippet can show in the box\n"
                             "Lu,f,grey,,\n";
    const String question = "There are 1 commas in row 3 which is less than in the headings row (4)\n\n"
                            "[ Max,m... ]\n\n"
                            "This could put information in the wrong fields. Do you want to stop the processes now "
                            "and fix your csv file?\n(Click NO to make a report of all errors.)";
    const String tip = "Tip - Open the file in a plain text editor eg. Notepad or Text Edit to fix comma problems.\n"
                       "More commas - check for commas in the middle of names or text.\n"
                       "Less commas -often line breaks (carriage returns) in the middle of names or text.";
    const String exitNow = "A list of all errors has been created on your Desktop. Do you want to exit now?";
    const String tomsTail = "The column(s)  column 6 (no heading) will not be imported unless you assign an existing "
                            "Brevolan field name (see Help for list) or a custom field heading to the column ie. "
                            "customfield1, customfield2 ...customfield6.\nDo you want to continue?";
    const std::string blanks(13, ' ');
    const std::string reportText = "There are 1 commas in row 3 which is less than in the headings row (4)\n" +
                                   blanks + "[ Max,m... ]\n" +
                                   "There are 5 commas in row 4 which is more than in the headings row (4)\n" +
                                   blanks + "[ Tom,m,red,,,with a much longer tail than the snippet ca... ]\n\n";
    const struct {
        const char* name;
        std::vector<int> answers;  // "Invalid file", then "Error Report"
        std::vector<String> boxes;
        bool report;
        Rows animals;
    } cases[] = {
        {"stop at the question", {AnswerYes}, {question, tip}, false, {}},
        {"report, then exit", {AnswerNo, AnswerYes}, {question, exitNow}, true, {}},
        {"report, then import",
         {AnswerNo, AnswerNo, AnswerYes},
         {question, exitNow, tomsTail, Completed},
         true,
         {{"Bella", "female", "red"}, {"Max", "male", ""}, {"Tom", "male", "red"}, {"Lu", "female", "grey"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        closeWindows();
        ui.clear();
        SqliteCli::query(cav, "DELETE FROM tree");
        writeFile(report(), "an earlier, longer report that the new one replaces\n");
        EXPECT_EQ(import(text, c.answers), c.boxes);
        EXPECT_EQ(ui.boxes()[1].title, "Invalid file");
        if (c.report) {
            EXPECT_EQ(ui.boxes()[2].title, "Error Report");
        }
        EXPECT_EQ(TempDir::read(report()),
                  c.report ? reportText : "an earlier, longer report that the new one replaces\n");
        const std::vector<String> found = {"Found 1 errors.", "Found 2 errors."};
        EXPECT_EQ(progress.messages(), c.report ? found : std::vector<String>());
        if (c.report) {
            EXPECT_FALSE(progress.reports()[0].barVisible);
        }
        EXPECT_EQ(cavRows("SELECT name, sex, colour FROM tree ORDER BY id"), c.animals);
        EXPECT_EQ(cavRows("SELECT count(*) FROM cavyUser WHERE fldCustomName1 IS NOT NULL"), (Rows{{"0"}}));
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

TEST_F(CsvToCav, AReportThatCannotBeWrittenIsSaidSoAndTheImportCanGoOn) {
    const struct {
        const char* name;
        void (*prepare)(const TempDir& home);
        std::string why;  // after "could not be created: "
    } cases[] = {
        {"no desktop folder", [](const TempDir& home) { std::filesystem::remove_all(home.file("Desktop")); },
         "the Desktop folder DESKTOP does not exist."},
        {"a folder in the report's place",
         [](const TempDir& home) { std::filesystem::create_directories(home.file("Desktop/Converter Errors.txt")); },
         "the file DESKTOP/Converter Errors.txt cannot be written."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        closeWindows();
        ui.clear();
        SqliteCli::query(cav, "DELETE FROM tree");
        std::filesystem::remove_all(home.file("Desktop"));
        std::filesystem::create_directories(home.file("Desktop"));
        c.prepare(home);
        std::string why = c.why;
        why.replace(why.find("DESKTOP"), 7, home.file("Desktop"));

        const std::vector<String> boxes = import("name,sex\nBella,f\nMax\n", {AnswerNo, AnswerNo});
        ASSERT_EQ(boxes.size(), 3u);
        EXPECT_EQ(boxes[1], "The list of all errors could not be created: " + why + "\nDo you want to exit now?");
        EXPECT_EQ(ui.boxes()[2].title, "Error Report");
        EXPECT_EQ(boxes[2], Completed);
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), (Rows{{"Bella"}, {"Max"}}));
    }
}

TEST_F(CsvToCav, WithoutParentNamesOrSexTheyComeFromTheIdsAndTheSexQuestion) {
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        closeWindows();
        ui.clear();
        SqliteCli::query(cav, "DELETE FROM tree");
        const std::vector<String> boxes = import("name,id,sireid,damid\n"
                                                 "Sire,10,,\n"
                                                 "Dam,11,,\n"
                                                 "Kid,12,10,11\n"
                                                 "Grandkid,13,12,11\n",
                                                 {yes ? AnswerYes : AnswerNo});
        const std::vector<String> expected = {SexQuestion, Completed};
        EXPECT_EQ(boxes, std::vector<String>(expected.begin(), expected.end() - (yes ? 0 : 1)));
        EXPECT_EQ(ui.boxes()[1].title, "Missing field");
        EXPECT_EQ(cavRows("SELECT name, ps, pd, sex FROM tree ORDER BY id"),
                  (Rows{{"Sire", "", "", yes ? "male" : "undefined"},
                        {"Dam", "", "", yes ? "female" : "undefined"},
                        {"Kid", "Sire", "Dam", yes ? "male" : "undefined"},
                        {"Grandkid", "Kid", "Dam", "undefined"}}));
        // After No the progress window keeps what the linking showed last.
        EXPECT_EQ(frmWait.IsOpen(), !yes);
        if (!yes) {
            EXPECT_EQ(frmWait->lblMessage->Text(), "Getting name from id  #0");
        }
    }
}

// Without a sex column the parents are marked: by their ids where the file
// gave them, else by their names.
TEST_F(CsvToCav, WithoutSexTheParentsNamedWhereNoIdIsGivenAreMarked) {
    const struct {
        const char* what;
        std::string herd;
        Rows tree;  // names and sexes afterwards
    } cases[] = {
        {"names only",
         "Name,Colour,Sire,Dam\nO'Malley,red,,\nQueen,white,,\nKid,red,O'Malley,Queen\nKid2,red,Kid,Queen\n",
         {{"O$Malley", "male"}, {"Queen", "female"}, {"Kid", "male"}, {"Kid2", "undefined"}}},
        {"unknown or missing parents", "name,sire,dam\nUnknown,,\nUNKNOWN,,\nKid,Unknown,uNKnown\nKid2,Nobody,\n",
         {{"Unknown", "undefined"}, {"UNKNOWN", "undefined"}, {"Kid", "undefined"}, {"Kid2", "undefined"}}},
        {"two animals of one name", "name,sire\nTwin,\nTwin,\nKid,Twin\n",
         {{"Twin", "male"}, {"Twin", "undefined"}, {"Kid", "undefined"}}},
        // A given id names the parent more surely than a name.
        {"ids given",
         "name,id,sireid,damid,sire,dam\nSire,10,,,,\nDam,11,,,,\nOther,12,,,,\nKid,13,10,11,Other,Other\n",
         {{"Sire", "male"}, {"Dam", "female"}, {"Other", "undefined"}, {"Kid", "undefined"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        closeWindows();
        ui.clear();
        SqliteCli::query(cav, "DELETE FROM tree");
        EXPECT_EQ(import(c.herd, {AnswerYes}), (std::vector<String>{SexQuestion, Completed}));
        EXPECT_EQ(cavRows("SELECT name, sex FROM tree ORDER BY id"), c.tree);
    }
}

TEST_F(CsvToCav, ParentsAreFoundByTheIdsAsTheFileWroteThemAndAnUnknownIdKeepsTheName) {
    // No sire names: they come from the ids. A dam's name that the file gave
    // stays where no animal has the dam's id, and gives way to the name of
    // the animal that has it. The ids are numbers in a CAV file: a negative
    // one is found as well.
    EXPECT_EQ(import("name,sex,uid,sireid,damid,dam\n"
                     "Seven,m,7,,,\n"
                     "Minus,m,-7,,,\n"
                     "Dam,f,20,,,\n"
                     "Kid,f,30,-7,99,Bella\n"
                     "Kid2,m,31,7,20,Other\n"),
              std::vector<String>{Completed});
    EXPECT_EQ(cavRows("SELECT name, oldId, fatherId, motherId, ps, pd FROM tree ORDER BY id"),
              (Rows{{"Seven", "7", SqliteCli::Null, SqliteCli::Null, "", ""},
                    {"Minus", "-7", SqliteCli::Null, SqliteCli::Null, "", ""},
                    {"Dam", "20", SqliteCli::Null, SqliteCli::Null, "", ""},
                    {"Kid", "30", "-7", "99", "Minus", "Bella"},
                    {"Kid2", "31", "7", "20", "Seven", "Dam"}}))
        << "the links of a CAV file stay the ids of the source file";
}

// The captions and the rows are one transaction, committed after the last
// row: until then another program sees none of them, and a Cancel, a
// refused row or a refused commit undoes all of them, before the linking
// and the sex question.
TEST_F(CsvToCav, NothingIsInTheFileBeforeTheCommitAndAllOfItIsUndoneWhenTheImportStops) {
    std::string herd = "name,sire,dam,Weight\n";
    for (int i = 1; i <= 25; ++i) herd += "A" + std::to_string(i) + ",,," + std::to_string(i) + "g\n";
    const String none = "\nNone of the 25 records were written to the Brevolan database.";
    // The commit waits this long for the reader that the test leaves reading.
    const cav_rig::LockWaitFor shortWait(std::chrono::milliseconds(100));
    const struct {
        const char* name;
        const char* trigger;        // refuses a row
        bool keepsReading;          // the other program reads on until the import ends
        std::vector<int> answers;  // to Cancel's question at the 20th row, then to the sex question
        std::vector<String> boxes;  // after Cancel's question
        int beeps;
        bool complete;
    } cases[] = {
        {"cancelled", "", false, {AnswerYes}, {"The import was cancelled." + none}, 0, false},
        {"a row refused",
         "CREATE TRIGGER refuse BEFORE INSERT ON tree WHEN NEW.name = 'A22' BEGIN SELECT RAISE(ABORT, 'not this "
         "one'); END;",
         false,
         {AnswerNo},
         {"Database Error: 19\n\nnot this one (19)" + none},
         1,
         false},
        {"the commit refused", "", true, {AnswerNo}, {"Database Error: 5\n\ndatabase is locked" + none}, 1, false},
        {"complete", "", false, {AnswerNo, AnswerYes}, {SexQuestion, Completed}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        closeWindows();
        ui.clear();
        SqliteCli::query(cav, "DELETE FROM tree; UPDATE cavyUser SET fldCustomName1 = NULL; DROP TRIGGER IF EXISTS "
                              "refuse; " + std::string(c.trigger));
        const std::string before = TempDir::read(cav);
        // Another program reads the file between two rows, and Cancel is
        // pressed there.
        Rows seen;
        std::optional<OtherProgram> reader;
        cancelled = false;
        progress.onYield = [&] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() != "Found  - A20\n20 records") return;
            seen = cavRows("SELECT (SELECT count(*) FROM tree), (SELECT count(fldCustomName1) FROM cavyUser)");
            if (c.keepsReading) reader.emplace(cav, "BEGIN; SELECT count(*) FROM tree;");
            pressCancel();
        };
        const std::vector<String> boxes = import(herd, c.answers);
        progress.onYield = nullptr;
        reader.reset();
        ASSERT_TRUE(cancelled);
        EXPECT_EQ(seen, (Rows{{"0", "0"}})) << "neither the rows nor the caption before the commit";
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(std::vector<String>(boxes.begin() + 1, boxes.end()), c.boxes);
        EXPECT_EQ(ui.beeps(), c.beeps);
        if (c.complete) {
            EXPECT_EQ(cavRows("SELECT count(*), min(sex), max(sex) FROM tree"), (Rows{{"25", "undefined", "undefined"}}));
            EXPECT_EQ(cavRows("SELECT fldCustomName1 FROM cavyUser"), (Rows{{"weight"}}));
        } else {
            EXPECT_EQ(TempDir::read(cav), before) << "the file is as it was, its caption too";
        }
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

TEST_F(CsvToCav, CaptionsStayWrittenWhenTheHeadingChecksEndTheImport) {
    std::string thirteen = "name,sex,sire,dam";
    for (int n = 1; n <= 13; ++n) thirteen += ",H" + std::to_string(n);
    const struct {
        const char* name;
        std::string text;
        std::vector<int> answers;
        const char* lastTitle;  // of the box that ends the import
        Rows captions;          // fldCustomName1 and fldCustomName12
    } cases[] = {
        {"no name column", "colour,Weight\nred,3kg\n", {}, "", {{"weight", SqliteCli::Null}}},
        {"no to the question", thirteen + "\nBella,f,,,1,2,3,4,5,6,7,8,9,10,11,12,13\n", {AnswerNo},
         "Before you begin!", {{"h1", "h12"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        SqliteCli::query(cav, "UPDATE cavyUser SET fldCustomName1 = NULL, fldCustomName12 = NULL");
        ASSERT_EQ(import(c.text, c.answers).size(), 1u);
        EXPECT_EQ(ui.boxes().back().title, c.lastTitle);
        EXPECT_EQ(cavRows("SELECT fldCustomName1, fldCustomName12 FROM cavyUser"), c.captions);
        EXPECT_EQ(cavRows("SELECT count(*) FROM tree"), (Rows{{"0"}}));
    }
}

TEST_F(CsvToCav, ACaptionThatCannotBeStoredIsToldWithoutLosingTheRows) {
    // A CAV file without cavyUser: every caption is told, the rows go in.
    SqliteCli::query(cav, "DROP TABLE cavyUser");
    const std::vector<String> boxes = import("name,sex,sire,dam,Weight,Show Wins\nBella,f,,,3kg,2\n");
    ASSERT_EQ(boxes.size(), 3u);
    for (const char* caption : {"weight", "show wins"}) {
        const String head = "The custom field heading \"" + String(caption) + "\" could not be saved in the "
                                                                             "Brevolan database.\n";
        const size_t i = caption == String("weight") ? 0 : 1;
        EXPECT_EQ(boxes[i].substr(0, head.size()), head);
        EXPECT_NE(boxes[i].find("cavyUser"), String::npos) << "the database's reason: " << boxes[i];
    }
    EXPECT_EQ(boxes[2], Completed);
    EXPECT_EQ(cavRows("SELECT name, customfield1, customfield2 FROM tree"), (Rows{{"Bella", "3kg", "2"}}));
}

// Each write of the import that the database refuses ends it with the
// database's message, never with a completion: a caption (before any
// animal), a parent's name, a sex.
TEST_F(CsvToCav, AWriteThatTheDatabaseRefusesEndsTheImportWithItsMessage) {
    const std::string herd = "name,uid,sireid,damid,weight\nSire,10,,,3kg\nDam,20,,,2kg\nKid,30,10,20,1kg\n";
    const struct {
        const char* refused;
        const char* trigger;  // refuses that write
        std::vector<int> answers;
        Rows tree;  // names and sexes that the CAV file holds afterwards
    } cases[] = {
        {"a caption", "BEFORE UPDATE ON cavyUser", {}, {}},
        {"a parent's name", "BEFORE UPDATE OF ps ON tree", {},
         {{"Sire", "undefined"}, {"Dam", "undefined"}, {"Kid", "undefined"}}},
        {"a sex", "BEFORE UPDATE OF sex ON tree", {AnswerYes},
         {{"Sire", "undefined"}, {"Dam", "undefined"}, {"Kid", "undefined"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused);
        ui.clear();
        closeWindows();
        SqliteCli::query(cav, "DELETE FROM tree; DROP TRIGGER IF EXISTS refuse; CREATE TRIGGER refuse " +
                                  std::string(c.trigger) + " BEGIN SELECT RAISE(ABORT, 'refused here'); END;");
        const std::vector<String> boxes = import(herd, c.answers);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().rfind("Database Error: 19\n\nrefused here", 0), 0u) << boxes.back();
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), Completed), 0);
        EXPECT_EQ(cavRows("SELECT name, sex FROM tree ORDER BY id"), c.tree);
        EXPECT_FALSE(frmWait.IsOpen());
    }
}
