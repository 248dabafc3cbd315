#include "framework/gui/Application.h"

#include <climits>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"
#include "framework/gui/WindowList.h"

namespace {

Ref<Application> g_appObject;
bool g_opened = false;

// Run each time a window has closed, and when the event loop starts.
void lastWindowMayHaveClosed() {
    if (!QCoreApplication::instance()) return;
    // Looked at once the current event is over, so that a handler that
    // closes one window and then opens another does not end the program,
    // and not before every running handler has returned, so that a handler
    // still at work gets its questions answered by the user.
    QTimer::singleShot(0, [] {
        WhenNoEventHandlerRuns([] {
            if (WindowCount() == 0 && g_appObject && g_appObject->AutoQuit) QCoreApplication::exit(0);
        });
    });
}

}  // namespace

Ref<FolderItem> Application::ExecutableFile() const {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return nullptr;
    return New<FolderItem>(String(path, size_t(n)));
}

void Application::Quit() { ::Quit(); }

void RuntimeRegisterAppObject(const Ref<Application>& app) {
    g_appObject = app;
    // A closed window can end the program (AutoQuit) once there is an
    // application object.
    SetWindowClosedHandler(&lastWindowMayHaveClosed);
}

Ref<Application> RuntimeAppObject() { return g_appObject; }

int RuntimeRun() {
    InitGuiRuntime();
    if (g_appObject && !g_opened) {
        g_opened = true;
        g_appObject->Event_Open();
    }
    // With AutoQuit, a program that opened no window ends at once.
    lastWindowMayHaveClosed();
    return QApplication::exec();
}

void Quit() {
    // Chosen while another handler runs (inside the yields of a conversion),
    // the quit waits until that handler has returned: ending the event loop
    // now would make every box that the handler shows later return at once,
    // unanswered.
    if (EventHandlerDepth() > 1) {
        WhenNoEventHandlerRuns([] { Quit(); });
        return;
    }
    CloseEveryWindow();
    QCoreApplication::exit(0);
}
