// A herd as a spreadsheet saves it, through the converter window: CSV to
// RSD/CAX, that file back to CSV and the CSV to RSD/CAX again, then the herd
// and the RSD/CAX file into CAV files through the rig.

#include <iconv.h>

#include <filesystem>

#include "tests/convert/CavConversionFixture.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";

// Saved with CRLF line ends; quoted fields hold commas and a line break (a
// spreadsheet writes a line feed inside a cell); the ids "7" and "007" are
// two animals; two animals share the name Bella, and the first is a mother
// (the export names the parents, and an import links a name to the first
// animal of that name); the ids 12345 and 999 name no animal, and Größe's
// dam is named as well.
const std::string Herd =
    "uid,name,sex,dob,sireid,damid,sire,dam,colour,notes,Größe\r\n"
    "100,Bella,f,2019-03-01,,,,,brown,\"Smith, J's doe\",12\r\n"
    "200,Bella,f,2019-04-02,,,,,white,,\r\n"
    "7,Seven,m,2018-01-01,,,,,black,,\r\n"
    "007,Double-O,m,2018-02-02,,,,,black,,\r\n"
    "300,Björk,f,2020-05-05,007,100,,,grey,\"line one\nline two\",3\r\n"
    "301,Größe,m,2021-06-06,7,999,,Björk,,,\r\n"
    "302,Kid,f,,12345,,,,,,\r\n"
    "303,\"Brown, Jr\",m,2021-07-07,301,300,,,,,\r\n"
    "304,O'Neil,m,2022-01-01,303,,,,,,\r\n";

// The UTF-8 text in Windows-1252, as a spreadsheet's plain "CSV" saves it.
std::string windows1252(const std::string& utf8) {
    iconv_t cd = iconv_open("WINDOWS-1252", "UTF-8");
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* to = out.data();
    size_t outLeft = out.size();
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    EXPECT_NE(done, size_t(-1));
    out.resize(out.size() - outLeft);
    return out;
}

// What the herd's tree holds once imported (id, oldId, name, sex, dob,
// fatherId, motherId, ps, pd, colour, notes, customField1): the parents
// linked by the ids as the file wrote them, or by name where the id names
// no animal.
const Rows Imported = {
    {"1", "100", "Bella", "female", "2019-03-01", "", "", "", "", "brown", "Smith, J`s doe", "12"},
    {"2", "200", "Bella", "female", "2019-04-02", "", "", "", "", "white", "", ""},
    {"3", "7", "Seven", "male", "2018-01-01", "", "", "", "", "black", "", ""},
    {"4", "7", "Double-O", "male", "2018-02-02", "", "", "", "", "black", "", ""},
    {"5", "300", "Björk", "female", "2020-05-05", "4", "1", "Double-O", "Bella", "grey", "line one\nline two", "3"},
    {"6", "301", "Größe", "male", "2021-06-06", "3", "5", "Seven", "Björk", "", "", ""},
    {"7", "302", "Kid", "female", "", "", "", "", "", "", "", ""},
    {"8", "303", "Brown, Jr", "male", "2021-07-07", "6", "5", "Größe", "Björk", "", "", ""},
    {"9", "304", "O`Neil", "male", "2022-01-01", "8", "", "Brown, Jr", "", "", "", ""},
};

const std::string TreeColumns =
    "id, oldId, name, sex, dob, fatherId, motherId, ps, pd, colour, notes, customField1";

}  // namespace

class SpreadsheetHerd : public CavConversion {
protected:
    // Presses Convert for `from` to `to` on `path`; the boxes shown.
    std::vector<String> press(const String& from, const String& to, const std::string& path) {
        const size_t first = ui.boxes().size();
        pressConvert(from, to, path);
        std::vector<String> texts;
        for (size_t i = first; i < ui.boxes().size(); ++i) texts.push_back(ui.boxes()[i].text);
        return texts;
    }
};

TEST_F(SpreadsheetHerd, RoundTripsThroughCsvAndGoesIntoCavWithEveryAnimal) {
    const struct {
        const char* saved;  // as the spreadsheet calls it
        std::string bytes;
    } files[] = {
        {"CSV UTF-8", "\xEF\xBB\xBF" + Herd},
        {"CSV", windows1252(Herd)},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.saved);
        closeWindows();
        ui.clear();
        const std::string folder = dir.file(f.saved);
        std::filesystem::create_directory(folder);
        const std::string csv = dir.write(std::string(f.saved) + "/herd.csv", f.bytes);

        // CSV to RSD/CAX.
        EXPECT_EQ(press("csv", "rsd", csv), std::vector<String>{Completed});
        const std::string first = folder + "/herd.cax";
        EXPECT_EQ(SqliteCli::query(first, "SELECT " + TreeColumns + " FROM tree ORDER BY id"), Imported);
        EXPECT_EQ(SqliteCli::query(first, "SELECT CustomName1 FROM settings"), (Rows{{"größe"}}));

        // Back to CSV, and that CSV to RSD/CAX again.
        EXPECT_EQ(press("rsd", "csv", first), std::vector<String>{Completed});
        const std::string exported = folder + "/herd( tree ).csv";
        EXPECT_EQ(press("csv", "rsd", exported), std::vector<String>{Completed});
        const std::string second = folder + "/herd( tree ).cax";

        // The same animals with the same parents and values. The export names
        // the parents and writes no ids, and it writes a comma inside a value
        // as a blank and a line break as " - ".
        auto exportedText = [](const std::string& column) {
            return "replace(replace(" + column + ", ',', ' '), char(10), ' - ')";
        };
        std::string columns = "id, " + exportedText("name") + ", sex, dob, fatherId, motherId";
        for (const char* c : {"ps", "pd", "colour", "notes", "customField1"}) columns += ", " + exportedText(c);
        const Rows again =
            SqliteCli::query(second, "SELECT id, name, sex, dob, fatherId, motherId, ps, pd, colour, notes, "
                                     "customField1 FROM tree ORDER BY id");
        EXPECT_EQ(again, SqliteCli::query(first, "SELECT " + columns + " FROM tree ORDER BY id"));
        EXPECT_EQ(again.size(), Imported.size());
        EXPECT_EQ(SqliteCli::query(second, "SELECT CustomName1 FROM settings"), (Rows{{"größe"}}));

        // The herd into one CAV file and its RSD/CAX file into another: every
        // animal written.
        SqliteCli::query(cav, "DELETE FROM tree");
        EXPECT_EQ(convert("csv", csv), std::vector<String>{Completed});
        EXPECT_EQ(cavRows("SELECT name, oldId, fatherId, pd FROM tree ORDER BY id"),
                  (Rows{{"Bella", "100", SqliteCli::Null, ""},
                        {"Bella", "200", SqliteCli::Null, ""},
                        {"Seven", "7", SqliteCli::Null, ""},
                        {"Double-O", "007", SqliteCli::Null, ""},
                        {"Björk", "300", "007", ""},
                        {"Größe", "301", "7", "Björk"},
                        {"Kid", "302", "12345", ""},
                        {"Brown, Jr", "303", "301", ""},
                        {"O$Neil", "304", "303", ""}}));
        const std::string fromRsd = folder + "/from rsd.cav";
        CavFixture::create(fromRsd);
        EXPECT_EQ(convert("rsd", first, {}, fromRsd), std::vector<String>{Completed});
        EXPECT_EQ(cavRows("SELECT name, ps, pd, notes FROM tree ORDER BY id", fromRsd),
                  (Rows{{"Bella", "", "", "Smith, J`s doe"},
                        {"Bella", "", "", ""},
                        {"Seven", "", "", ""},
                        {"Double-O", "", "", ""},
                        {"Björk", "Double-O", "Bella", "line one\nline two"},
                        {"Größe", "Seven", "Björk", ""},
                        {"Kid", "", "", ""},
                        {"Brown, Jr", "Größe", "Björk", ""},
                        {"O`Neil", "Brown, Jr", "", ""}}));
    }
}
