// The converter window: how it opens, the format choice with its icons,
// Browse, the checks of Convert, its menu items and its closing.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <unistd.h>

#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include "framework/gui/Application.h"
#include "framework/gui/Menu.h"
#include "services/FileTypeSets.h"
#include "tests/ui/UiFixture.h"
#include "ui/App.h"
#include "ui/MenuBar1.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

class FrmMainTest : public UiTest {};

// The left positions of one side's icons, in the order CSV, Windows, Mac,
// Linux, CAV.
using Lefts = std::array<int, 5>;
Lefts fromLefts(const frmMainWindow& w) {
    return {w.cvFromCSV->Left(), w.cvFromWindows->Left(), w.cvFromMac->Left(), w.cvFromLinux->Left(),
            w.cvFromCav->Left()};
}
Lefts toLefts(const frmMainWindow& w) {
    return {w.cvToCSV->Left(), w.cvToWindows->Left(), w.cvToMac->Left(), w.cvToLinux->Left(), w.cvToCav->Left()};
}

TEST_F(FrmMainTest, OpensWithNothingChosenAndOnlyTheArrowAndTheFromCavIconInSight) {
    Ref<frmMainWindow> w = frmMain.Get();
    EXPECT_TRUE(w->NativeWidget()->isVisible());
    EXPECT_EQ(w->Title(), "Brevolan File Converter");
    EXPECT_EQ(w->Width(), 594);
    EXPECT_EQ(w->Height(), 250);
    EXPECT_EQ(w->Frame, FrameType::Document);
    EXPECT_TRUE(w->HasBackColor);
    EXPECT_EQ(w->BackColor, (Color{219, 231, 242}));
    EXPECT_EQ(w->AttachedMenuBar().get(), MenuBar1.Get().get());
    EXPECT_EQ(w->ControlCount(), 25);

    EXPECT_EQ(iconsInSight(*w), (std::set<String>{"cvArrow", "cvFromCav"}));
    EXPECT_EQ(w->cvArrow->Left(), 280);
    EXPECT_EQ(fromLefts(*w), (Lefts{-50, -50, -50, -50, 236}));
    EXPECT_EQ(toLefts(*w), (Lefts{828, 899, 864, 934, 972})) << "the To side stays where the layout put it";
    EXPECT_EQ(w->cvFromCav->Backdrop().get(), _x_brevolan().get());
    EXPECT_EQ(w->cvFromCSV->Backdrop().get(), w->cvToCSV->Backdrop().get());

    EXPECT_EQ(w->fromFileType, "");
    EXPECT_EQ(w->toFileType, "");
    EXPECT_EQ(w->txtFilePath->Text(), "");
    EXPECT_FALSE(w->lblDestination->Visible());
    EXPECT_EQ(w->lblDestination->Text(), "New File:");
    EXPECT_EQ(w->lblDestinationFilePath->Text(), "");
    for (const auto& radio : {w->optFromCsv, w->optFromRsd, w->optFromCav, w->optToCav, w->optToRsd, w->optToCsv})
        EXPECT_FALSE(radio->Value()) << radio->Name();
    EXPECT_EQ(w->optFromCsv->Caption(), "CSV (Comma Seperated Values)");
    EXPECT_EQ(w->optToRsd->Caption(), "New Brevolan (Multi-platform)");
    EXPECT_EQ(w->optFromCav->Caption(), "Old Brevolan file\n(Run converter in Windows)");
    EXPECT_FALSE(w->optFromCav->Enabled());
    EXPECT_TRUE(w->optToCsv->Visible());
    EXPECT_EQ(w->txtFilePath->TextColor(), Color::Hex(0x000080));
    EXPECT_FALSE(w->txtFilePath->TabStop());

    // Every control with text has the program's text size once open.
    for (int i = 0; i < w->ControlCount(); ++i) {
        Ref<RectControl> c = w->Control(i);
        EXPECT_EQ(c->TextSize(), c.IsA<Canvas>() ? 0 : 10) << c->Name();
    }

    w->cmdBrowse->Push();
    EXPECT_EQ(ui.texts(), std::vector<String>{"Please select file type options"});
    EXPECT_TRUE(ui.dialogs().empty());
}

TEST_F(FrmMainTest, TheCavSourceCannotBeClickedAndTheOtherProgramHidesTheCsvTarget) {
    std::filesystem::create_directories(home.file("Documents"));
    home.write("Documents/tallowmir\\database.sdf", "");
    Ref<frmMainWindow> w = frmMain.Get();
    EXPECT_FALSE(w->optToCsv->Visible());
    EXPECT_FALSE(w->optToCsv->NativeWidget()->isVisible());

    QTest::mouseClick(w->optFromCav->NativeWidget(), Qt::LeftButton);
    EXPECT_FALSE(w->optFromCav->Value());
    EXPECT_EQ(w->fromFileType, "");
}

// The relative luminance of a colour and the contrast ratio of two, as the
// Web Content Accessibility Guidelines define them.
double luminance(QRgb c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}
double contrast(QRgb a, QRgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The disabled CAV source is the one caption that tells the user what to do:
// it is drawn readable, at least 4.5:1 against what lies behind it. Measured
// on the drawn window: its commonest colour behind the caption against the
// darkest colour of the text.
TEST_F(FrmMainTest, TheDisabledCavSourceIsDrawnReadably) {
    Ref<frmMainWindow> w = frmMain.Get();
    QWidget* radio = w->optFromCav->NativeWidget();
    ASSERT_FALSE(radio->isEnabled());
    QStyleOptionButton option;
    option.initFrom(radio);
    const QRect caption = radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio);
    const QImage image =
        w->ContentWidget()->grab(QRect(radio->mapTo(w->ContentWidget(), caption.topLeft()), caption.size())).toImage();
    std::map<QRgb, int> counts;
    QRgb darkest = qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000;
            ++counts[c];
            if (luminance(c) < luminance(darkest)) darkest = c;
        }
    const QRgb background =
        std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    EXPECT_GE(contrast(darkest, background), 4.5)
        << "text " << QColor(darkest).name().toStdString() << " on " << QColor(background).name().toStdString();
}

TEST_F(FrmMainTest, EachFormatChoiceMovesItsSidesIconsEmptiesThePathAndSetsTheType) {
    struct Case {
        const char* option;
        bool fromSide;
        const char* type;
        Lefts lefts;  // CSV, Windows, Mac, Linux, CAV of that side
        std::set<String> inSight;  // of that side
    };
    const std::vector<Case> cases = {
        {"optFromCsv", true, "csv", {236, -50, -50, -50, -50}, {"cvFromCSV"}},
        {"optFromRsd", true, "rsd", {-50, 166, 201, 236, -50}, {"cvFromWindows", "cvFromMac", "cvFromLinux"}},
        {"optFromCav", true, "cav", {-50, -50, -50, -50, 236}, {"cvFromCav"}},
        {"optToCav", false, "cav", {-50, -50, -50, -50, 334}, {"cvToCav"}},
        {"optToRsd", false, "rsd", {-50, 334, 369, 404, -50}, {"cvToWindows", "cvToMac", "cvToLinux"}},
        {"optToCsv", false, "csv", {334, -50, -50, -50, -50}, {"cvToCSV"}},
    };
    Ref<frmMainWindow> w = frmMain.Get();
    auto radio = [&](const String& name) -> Ref<RadioButton> {
        for (int i = 0; i < w->ControlCount(); ++i)
            if (w->Control(i)->Name() == name) return w->Control(i).As<RadioButton>();
        return nullptr;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        w->txtFilePath->SetText("/home/user/animals.csv");
        const Lefts otherBefore = c.fromSide ? toLefts(*w) : fromLefts(*w);
        const String otherType = c.fromSide ? w->toFileType : w->fromFileType;
        radio(c.option)->SetValue(true);

        EXPECT_EQ(c.fromSide ? w->fromFileType : w->toFileType, c.type);
        EXPECT_EQ(c.fromSide ? w->toFileType : w->fromFileType, otherType) << "the other side keeps its choice";
        EXPECT_EQ(c.fromSide ? fromLefts(*w) : toLefts(*w), c.lefts);
        EXPECT_EQ(c.fromSide ? toLefts(*w) : fromLefts(*w), otherBefore);
        EXPECT_EQ(w->txtFilePath->Text(), "");
        std::set<String> side;
        for (const String& name : iconsInSight(*w))
            if (name.rfind(c.fromSide ? "cvFrom" : "cvTo", 0) == 0) side.insert(name);
        EXPECT_EQ(side, c.inSight);
        EXPECT_EQ(w->cvArrow->Left(), 280);
    }
    // The groups are independent: one choice in each stays selected.
    EXPECT_TRUE(w->optFromCav->Value());
    EXPECT_FALSE(w->optFromRsd->Value());
    EXPECT_TRUE(w->optToCsv->Value());
    EXPECT_FALSE(w->optToCav->Value());

    // A real click runs the handler too.
    QTest::mouseClick(w->optToRsd->NativeWidget(), Qt::LeftButton);
    EXPECT_EQ(w->toFileType, "rsd");
    EXPECT_EQ(toLefts(*w), (Lefts{-50, 334, 369, 404, -50}));
}

TEST_F(FrmMainTest, BrowseOffersTheSourceFormatsFilesAndTakesThePickedPath) {
    TempDir files;
    const String picked = files.write("animals.csv", "NAME\n");
    struct Case {
        const char* name;
        const char* from;  // "" for none chosen
        const char* to;
        bool pick;
        std::vector<String> boxes;
        String title, filter;  // of the dialog; "" when none is shown
        String path;           // in the field afterwards
    };
    const std::vector<Case> cases = {
        {"no format", "", "", false, {"Please select file type options"}, "", "", "typed"},
        {"source only", "csv", "", false, {"Please select file type options"}, "", "", ""},
        {"target only", "", "rsd", false, {"Please select file type options"}, "", "", ""},
        {"csv picked", "csv", "rsd", true, {}, "Select a csv file", "CSV Files;", picked},
        {"rsd cancelled", "rsd", "csv", false, {}, "Select a Brevolan data file", "Database Files;", "typed"},
        {"cav picked", "cav", "rsd", true, {}, "Select a Brevolan data file", "Old Brevolan Database;", picked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CloseAllWindows();
        ui.clear();
        Ref<frmMainWindow> w = frmMain.Get();
        const String from = c.from, to = c.to;
        if (from == "csv") w->optFromCsv->SetValue(true);
        if (from == "rsd") w->optFromRsd->SetValue(true);
        if (from == "cav") w->optFromCav->SetValue(true);
        if (to == "rsd") w->optToRsd->SetValue(true);
        if (to == "csv") w->optToCsv->SetValue(true);
        w->txtFilePath->SetText(c.path == "" ? "" : "typed");
        if (c.title != "") ui.ChooseNext(c.pick ? GetFolderItem(picked) : nullptr);

        w->cmdBrowse->Push();

        EXPECT_EQ(ui.texts(), c.boxes);
        ASSERT_EQ(ui.dialogs().size(), c.title == "" ? 0u : 1u);
        if (c.title != "") {
            EXPECT_EQ(ui.dialogs()[0].title, c.title);
            EXPECT_EQ(ui.dialogs()[0].filter, c.filter);
        }
        EXPECT_EQ(w->txtFilePath->Text(), c.path);
    }
}

TEST_F(FrmMainTest, ConvertAsksForThePathFirstThenForBothFormats) {
    struct Case {
        const char* name;
        const char* path;
        bool from, to;
        const char* box;
    };
    const std::vector<Case> cases = {
        {"nothing given", "", false, false, "Please choose a file to convert."},
        {"formats without a path", "", true, true, "Please choose a file to convert."},
        {"path without formats", "/data/animals.csv", false, false, "Please select file type options"},
        {"path and source only", "/data/animals.csv", true, false, "Please select file type options"},
        {"path and target only", "/data/animals.csv", false, true, "Please select file type options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CloseAllWindows();
        ui.clear();
        appSystem::sourceFilepath = "earlier.csv";
        Ref<frmMainWindow> w = frmMain.Get();
        if (c.from) w->optFromCsv->SetValue(true);
        if (c.to) w->optToRsd->SetValue(true);
        w->txtFilePath->SetText(c.path);
        w->lblDestinationFilePath->SetText("earlier.cax");

        w->cmdConvert->Push();

        EXPECT_EQ(ui.texts(), std::vector<String>{c.box});
        EXPECT_EQ(appSystem::sourceFilepath, "earlier.csv") << "nothing is handed on";
        EXPECT_FALSE(w->lblDestination->Visible());
        EXPECT_EQ(w->lblDestinationFilePath->Text(), "earlier.cax");
    }
}

TEST_F(FrmMainTest, AboutShowsTheOneSplashWindowAndMakesANewOneOnceItWasClosed) {
    _NewAppInstance();
    Ref<frmMainWindow> w = frmMain.Get();
    ASSERT_TRUE(w->AboutItem());
    EXPECT_EQ(w->AboutItem()->Text, "About");
    EXPECT_TRUE(ChooseMenuItem(w->AboutItem(), w));
    Ref<frmSplashWindow> splash = frmSplash.Current();
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->NativeWidget()->isVisible());
    EXPECT_EQ(splash->lblTitle->Text(), "Brevolan File Converter - Version 2.03.01");

    EXPECT_TRUE(ChooseMenuItem(w->AboutItem(), w));
    EXPECT_EQ(frmSplash.Current().get(), splash.get());
    EXPECT_EQ(WindowCount(), 2);

    splash->Close();
    EXPECT_TRUE(ChooseMenuItem(w->AboutItem(), w));
    ASSERT_TRUE(frmSplash.Current());
    EXPECT_NE(frmSplash.Current().get(), splash.get());
    EXPECT_NE(frmSplash->lblMessage->Text(), "");
}

// The help page goes to the user's runtime folder, a folder of the test's
// own here; the program runs in another folder, which the page must leave
// alone (started from a folder it may not write in, Help File did nothing).
class HelpPageTest : public FrmMainTest {
protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        env.set("XDG_RUNTIME_DIR", runtime.path());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(work.path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        EXPECT_TRUE(std::filesystem::is_empty(work.path())) << "the working folder was written";
        FrmMainTest::TearDown();
    }
    TempDir runtime;
    TempDir work;
    std::filesystem::path previous;
};

TEST_F(HelpPageTest, HelpFileWritesTheOneLinePageAnewAndOpensIt) {
    const String page = runtime.file("Brevolan Converter Help.htm");
    Ref<frmMainWindow> w = frmMain.Get();
    ASSERT_TRUE(w->HelpFileItem());
    runtime.write("Brevolan Converter Help.htm", "an older and much longer page\nwith two lines\n");
    for (int time = 1; time <= 2; ++time) {
        EXPECT_TRUE(ChooseMenuItem(w->HelpFileItem(), w));
        EXPECT_EQ(TempDir::read(page),
                  "<head><meta http-equiv= 'refresh' content='0; URL=http://brevolan.example/converter_help.htm'>"
                  "</head>");
        EXPECT_EQ(ui.launched(), std::vector<String>(size_t(time), page));
    }
    EXPECT_TRUE(ui.boxes().empty());
}

TEST_F(HelpPageTest, HelpFileThatCannotWriteItsPageShowsAndOpensNothing) {
    std::filesystem::create_directory(runtime.file("Brevolan Converter Help.htm"));
    Ref<frmMainWindow> w = frmMain.Get();
    EXPECT_TRUE(w->_HelpFileItem_Action());
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_TRUE(ui.launched().empty());
    EXPECT_TRUE(w->IsOpen());
    EXPECT_EQ(WindowCount(), 1);
}

// Runs the event loop; CTest runs every test in a process of its own, where
// the application object opens once.
TEST_F(FrmMainTest, ClosingTheWindowClosesTheProgressWindowAndEndsTheProgram) {
    _NewAppInstance();
    Ref<frmMainWindow> w = frmMain.Get();
    Ref<frmWaitWindow> wait = frmWait.Get();
    QTimer::singleShot(0, [&] { w->NativeWidget()->close(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(RuntimeRun(), 0);
    EXPECT_FALSE(w->IsOpen());
    EXPECT_FALSE(wait->IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

}  // namespace
