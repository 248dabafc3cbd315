#include "tests/support/GuiTest.h"

#include <chrono>

#include "framework/gui/Window.h"

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void CloseAllWindows() {
    while (WindowCount() > 0) WindowAt(WindowCount() - 1)->Close();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}
