// A long import through the converter window on an X server with a window
// manager (openbox): the progress window, shown at every report, is raised
// only when it had been hidden or had lost the focus, so the window manager
// keeps up, and the completion box comes up on the screen.

#include <QEvent>

#include "framework/gui/Window.h"
#include "tests/support/SqliteCli.h"
#include "tests/ui/OnScreen.h"
#include "ui/frmMain.h"
#include "ui/frmWait.h"

namespace {

// Counts the occasions on which a progress window may rightly be brought to
// the front: each time one is shown from hidden, and each time one loses the
// focus.
class ProgressOccasions : public QObject {
public:
    ProgressOccasions() { qApp->installEventFilter(this); }
    ~ProgressOccasions() override { qApp->removeEventFilter(this); }
    int shown = 0;
    int lostFocus = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        const Ref<frmWaitWindow> wait = frmWait.Current();
        if (!wait || object != wait->NativeWidget()) return false;
        if (event->type() == QEvent::Show) ++shown;
        if (event->type() == QEvent::WindowDeactivate) ++lostFocus;
        return false;
    }
};

class ImportUnderWindowManager : public OnScreenTest {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.windowManager = true});
    }
};

TEST_F(ImportUnderWindowManager, ProgressWindowIsNotRaisedAgainAndTheCompletionBoxShows) {
    if (HasFatalFailure()) return;
    const int animals = 20000;
    const std::string csv = home.write("herd.csv", herdCsv(animals));
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(ProcessEventsUntil([&] { return display->shownByWindowManager(main->NativeWidget()->winId()); },
                                   20000));
    main->optFromCsv->SetValue(true);
    main->optToRsd->SetValue(true);
    main->txtFilePath->SetText(csv);

    bool boxOnScreen = false;
    BoxAnswerer boxes(
        [&](QMessageBox* box) {
            boxOnScreen = display->shownByWindowManager(box->winId());
            return boxOnScreen ? QMessageBox::Ok : QMessageBox::NoButton;
        },
        60000);
    ProgressOccasions occasions;
    const int raisedBefore = WindowRaiseRequests();
    main->cmdConvert->Push();
    const int raised = WindowRaiseRequests() - raisedBefore;

    EXPECT_EQ(boxes.answered(), std::vector<std::string>{"Operation completed"});
    EXPECT_TRUE(boxOnScreen) << "the completion box was answered without being on the screen";
    EXPECT_GE(occasions.shown, 1) << "no progress window was shown";
    EXPECT_GE(raised, 1) << "the progress window was never brought to the front";
    EXPECT_LE(raised, occasions.shown + occasions.lostFocus)
        << "shown from hidden " << occasions.shown << " times, lost the focus " << occasions.lostFocus << " times";

    const std::string cax = home.file("herd.cax");
    EXPECT_EQ(main->lblDestinationFilePath->Text(), cax);
    EXPECT_EQ(SqliteCli::query(cax, "SELECT COUNT(*) FROM tree;"), (SqliteCli::Rows{{std::to_string(animals)}}));
    EXPECT_EQ(SqliteCli::query(cax, "SELECT f.name, m.name FROM tree c JOIN tree f ON f.id = c.fatherId "
                                    "JOIN tree m ON m.id = c.motherId WHERE c.name = 'A20000';"),
              (SqliteCli::Rows{{"A19998", "A19999"}}));
}

}  // namespace
