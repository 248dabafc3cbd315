#include "framework/EventLoop.h"

namespace {
YieldHandler g_yieldHandler = nullptr;
uint64_t g_yields = 0;
}  // namespace

void YieldToEventLoop() {
    ++g_yields;
    if (g_yieldHandler) g_yieldHandler();
}

uint64_t YieldCount() { return g_yields; }

void SetYieldHandler(YieldHandler handler) { g_yieldHandler = handler; }
