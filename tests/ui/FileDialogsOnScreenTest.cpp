// The converter's file dialogs on a 1280 x 800 screen with openbox, at 96
// and at 192 dpi: Browse's dialog and the dialog that picks the empty CAV
// database open wholly on the screen, title bar and buttons in sight, also
// once the shared settings of Qt's file dialog hold wide columns. With
// BREVOLAN_SCREENSHOTS naming a folder, a screenshot of each dialog is saved
// there.

#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QScreen>
#include <QTreeView>
#include <cstdlib>
#include <functional>

#include "services/FileTypeSets.h"
#include "tests/ui/OnScreen.h"
#include "ui/frmMain.h"

namespace {

class FileDialogsOnScreen : public OnScreenTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.dpi = GetParam(), .windowManager = true, .width = 1280, .height = 800});
        // The dialogs offer the file types as they do after start-up.
        DatabaseFiles::_Initialize();
        CSVFiles::_Initialize();
        CAVFiles::_Initialize();
    }

    // Opens a dialog with `open` and looks at it at every turn of its event
    // loop until it is framed, its folder is read and it has had some turns
    // more to widen itself and come to rest: its frame must then lie on the
    // screen's available area. `widen` runs on the dialog before it closes
    // (the settings keep what it did). `shot` names the screenshot.
    void look(const std::function<void()>& open, const std::string& shot,
              const std::function<void(QFileDialog*)>& widen = nullptr) {
        const QRect screenArea = QGuiApplication::primaryScreen()->availableGeometry();
        bool seen = false;
        int turns = 0, turnsAfterReading = 0, steadyTurns = 0, turnsOffScreen = 0;
        QRect lastFrame;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            seen = true;
            if (++turns > 4000) {
                ADD_FAILURE() << shot << ": the dialog did not settle";
                dialog->reject();
                return;
            }
            const QRect frame = dialog->frameGeometry();
            const bool framed = frame != dialog->geometry() && display->shownByWindowManager(dialog->winId());
            if (!framed) return;
            // While the window manager frames and moves a dialog that has
            // just been resized, Qt's account of the frame trails behind for
            // a few turns: what counts is where it comes to rest.
            steadyTurns = frame == lastFrame ? steadyTurns + 1 : 0;
            lastFrame = frame;
            // The folder is read (the list shows its entries) in a thread of
            // Qt's; the dialog widens itself to the texts after that.
            const auto* files = dialog->findChild<QTreeView*>("treeView");
            const bool read = files && files->model()->rowCount(files->rootIndex()) > 0;
            if (!read || ++turnsAfterReading < 20 || steadyTurns < 10) return;
            // How many turns the frame takes to settle depends on how busy
            // the machine is: a frame at rest off the screen is looked at
            // for 400 turns more before it counts as where the dialog stays.
            if (!screenArea.contains(frame) && ++turnsOffScreen < 400) return;
            watch.stop();
            EXPECT_TRUE(screenArea.contains(frame))
                << shot << ": the dialog's frame " << frame.x() << "," << frame.y() << " " << frame.width() << " x "
                << frame.height() << " is not within the screen's " << screenArea.width() << " x "
                << screenArea.height();
            if (const char* folder = std::getenv("BREVOLAN_SCREENSHOTS"))
                QGuiApplication::primaryScreen()->grabWindow(0).save(QString(folder) + "/" +
                                                                     QString::fromStdString(shot) + ".png");
            if (widen) widen(dialog);
            dialog->reject();
        });
        watch.start(5);
        open();
        EXPECT_TRUE(seen) << shot << ": no file dialog came up";
        EXPECT_GE(turnsAfterReading, 20) << shot << ": the dialog closed before it was looked at";
    }
};

TEST_P(FileDialogsOnScreen, OpenWhollyOnTheScreen) {
    if (HasFatalFailure()) return;
    const std::string dpi = std::to_string(GetParam());
    home.write("herd.csv", "NAME\nA1\n");
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return display->shownByWindowManager(main->NativeWidget()->winId()); }, 20000));
    BoxAnswerer boxes([](QMessageBox*) { return QMessageBox::Yes; });  // "Find database": pick one

    const auto browse = [&] {
        main->optFromCsv->SetValue(true);
        main->optToRsd->SetValue(true);
        main->cmdBrowse->Push();
    };
    const auto cavDatabase = [&] {
        main->optFromCsv->SetValue(true);
        main->optToCav->SetValue(true);
        main->txtFilePath->SetText(home.file("herd.csv"));
        main->cmdConvert->Push();
    };
    // The columns as wide as a user may have dragged them: Qt keeps them in
    // its shared settings for every later file dialog.
    const auto wideColumns = [](QFileDialog* dialog) {
        if (auto* files = dialog->findChild<QTreeView*>("treeView"))
            for (int c = 0; c < files->header()->count(); ++c) files->header()->resizeSection(c, 500);
    };
    look(browse, "browse-" + dpi + "dpi");
    look(cavDatabase, "cav-database-" + dpi + "dpi", wideColumns);
    look(browse, "browse-wide-columns-" + dpi + "dpi");
    look(cavDatabase, "cav-database-wide-columns-" + dpi + "dpi");
}

INSTANTIATE_TEST_SUITE_P(Screens, FileDialogsOnScreen, ::testing::Values(96, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace
