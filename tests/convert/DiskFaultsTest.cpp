// Conversions on a disk that fails: every write and sync of the program's
// SQLite fails in turn, as a full disk or an I/O error would make it fail,
// and a conversion never reports a failure as success, never leaves a
// half-made file and never costs the file that was there before.

#include <csignal>
#include <set>
#include <sys/resource.h>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/support/FaultyDisk.h"
#include "tests/support/LockWait.h"
#include "tests/support/OtherProgram.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";

// Four animals with parents by name and id and a heading that takes a
// custom slot, so that the import writes tables, a caption, rows, links and
// the version stamp; without a sex column it also writes the sex that it
// derives from parenthood.
const struct {
    const char* name;
    std::string csv;
    bool asksForSex;  // answered Yes
} Herds[] = {
    {"a sex column", "name,sex,sire,dam,uid,sireid,weight\n"
                     "Sire,m,,,1,,3kg\n"
                     "Dam,f,,,2,,2kg\n"
                     "Kid,m,Sire,Dam,3,,1kg\n"
                     "Kid2,f,,,4,1,1kg\n",
     false},
    {"no sex column", "name,sire,dam,uid,sireid,weight\n"
                      "Sire,,,11,,3kg\n"
                      "Dam,,,12,,2kg\n"
                      "Kid,Sire,Dam,13,,1kg\n"
                      "Kid2,,Dam,14,11,1kg\n",
     true},
};

}  // namespace

class DiskFaults : public ConvertTest {
protected:
    FaultyDisk disk;
};

TEST_F(DiskFaults, AnImportStopsAtEveryFailedWriteAndLeavesTheOldFileAsItWas) {
    struct Case {
        const char* name;
        FaultyDisk::Fault fault;
        const char* code;  // the database's code in the message
        bool oldFile;
    } cases[] = {
        {"full disk, first import", FaultyDisk::Fault::Full, "13", false},
        {"full disk, over an old file", FaultyDisk::Fault::Full, "13", true},
        {"one I/O error, over an old file", FaultyDisk::Fault::IoError, "10", true},
    };
    for (const auto& herd : Herds) {
        SCOPED_TRACE(herd.name);
        const std::string cax = csvSource("herd.csv", herd.csv);
        const std::string source = TempDir::read(appSystem::sourceFilepath);

        // The writes of a whole import, counted on a disk that never fails.
        ui.clear();
        disk.failAt(0, FaultyDisk::Fault::Full);
        if (herd.asksForSex) ui.AnswerYes();
        convertCsvToRsd::convertCSV();
        ASSERT_EQ(ui.texts().back(), Completed);
        ASSERT_EQ(SqliteCli::query(cax, "SELECT count(*), max(Version), max(sex = 'male' AND name = 'Sire') "
                                        "FROM tree, settings"),
                  (Rows{{"4", "20402", "1"}}));
        const int writes = disk.operations();
        ASSERT_GT(writes, 20);
        std::filesystem::remove(cax);

        for (const Case& c : cases) {
            SqliteCli::query(dir.file("old.cax"), "CREATE TABLE tree(id integer PRIMARY KEY, name); "
                                                  "INSERT INTO tree(name) VALUES ('the old herd')");
            const std::string old = TempDir::read(dir.file("old.cax"));
            std::filesystem::remove(dir.file("old.cax"));
            for (int n = 1; n <= writes; ++n) {
                SCOPED_TRACE(std::string(c.name) + ", write " + std::to_string(n) + " of " + std::to_string(writes));
                progress.clear();
                ui.clear();
                ui.forgetUnusedAnswers();
                if (c.oldFile) {
                    dir.write("herd.cax", old);
                    ui.AnswerYes();
                }
                if (herd.asksForSex) ui.AnswerYes();
                disk.failAt(n, c.fault);
                convertCsvToRsd::convertCSV();

                const std::vector<String> texts = ui.texts();
                ASSERT_FALSE(texts.empty());
                EXPECT_EQ(std::count(texts.begin(), texts.end(), Completed), 0);
                EXPECT_EQ(texts.back().rfind("Database Error: " + std::string(c.code) + "\n\n", 0), 0u)
                    << texts.back();
                EXPECT_EQ(TempDir::read(appSystem::sourceFilepath), source);
                if (c.oldFile) {
                    EXPECT_EQ(TempDir::read(cax), old) << "the old file is kept byte for byte";
                    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv", "herd.cax"}));
                } else {
                    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd.csv"})) << "no half-made file";
                }
                EXPECT_FALSE(progress.isOpen());
                EXPECT_EQ(appSystem::output.createdFile, "");
            }
        }
        ui.forgetUnusedAnswers();
        std::filesystem::remove(cax);
    }
}

TEST_F(DiskFaults, AnExportNeverWritesItsSourceNorItsLog) {
    struct Case {
        const char* name;
        bool withLog;  // a write-ahead log holds the last animal, as while the Brevolan program has it open
    } cases[] = {{"rollback journal", false}, {"write-ahead log", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        progress.clear();
        ui.clear();
        disk.failAt(0, FaultyDisk::Fault::Full);
        const std::string rsd = rsdFile("INSERT INTO tree(name) VALUES ('Bella');", std::string(c.name) + ".rsd");
        if (c.withLog) {
            // The tool is stopped before it can fold the log into the file.
            SqliteCli::run(rsd, "PRAGMA journal_mode = WAL; INSERT INTO tree(name) VALUES ('Max');\n"
                                ".shell kill -9 $PPID");
            ASSERT_GT(std::filesystem::file_size(rsd + "-wal"), 0u);
            ASSERT_TRUE(exists(rsd + "-shm"));
        }
        const std::string file = TempDir::read(rsd), log = TempDir::read(rsd + "-wal");
        appSystem::sourceFilepath = rsd;
        // A disk that refuses every write: an export needs none on its source.
        disk.failAt(1, FaultyDisk::Fault::Full);
        convertRsdToCsv::runConvertRSDCSV();
        EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));
        EXPECT_NE(TempDir::read(appSystem::destinationFilePath).find(c.withLog ? "\nMax," : "\nBella,"),
                  std::string::npos);
        EXPECT_FALSE(disk.openedForWriting(rsd));
        EXPECT_EQ(disk.writesTo(rsd), 0);
        EXPECT_EQ(disk.writesTo(rsd + "-wal"), 0);
        EXPECT_EQ(TempDir::read(rsd), file);
        EXPECT_EQ(TempDir::read(rsd + "-wal"), log);
        EXPECT_EQ(exists(rsd + "-shm"), c.withLog);
    }
}

TEST_F(DiskFaults, AnExportThatCannotWriteItsWholeFileSaysSoAndKeepsTheEarlierOne) {
    // A stream fails where the disk fills up: in the middle of the lines, or
    // only when the last of them are flushed as the file is closed. The many
    // animals take several of the blocks in which the lines are written.
    std::string many;
    for (int i = 1; i <= 8000; ++i) many += "INSERT INTO tree(name, notes) VALUES ('A" + std::to_string(i) + "', 'n');";
    struct Case {
        const char* name;
        std::string sql;
    } cases[] = {{"a few animals", "INSERT INTO tree(name) VALUES ('Bella');"}, {"many animals", many}};
    std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        const std::string rsd = rsdFile(c.sql, std::string(c.name) + ".rsd");
        appSystem::sourceFilepath = rsd;
        ui.clear();
        convertRsdToCsv::runConvertRSDCSV();
        const std::string csv = appSystem::destinationFilePath;
        const int64_t size = int64_t(std::filesystem::file_size(csv));
        const std::set<std::string> before = TempDir::namesIn(dir.path());
        for (int64_t limit : {int64_t(0), int64_t(1), size / 2, size - 1}) {
            SCOPED_TRACE(std::string(c.name) + ", the disk full after " + std::to_string(limit) + " of " +
                         std::to_string(size) + " bytes");
            progress.clear();
            ui.clear();
            dir.write(std::filesystem::path(csv).filename(), "an earlier export\n");
            struct rlimit full = {rlim_t(limit), RLIM_INFINITY}, unlimited = {RLIM_INFINITY, RLIM_INFINITY};
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
            convertRsdToCsv::runConvertRSDCSV();
            setrlimit(RLIMIT_FSIZE, &unlimited);
            EXPECT_EQ(ui.texts(), (std::vector<String>{"The file " + csv +
                                                       " cannot be written completely: the disk may be full.\n"
                                                       "Free some space and convert the file again."}));
            EXPECT_EQ(TempDir::read(csv), "an earlier export\n");
            EXPECT_EQ(TempDir::namesIn(dir.path()), before) << "no part of the new file is left";
            EXPECT_FALSE(progress.isOpen());
        }
    }
}

// Another program that takes the source for itself (as the Brevolan program
// does while it saves) at any moment at which the export holds no lock on
// it: the export either writes the whole file, the custom headings with the
// animals, or ends with one box that says the file is in use, and writes
// nothing.
TEST_F(DiskFaults, AnExportWhoseSourceAnotherProgramTakesAtAnyMomentIsWholeOrTold) {
    // The other program holds the source until the export is over: each
    // wait for it is waited out.
    const LockWaitFor shortWait(std::chrono::milliseconds(100));
    const std::string rsd = rsdFile("INSERT INTO settings(CustomName1, CustomName2) VALUES ('weight', 'coat');"
                                    "INSERT INTO tree(name, customField1, customField2) VALUES ('Bella', '2kg', 'rough');"
                                    "INSERT INTO tree(name, fatherId) VALUES ('Kid', 1);");
    const std::string source = std::filesystem::canonical(rsd);
    appSystem::sourceFilepath = rsd;
    const std::string csv = dir.file("herd( tree ).csv");
    const std::string whole = "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,"
                              "weight,coat,,,,,,,,,,\n"
                              "Bella,,,,,,,,,,,,,2kg,rough,,,,,,,,,,\n"
                              "Kid,,,,,,Bella,,,,,,,,,,,,,,,,,,\n";
    // The moments of a whole export.
    int moments = 0;
    disk.onUnlocked = [&](const std::string& path) { moments += path == source; };
    convertRsdToCsv::runConvertRSDCSV();
    ASSERT_EQ(ui.texts(), std::vector<String>{Completed});
    ASSERT_EQ(TempDir::read(csv), whole);
    ASSERT_GT(moments, 0);

    for (int moment = 1; moment <= moments; ++moment) {
        SCOPED_TRACE("taken after moment " + std::to_string(moment) + " of " + std::to_string(moments));
        ui.clear();
        std::filesystem::remove(csv);
        std::unique_ptr<OtherProgram> other;
        int seen = 0;
        disk.onUnlocked = [&](const std::string& path) {
            if (path == source && ++seen == moment) other = std::make_unique<OtherProgram>(rsd, "BEGIN EXCLUSIVE;");
        };
        convertRsdToCsv::runConvertRSDCSV();
        disk.onUnlocked = nullptr;
        ASSERT_TRUE(other);
        other.reset();
        if (ui.texts() == std::vector<String>{Completed}) {
            EXPECT_EQ(TempDir::read(csv), whole);
        } else {
            EXPECT_EQ(ui.texts(), std::vector<String>{"The file " + rsd + " is in use by another program."});
            EXPECT_FALSE(exists(csv));
        }
        std::set<std::string> left = {"herd.rsd"};
        if (exists(csv)) left.insert("herd( tree ).csv");
        EXPECT_EQ(TempDir::namesIn(dir.path()), left) << "nothing else is left";
    }
    disk.onUnlocked = nullptr;
}
