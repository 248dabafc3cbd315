// The frames of the converter's windows under a window manager (openbox):
// the converter window, the splash window and the progress window can be
// resized but not maximised, and a message box can be neither. Openbox
// leaves out the maximise button only on windows that cannot be resized and
// offers it on every other, whatever the window asks for; what counts is
// that maximising does not take.

#include <functional>

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
    BoxAnswerer boxes([&](QMessageBox* box) {
        if (busy || !onScreen(box)) return QMessageBox::NoButton;
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

}  // namespace
