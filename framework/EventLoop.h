#pragma once
// The yield to the event loop. Long operations call YieldToEventLoop at the
// end of every loop pass so that windows repaint and buttons (Cancel) answer.
// The GUI layer installs the handler; without one the yield does nothing.

using YieldHandler = void (*)();

// Handles pending events, then returns. Cheap when nothing is pending.
void YieldToEventLoop();

// Installs the handler that YieldToEventLoop calls (nullptr: none).
void SetYieldHandler(YieldHandler handler);
