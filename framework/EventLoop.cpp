#include "framework/EventLoop.h"

namespace {
YieldHandler g_yieldHandler = nullptr;
}

void YieldToEventLoop() {
    if (g_yieldHandler) g_yieldHandler();
}

void SetYieldHandler(YieldHandler handler) { g_yieldHandler = handler; }
