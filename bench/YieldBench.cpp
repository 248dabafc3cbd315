// Measures the yield to the event loop as the conversions use it: how many
// yields per second a loop can make when nothing is pending, how long a
// click queued on a button (as the user's click on Cancel) takes to reach
// its handler while a loop does nothing but yield, and how long one takes
// during a CSV to RSD/CAX import of a generated herd, pressed in the
// converter window as the program starts it (the progress window, the
// linking and the sex derivation included): clicks queued every few
// milliseconds from another thread, on a button of a window of the bench's
// own, show how long the user waits for Cancel at any moment of it.
//
//   build/bench/yield_bench [ANIMALS]     99,000 animals by default; the
//                                         platform that QT_QPA_PLATFORM names,
//                                         offscreen when none

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include "bench/BenchSupport.h"
#include "framework/EventLoop.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"
#include "framework/plugin/PluginHost.h"
#include "tests/convert/MainWindow.h"
#include "ui/Startup.h"

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

void printDelays(const char* what, std::vector<double> ms) {
    if (ms.empty()) {
        std::printf("%s: no click was handled\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.2f ms, 90%% %.2f ms, max %.2f ms (%zu clicks)\n", what, ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

// Clicks queued on the window's button every few milliseconds, from a thread
// of their own, while `work` runs; the delay of each from its queueing to
// its handler.
template <class Work>
std::vector<double> clickDelaysDuring(CancelWindow& w, Work work) {
    std::mutex mutex;
    std::vector<Clock::time_point> queued;  // of the clicks not handled yet
    std::vector<double> ms;
    w.cancel->Action = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        if (queued.empty()) return;
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - queued.front()).count());
        queued.erase(queued.begin());
    };
    std::atomic<bool> done{false};
    QWidget* button = w.cancel->NativeWidget();
    std::thread clicker([&] {
        for (int i = 0; !done; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                queued.push_back(Clock::now());
                postClick(button);
            }
            // Every 3 to 9 ms, so that the clicks fall at every moment of the work.
            std::this_thread::sleep_for(std::chrono::milliseconds(3 + i % 7));
        }
    });
    work();
    done = true;
    clicker.join();
    return ms;
}

// The import of a generated herd of `animals`, with a sex column, through
// the converter window, with a click queued every few milliseconds.
void clicksDuringAnImport(int animals) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("brevolan-yield-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string csv = (folder / "herd.csv").string();
    bench::writeHerd(csv, animals, true);
    bench::YesToEverything answers;
    SetInteractionHandler(&answers);
    SetPluginSearchPath(BREVOLAN_LIBS_DIR);
    _EarlyStartup();
    frmMain.Get();
    Ref<CancelWindow> probe = OpenNewWindow<CancelWindow>();
    QCoreApplication::processEvents();

    const auto start = Clock::now();
    const std::vector<double> ms = clickDelaysDuring(*probe, [&] { pressConvert("csv", "rsd", csv); });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    char what[128];
    std::snprintf(what, sizeof what, "queued click to handler during an import of %d animals (%.2f s)", animals,
                  seconds);
    printDelays(what, ms);
    probe->Close();
    SetInteractionHandler(nullptr);
    std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitGuiRuntime();
    // The offscreen platform says at every Show that it cannot raise a window.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
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
    printDelays("queued click to handler", ms);
    w->Close();

    clicksDuringAnImport(argc > 1 ? std::max(1, std::atoi(argv[1])) : 99000);
    ShutdownGuiRuntime();
    return 0;
}
