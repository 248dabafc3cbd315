// The frames of the converter's windows under a window manager (openbox):
// the converter window, the splash window and the progress window can be
// resized but not maximised, and a message box can be neither. Openbox
// leaves out the maximise button only on windows that cannot be resized and
// offers it on every other, whatever the window asks for; what counts is
// that maximising does not take. A message box is a dialog of its window,
// which cannot be minimised on its own; a minimised progress window comes
// back at the next report.

#include <functional>
#include <map>
#include <set>
#include <string>

#include "framework/gui/Window.h"
#include "tests/ui/OnScreen.h"
#include "ui/App.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

// A window of the framework's default frame, which may be maximised.
class MaximisableWindow : public Window {
public:
    void Layout() override {
        SetTitle("Maximisable");
        SetWidth(200);
        SetHeight(100);
    }
};

// Counts, for each widget, the times it was minimised.
class Minimisings : public QObject {
public:
    Minimisings() { qApp->installEventFilter(this); }
    ~Minimisings() override { qApp->removeEventFilter(this); }
    int of(const QWidget* w) const { return counts_.count(w) ? counts_.at(w) : 0; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange && object->isWidgetType() &&
            static_cast<QWidget*>(object)->isMinimized())
            ++counts_[object];
        return false;
    }

private:
    std::map<const QObject*, int> counts_;
};

class WindowFrames : public OnScreenTest {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.windowManager = true});
        _NewAppInstance();  // the splash window shows its version
    }

    bool onScreen(const QWidget* w) const { return display->shownByWindowManager(w->winId()); }

    // Asks the window manager to maximise `w`, then a window that may be
    // maximised, and waits until that one is: the request for `w` has then
    // been dealt with. False when nothing was maximised.
    bool askToMaximise(QWidget* w) {
        Ref<MaximisableWindow> other = OpenNewWindow<MaximisableWindow>();
        QWidget* top = other->NativeWidget();
        const bool shown = ProcessEventsUntil([&] { return onScreen(top); }, 20000);
        display->askToMaximise(w->winId());
        display->askToMaximise(top->winId());
        const bool maximised = shown && ProcessEventsUntil([&] { return top->isMaximized(); }, 10000);
        other->Close();
        return maximised;
    }

    // Waits until `w` is neither maximised by the window manager nor of
    // another size than `size`; false when it stays so.
    bool keeps(QWidget* w, QSize size) {
        return ProcessEventsUntil([&] {
            return !display->atomList(w->winId(), "_NET_WM_STATE").count("_NET_WM_STATE_MAXIMIZED_VERT") &&
                   !w->isMaximized() && w->size() == size;
        });
    }

    bool resizable(const QWidget* w) const {
        return display->atomList(w->winId(), "_NET_WM_ALLOWED_ACTIONS").count("_NET_WM_ACTION_RESIZE");
    }
};

TEST_F(WindowFrames, TheConvertersWindowsCanBeResizedButNotMaximised) {
    if (HasFatalFailure()) return;
    const struct {
        const char* name;
        std::function<QWidget*()> open;
    } windows[] = {
        {"converter window", [] { return frmMain->NativeWidget(); }},
        {"splash window", [] { return frmSplash->NativeWidget(); }},
        {"progress window", [] { return frmWait->NativeWidget(); }},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.name);
        QWidget* w = window.open();
        ASSERT_TRUE(ProcessEventsUntil([&] { return onScreen(w); }, 20000));
        const QSize size = w->size();
        EXPECT_TRUE(resizable(w));
        ASSERT_TRUE(askToMaximise(w)) << "the window manager maximised no window";
        EXPECT_TRUE(keeps(w, size)) << "maximised to " << w->width() << " x " << w->height();
        CloseAllWindows();
    }
}

TEST_F(WindowFrames, AMessageBoxCanBeNeitherResizedNorMaximised) {
    if (HasFatalFailure()) return;
    bool looked = false, busy = false;
    // On a busy machine the box can still take its size for a few turns
    // after the window manager shows it: its size at rest is the one kept.
    QSize lastSize;
    int steadyTurns = 0;
    BoxAnswerer boxes([&](QMessageBox* box) {
        if (busy || !onScreen(box)) return QMessageBox::NoButton;
        steadyTurns = box->size() == lastSize ? steadyTurns + 1 : 0;
        lastSize = box->size();
        if (steadyTurns < 10) return QMessageBox::NoButton;
        busy = true;
        const QSize size = box->size();
        EXPECT_FALSE(resizable(box));
        EXPECT_TRUE(askToMaximise(box)) << "the window manager maximised no window";
        EXPECT_TRUE(keeps(box, size)) << "maximised to " << box->width() << " x " << box->height();
        looked = true;
        return QMessageBox::Ok;
    });
    MsgBox("Please select file type options");
    EXPECT_TRUE(looked);
}

// Openbox offers a minimise button on every dialog, and minimises a dialog
// together with the window it belongs to: a box stays a dialog of its
// window, and both come back at once while the box waits for its answer.
TEST_F(WindowFrames, AMessageBoxBelongsToItsWindowAndIsNotMinimisedAway) {
    if (HasFatalFailure()) return;
    Ref<frmMainWindow> main = frmMain.Get();
    QWidget* converter = main->NativeWidget();
    ASSERT_TRUE(ProcessEventsUntil([&] { return onScreen(converter); }, 20000));
    const auto showProgress = [this] {
        progressWindow.Show();
        QWidget* wait = frmWait->NativeWidget();
        ProcessEventsUntil([&] { return display->shownByWindowManager(wait->winId()) && wait->isActiveWindow(); },
                           20000);
    };
    const struct {
        const char* name;
        std::function<void()> before;     // what the converter has done when the box comes
        std::function<QWidget*()> under;  // the window the box belongs to
    } moments[] = {
        {"over the converter window", [] {}, [&] { return converter; }},
        {"over the progress window", showProgress, [] { return frmWait->NativeWidget(); }},
        {"as the progress window has closed",  // the completion box
         [&] {
             showProgress();
             progressWindow.Close();
         },
         [&] { return converter; }},
    };
    for (const auto& moment : moments) {
        SCOPED_TRACE(moment.name);
        moment.before();
        QWidget* under = moment.under();
        enum { Waiting, AskedToMinimise, Back } stage = Waiting;
        Minimisings minimisings;
        int unanswered = 0;
        BoxAnswerer boxes([&](QMessageBox* box) {
            if (stage == Waiting) {
                if (!onScreen(box)) return QMessageBox::NoButton;
                EXPECT_EQ(display->transientFor(box->winId()), under->winId());
                display->askToMinimise(box->winId());
                stage = AskedToMinimise;
                return QMessageBox::NoButton;
            }
            // A request that comes while openbox is still taking the box in
            // may be lost: asked again until it takes.
            if (!minimisings.of(box) && ++unanswered % 50 == 0) display->askToMinimise(box->winId());
            // Minimised once (as Qt was told), then on the screen again.
            if (!minimisings.of(box) || !onScreen(box) || !onScreen(under)) return QMessageBox::NoButton;
            stage = Back;
            return QMessageBox::Ok;
        });
        MsgBox("Operation completed");
        EXPECT_EQ(stage, Back) << "the box did not come back with its window";
        progressWindow.Close();
    }
}

TEST_F(WindowFrames, AMinimisedProgressWindowComesBackAtTheNextReport) {
    if (HasFatalFailure()) return;
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(ProcessEventsUntil([&] { return onScreen(main->NativeWidget()); }, 20000));
    progressWindow.Show();
    QWidget* wait = frmWait->NativeWidget();
    ASSERT_TRUE(ProcessEventsUntil([&] { return onScreen(wait) && wait->isActiveWindow(); }, 20000));
    // Minimised twice: each time the reports of a long operation bring it
    // back, asking the window manager once, not at every report.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("minimised " + std::to_string(round) + " times");
        // A request that comes while openbox is still busy with the window
        // (restoring it, giving it the focus) may be lost: asked again
        // until it takes.
        int turns = 0;
        ASSERT_TRUE(ProcessEventsUntil(
            [&] {
                if (turns++ % 50 == 0) display->askToMinimise(wait->winId());
                return display->minimised(wait->winId()) && wait->isMinimized();
            },
            20000));
        const int raisedBefore = WindowRaiseRequests();
        int reports = 0;
        EXPECT_TRUE(ProcessEventsUntil(
            [&] {
                ++reports;
                progressWindow.Show();
                progressWindow.SetMessage("Found  - A" + Str(int64_t(reports)) + EndOfLine + Str(int64_t(reports)) +
                                          " records");
                return !display->minimised(wait->winId()) && onScreen(wait) && wait->isActiveWindow();
            },
            20000));
        for (int more = 0; more < 100; ++more) {
            progressWindow.Show();
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(WindowRaiseRequests() - raisedBefore, 1) << "after " << reports << " reports";
    }
}

}  // namespace
