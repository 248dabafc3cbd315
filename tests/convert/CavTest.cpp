// What both conversions into CAV do alike: the connect that fails, rows the
// database refuses, a connection that is lost between rows, a second
// conversion into the same file, and paths that the driver takes only in
// braces or not at all. Each test runs the CSV import and the
// RSD/CAX export on sources that give the same animals A1 ... An.

#include <filesystem>
#include <functional>
#include <set>

#include "tests/convert/CavConversionFixture.h"
#include "tests/support/OtherProgram.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String UnableToConnect =
    "Unable to connect to Brevolan database. Make sure the database isn't opened in your Brevolan program.";

}  // namespace

class CavTargets : public CavConversion {
protected:
    // A source of `from`'s format with the male animals A1 ... An.
    std::string source(const String& from, int n) {
        if (from == "csv") return dir.write("herd.csv", herd("name,sex,sire,dam", n, [](int i) {
                                                return "A" + std::to_string(i) + ",m,,";
                                            }));
        std::string sql;
        for (int i = 1; i <= n; ++i) sql += "INSERT INTO tree(name, sex) VALUES ('A" + std::to_string(i) + "', 'male');";
        return rsdFile(sql);
    }
    static Rows names(int from, int to, int except = 0) {
        Rows rows;
        for (int i = from; i <= to; ++i)
            if (i != except) rows.push_back({"A" + std::to_string(i)});
        return rows;
    }
    void restart() {
        closeWindows();
        ui.clear();
    }
};

TEST_F(CavTargets, AWrongPasswordIsToldWithTheDriversCodeAndMessageAndNothingIsRead) {
    const std::string locked = dir.file("locked.cav");
    CavFixture::Options options;
    options.password = "another";
    CavFixture::create(locked, options);
    const String databaseError = "Database Error: -1905\n\n[Microsoft][ODBC Microsoft Access Driver] Not a valid password.";
    for (const char* from : {"csv", "rsd"}) {
        SCOPED_TRACE(from);
        restart();
        // Nothing was written, so neither conversion reports a completion.
        EXPECT_EQ(convert(from, source(from, 3), {}, locked), std::vector<String>{databaseError});
        EXPECT_EQ(ui.beeps(), 1);
        EXPECT_EQ(appSystem::CSVa(1, 0), "") << "the CSV file is not read";
        EXPECT_EQ(appSystem::dataPath, "") << "the RSD/CAX file is not opened";
        EXPECT_EQ(cavRows("SELECT count(*) FROM tree", locked), (Rows{{"0"}}));
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

// A CAV file that another program holds (as the Brevolan program may) is
// refused at once, as Access refuses a file opened exclusively elsewhere:
// the user is told, nothing is read and nothing is written.
TEST_F(CavTargets, AFileThatAnotherProgramHoldsIsToldAsInUseAndNothingIsWritten) {
    const String databaseError = "Database Error: " + Str(int64_t(cav_rig::kInUseNativeError)) + "\n\n" +
                                 cav_rig::kInUseMessage;
    const cav_rig::LockWaitFor shortWait(std::chrono::milliseconds(100));
    for (const char* from : {"csv", "rsd"}) {
        SCOPED_TRACE(from);
        restart();
        const std::string herd = source(from, 3);
        {
            OtherProgram holder(cav, "BEGIN EXCLUSIVE; UPDATE cavyUser SET fldCustomName1 = 'held';");
            EXPECT_EQ(convert(from, herd), std::vector<String>{databaseError});
        }
        EXPECT_EQ(ui.beeps(), 1);
        EXPECT_EQ(appSystem::CSVa(1, 0), "") << "the CSV file is not read";
        EXPECT_EQ(appSystem::dataPath, "") << "the RSD/CAX file is not opened";
        EXPECT_EQ(cavRows("SELECT count(*) FROM tree"), (Rows{{"0"}}));
        EXPECT_EQ(cavRows("SELECT count(*) FROM cavyUser WHERE fldCustomName1 IS NOT NULL"), (Rows{{"0"}}));
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

// Both conversions tell a refused row as the database's error, with a beep
// and the count, and never as a completion. The export writes the other
// rows; the import's rows are one transaction, undone as a whole, and the
// file is as it was.
TEST_F(CavTargets, ARefusedRowIsToldAndCounted) {
    const struct {
        const char* name;
        const char* when;  // the rows that the trigger refuses
        String reason;
    } refusals[] = {{"one row", "WHEN NEW.name = 'A2'", "A2 is not welcome"}, {"every row", "", "read-only here"}};
    const std::string csv = source("csv", 3), rsd = source("rsd", 3);
    for (const auto& refusal : refusals) {
        SqliteCli::query(cav, "DELETE FROM tree; DROP TRIGGER IF EXISTS refuse; CREATE TRIGGER refuse BEFORE INSERT "
                              "ON tree " + std::string(refusal.when) + " BEGIN SELECT RAISE(ABORT, '" +
                                  refusal.reason + "'); END;");
        const struct {
            const char* from;
            const char* count;  // the line that counts what is missing
            Rows tree;
        } cases[] = {{"csv", "\nNone of the 3 records were written to the Brevolan database.", {}},
                     {"rsd",
                      refusal.when[0] ? "\n1 of 3 records were not written to the Brevolan database."
                                      : "\n3 of 3 records were not written to the Brevolan database.",
                      refusal.when[0] ? names(1, 3, 2) : Rows{}}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(refusal.name) + ", " + c.from);
            restart();
            SqliteCli::query(cav, "DELETE FROM tree");
            const std::string before = TempDir::read(cav);
            const std::vector<String> boxes = convert(c.from, c.from == std::string("csv") ? csv : rsd);
            ASSERT_EQ(boxes.size(), 1u);
            const String head = "Database Error: 19\n\n" + refusal.reason;
            EXPECT_EQ(boxes[0].substr(0, head.size()), head) << boxes[0];
            EXPECT_NE(boxes[0].find(c.count), String::npos) << boxes[0];
            EXPECT_EQ(boxes[0].find(Completed), String::npos) << boxes[0];
            EXPECT_EQ(ui.beeps(), 1);
            EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), c.tree);
            if (c.from == std::string("csv")) {
                EXPECT_EQ(TempDir::read(cav), before) << "the file is as it was";
            }
            EXPECT_FALSE(frmWait.IsOpen());
        }
    }
}

// The CAV file goes away after a progress report (as a file on a share
// can) and comes back once the converter has said it cannot connect. The
// export skips that row, tells it and goes on; the import's transaction went
// with the connection, so it stops and nothing of it is in the file, also
// when the file goes after the last row, just before the commit.
TEST_F(CavTargets, ARowWhoseConnectFailsIsTold) {
    const struct {
        const char* from;
        int animals;
        String report;  // the report after which the file goes
        std::vector<String> boxes;
        Rows tree;
    } cases[] = {
        {"csv", 25, "Found  - A20\n20 records",
         {UnableToConnect + "\nNone of the 25 records were written to the Brevolan database."}, {}},
        {"csv", 40, "Found  - A40\n40 records",
         {UnableToConnect + "\nNone of the 40 records were written to the Brevolan database."}, {}},
        {"rsd", 25, "Adding tree record for A21",
         {UnableToConnect, "Operation completed\n1 of 25 records were not written to the Brevolan database."},
         names(1, 25, 22)},
    };
    const std::string away = cav + ".away";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        restart();
        SqliteCli::query(cav, "DELETE FROM tree");
        const std::string herd = source(c.from, c.animals), before = TempDir::read(cav);
        bool gone = false;
        progress.onYield = [&] {
            if (!gone && frmWait.IsOpen() && frmWait->lblMessage->Text() == c.report) {
                std::filesystem::rename(cav, away);
                gone = true;
            } else if (gone && std::filesystem::exists(away) && !ui.boxes().empty() &&
                       ui.boxes().back().text == UnableToConnect) {
                std::filesystem::rename(away, cav);
            }
        };
        const std::vector<String> boxes = convert(c.from, herd);
        progress.onYield = nullptr;
        if (std::filesystem::exists(away)) std::filesystem::rename(away, cav);
        ASSERT_TRUE(gone);
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), c.tree);
        if (c.from == std::string("csv")) {
            EXPECT_EQ(TempDir::read(cav), before) << "the file is as it was";
        }
        // The lost connection holds no lock: another program can write.
        EXPECT_EQ(cavRows("DELETE FROM tree; SELECT count(*) FROM tree"), (Rows{{"0"}}));
    }
}

TEST_F(CavTargets, ASecondConversionIntoTheSameFileAddsEveryRowAgain) {
    for (const char* from : {"csv", "rsd"}) {
        SCOPED_TRACE(from);
        SqliteCli::query(cav, "DELETE FROM tree");
        const std::string herd = source(from, 2);
        for (int run = 1; run <= 2; ++run) {
            restart();
            EXPECT_EQ(convert(from, herd), std::vector<String>{Completed});
            ASSERT_EQ(ui.dialogs().size(), 1u);
            EXPECT_EQ(ui.dialogs()[0].title, "Select a Brevolan data file");
            EXPECT_EQ(ui.dialogs()[0].initialFolder, home.file("Documents") + "/Brevolan");
            EXPECT_EQ(appSystem::destinationFilePath, cav);
            EXPECT_TRUE(frmMain->lblDestination->Visible());
            EXPECT_EQ(frmMain->lblDestinationFilePath->Text(), cav);
            EXPECT_FALSE(frmWait.IsOpen());
        }
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), (Rows{{"A1"}, {"A2"}, {"A1"}, {"A2"}}));
    }
}

// Cancel never deletes the database that the user picked. During the
// export it tells how many records the database holds now, and the export
// goes on. During the import's rows, which are not committed yet, it asks
// whether to stop: Yes undoes them and leaves the file as it was, No lets
// the import go on to its end.
TEST_F(CavTargets, CancelNeverDeletesTheDatabaseTheUserPicked) {
    const String stop = "The Brevolan database " + cav + " doesn't contain the new records yet.\n" +
                        "Do you want to stop and leave the database as it was? ";
    const struct {
        const char* name;
        const char* from;
        String report;              // the report whose window is cancelled
        std::vector<int> answers;  // to Cancel's question
        std::vector<String> boxes;
        bool complete;  // every row is written
    } cases[] = {
        {"import, stopped", "csv", "Found  - A20\n20 records", {AnswerYes},
         {stop, "The import was cancelled.\nNone of the 25 records were written to the Brevolan database."}, false},
        {"import, not stopped", "csv", "Found  - A20\n20 records", {AnswerNo}, {stop, Completed}, true},
        {"export", "rsd", "Adding tree record for A21", {},
         {"The Brevolan database " + cav + " is not deleted: the converter did not create it.\n21 records have "
                                           "been written to it so far.",
          Completed},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        SqliteCli::query(cav, "DELETE FROM tree");
        const std::string herd = source(c.from, 25), before = TempDir::read(cav);
        cancelled = false;
        progress.onYield = [&] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() != c.report) return;
            pressCancel();
        };
        const std::vector<String> boxes = convert(c.from, herd, c.answers);
        progress.onYield = nullptr;
        ASSERT_TRUE(cancelled);
        EXPECT_EQ(boxes, c.boxes);
        if (!c.answers.empty()) {
            EXPECT_EQ(ui.boxes()[1].title, "Stop Import");
        }
        if (c.complete) {
            EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), names(1, 25));
        } else {
            EXPECT_EQ(TempDir::read(cav), before) << "the file is as it was";
        }
        EXPECT_EQ(frmMain->lblDestinationFilePath->Text(), cav);
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

// The path of the picked file reaches the driver whole or not at all: a path
// that holds ";" or braces is written in braces, one that is not UTF-8 or is
// too long for the connection text is refused before anything is read or
// written, and no other file is ever touched.
TEST_F(CavTargets, ThePickedFileIsTheOnlyOneWrittenWhateverItsPath) {
    // "Brevolan\xE9.cav" cut at its first byte beyond UTF-8.
    const std::string neighbour = dir.file("Brevolan");
    CavFixture::create(neighbour);
    auto inFolder = [&](const std::string& folder) {
        std::filesystem::create_directories(dir.file(folder));
        const std::string path = dir.file(folder + "/Brevolan.cav");
        CavFixture::create(path);
        return path;
    };
    // A CAV file whose path has `length` bytes (SQLite opens no such path:
    // the file is made under a short one and moved there).
    auto longPath = [&](size_t length) {
        std::string path = dir.file("long" + std::to_string(length));
        while (path.size() + 1 + 200 + 1 + 10 < length) path += "/" + std::string(200, 'd');
        std::filesystem::create_directories(path);
        path += "/" + std::string(length - path.size() - 5, 'f') + ".cav";
        CavFixture::create(dir.file("short.cav"));
        std::filesystem::rename(dir.file("short.cav"), path);
        return path;
    };
    const String notUtf8 = "The name of the file or of a folder on its path is not UTF-8 text, and the ODBC driver can "
                           "only be given names in UTF-8. Rename the file or folder and try again.";
    const struct {
        const char* name;
        std::function<std::string()> make;
        String refusal;  // "" when the rows are written; else the one box, or the start of the driver's
    } cases[] = {
        {"a file name beyond UTF-8",
         [&] {
             CavFixture::create(dir.file("Brevolan\xE9.cav"));
             return dir.file("Brevolan\xE9.cav");
         },
         notUtf8},
        {"a folder name beyond UTF-8", [&] { return inFolder("Z\xFCrich"); }, notUtf8},
        {"a semicolon", [&] { return inFolder("herd;2021"); }, ""},
        {"braces", [&] { return inFolder("{old} herd}"); }, ""},
        {"a connection text of 4,095 bytes, which the driver refuses", [&] { return longPath(4030); },
         "Database Error: -1023\n\n"},
        {"a connection text of 4,096 bytes", [&] { return longPath(4031); },
         "The path is 4031 bytes long, and the ODBC driver can be given at most 4030. Move the database into a "
         "folder with a shorter path and try again."},
    };
    const std::string herds[] = {source("csv", 3), source("rsd", 3)};
    for (const auto& c : cases) {
        const std::string picked = c.make();
        for (const std::string& herd : herds) {
            const String from = herd == herds[0] ? "csv" : "rsd";
            SCOPED_TRACE(std::string(c.name) + ", " + from);
            restart();
            appSystem::CSVa.Clear();
            appSystem::dataPath = "";
            const std::string folder = std::filesystem::path(picked).parent_path();
            const std::string pickedBefore = TempDir::read(picked), neighbourBefore = TempDir::read(neighbour);
            const std::set<std::string> namesBefore = TempDir::namesIn(folder);
            const std::set<std::string> topBefore = TempDir::namesIn(dir.path());
            const std::vector<String> boxes = convert(from, herd, {}, picked);
            EXPECT_EQ(TempDir::read(neighbour), neighbourBefore) << "the neighbour is untouched";
            EXPECT_EQ(TempDir::namesIn(folder), namesBefore) << "no file is made";
            EXPECT_EQ(TempDir::namesIn(dir.path()), topBefore) << "no file is made";
            if (c.refusal.empty()) {
                EXPECT_EQ(boxes, std::vector<String>{Completed});
                EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id", picked), names(1, 3));
                SqliteCli::query(picked, "DELETE FROM tree");
                continue;
            }
            ASSERT_EQ(boxes.size(), 1u);
            if (c.refusal.rfind("Database Error", 0) == 0)
                EXPECT_EQ(boxes[0].substr(0, c.refusal.size()), c.refusal) << boxes[0];
            else
                EXPECT_EQ(boxes[0], "The Brevolan database cannot be opened:\n" +
                                        ConvertEncoding(picked, Encoding::UTF8) + "\n\n" + c.refusal);
            EXPECT_EQ(ui.beeps(), 1);
            EXPECT_EQ(appSystem::CSVa(1, 0), "") << "the CSV file is not read";
            EXPECT_EQ(appSystem::dataPath, "") << "the RSD/CAX file is not opened";
            EXPECT_EQ(TempDir::read(picked), pickedBefore);
            EXPECT_FALSE(frmWait.IsOpen());
        }
    }
}
