#include "framework/gui/Runtime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cxxabi.h>
#include <memory>
#include <string>
#include <typeinfo>
#include <unistd.h>
#include <vector>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <QApplication>
#include <QCoreApplication>
#include <xcb/xcb.h>

#include "framework/EventLoop.h"
#include "framework/Interaction.h"
#include "framework/gui/DesktopInteraction.h"

namespace {

QApplication* g_app = nullptr;
// The arguments that InitGuiRuntime() passes: the program's name only. They
// live as long as the process, as Qt keeps them.
std::string g_programName = "application";
int g_defaultArgc = 1;
char* g_defaultArgv[] = {nullptr, nullptr};

// Keeps Qt away from its GTK 3 platform theme (see the header): a theme the
// user chose that is not a GTK one is left alone.
void chooseNonGtkTheme() {
    const char* theme = std::getenv("QT_QPA_PLATFORMTHEME");
    const bool userTheme = theme && *theme && strncasecmp(theme, "gtk", 3) != 0;
    if (userTheme) return;
    ::unsetenv("QT_QPA_PLATFORMTHEME");
    // Without desktop settings Qt does not pick a theme by the desktop
    // (XDG_CURRENT_DESKTOP=GNOME would select GTK 3).
    QGuiApplication::setDesktopSettingsAware(false);
}

// Qt's messages while the QApplication is made, held back until it is known
// whether Qt could start its platform.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage> g_held;
// The name the failure is told under: the file name of the program as it
// was started (the first argument), else the program's name.
std::string g_startedAs;

// The display variables that are set, as "DISPLAY=:1".
std::string displaySettings() {
    std::string out;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        out += (out.empty() ? "" : ", ") + std::string(name) + "=" + value;
    }
    return out.empty() ? "no DISPLAY set" : out;
}

// Tells that the display cannot be reached, with `reasons` (one a line),
// and ends the process with code 1.
[[noreturn]] void displayUnreachable(const std::vector<std::string>& reasons) {
    std::string out = g_startedAs + ": the display cannot be reached (" + displaySettings() +
                      "), so no window can open.\n";
    for (const std::string& reason : reasons) out += "  " + reason + "\n";
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
    ::_exit(1);
}

// Qt stops the process with an abort, and a message that suggests
// reinstalling, when it cannot start its platform, which in practice means
// that the display cannot be reached. Said plainly here instead, with Qt's
// own reasons after it.
void startingMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        g_held.push_back({type, context.category ? context.category : "", text});
        return;
    }
    std::vector<std::string> reasons;
    for (const HeldMessage& m : g_held) reasons.push_back(m.text.toStdString());
    displayUnreachable(reasons);
}

// Whether Qt is to reach an X server: DISPLAY is set and no platform other
// than X (xcb) is chosen.
bool usesX() {
    const char* display = std::getenv("DISPLAY");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return display && *display && (!platform || !*platform || std::strstr(platform, "xcb"));
}

std::chrono::milliseconds g_displayAnswerWait = DefaultDisplayAnswerWait;

// The display wait in seconds, as "5" or "0.25".
std::string displayAnswerSeconds() {
    const auto ms = g_displayAnswerWait.count();
    std::string text = std::to_string(ms / 1000);
    if (ms % 1000 == 0) return text;
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return text + "." + fraction;
}

// False when the X server that DISPLAY names takes the connection but does
// not complete it within the display wait, where Qt would wait for ever;
// true when it answers, and also when it refuses at once (Qt then
// tells why). The connection is tried from a thread of its own, which is
// left waiting when it gets no answer: the process ends then anyway.
bool displayAnswers() {
    struct Probe {
        std::mutex mutex;
        std::condition_variable done;
        bool answered = false;
    };
    auto probe = std::make_shared<Probe>();
    std::thread([probe] {
        xcb_disconnect(xcb_connect(nullptr, nullptr));
        const std::lock_guard<std::mutex> lock(probe->mutex);
        probe->answered = true;
        probe->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(probe->mutex);
    return probe->done.wait_for(lock, g_displayAnswerWait, [&] { return probe->answered; });
}

// Makes the QApplication under startingMessages; the messages held back on
// the way then go to the handler that was in place.
QApplication* makeApplication(int& argc, char** argv) {
    const char* first = argc > 0 && argv[0] && *argv[0] ? argv[0] : nullptr;
    const char* slash = first ? std::strrchr(first, '/') : nullptr;
    g_startedAs = slash && slash[1] ? slash + 1 : first ? first : g_programName;
    if (usesX() && !displayAnswers())
        displayUnreachable({"The X server took the connection but gave no answer within " +
                            displayAnswerSeconds() + " seconds."});
    const QtMessageHandler previous = qInstallMessageHandler(startingMessages);
    auto* app = new QApplication(argc, argv);
    qInstallMessageHandler(previous);
    for (const HeldMessage& m : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
        if (previous) previous(m.type, context, m.text);
    }
    g_held.clear();
    return app;
}

int64_t g_lastEventsAt = 0;

int g_handlerDepth = 0;
unsigned long g_handlersStarted = 0;
unsigned long g_outermostHandler = 0;
// What waits until no event handler runs.
std::vector<std::function<void()>> g_afterHandlers;
void (*g_beforeShutdown)() = nullptr;

DesktopInteraction& desktopInteraction() {
    static DesktopInteraction handler;
    return handler;
}

String className(const std::exception& failure) {
    const char* mangled = typeid(failure).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return status == 0 && name ? String(name.get()) : String(mangled);
}

}  // namespace

void InitGuiRuntime(int& argc, char** argv) {
    if (g_app) return;
    chooseNonGtkTheme();
    // Made once and never deleted before ShutdownGuiRuntime: windows and
    // pictures may outlive any scope the program has.
    g_app = makeApplication(argc, argv);
    // The runtime decides when the program ends (Application::AutoQuit).
    QApplication::setQuitOnLastWindowClosed(false);
    SetYieldHandler(&GuiYield);
}

void InitGuiRuntime() {
    g_defaultArgv[0] = g_programName.data();
    InitGuiRuntime(g_defaultArgc, g_defaultArgv);
}

void SetProgramName(const char* name) {
    if (g_app) QCoreApplication::setApplicationName(QString::fromUtf8(name ? name : ""));
    else g_programName = name ? name : "";  // Qt keeps the arguments it was made with
}

bool GuiRuntimeStarted() { return g_app != nullptr; }

void SetDisplayAnswerWait(std::chrono::milliseconds wait) { g_displayAnswerWait = wait; }

void InstallDesktopInteraction() { SetInteractionHandler(&desktopInteraction()); }

void SetBeforeShutdown(void (*action)()) { g_beforeShutdown = action; }

void ShutdownGuiRuntime() {
    if (!g_app) return;
    if (g_beforeShutdown) g_beforeShutdown();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetYieldHandler(nullptr);
    if (&CurrentInteraction() == &desktopInteraction()) SetInteractionHandler(nullptr);
    delete g_app;
    g_app = nullptr;
}

void GuiYield() {
    // The yield that runs this handler read the clock as it began.
    const int64_t now = LastYieldAt();
    if (now - g_lastEventsAt < YieldIntervalMs) return;
    g_lastEventsAt = now;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Time spent inside the handlers does not count towards the next look.
    g_lastEventsAt = CoarseMilliseconds();
}

void UnhandledException(const std::exception& failure) {
    MsgBox("An exception of class " + className(failure) + " was not handled. The application must shut down.");
    QCoreApplication::exit(1);
}

void RunEventHandler(const std::function<void()>& handler) {
    if (g_handlerDepth == 0) g_outermostHandler = ++g_handlersStarted;
    ++g_handlerDepth;
    struct Leave {
        ~Leave() {
            if (--g_handlerDepth > 0) return;
            g_outermostHandler = 0;
            // Each waiting action runs as a handler of its own, which may
            // ask for more.
            while (!g_afterHandlers.empty()) {
                const std::function<void()> action = std::move(g_afterHandlers.front());
                g_afterHandlers.erase(g_afterHandlers.begin());
                RunEventHandler(action);
            }
        }
    } leave;
    try {
        handler();
    } catch (const std::exception& failure) {
        UnhandledException(failure);
    } catch (...) {
        UnhandledException(RuntimeException("unknown failure"));
    }
}

int EventHandlerDepth() { return g_handlerDepth; }

unsigned long OutermostEventHandler() { return g_outermostHandler; }

void WhenNoEventHandlerRuns(std::function<void()> action) {
    if (g_handlerDepth == 0)
        RunEventHandler(action);
    else
        g_afterHandlers.push_back(std::move(action));
}
