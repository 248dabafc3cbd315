// The runtime: the platform theme it picks, the automatic quit, the yield
// and its end.

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "framework/EventLoop.h"
#include "framework/gui/Application.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"
#include "tests/support/GuiTest.h"
#include "tests/support/ScriptedInteraction.h"

namespace {

// Starts the runtime in a fresh process with the given theme variable on a
// GNOME desktop and reports what Qt was told: 10 + (variable kept ? 1 : 0)
// + (desktop settings used ? 2 : 0).
[[noreturn]] void startWithTheme(const char* theme) {
    ::setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    if (theme)
        ::setenv("QT_QPA_PLATFORMTHEME", theme, 1);
    else
        ::unsetenv("QT_QPA_PLATFORMTHEME");
    InitGuiRuntime();
    const char* now = std::getenv("QT_QPA_PLATFORMTHEME");
    const bool kept = now && theme && String(now) == theme;
    std::exit(10 + (kept ? 1 : 0) + (QGuiApplication::desktopSettingsAware() ? 2 : 0));
}

TEST(GuiRuntime, KeepsQtOffTheGtkThemeUnlessTheUserChoseAnother) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(startWithTheme(nullptr), ::testing::ExitedWithCode(10), "");
    EXPECT_EXIT(startWithTheme(""), ::testing::ExitedWithCode(10), "");
    EXPECT_EXIT(startWithTheme("gtk3"), ::testing::ExitedWithCode(10), "");
    EXPECT_EXIT(startWithTheme("GTK2"), ::testing::ExitedWithCode(10), "");
    EXPECT_EXIT(startWithTheme("qt6ct"), ::testing::ExitedWithCode(13), "");
}

class Quitting : public Application {};

// A window whose button closes it and, when asked, opens another in the
// same handler.
class Step : public Window {
public:
    Ref<PushButton> next;
    bool openAnother = false;
    void CreateControls() override {
        next = AddControl<PushButton>("next");
        next->Action = [this] {
            Close();
            if (openAnother) OpenNewWindow<Step>();
        };
    }
};

TEST(GuiRuntime, AutoQuitEndsTheLoopOnceNoWindowIsLeft) {
    ScriptedInteraction ui;
    Ref<Quitting> app = New<Quitting>();
    app->AutoQuit = true;
    RuntimeRegisterAppObject(app);

    Ref<Step> first = OpenNewWindow<Step>();
    first->openAnother = true;
    int windowsBetween = -1;
    QTimer::singleShot(0, [&] { first->next->Push(); });
    // The loop survives the close-then-open of one handler ...
    QTimer::singleShot(100, [&] {
        windowsBetween = WindowCount();
        if (windowsBetween == 1) WindowAt(0).As<Step>()->next->Push();
    });
    // ... and ends after the last window closed; this timer only guards
    // against a loop that never ends.
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(RuntimeRun(), 0);
    EXPECT_EQ(windowsBetween, 1);
    EXPECT_EQ(WindowCount(), 0);
    RuntimeRegisterAppObject(nullptr);
}

TEST(GuiRuntime, YieldHandlesAQueuedClickWhileALoopRuns) {
    ScriptedInteraction ui;
    Ref<Step> w = OpenNewWindow<Step>();
    bool clicked = false;
    w->next->Action = [&] { clicked = true; };
    QWidget* button = w->next->NativeWidget();
    ProcessEventsUntil([&] { return button->isVisible(); });

    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(at);
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
    // A conversion's loop: nothing but yields until the click got through.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!clicked && std::chrono::steady_clock::now() < until) YieldToEventLoop();
    EXPECT_TRUE(clicked);
    CloseAllWindows();
}

// A window that notes its title when it closes.
class Noting : public Window {
public:
    std::vector<String>* closed = nullptr;
    void Event_Close() override { closed->push_back(Title()); }
};

// Last in the file: it ends the QApplication of the process.
TEST(GuiRuntime, ShutdownClosesTheOpenWindowsNewestFirst) {
    ScriptedInteraction ui;
    std::vector<String> closed;
    for (const char* title : {"older", "newer"}) {
        Ref<Noting> w = New<Noting>();
        w->SetTitle(title);
        w->closed = &closed;
        w->Build();
    }
    ShutdownGuiRuntime();
    EXPECT_EQ(closed, (std::vector<String>{"newer", "older"}));
    EXPECT_EQ(WindowCount(), 0);
    EXPECT_FALSE(GuiRuntimeStarted());
}

}  // namespace
