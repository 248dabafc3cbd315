// What both conversions into CAV do alike: the connect that fails, rows the
// database refuses, a connection that is lost between rows, and a second
// conversion into the same file. Each test runs the CSV import and the
// RSD/CAX export on sources that give the same animals A1 ... An.

#include <filesystem>

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

// The import tells a refused row as the database's error and never as a
// completion; the export counts it in its completion message.
TEST_F(CavTargets, ARefusedRowIsToldAndCountedAndTheOthersAreWritten) {
    SqliteCli::query(cav, "CREATE TRIGGER refuse BEFORE INSERT ON tree WHEN NEW.name = 'A2' "
                          "BEGIN SELECT RAISE(ABORT, 'A2 is not welcome'); END;");
    const struct {
        const char* from;
        String head;
    } cases[] = {
        {"csv", "Database Error: 19\n\nA2 is not welcome"},
        {"rsd", "Operation completed\n1 of 3 records were not written to the Brevolan database.\n"
                "Reason given by the database: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        restart();
        SqliteCli::query(cav, "DELETE FROM tree");
        const std::vector<String> boxes = convert(c.from, source(c.from, 3));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].substr(0, c.head.size()), c.head);
        EXPECT_NE(boxes[0].find("A2 is not welcome"), String::npos) << boxes[0];
        EXPECT_NE(boxes[0].find("\n1 of 3 records were not written to the Brevolan database."), String::npos);
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), (Rows{{"A1"}, {"A3"}}));
    }
}

// When the database refuses every row, neither conversion calls that a
// completion: the database's error comes first, then the count.
TEST_F(CavTargets, ADatabaseThatRefusesEveryRowIsToldAsItsErrorAndNeverAsACompletion) {
    SqliteCli::query(cav, "CREATE TRIGGER refuse BEFORE INSERT ON tree "
                          "BEGIN SELECT RAISE(ABORT, 'read-only here'); END;");
    const String head = "Database Error: 19\n\nread-only here";
    for (const char* from : {"csv", "rsd"}) {
        SCOPED_TRACE(from);
        restart();
        const std::vector<String> boxes = convert(from, source(from, 3));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].substr(0, head.size()), head) << boxes[0];
        EXPECT_NE(boxes[0].find("\n3 of 3 records were not written to the Brevolan database."), String::npos)
            << boxes[0];
        EXPECT_EQ(boxes[0].find(Completed), String::npos) << boxes[0];
        EXPECT_EQ(ui.beeps(), 1);
        EXPECT_EQ(cavRows("SELECT count(*) FROM tree"), (Rows{{"0"}}));
        EXPECT_FALSE(frmWait.IsOpen());
    }
}

TEST_F(CavTargets, ARowWhoseConnectFailsIsToldSkippedAndCounted) {
    // The CAV file goes away after a progress report (as a file on a share
    // can) and comes back once the converter has said it cannot connect.
    const struct {
        const char* from;
        String report;  // the report after which the file goes
        int skipped;    // the row written next
    } cases[] = {{"csv", "Found  - A20\n20 records", 21}, {"rsd", "Adding tree record for A21", 22}};
    const std::string away = cav + ".away";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        restart();
        SqliteCli::query(cav, "DELETE FROM tree");
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
        const std::vector<String> boxes = convert(c.from, source(c.from, 25));
        progress.onYield = nullptr;
        ASSERT_TRUE(gone);
        EXPECT_EQ(boxes, (std::vector<String>{UnableToConnect, "Operation completed\n1 of 25 records were not written "
                                                               "to the Brevolan database."}));
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), names(1, 25, c.skipped));
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

TEST_F(CavTargets, CancelNeverDeletesTheDatabaseTheUserPickedAndTellsWhatItHolds) {
    const struct {
        const char* from;
        String report;  // the report whose window is cancelled
        int written;    // rows written by then
    } cases[] = {{"csv", "Found  - A20\n20 records", 20}, {"rsd", "Adding tree record for A21", 21}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        restart();
        SqliteCli::query(cav, "DELETE FROM tree");
        cancelled = false;
        progress.onYield = [&] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() != c.report) return;
            pressCancel();
        };
        const std::vector<String> boxes = convert(c.from, source(c.from, 25));
        progress.onYield = nullptr;
        ASSERT_TRUE(cancelled);
        EXPECT_EQ(boxes, (std::vector<String>{"The Brevolan database " + cav +
                                                  " is not deleted: the converter did not create it.\n" +
                                                  Str(int64_t(c.written)) +
                                                  " records have been written to it so far.",
                                              Completed}));
        EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), names(1, 25)) << "the conversion goes on to its end";
        EXPECT_EQ(frmMain->lblDestinationFilePath->Text(), cav);
    }
}
