#include "framework/EventLoop.h"

namespace {
YieldHandler g_yieldHandler = nullptr;
uint64_t g_yields = 0;
bool g_withinWork = false;
}  // namespace

void YieldToEventLoop() {
    ++g_yields;
    if (g_yieldHandler) g_yieldHandler();
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

uint64_t YieldCount() { return g_yields; }

void SetYieldHandler(YieldHandler handler) { g_yieldHandler = handler; }
