// Measures the yield to the event loop as the conversions use it: how many
// yields per second a loop can make when nothing is pending, and how long a
// click queued on a button (as the user's click on Cancel) takes to reach
// its handler while a loop does nothing but yield.
//
//   build/bench/yield_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include "framework/EventLoop.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"

namespace {

using Clock = std::chrono::steady_clock;

class CancelWindow : public Window {
public:
    Ref<PushButton> cancel;
    void Layout() override {
        SetWidth(316);
        SetHeight(111);
    }
    void CreateControls() override {
        cancel = AddControl<PushButton>("cmdCancel");
        cancel->SetLeft(231);
        cancel->SetTop(84);
        cancel->SetWidth(77);
        cancel->SetHeight(22);
        cancel->SetCaption("Cancel");
    }
};

void postClick(QWidget* button) {
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(at);
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

}  // namespace

int main() {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitGuiRuntime();
    Ref<CancelWindow> w = OpenNewWindow<CancelWindow>();
    QCoreApplication::processEvents();

    // Yields with nothing pending.
    const long yields = 50'000'000;
    const auto start = Clock::now();
    for (long i = 0; i < yields; ++i) YieldToEventLoop();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("idle yields: %.0f per second, %.1f ns each\n", yields / seconds, seconds * 1e9 / yields);

    // A queued click while a loop yields about once per microsecond of work.
    bool clicked = false;
    w->cancel->Action = [&] { clicked = true; };
    std::vector<double> ms;
    for (int trial = 0; trial < 50; ++trial) {
        clicked = false;
        const auto queued = Clock::now();
        postClick(w->cancel->NativeWidget());
        while (!clicked) {
            const auto busy = Clock::now() + std::chrono::microseconds(1);
            while (Clock::now() < busy) {
            }
            YieldToEventLoop();
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - queued).count());
        // Let some time pass so that the next click is queued at a random
        // point of the interval.
        const auto pause = Clock::now() + std::chrono::microseconds(700 * (trial % 7));
        while (Clock::now() < pause) YieldToEventLoop();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("queued click to handler: median %.2f ms, 90%% %.2f ms, max %.2f ms (%zu clicks)\n",
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), ms.size());
    w->Close();
    ShutdownGuiRuntime();
    return 0;
}
