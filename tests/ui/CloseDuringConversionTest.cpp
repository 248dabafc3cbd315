// The converter window closed by the user during an import that asks a
// question (a herd without a sex column), on an X server with openbox: the
// close waits until the import has returned, its question is shown and
// answered as usual, the file holds what the answer asks for, and then the
// program ends. The close comes through the window manager, as from the
// window's close box, at one moment of the import in each case.

#include <functional>
#include <ostream>

#include "framework/EventLoop.h"
#include "framework/gui/Application.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"
#include "tests/support/SqliteCli.h"
#include "tests/ui/OnScreen.h"
#include "ui/App.h"
#include "ui/frmMain.h"
#include "ui/frmWait.h"

namespace {

// A herd of `n` animals without a sex column: the first two are founders,
// every later one a child of the two before it.
std::string herdWithoutSex(int n) {
    std::string text = "NAME,FATHER,MOTHER,COLOR\n";
    for (int i = 1; i <= n; ++i) {
        const std::string parents = i > 2 ? "A" + std::to_string(i - 2) + ",A" + std::to_string(i - 1) : ",";
        text += "A" + std::to_string(i) + "," + parents + ",brown\n";
    }
    return text;
}

const char* const MissingField =
    "The converter cannot find a column for the animal's sex. Do you want to determine the sex by whether it has "
    "been a father or mother in the past?\nClick NO if you have called your sex field something else. The "
    "converter will exit. Go back to your file and fix it.?";

struct Case {
    const char* name;
    // Whether the moment to close has come, seen from the event loop while
    // the import runs.
    std::function<bool()> moment;
    QMessageBox::StandardButton answer;  // to "Missing field"
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

String waitMessage() {
    const Ref<frmWaitWindow> wait = frmWait.Current();
    return wait ? wait->lblMessage->Text() : String();
}

const Case cases[] = {
    {"BeforeTheProgressWindowShows", [] { return !frmWait.IsOpen(); }, QMessageBox::Yes},
    {"DuringTheRows", [] { return waitMessage().rfind("Found  - ", 0) == 0; }, QMessageBox::No},
    {"DuringTheLinking", [] { return waitMessage().rfind("Linked ", 0) == 0; }, QMessageBox::Yes},
};

class CloseDuringConversion : public OnScreenTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.windowManager = true});
        _NewAppInstance();
        // As App's Open handler sets it; the event loop below runs that
        // handler only once in a process.
        App->AutoQuit = true;
    }
};

TEST_P(CloseDuringConversion, WaitsForTheImportAndItsQuestion) {
    if (HasFatalFailure()) return;
    const Case& c = GetParam();
    const int animals = 20000;
    const std::string csv = home.write("herd.csv", herdWithoutSex(animals));
    Ref<frmMainWindow> main = frmMain.Get();
    QWidget* native = main->NativeWidget();
    ASSERT_TRUE(ProcessEventsUntil([&] { return display->shownByWindowManager(native->winId()); }, 20000));
    const unsigned long mainWindow = native->winId();
    main->optFromCsv->SetValue(true);
    main->optToRsd->SetValue(true);
    main->txtFilePath->SetText(csv);

    BoxAnswerer boxes(
        [&](QMessageBox* box) {
            if (!display->shownByWindowManager(box->winId())) return QMessageBox::NoButton;
            return box->button(QMessageBox::No) ? c.answer : QMessageBox::Ok;
        },
        60000);
    // The moment is looked for at every yield of the import: a stage of a
    // fast import can pass between two turns of a timer.
    static std::function<void()> watch;
    bool converting = false, closeSent = false;
    watch = [&] {
        if (converting && !closeSent && c.moment()) {
            closeSent = true;
            display->askToClose(mainWindow);
        }
    };
    SetYieldHandler([] {
        GuiYield();
        watch();
    });
    // Far beyond the import's time; only a program that never ends meets it.
    QTimer::singleShot(240000, [] {
        ADD_FAILURE() << "the program did not end";
        CloseAllWindows();
        QCoreApplication::exit(2);
    });
    QTimer::singleShot(0, [&] {
        converting = true;
        main->cmdConvert->Push();
        converting = false;
    });
    const int exitCode = RuntimeRun();
    SetYieldHandler(&GuiYield);
    watch = nullptr;

    EXPECT_TRUE(closeSent) << "the import ended before the moment came";
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(frmMain.IsOpen()) << "the converter window stayed open";
    EXPECT_EQ(WindowCount(), 0);
    std::vector<std::string> told = {MissingField};
    if (c.answer == QMessageBox::Yes) told.push_back("Operation completed");
    EXPECT_EQ(boxes.answered(), told);

    const std::string cax = home.file("herd.cax");
    ASSERT_TRUE(FolderItem(cax).Exists());
    EXPECT_EQ(SqliteCli::query(cax, "SELECT COUNT(*) FROM tree;"), (SqliteCli::Rows{{std::to_string(animals)}}));
    // A1 is only ever a father, the last but one animal only a mother.
    const std::string mother = "A" + std::to_string(animals - 1);
    const SqliteCli::Rows found = {{"A1", "male"}, {mother, "female"}};
    const SqliteCli::Rows sexes =
        SqliteCli::query(cax, "SELECT name, sex FROM tree WHERE name IN ('A1', '" + mother + "') ORDER BY name;");
    const SqliteCli::Rows version = SqliteCli::query(cax, "SELECT COALESCE(Version, '') FROM settings;");
    if (c.answer == QMessageBox::Yes) {
        EXPECT_EQ(sexes, found);
        EXPECT_EQ(version, (SqliteCli::Rows{{"20402"}}));
    } else {
        // The user leaves to fix the file: the rows stay, unstamped, with
        // no sex found for them.
        EXPECT_NE(sexes, found);
        EXPECT_NE(version, (SqliteCli::Rows{{"20402"}}));
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, CloseDuringConversion, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
