#include "framework/EventLoop.h"

#include <ctime>

namespace {
YieldHandler g_yieldHandler = nullptr;
int64_t g_lastYieldAt = 0;
bool g_withinWork = false;
}  // namespace

int64_t CoarseMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void YieldToEventLoop() {
    g_lastYieldAt = CoarseMilliseconds();
    if (g_yieldHandler) g_yieldHandler();
}

void YieldToEventLoopTimes(int64_t times) {
    constexpr int64_t YieldsPerClockReading = 256;
    for (int64_t k = 0; k < times; ++k) {
        if (k % YieldsPerClockReading == 0) g_lastYieldAt = CoarseMilliseconds();
        if (g_yieldHandler) g_yieldHandler();
    }
}

void YieldWithinWork() {
    const bool outer = g_withinWork;
    g_withinWork = true;
    struct Restore {
        bool outer;
        ~Restore() { g_withinWork = outer; }
    } restore{outer};
    YieldToEventLoop();
}

bool YieldingWithinWork() { return g_withinWork; }

int64_t LastYieldAt() { return g_lastYieldAt; }

void SetYieldHandler(YieldHandler handler) { g_yieldHandler = handler; }
