// What the conversions do with the file at their destination and with a
// source that another program holds: a new file takes the place of an old
// one only once it is complete, a refused or cancelled conversion keeps the
// old file (and a conversion goes on after Cancel), a file that cannot be
// replaced or that is in use is named as such, and no conversion leaves
// anything of its own behind.

#include <set>
#include <sstream>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "tests/convert/WindowsFixture.h"
#include "tests/support/LockWait.h"
#include "tests/support/OrdinaryUser.h"
#include "tests/support/OtherProgram.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String Overwrite = "This file has been converted before. Do you want to overwrite the old converted file?";
const String CancelQuestion = "The new file doesn't contain all the records yet.\nDo you want to delete the new file? ";

}  // namespace

class Destinations : public ConvertWithWindows {
protected:
    // An earlier converted file at `path`, made by the independent tool;
    // its bytes.
    std::string oldFile(const std::string& path) {
        std::filesystem::remove(path);
        SqliteCli::query(path, "CREATE TABLE tree(id integer PRIMARY KEY, name); INSERT INTO tree(name) VALUES ('old')");
        return TempDir::read(path);
    }
    static std::string herdOf(int n) {
        return herd("name,sex", n, [](int i) { return "A" + std::to_string(i) + ",m"; });
    }
};

TEST_F(Destinations, AnImportTurnedDownBeforeItsFirstAnimalMakesNoFileAndKeepsTheOldOne) {
    std::string unknownHeadings = "name";
    for (int i = 1; i <= 16; ++i) unknownHeadings += ",heading" + std::to_string(i);
    std::string wideLine = "A1,m";
    for (int i = 3; i <= 72; ++i) wideLine += ",v";
    struct Case {
        const char* name;
        std::string csv;
        bool asks;           // a question that is answered No
        const char* lastBox; // the start of the last box
    } cases[] = {
        {"no name column", "colour,sex\nred,m\n", false, "The program cannot determine which column"},
        {"No to the columns that would not be imported", unknownHeadings + "\nA1\n", true, "The column(s)  heading13, heading14"},
        {"No to too much data", "name,sex\n" + wideLine + "\n", true, "Not all of this file can be imported"},
    };
    for (const Case& c : cases) {
        for (bool old : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (old ? ", over an old file" : ""));
            ui.clear();
            const std::string cax = csvSource("herd.csv", c.csv);
            std::string before;
            if (old) {
                before = oldFile(cax);
                ui.AnswerYes();
            } else {
                std::filesystem::remove(cax);
            }
            if (c.asks) ui.AnswerNo();
            convertCsvToRsd::convertCSV();
            ASSERT_FALSE(ui.texts().empty());
            EXPECT_EQ(ui.texts().back().rfind(c.lastBox, 0), 0u) << ui.texts().back() << "";
            const std::set<std::string> left =
                old ? std::set<std::string>{"herd.csv", "herd.cax"} : std::set<std::string>{"herd.csv"};
            EXPECT_EQ(TempDir::namesIn(dir.path()), left);
            if (old) {
                EXPECT_EQ(TempDir::read(cax), before);
            }
        }
    }
}

TEST_F(Destinations, CancelDuringAnImportKeepsTheOldFileUnlessTheImportGoesOn) {
    for (bool deleteIt : {true, false}) {
        SCOPED_TRACE(deleteIt ? "Yes, delete the new file" : "No");
        closeWindows();
        ui.clear();
        cancelled = false;
        const std::string cax = csvSource("herd.csv", herdOf(45));
        const std::string before = oldFile(cax);
        ui.AnswerYes();
        cancelAtFirstProgress();
        deleteIt ? ui.AnswerYes() : ui.AnswerNo();
        convertCsvToRsd::convertCSV();
        ASSERT_TRUE(cancelled);
        std::vector<String> told = {Overwrite, CancelQuestion};
        // Only an import that went on completes.
        if (!deleteIt) told.push_back(Completed);
        EXPECT_EQ(ui.texts(), told);
        EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv", "herd.cax"}));
        if (deleteIt) {
            EXPECT_EQ(TempDir::read(cax), before) << "only what the import made was deleted";
        } else {
            EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*) FROM tree"), (Rows{{"45"}}));
        }
        EXPECT_EQ(appSystem::output.createdFile, "");
    }
}

TEST_F(Destinations, WithoutTheSexFromParenthoodTheOldFileStays) {
    const std::string cax = csvSource("herd.csv", "name,sire\nSire,\nKid,Sire\n");
    const std::string before = oldFile(cax);
    ui.AnswerYes();
    ui.AnswerNo();
    convertCsvToRsd::convertCSV();
    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[1].title, "Missing field");
    EXPECT_EQ(TempDir::read(cax), before) << "the user left to fix the source";
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv", "herd.cax"}));
    EXPECT_FALSE(frmWait.IsOpen()) << "no Cancel is left that could delete the old file";
}

TEST_F(Destinations, AnOldFileThatCannotBeReplacedIsSaidInWordsAndKept) {
    for (bool folder : {true, false}) {
        SCOPED_TRACE(folder ? "read-only folder" : "read-only file");
        ui.clear();
        std::filesystem::create_directory(dir.file("herds"));
        const std::string csv = dir.write("herds/herd.csv", herdOf(3));
        appSystem::sourceFilepath = csv;
        const std::string cax = appSystem::destinationFilePath = appSystem::getNewName(csv, ".cax");
        const std::string before = oldFile(cax);
        {
            OrdinaryUser user(dir.path());
            const std::string locked = folder ? dir.file("herds") : cax;
            std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
            ui.AnswerYes();
            convertCsvToRsd::convertCSV();
            std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        }
        EXPECT_EQ(ui.texts(), (std::vector<String>{Overwrite, "The existing file " + cax +
                                                                  " cannot be replaced.\nMake sure that the file "
                                                                  "and its folder can be written to."}));
        EXPECT_EQ(TempDir::read(cax), before);
        EXPECT_EQ(TempDir::namesIn(dir.file("herds")), (std::set<std::string>{"herd.csv", "herd.cax"}));
        std::filesystem::remove_all(dir.file("herds"));
    }
}

TEST_F(Destinations, AnOldFileInUseIsWaitedForAndThenNamed) {
    const std::string cax = csvSource("herd.csv", herdOf(3));
    const std::string before = oldFile(cax);
    int yields = 0;
    progress.onYield = [&] { ++yields; };
    {
        // A program reading it, as the Brevolan program does while it shows the herd.
        const LockWaitFor shortWait(std::chrono::milliseconds(200));
        OtherProgram reader(cax, "BEGIN; SELECT count(*) FROM tree;");
        ui.AnswerYes();
        convertCsvToRsd::convertCSV();
    }
    EXPECT_EQ(ui.texts(), (std::vector<String>{Overwrite, "The file " + cax + " is in use by another program."}));
    EXPECT_GE(yields, 1) << "the windows were served while it waited";
    EXPECT_EQ(TempDir::read(cax), before);
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv", "herd.cax"}));

    // A program that lets go while the import waits (as long as need be).
    const LockWaitFor longWait(std::chrono::seconds(10));
    ui.clear();
    auto writer = std::make_unique<OtherProgram>(cax, "BEGIN EXCLUSIVE; INSERT INTO tree(name) VALUES ('new');");
    progress.onYield = [&] {
        if (++yields % 20 == 0) writer->release();
    };
    ui.AnswerYes();
    convertCsvToRsd::convertCSV();
    EXPECT_EQ(ui.texts(), (std::vector<String>{Overwrite, Completed}));
    EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*) FROM tree"), (Rows{{"3"}}));
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv", "herd.cax"}));
}

TEST_F(Destinations, AnExportKeepsAnOldFileThatCannotBeReplacedOrWhenCancelled) {
    const std::string rsd = rsdFile("INSERT INTO tree(name) VALUES ('Bella');");
    appSystem::sourceFilepath = rsd;
    const std::string csv = dir.write("herd( tree ).csv", "an older export\n");
    {
        OrdinaryUser user(dir.path());
        std::filesystem::permissions(csv, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
        convertRsdToCsv::runConvertRSDCSV();
        std::filesystem::permissions(csv, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    }
    EXPECT_EQ(ui.texts(), (std::vector<String>{"The existing file " + csv +
                                               " cannot be replaced.\nMake sure that the file and its folder can be "
                                               "written to."}));
    EXPECT_EQ(TempDir::read(csv), "an older export\n");

    std::string sql;
    for (int i = 1; i <= 60; ++i) sql += "INSERT INTO tree(name) VALUES ('A" + std::to_string(i) + "');";
    SqliteCli::query(rsd, sql);
    ui.clear();
    // Cancel once the export has begun its file.
    progress.onYield = [this] {
        if (cancelled || progress.messages().empty()) return;
        pressCancel();
    };
    ui.AnswerYes();
    convertRsdToCsv::runConvertRSDCSV();
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(TempDir::read(csv), "an older export\n") << "only what the export made was deleted";
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.rsd", "herd( tree ).csv"}));
}

TEST_F(Destinations, ASourceInUseIsNamedOnceAndCancelAnswersWhileItIsWaitedFor) {
    const std::string rsd = rsdFile("INSERT INTO tree(name) VALUES ('Bella');");
    appSystem::sourceFilepath = rsd;
    OtherProgram writer(rsd, "BEGIN EXCLUSIVE; INSERT INTO tree(name) VALUES ('Max');");
    // Cancel in the progress window while the export waits for its source
    // (the wait yields every few milliseconds, and lasts beyond them).
    const LockWaitFor longWait(std::chrono::seconds(10));
    int yields = 0;
    progress.onYield = [&] {
        if (++yields == 30 && frmWait.IsOpen()) pressCancel();
    };
    convertRsdToCsv::runConvertRSDCSV();
    EXPECT_TRUE(cancelled);
    EXPECT_LT(yields, 40) << "Cancel ended the wait";
    EXPECT_EQ(ui.texts(), (std::vector<String>{"The file " + rsd + " is in use by another program."}));
    EXPECT_FALSE(exists(dir.file("herd( tree ).csv")));
    EXPECT_FALSE(frmWait.IsOpen());
}

TEST_F(Destinations, ACancelBeforeAnExportHasBegunItsFileDeletesNothing) {
    // The file that an earlier conversion made is still named as its destination.
    const std::string earlier = appSystem::destinationFilePath = dir.write("earlier.cax", "an earlier import");
    appSystem::sourceFilepath = rsdFile("INSERT INTO tree(name) VALUES ('Bella');");
    cancelAtFirstProgress();
    ui.AnswerYes();
    convertRsdToCsv::runConvertRSDCSV();
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(TempDir::read(earlier), "an earlier import");
    EXPECT_EQ(ui.texts(), std::vector<String>{CancelQuestion}) << "a cancelled export is no completion";
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"earlier.cax", "herd.rsd"}));
}

TEST_F(Destinations, ACancelThatDeletesTheNewFileEndsTheImportWithoutACompletion) {
    const std::string cax = csvSource("herd.csv", herdOf(45));
    cancelAtFirstProgress();
    ui.AnswerYes();
    convertCsvToRsd::convertCSV();
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].title, "Delete Incomplete File");
    EXPECT_FALSE(exists(cax)) << "nothing brings the deleted file back";
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv"}));
    EXPECT_FALSE(frmWait.IsOpen());
}

TEST_F(Destinations, CancelDuringTheLinkingLetsItGoOnAndItsLabelsComeBack) {
    // Sixty animals without a sex column: the fathers by id, the mothers by
    // name, so that each pass of the linking reports more than once.
    const std::string text = herd("name,uid,sireid,dam", 60, [](int i) -> std::string {
        if (i == 1) return "Sire,101,,";
        if (i == 2) return "Dam,102,,";
        return "A" + std::to_string(i) + "," + std::to_string(100 + i) + ",101,Dam";
    });
    struct Case {
        const char* pass;  // Cancel at the first report of the pass that starts so
        bool deleteIt;
    } cases[] = {
        {"Getting name from id", false},
        {"Linked ", false},
        {"Found sex", false},
        {"Found sex", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pass) + (c.deleteIt ? ", Yes, delete the new file" : ", No"));
        closeWindows();
        ui.clear();
        cancelled = false;
        const std::string cax = csvSource("herd.csv", text);
        std::filesystem::remove(cax);
        size_t cancelledAt = 0;
        progress.onYield = [&] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text().rfind(c.pass, 0) != 0) return;
            cancelledAt = progress.reports().size();
            pressCancel();
        };
        const bool beforeTheQuestion = std::string(c.pass) != "Found sex";
        if (beforeTheQuestion) c.deleteIt ? ui.AnswerYes() : ui.AnswerNo();
        ui.AnswerYes();  // the sex from parenthood
        if (!beforeTheQuestion) c.deleteIt ? ui.AnswerYes() : ui.AnswerNo();
        convertCsvToRsd::convertCSV();

        ASSERT_TRUE(cancelled);
        // A Cancel that deletes the file ends the import after the pass.
        EXPECT_EQ(ui.texts().back(), c.deleteIt ? CancelQuestion : Completed);
        // The labels of the same pass came back in a new window and went on.
        const std::vector<String> shown = progress.messages();
        ASSERT_LT(cancelledAt, shown.size());
        EXPECT_TRUE(std::any_of(shown.begin() + std::ptrdiff_t(cancelledAt), shown.end(),
                                [&](const String& m) { return m.rfind(c.pass, 0) == 0 && m != shown[cancelledAt - 1]; }))
            << shown[cancelledAt - 1];
        EXPECT_FALSE(frmWait.IsOpen());
        if (c.deleteIt) {
            EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv"}));
        } else {
            EXPECT_EQ(SqliteCli::query(cax, "SELECT name, sex FROM tree WHERE id <= 2 UNION ALL "
                                            "SELECT count(*), min(fatherId = '1' AND motherId = '2') FROM tree "
                                            "WHERE id > 2 UNION ALL SELECT (SELECT count(*) FROM sqlite_master "
                                            "WHERE type = 'index'), (SELECT Version FROM settings)"),
                      (Rows{{"Sire", "male"}, {"Dam", "female"}, {"58", "1"}, {"0", "20402"}}));
        }
    }
}

TEST_F(Destinations, AfterACancelAnsweredNoTheRestOfTheAnimalsKeepTheirParents) {
    std::string sql = "INSERT INTO tree(name) VALUES ('Sire');";
    for (int i = 1; i <= 60; ++i) sql += "INSERT INTO tree(name, fatherId) VALUES ('A" + std::to_string(i) + "', '1');";
    appSystem::sourceFilepath = rsdFile(sql);
    cancelAtFirstProgress();
    ui.AnswerNo();
    convertRsdToCsv::runConvertRSDCSV();
    ASSERT_TRUE(cancelled);
    std::istringstream csv(TempDir::read(dir.file("herd( tree ).csv")));
    std::vector<std::string> out;
    for (std::string line; std::getline(csv, line);) out.push_back(line);
    ASSERT_EQ(out.size(), 62u);
    for (size_t i = 2; i < out.size(); ++i) EXPECT_EQ(out[i].substr(out[i].find(",,,,,,") + 6, 5), "Sire,") << out[i];
    EXPECT_EQ(ui.texts().back(), Completed);
}

// An output that goes while it is written (its folder deleted or moved, or
// the unfinished file itself deleted, by someone other than the converter)
// is an error of its own, never a completion, and nothing appears at the
// destination.
class VanishedOutputs : public ConvertTest {};

TEST_F(VanishedOutputs, AnOutputThatGoesWhileItIsWrittenIsToldAndNeverCompleted) {
    enum Conversion { Import, Export };
    enum Removal { FolderDeleted, FolderMoved, UnfinishedFileDeleted };
    const struct Case {
        const char* name;
        Conversion conversion;
        Removal removal;
    } cases[] = {
        {"import, folder deleted", Import, FolderDeleted},
        {"import, folder moved", Import, FolderMoved},
        {"import, unfinished file deleted", Import, UnfinishedFileDeleted},
        {"export, folder deleted", Export, FolderDeleted},
        {"export, folder moved", Export, FolderMoved},
        {"export, unfinished file deleted", Export, UnfinishedFileDeleted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        progress.clear();
        std::filesystem::remove_all(dir.file("out"));
        std::filesystem::remove_all(dir.file("moved"));
        std::filesystem::create_directory(dir.file("out"));
        // The output goes to the folder "out"; it is removed at the report
        // of a row in the middle.
        std::string destination, atReport;
        if (c.conversion == Import) {
            appSystem::sourceFilepath = dir.write("herd.csv", herd("name,sex", 45, [](int i) {
                                                      return "A" + std::to_string(i) + ",m";
                                                  }));
            destination = appSystem::destinationFilePath = dir.file("out/herd.cax");
            atReport = "20 records";
        } else {
            std::string sql;
            for (int i = 1; i <= 120; ++i) sql += "INSERT INTO tree(name) VALUES ('A" + std::to_string(i) + "');";
            appSystem::sourceFilepath = rsdFile(sql, "out/herd.rsd");
            destination = dir.file("out/herd( tree ).csv");
            atReport = "Record: 50 of";
        }
        bool removed = false;
        progress.onYield = [&] {
            if (removed || progress.messages().empty() || progress.messages().back().find(atReport) == String::npos)
                return;
            removed = true;
            ASSERT_FALSE(appSystem::output.createdFile.empty());
            switch (c.removal) {
                case FolderDeleted: std::filesystem::remove_all(dir.file("out")); break;
                case FolderMoved: std::filesystem::rename(dir.file("out"), dir.file("moved")); break;
                case UnfinishedFileDeleted: std::filesystem::remove(appSystem::output.createdFile); break;
            }
        };
        c.conversion == Import ? convertCsvToRsd::convertCSV() : convertRsdToCsv::runConvertRSDCSV();
        progress.onYield = nullptr;

        ASSERT_TRUE(removed);
        EXPECT_EQ(ui.texts(), std::vector<String>{appSystem::vanishedOutputMessage(destination)});
        EXPECT_EQ(ui.beeps(), 0);
        EXPECT_FALSE(exists(destination));
        EXPECT_FALSE(progress.isOpen());
        if (c.removal == UnfinishedFileDeleted) {
            const std::set<std::string> left =
                c.conversion == Import ? std::set<std::string>{} : std::set<std::string>{"herd.rsd"};
            EXPECT_EQ(TempDir::namesIn(dir.file("out")), left);
        }
    }
}
