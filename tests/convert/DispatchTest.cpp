// The conversions as the user runs them: formats chosen in the converter
// window, the path typed, Convert pressed, the questions answered; the files
// read back with the independent tool or byte for byte.

#include <filesystem>
#include <sstream>

#include <QLineEdit>

#include "convert/cavSource.h"
#include "tests/convert/MainWindow.h"
#include "tests/convert/WindowsFixture.h"
#include "tests/support/SqliteCli.h"
#include "tests/ui/UiFixture.h"
#include "ui/App.h"
#include "ui/frmMain.h"
#include "ui/frmWait.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";
const String FindDatabase =
    "The converter cannot create a Brevolan database. Use your Brevolan program to create a new empty database "
    "(don't worry about entering settings). \nIf you have already done this click YES to continue. Click NO to "
    "launch Brevolan and create a new database file.";

}  // namespace

class Dispatch : public UiTest {
protected:
    Ref<frmMainWindow> convert(const String& from, const String& to, const String& path) {
        return pressConvert(from, to, path);
    }
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    TempDir dir;
    ProgressRecorder progress{startedProgressWindow(), &GuiYield};
};

TEST_F(Dispatch, ACsvFileWithEveryHeadingGroupBecomesAnRsdFile) {
    // One heading of each of the 35 groups: the explicit words of slots 13
    // to 15 have no column in an RSD/CAX file and are asked about.
    std::string headings = "Name,Colour,Breed,Sex,DOB,Id,SireId,DamId,Sire,Dam,Tag,Prefix,Suffix,Health,Cage,"
                           "Call Name,Notes,Bought,Seller,Price";
    std::string values = "c,b,m,2021-01-02,1,,,,,t,p,s,h,k,call,n,2020-05-06,from,9";
    for (int n = 1; n <= 15; ++n) {
        headings += ",customfield" + std::to_string(n);
        values += ",v" + std::to_string(n);
    }
    std::string text = headings + "\n";
    for (int i = 1; i <= 20; ++i) text += "A" + std::to_string(i) + "," + values + "\n";
    const std::string csv = dir.write("herd.csv", text);
    const std::string cax = dir.file("herd.cax");
    ui.AnswerYes();

    Ref<frmMainWindow> w = convert("csv", "rsd", csv);

    ASSERT_EQ(ui.boxes().size(), 2u);
    EXPECT_EQ(ui.boxes()[0].title, "Before you begin!");
    EXPECT_NE(ui.boxes()[0].text.find("The column(s)  customfield13, customfield14, customfield15 will not be"),
              String::npos);
    EXPECT_EQ(ui.boxes()[1].text, Completed);
    EXPECT_EQ(appSystem::destinationFilePath, cax);
    EXPECT_TRUE(w->lblDestination->Visible());
    EXPECT_EQ(w->lblDestinationFilePath->Text(), cax);

    std::string columns = "name, colour, breed, sex, dob, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix, "
                          "health, cage, callname, notes, DateBought, BoughtFrom, purchasePrice";
    Rows::value_type expected = {"A20", "c", "b", "male", "2021-01-02", "1", "", "", "", "", "t", "p", "s", "h",
                                 "k", "<null>", "n", "2020-05-06", "from", "9"};
    for (int n = 1; n <= 12; ++n) {
        columns += ", customField" + std::to_string(n);
        expected.push_back("v" + std::to_string(n));
    }
    EXPECT_EQ(SqliteCli::query(cax, "SELECT " + columns + " FROM tree WHERE id = 20"), Rows{expected});
    EXPECT_EQ(SqliteCli::query(cax, "SELECT count(*) FROM tree"), (Rows{{"20"}}));
    EXPECT_EQ(SqliteCli::query(cax, "SELECT Version FROM settings"), (Rows{{"20402"}}));

    std::vector<String> found;
    for (const String& m : progress.messages())
        if (m.rfind("Found  - ", 0) == 0) found.push_back(m);
    EXPECT_EQ(found, (std::vector<String>{"Found  - A20\n20 records"}));
    EXPECT_FALSE(frmWait.IsOpen());
}

TEST_F(Dispatch, AConvertedFileIsOverwrittenOnlyAfterYes) {
    const std::string csv = dir.write("herd.csv", "name,sex\nBella,f\n");
    convert("csv", "rsd", csv);
    dir.write("herd.csv", "name,sex\nMax,m\n");
    ui.clear();
    ui.AnswerNo();
    convert("csv", "rsd", csv);
    EXPECT_EQ(ui.texts(), (std::vector<String>{"This file has been converted before. Do you want to overwrite the "
                                               "old converted file?",
                                               "Rename or move your old converted file and try again."}));
    EXPECT_EQ(SqliteCli::query(dir.file("herd.cax"), "SELECT name FROM tree"), (Rows{{"Bella"}}));
}

TEST_F(Dispatch, TheMissingSexQuestionDecidesWhetherParentsGetTheirSex) {
    for (bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        CloseAllWindows();
        ui.clear();
        const std::string csv = dir.write(yes ? "yes.csv" : "no.csv", "name,sire,dam\nSire\nDam\nKid,Sire,Dam\n");
        yes ? ui.AnswerYes() : ui.AnswerNo();
        convert("csv", "rsd", csv);
        EXPECT_EQ(ui.boxes()[0].title, "Missing field");
        EXPECT_EQ(ui.texts().back() == Completed, yes);
        EXPECT_EQ(SqliteCli::query(appSystem::destinationFilePath, "SELECT sex FROM tree ORDER BY id"),
                  yes ? (Rows{{"male"}, {"female"}, {"undefined"}}) : (Rows{{"undefined"}, {"undefined"}, {"undefined"}}));
    }
}

TEST_F(Dispatch, AnRsdFileRoundTripsThroughCsvWithEveryAnimalAndItsParents) {
    const std::string csv = dir.write("herd.csv",
                                      "name,sex,sire,dam,Weight\n"
                                      "Sire,m,,,5$ 'heavy'\n"
                                      "Dam,f,,,\n"
                                      "Kid,m,Sire,Dam,1kg\n"
                                      "Grandkid,f,Kid,Dam,\n");
    convert("csv", "rsd", csv);
    CloseAllWindows();
    ui.clear();
    Ref<frmMainWindow> w = convert("rsd", "csv", dir.file("herd.cax"));
    const std::string out = dir.file("herd( tree ).csv");
    EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));
    EXPECT_EQ(w->lblDestinationFilePath->Text(), out);
    EXPECT_EQ(lines(TempDir::read(out)),
              (std::vector<std::string>{
                  "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,weight,,,,,,,,,,,",
                  "Sire,,,male,,,,,,,,,,5' 'heavy',,,,,,,,,,,", "Dam,,,female,,,,,,,,,,,,,,,,,,,,,",
                  "Kid,,,male,,,Sire,Dam,,,,,,1kg,,,,,,,,,,,", "Grandkid,,,female,,,Kid,Dam,,,,,,,,,,,,,,,,,"}))
        << "backticks come back as apostrophes, and so does a \"$\" before a blank";
}

TEST_F(Dispatch, AFileWithoutAnimalsExportsItsHeadingLineAlone) {
    convert("csv", "rsd", dir.write("empty.csv", "name,sex,Weight\n"));
    CloseAllWindows();
    ui.clear();
    convert("rsd", "csv", dir.file("empty.cax"));
    EXPECT_EQ(ui.texts(), (std::vector<String>{Completed}));
    EXPECT_EQ(TempDir::read(dir.file("empty( tree ).csv")),
              "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,weight,,,,,,,,,,,\n");
}

TEST_F(Dispatch, SameFormatsOnlyTellAndShowTheEarlierDestination) {
    const struct {
        const char* type;
        const char* box;
    } cases[] = {{"csv", "File is already in selected format (csv)"},
                 {"rsd", "File is already in selected format (rsd/cax)"},
                 {"cav", "File is already in selected format (cav)"}};
    appSystem::destinationFilePath = "/earlier/herd.cax";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        CloseAllWindows();
        ui.clear();
        Ref<frmMainWindow> w = convert(c.type, c.type, dir.file("herd.any"));
        EXPECT_EQ(ui.texts(), (std::vector<String>{c.box}));
        EXPECT_TRUE(w->lblDestination->Visible());
        EXPECT_EQ(w->lblDestinationFilePath->Text(), "/earlier/herd.cax");
    }
}

TEST_F(Dispatch, TheCavSourcesShowTheirOneMessageAndTouchNoFile) {
    const std::string cav = dir.write("herd.cav", "old database");
    for (const char* to : {"rsd", "csv"}) {
        SCOPED_TRACE(to);
        CloseAllWindows();
        ui.clear();
        convert("cav", to, cav);
        EXPECT_EQ(ui.texts(), (std::vector<String>{CavSourceMessage}));
        EXPECT_EQ(ui.texts()[0], "No OBDC drivers found.\nYou must run the Windows version of the converter to "
                                 "convert old version Brevolan files. Then copy the converted file to this computer.");
    }
    EXPECT_EQ(TempDir::read(cav), "old database");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no file was made";
}

TEST_F(Dispatch, ACavTargetWithoutAChosenDatabaseConvertsNothing) {
    _NewAppInstance();
    const std::string beside = App->ExecutableFile()->Parent()->AbsolutePath() + "brevolan.exe";
    const std::string csv = dir.write("herd.csv", "name\nBella\n");
    std::filesystem::create_directories(home.file("Documents"));
    struct Case {
        const char* name;
        bool yes;           // Yes: the dialog is cancelled
        bool programThere;  // No: the Brevolan program lies beside the converter
        std::vector<String> boxes;
    };
    // A chosen database runs the conversion: tests/convert/CavTest.cpp.
    const Case cases[] = {
        {"Yes, dialog cancelled", true, false, {FindDatabase}},
        {"No, program found", false, true, {FindDatabase}},
        {"No, program missing", false, false,
         {FindDatabase, "Unable to find Brevolan program on this computer.\nInstall Brevolan from "
                        "http://brevolan.example and try again."}},
    };
    for (const Case& c : cases) {
        for (const char* from : {"csv", "rsd"}) {
            SCOPED_TRACE(std::string(c.name) + " from " + from);
            CloseAllWindows();
            ui.clear();
            c.yes ? ui.AnswerYes() : ui.AnswerNo();
            if (c.yes) ui.ChooseNext(nullptr);
            appSystem::destinationFilePath = "/earlier/herd.cav";
            if (c.programThere) dir.write("marker", ""), std::filesystem::copy_file(dir.file("marker"), beside);

            Ref<frmMainWindow> w = convert(from, "cav", csv);
            if (c.programThere) std::filesystem::remove(beside);

            EXPECT_EQ(ui.texts(), c.boxes);
            EXPECT_EQ(ui.boxes()[0].title, "Find database");
            if (c.yes) {
                ASSERT_EQ(ui.dialogs().size(), 1u);
                EXPECT_EQ(ui.dialogs()[0].title, "Select a Brevolan data file");
                EXPECT_EQ(ui.dialogs()[0].filter, "Old Brevolan Database;");
                EXPECT_EQ(ui.dialogs()[0].initialFolder, home.file("Documents") + "/Brevolan");
            }
            EXPECT_EQ(ui.launched(), c.programThere ? std::vector<String>{beside} : std::vector<String>{});
            EXPECT_EQ(appSystem::destinationFilePath, "");
            EXPECT_TRUE(w->lblDestination->Visible());
            EXPECT_EQ(w->lblDestinationFilePath->Text(), "");
            EXPECT_FALSE(frmWait.IsOpen()) << "no conversion ran";
        }
    }
}

TEST_F(Dispatch, ASecondConvertDuringAConversionStartsNothing) {
    std::string text = "name,sex\n";
    for (int i = 1; i <= 30; ++i) text += "A" + std::to_string(i) + ",m\n";
    const std::string csv = dir.write("herd.csv", text);
    Ref<frmMainWindow> w = frmMain.Get();
    bool pressed = false;
    progress.onYield = [&] {
        if (pressed) return;
        pressed = true;
        w->cmdConvert->Push();
    };
    convert("csv", "rsd", csv);
    progress.onYield = nullptr;
    ASSERT_TRUE(pressed);
    EXPECT_EQ(ui.texts(), (std::vector<String>{"A conversion is running. Wait until it has finished, then try again.",
                                               Completed}))
        << "no overwrite question from a second import of the same file";
    EXPECT_EQ(SqliteCli::query(dir.file("herd.cax"), "SELECT count(*) FROM tree"), (Rows{{"30"}}));

    ui.clear();
    ui.AnswerNo();
    w->cmdConvert->Push();
    EXPECT_EQ(ui.boxes()[0].title, "Overwrite file") << "once it has finished, Convert works again";
}

// Linux names are bytes: a name that is no UTF-8 (a Latin-1 "é") is picked
// with Browse, converted into RSD/CAX and back, and every file keeps it.
TEST_F(Dispatch, AFileWhoseNameIsNoUtf8IsPickedWithBrowseAndConverted) {
    const std::string csv = dir.write("herd\xE9.csv", "name,sex\nBella,f\n");
    const std::string cax = dir.file("herd\xE9.cax");
    Ref<frmMainWindow> w = frmMain.Get();
    const struct {
        const char* from;
        const char* to;
        std::string pick;
        std::string made;
    } steps[] = {{"csv", "rsd", csv, cax}, {"rsd", "csv", cax, dir.file("herd\xE9( tree ).csv")}};
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.from) + " to " + step.to);
        ui.clear();
        (std::string(step.from) == "csv" ? w->optFromCsv : w->optFromRsd)->SetValue(true);
        (std::string(step.to) == "csv" ? w->optToCsv : w->optToRsd)->SetValue(true);
        ui.ChooseNext(GetFolderItem(step.pick));
        w->cmdBrowse->Push();
        EXPECT_EQ(w->txtFilePath->Text(), step.pick) << "byte for byte";
        w->cmdConvert->Push();
        EXPECT_EQ(ui.texts(), std::vector<String>{Completed});
        EXPECT_EQ(w->lblDestinationFilePath->Text(), step.made);
    }
    EXPECT_EQ(SqliteCli::query(cax, "SELECT name, sex FROM tree"), (Rows{{"Bella", "female"}}));
    EXPECT_EQ(lines(TempDir::read(dir.file("herd\xE9( tree ).csv")))[1].substr(0, 16), "Bella,,,female,,");

    // What the user types replaces it.
    auto* edit = qobject_cast<QLineEdit*>(w->txtFilePath->NativeWidget());
    ASSERT_TRUE(edit);
    edit->setText(QString::fromUtf8("/tmp/herd\xC3\xA9.csv"));
    EXPECT_EQ(w->txtFilePath->Text(), "/tmp/herd\xC3\xA9.csv");
}
