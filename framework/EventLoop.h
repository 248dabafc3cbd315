#pragma once
// The yield to the event loop. Long operations call YieldToEventLoop at the
// end of every loop pass so that windows repaint and buttons (Cancel) answer.
// The GUI layer installs the handler; without one the yield does nothing.

#include <cstdint>

using YieldHandler = void (*)();

// Handles pending events, then returns. Cheap when nothing is pending.
void YieldToEventLoop();

// How many times YieldToEventLoop has been called: work that cannot yield
// at the end of a loop pass of its own (a long database statement) tells by
// it whether the event loop has had a look lately.
uint64_t YieldCount();

// Installs the handler that YieldToEventLoop calls (nullptr: none).
void SetYieldHandler(YieldHandler handler);
