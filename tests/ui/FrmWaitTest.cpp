// The progress window and its Cancel, driven offscreen through the
// interaction point.

#include <filesystem>
#include <functional>

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "framework/EventLoop.h"
#include "framework/gui/Controls.h"
#include "services/appSystem.h"
#include "tests/support/GuiTest.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiFixture.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"
#include "ui/frmWait.h"

namespace {

const String CancelQuestion =
    "The new file doesn't contain all the records yet.\nDo you want to delete the new file? ";

class FrmWaitTest : public UiTest {
protected:
    // Opens appSystem::db on a fresh RSD/CAX file of one table.
    void openSharedDatabase() {
        const String path = dir.file("shared.rsd");
        SqliteCli::query(path, "CREATE TABLE IF NOT EXISTS tree (id integer NOT NULL PRIMARY KEY, name text);");
        appSystem::dataPath = path;
        appSystem::connectData();
        ASSERT_TRUE(sharedDatabaseOpen());
    }
    static bool sharedDatabaseOpen() { return appSystem::db && appSystem::db->SQLSelect("SELECT 1") != nullptr; }

    TempDir dir;
};

TEST_F(FrmWaitTest, FirstUseBuildsAndShowsTheWindowUntilItIsClosed) {
    EXPECT_FALSE(frmWait.IsOpen());
    Ref<frmWaitWindow> w = frmWait.Get();
    EXPECT_EQ(WindowCount(), 1);
    ASSERT_TRUE(w->NativeWidget());
    EXPECT_TRUE(w->NativeWidget()->isVisible());
    EXPECT_EQ(w->Title(), "Brevolan");
    EXPECT_EQ(w->Width(), 316);
    EXPECT_EQ(w->Height(), 111);
    EXPECT_EQ(w->Frame, FrameType::ModalDialog);
    EXPECT_FALSE(w->MaximizeButton);
    EXPECT_TRUE(w->AttachedMenuBar().IsNil());

    ASSERT_EQ(w->ControlCount(), 4);
    const std::vector<String> order = {"lblMessage", "Canvas1", "cmdCancel", "ProgressBar1"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w->Control(i)->Name(), order[size_t(i)]);
    EXPECT_EQ(w->lblMessage->Text(), "Untitled");
    EXPECT_TRUE(w->lblMessage->Multiline());
    EXPECT_EQ(w->cmdCancel->Caption(), "Cancel");
    EXPECT_EQ(w->ProgressBar1->Maximum(), 100);
    EXPECT_EQ(w->ProgressBar1->Value(), 0);
    EXPECT_TRUE(w->ProgressBar1->Visible());
    EXPECT_EQ(w->Canvas1->Backdrop().get(), _x_settings().get());
    // The text size of the label and the button; the picture and bar keep theirs.
    EXPECT_EQ(w->lblMessage->TextSize(), 10);
    EXPECT_EQ(w->cmdCancel->TextSize(), 10);
    EXPECT_EQ(w->ProgressBar1->TextSize(), 0);

    // Every use reaches the same window while it is open.
    frmWait->lblMessage->SetText("Reading line 3");
    frmWait->Show();
    EXPECT_EQ(frmWait.Get().get(), w.get());
    EXPECT_EQ(WindowCount(), 1);

    frmWait->Close();
    EXPECT_FALSE(frmWait.IsOpen());
    EXPECT_EQ(WindowCount(), 0);
    Ref<frmWaitWindow> again = frmWait.Get();
    EXPECT_NE(again.get(), w.get());
    EXPECT_EQ(again->lblMessage->Text(), "Untitled");
    EXPECT_EQ(again->Canvas1->Backdrop().get(), w->Canvas1->Backdrop().get()) << "one picture for every window";
}

// Cancel deletes nothing itself: Yes marks the conversion cancelled, which
// then removes its file.
TEST_F(FrmWaitTest, CancelClosesTheDatabaseAndMarksForDeletionOnlyAFileThatTheConversionMade) {
    // The converter window shows the output of an earlier request.
    Ref<frmMainWindow> main = frmMain.Get();
    // What appSystem::output says of the destination; PickedUncommitted: a
    // picked CAV database whose new records are not committed yet.
    enum Made { Created, Picked, PickedUncommitted, Nothing };
    struct Case {
        const char* name;
        bool sharedDatabase;  // appSystem::db open, or never set
        Made made;
        bool fileExists;
        bool answerYes;       // to the question, where one is asked
        String box;           // the box shown; "" for none
        bool marked;          // the conversion is to stop and delete its file
    };
    const String picked = "The Brevolan database " + dir.file("new.cav") +
                          " is not deleted: the converter did not create it.\n7 records have been written to it so "
                          "far.";
    const String stop = "The Brevolan database " + dir.file("new.cav") + " doesn't contain the new records yet.\n" +
                        "Do you want to stop and leave the database as it was? ";
    const std::vector<Case> cases = {
        {"made, yes", true, Created, true, true, CancelQuestion, true},
        {"made, no", true, Created, true, false, CancelQuestion, false},
        {"made and gone, yes", true, Created, false, true, CancelQuestion, true},
        {"made, no database ever opened", false, Created, true, true, CancelQuestion, true},
        {"a CAV database the user picked", true, Picked, true, false, picked, false},
        {"a picked CAV database, not committed, yes", true, PickedUncommitted, true, true, stop, true},
        {"a picked CAV database, not committed, no", true, PickedUncommitted, true, false, stop, false},
        {"nothing made yet", true, Nothing, true, false, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        appSystem::db = nullptr;
        if (c.sharedDatabase) openSharedDatabase();
        const String path = dir.file("new.cav");
        std::filesystem::remove(path);
        if (c.fileExists) dir.write("new.cav", "partial");
        appSystem::destinationFilePath = path;
        appSystem::output = {};
        if (c.made == Created) appSystem::output.createdFile = path;
        if (c.made == Picked || c.made == PickedUncommitted) {
            appSystem::output.pickedDatabase = true;
            appSystem::output.recordsWritten = 7;
            appSystem::output.uncommitted = c.made == PickedUncommitted;
        }
        ui.clear();
        progressWindow.ClearCancelled();
        const bool asks = c.box == CancelQuestion || c.box == stop;
        if (asks) c.answerYes ? ui.AnswerYes() : ui.AnswerNo();
        main->lblDestination->SetVisible(true);
        main->lblDestinationFilePath->SetText(path);

        Ref<frmWaitWindow> w = frmWait.Get();
        w->cmdCancel->Push();

        if (c.box.empty()) {
            EXPECT_TRUE(ui.boxes().empty());
        } else {
            ASSERT_EQ(ui.boxes().size(), 1u);
            EXPECT_EQ(ui.boxes()[0].text, c.box);
            if (asks) {
                EXPECT_EQ(ui.boxes()[0].title, c.box == stop ? "Stop Import" : "Delete Incomplete File");
                EXPECT_EQ(ui.boxes()[0].buttons, 36);
            } else {
                EXPECT_EQ(ui.boxes()[0].buttons, 0);
            }
        }
        EXPECT_FALSE(sharedDatabaseOpen());
        EXPECT_EQ(std::filesystem::exists(path), c.fileExists);
        EXPECT_EQ(progressWindow.Cancelled(), c.marked);
        // "New File:" goes with the file it named; a picked database stays.
        const bool deleted = c.marked && c.made == Created;
        EXPECT_EQ(main->lblDestination->Visible(), !deleted);
        EXPECT_EQ(main->lblDestinationFilePath->Text(), deleted ? "" : path);
        EXPECT_FALSE(w->IsOpen());
        EXPECT_FALSE(frmWait.IsOpen());
        EXPECT_EQ(WindowCount(), 1);
    }
    progressWindow.ClearCancelled();
}

TEST_F(FrmWaitTest, ReturnEscapeAndTheCloseBoxRunNoneOfCancelsSteps) {
    openSharedDatabase();
    appSystem::destinationFilePath = dir.write("new.cax", "partial");
    Ref<frmWaitWindow> w = frmWait.Get();
    w->cmdCancel->SetFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return w->cmdCancel->NativeWidget()->hasFocus(); }));
    auto* button = qobject_cast<QPushButton*>(w->cmdCancel->NativeWidget());
    ASSERT_TRUE(button);
    EXPECT_FALSE(button->isDefault());
    EXPECT_FALSE(button->autoDefault());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(button, key);
        QTest::keyClick(w->NativeWidget(), key);
    }
    QApplication::processEvents();
    EXPECT_TRUE(ui.boxes().empty()) << "a key pressed Cancel";
    EXPECT_TRUE(w->IsOpen());

    // The close box: the window closes, nothing else happens.
    w->NativeWidget()->close();
    EXPECT_FALSE(w->IsOpen());
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_TRUE(sharedDatabaseOpen());
    EXPECT_TRUE(std::filesystem::exists(appSystem::destinationFilePath));
}

// Every report of the progress display reaches the window through frmWait,
// so a report that finds no window open brings up a new one, shown, with
// that report in it, also one that does not ask for the window to be shown.
// Close closes an open window and brings up none.
TEST_F(FrmWaitTest, EveryReportReachesTheWindowAndOpensOneWhenNoneIsOpen) {
    const struct {
        const char* report;
        std::function<void()> make;
        std::function<bool(const frmWaitWindow&)> shows;
    } cases[] = {
        {"Show", [] { progressWindow.Show(); },
         [](const frmWaitWindow& w) { return w.lblMessage->Text() == "Untitled"; }},
        {"message", [] { progressWindow.SetMessage("Linked 20"); },
         [](const frmWaitWindow& w) { return w.lblMessage->Text() == "Linked 20"; }},
        {"bar hidden", [] { progressWindow.SetBarVisible(false); },
         [](const frmWaitWindow& w) { return !w.ProgressBar1->Visible(); }},
        {"maximum", [] { progressWindow.SetMaximum(45); },
         [](const frmWaitWindow& w) { return w.ProgressBar1->Maximum() == 45; }},
        {"value", [] { progressWindow.SetValue(40); },
         [](const frmWaitWindow& w) { return w.ProgressBar1->Value() == 40; }},
        {"Refresh", [] { progressWindow.Refresh(); }, [](const frmWaitWindow& w) { return w.ProgressBar1->Visible(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        progressWindow.Close();
        EXPECT_EQ(WindowCount(), 0) << "Close left a window open";
        c.make();
        ASSERT_TRUE(frmWait.IsOpen());
        EXPECT_TRUE(frmWait->NativeWidget()->isVisible());
        EXPECT_TRUE(c.shows(*frmWait.Get()));
        EXPECT_EQ(WindowCount(), 1);
    }
    progressWindow.Close();
    EXPECT_FALSE(frmWait.IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

// A long operation reporting by the protocol while the user presses Cancel:
// an operation that reads no mark runs to its end, and its next report
// opens a new window.
TEST_F(FrmWaitTest, CancelInsideTheYieldLetsTheOperationGoOnInANewWindow) {
    openSharedDatabase();
    appSystem::destinationFilePath = dir.write("new.cax", "partial");
    appSystem::output.createdFile = appSystem::destinationFilePath;
    ui.AnswerYes();

    Ref<frmWaitWindow> first = frmWait.Get();
    bool cancelled = false;
    QTimer::singleShot(30, [&] {
        QTest::mouseClick(frmWait->cmdCancel->NativeWidget(), Qt::LeftButton);
        cancelled = true;
    });
    const int total = 50;
    int passes = 0;
    Ref<frmWaitWindow> last;
    for (int row = 1; row <= total; ++row) {
        progressWindow.Show();
        progressWindow.SetMessage("Row " + Str(int64_t(row)));
        progressWindow.SetMaximum(total);
        progressWindow.SetValue(row);
        progressWindow.Refresh();
        last = frmWait.Get();
        ++passes;
        // Waits for the click at the middle row, so that both halves report.
        if (row == total / 2) ProcessEventsUntil([&] { return cancelled; });
        YieldToEventLoop();
    }
    EXPECT_EQ(passes, total);
    ASSERT_TRUE(cancelled);
    EXPECT_FALSE(first->IsOpen());
    EXPECT_NE(last.get(), first.get());
    EXPECT_EQ(last->lblMessage->Text(), "Row 50");
    EXPECT_EQ(last->ProgressBar1->Value(), 50);
    EXPECT_TRUE(progressWindow.Cancelled());
    EXPECT_TRUE(std::filesystem::exists(appSystem::destinationFilePath)) << "the operation deletes its own file";
    progressWindow.ClearCancelled();
    EXPECT_EQ(ui.boxes().size(), 1u);
    EXPECT_FALSE(frmMain.IsOpen()) << "Cancel brought up a converter window to clear its labels";
    frmWait->Close();
    EXPECT_EQ(WindowCount(), 0);
}

}  // namespace
