// The RSD/CAX export into CAV through the converter window: the four tables'
// values in their statements' order, the progress reports, what a user is
// told about a source that cannot be read, and a Cancel in the middle.

#include <filesystem>

#include "tests/convert/CavConversionFixture.h"
#include "tests/convert/HostileSources.h"
#include "tests/support/FaultyDisk.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";

}  // namespace

class RsdToCav : public CavConversion {
protected:
    std::vector<String> exportFrom(const std::string& sql, const std::vector<int>& answers = {}) {
        source = rsdFile(sql);
        return convert("rsd", source, answers);
    }
    std::string source;
};

TEST_F(RsdToCav, TheFourTablesAreCopiedValueByValueWithApostrophesAsBackticks) {
    const std::vector<String> boxes = exportFrom(
        "INSERT INTO tree(id, name, colour, breed, sex, dob, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix, "
        "health, cage, notes, customField1, customField6, CustomField7, CustomField12) VALUES (1, 'O''Neil', "
        "'Bl''ue', 'Rex', 'male', '2020-01-02', 5, '7', '8', 'Big ''Un', 'Dam', 'T''1', 'Ch', 'CD', 'wormed', 'C1', "
        "'it''s fine', 'c1', 'c6', 'c7', 'c12');"
        "INSERT INTO tree(id, name, sex) VALUES (2, 'Dam', 'female');"
        // Boar and Sow of the source are not read; it has no numUndefined.
        "INSERT INTO breeding(fatherId, motherId, breed, Boar, Sow, mated, due, born, numBoars, numSows, notes, sold, "
        "unsuccessful, stillBorn) VALUES ('1', '2', 'Rex', 'x', 'y', '2021-01-01', '2021-02-01', '2021-02-03', '2', "
        "'3', 'black', 'True', '0', '1');"
        "INSERT INTO breeding(fatherId, motherId, sold, unsuccessful) VALUES ('99', '2', '-1', 'TRUE');"
        "INSERT INTO breeding(fatherId, sold, unsuccessful) VALUES ('1', '1', 'yes');"
        "INSERT INTO breeding(unsuccessful) VALUES ('-1');"
        // A sold-stock table with the parents' columns of the Brevolan program.
        "ALTER TABLE soldstock ADD COLUMN motherId varchar; ALTER TABLE soldstock ADD COLUMN fatherId varchar;"
        "INSERT INTO soldstock(nameId, DateSold, SoldTo, Notes, Price, motherId, fatherId) "
        "VALUES ('1', '2021-03-01', 'J''s farm', 'sold young', '20', '2', '1');"
        "INSERT INTO vaccinations(nameId, duedate, name, vaccination, done) VALUES ('2', '2021-04-01', 'x', 'myxo', "
        "'yes');");
    EXPECT_EQ(boxes, std::vector<String>{Completed});

    const std::string tree = "name, colour, breed, sex, dob, oldId, fatherId, motherId, ps, pd, tag, prefix, "
                             "suffix, health, cage, notes, customfield1, customfield2, customfield6, customfield7, "
                             "customfield12";
    const std::string null = SqliteCli::Null;
    EXPECT_EQ(cavRows("SELECT " + tree + " FROM tree ORDER BY id"),
              (Rows{{"O`Neil", "Bl`ue", "Rex", "male", "2020-01-02 00:00:00", null, null, null, "Big `Un", "Dam",
                     "T`1", "Ch", "CD", null, "C1", "it`s fine", "c1", "", "c6", "c7", "c12"},
                    {"Dam", "", "", "female", null, null, null, null, "", "", "", "", "", null, "", "", "", "", "",
                     "", ""}}))
        << "the id links and the health notes stay empty (NULL), and so does an empty date";
    EXPECT_EQ(cavRows("SELECT Breed, Boar, Sow, Due, Mated, Born, numBoars, NumSows, Colour, Sold, Unsuccessful, "
                      "Stillborn, numUndefined FROM matings ORDER BY id"),
              (Rows{{"Rex", "O`Neil", "Dam", "2021-02-01 00:00:00", "2021-01-01 00:00:00", "2021-02-03 00:00:00", "2",
                     "3", "black", "True", "False", "1", null},
                    {"", "", "Dam", null, null, null, null, null, "", "True", "True", null, null},
                    {"", "O`Neil", "", null, null, null, null, null, "", "False", "False", null, null},
                    {"", "", "", null, null, null, null, null, "", "False", "True", null, null}}))
        << "empty dates and counts are NULL: their columns refuse ''";
    EXPECT_EQ(cavRows("SELECT Dam, Offspring, Colour, DateSold, SoldTo, Sire FROM soldStock"),
              (Rows{{"Dam", "O`Neil", "sold young", "2021-03-01 00:00:00", "J`s farm", "O`Neil"}}));
    EXPECT_EQ(cavRows("SELECT dueDate, name, vaccination, done FROM vaccinations"),
              (Rows{{"2021-04-01 00:00:00", "Dam", "myxo", "yes"}}));
    EXPECT_EQ(SqliteCli::query(source, "SELECT name FROM tree ORDER BY id"), (Rows{{"O'Neil"}, {"Dam"}}))
        << "the source is only read";
}

TEST_F(RsdToCav, EveryFifthRowOfATableIsReported) {
    std::string sql = "INSERT INTO tree(name) VALUES ('O''Neil'), ('B'), ('C');";
    for (int i = 0; i < 12; ++i) sql += "INSERT INTO breeding(notes) VALUES ('m');";
    for (int i = 0; i < 22; ++i) sql += "INSERT INTO vaccinations(vaccination) VALUES ('v');";
    EXPECT_EQ(exportFrom(sql), std::vector<String>{Completed});
    // The empty sold-stock table reports nothing. The bar's value is the
    // count times the total over the total: 15 of 22 gives 14.
    EXPECT_EQ(progress.reports(), (std::vector<ShownProgress>{
                                      {"Adding tree record for O'Neil", true, 3, 0},
                                      {"Adding breeding record # 0", true, 12, 0},
                                      {"Adding breeding record # 5", true, 12, 5},
                                      {"Adding breeding record # 10", true, 12, 10},
                                      {"Adding Treatment record # 0", true, 22, 0},
                                      {"Adding Treatment record # 5", true, 22, 5},
                                      {"Adding Treatment record # 10", true, 22, 10},
                                      {"Adding Treatment record # 15", true, 22, 14},
                                      {"Adding Treatment record # 20", true, 22, 20},
                                  }));
    EXPECT_EQ(cavRows("SELECT (SELECT count(*) FROM tree), (SELECT count(*) FROM matings), "
                      "(SELECT count(*) FROM soldStock), (SELECT count(*) FROM vaccinations)"),
              (Rows{{"3", "12", "0", "22"}}));
}

TEST_F(RsdToCav, ASourceWithoutAnimalsOrWithoutATableIsTold) {
    const std::string text = dir.write("herd.rsd", "NAME,SEX\nBella,f\n");
    EXPECT_EQ(convert("rsd", text), (std::vector<String>{"Cannot open database.", "Cannot open database.",
                                                         "No animals could be read from " + text +
                                                             "\nMake sure that it is a Brevolan database file (.rsd "
                                                             "or .cax)."}));
    EXPECT_EQ(TempDir::read(text), "NAME,SEX\nBella,f\n");
    EXPECT_FALSE(frmWait.IsOpen());

    ui.clear();
    std::filesystem::remove(dir.file("herd.rsd"));
    EXPECT_EQ(exportFrom("DROP TABLE breeding; INSERT INTO tree(name) VALUES ('Bella');"
                         "INSERT INTO vaccinations(nameId) VALUES ('1');"),
              std::vector<String>{"Operation completed\nThe breeding records could not be read from the source "
                                  "file."});
    EXPECT_EQ(cavRows("SELECT name FROM vaccinations"), (Rows{{"Bella"}})) << "the tables after it are copied";
}

TEST_F(RsdToCav, AHostileSourceIsRefusedAsNoBrevolanFile) {
    for (const auto& hostile : hostileSources::sources()) {
        SCOPED_TRACE(hostile.what);
        std::filesystem::remove(dir.file("herd.rsd"));
        ui.clear();
        source = rsdFile(hostile.sql);
        const std::string before = TempDir::read(source);
        const std::vector<String> boxes = convert("rsd", source);
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back(), "No animals could be read from " + source +
                                    "\nMake sure that it is a Brevolan database file (.rsd or .cax).");
        EXPECT_EQ(cavRows("SELECT (SELECT count(*) FROM tree) + (SELECT count(*) FROM matings)"), (Rows{{"0"}}));
        EXPECT_EQ(TempDir::read(source), before);
    }
}

TEST_F(RsdToCav, AfterACancelTheMatingsKeepTheirParentsNames) {
    std::string sql = "INSERT INTO tree(name) VALUES ('Sire'), ('Dam');";
    for (int i = 0; i < 12; ++i) sql += "INSERT INTO breeding(fatherId, motherId) VALUES ('1', '2');";
    progress.onYield = [this] {
        if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() != "Adding breeding record # 0") return;
        pressCancel();
    };
    const std::vector<String> boxes = exportFrom(sql);
    ASSERT_TRUE(cancelled);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], "The Brevolan database " + cav +
                            " is not deleted: the converter did not create it.\n3 records have been written to it so "
                            "far.")
        << "both animals and the first mating";
    EXPECT_EQ(boxes.back(), Completed);
    EXPECT_EQ(cavRows("SELECT count(*), sum(Boar = 'Sire' AND Sow = 'Dam') FROM matings"), (Rows{{"12", "12"}}));
}

TEST_F(RsdToCav, AFileThatTheCsvImportMadeGivesItsAnimalsOnly) {
    const std::string csv = dir.write("herd.csv", "name,sex,sire,dam\nSire,m,,\nKid,f,Sire,\n");
    pressConvert("csv", "rsd", csv);
    ui.clear();
    EXPECT_EQ(convert("rsd", dir.file("herd.cax")), std::vector<String>{Completed});
    EXPECT_EQ(cavRows("SELECT name, sex, ps, pd FROM tree ORDER BY id"),
              (Rows{{"Sire", "male", "", ""}, {"Kid", "female", "Sire", ""}}));
    EXPECT_EQ(cavRows("SELECT (SELECT count(*) FROM matings) + (SELECT count(*) FROM soldStock) + "
                      "(SELECT count(*) FROM vaccinations)"),
              (Rows{{"0"}}));
}

// An export needs no write to its source: on a disk that refuses every write
// of the program's own SQLite it still copies everything, and the source's
// bytes and its write-ahead log stay as they were.
TEST_F(RsdToCav, TheSourceIsOnlyReadAlsoWithAWriteAheadLog) {
    source = rsdFile("INSERT INTO tree(name) VALUES ('Bella');");
    SqliteCli::run(source, "PRAGMA journal_mode = WAL; INSERT INTO tree(name) VALUES ('Max');\n"
                           ".shell kill -9 $PPID");
    ASSERT_GT(std::filesystem::file_size(source + "-wal"), 0u);
    const std::string file = TempDir::read(source), log = TempDir::read(source + "-wal");
    FaultyDisk disk;
    disk.failAt(1, FaultyDisk::Fault::Full);
    EXPECT_EQ(convert("rsd", source), std::vector<String>{Completed});
    EXPECT_EQ(cavRows("SELECT name FROM tree ORDER BY id"), (Rows{{"Bella"}, {"Max"}}));
    EXPECT_FALSE(disk.openedForWriting(source));
    EXPECT_EQ(disk.writesTo(source) + disk.writesTo(source + "-wal"), 0);
    EXPECT_EQ(TempDir::read(source), file);
    EXPECT_EQ(TempDir::read(source + "-wal"), log);
    EXPECT_TRUE(std::filesystem::exists(source + "-shm"));
}

// Text that an older program wrote in Windows-1252 is read as Windows-1252,
// as a CSV file in it would be, and its rows are written whole; text in
// UTF-8 beside it stays as it is. NUL characters, which no statement can
// carry, are removed and their rows named.
TEST_F(RsdToCav, TextBeyondUtf8AndNulCharactersReachTheCavFile) {
    const std::vector<String> boxes = exportFrom(
        "INSERT INTO tree(name, notes, customField1) VALUES (CAST(X'426AF6726B' AS TEXT), "
        "CAST(X'9371756F746594' AS TEXT), 'Größe');"
        "INSERT INTO tree(name, notes) VALUES ('Dam', 'wormed' || char(0) || ' twice');"
        "INSERT INTO tree(name) VALUES ('Max' || char(0));"
        "INSERT INTO breeding(fatherId, motherId, notes) VALUES ('1', '2', CAST(X'E9' AS TEXT));"
        "INSERT INTO breeding(fatherId, motherId, notes) VALUES ('3', '2', 'ok');"
        "INSERT INTO vaccinations(nameId, vaccination) VALUES ('2', 'my' || char(0) || 'xo');");
    EXPECT_EQ(boxes, std::vector<String>{Completed + "\nThe NUL characters (zero bytes) in the tree record for Dam, "
                                                     "tree record for Max, breeding record # 1, Treatment record # 0 "
                                                     "were removed."});
    EXPECT_EQ(cavRows("SELECT name, notes, customfield1 FROM tree ORDER BY id"),
              (Rows{{"Björk", "\u201Cquote\u201D", "Größe"}, {"Dam", "wormed twice", ""}, {"Max", "", ""}}));
    EXPECT_EQ(cavRows("SELECT Boar, Sow, Colour FROM matings ORDER BY id"),
              (Rows{{"Björk", "Dam", "é"}, {"Max", "Dam", "ok"}}));
    EXPECT_EQ(cavRows("SELECT name, vaccination FROM vaccinations"), (Rows{{"Dam", "myxo"}}));
    EXPECT_EQ(progress.reports().front().message, "Adding tree record for Björk");
}
