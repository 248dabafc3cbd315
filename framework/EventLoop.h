#pragma once
// The yield to the event loop. Long operations call YieldToEventLoop at the
// end of every loop pass so that windows repaint and buttons (Cancel) answer.
// The GUI layer installs the handler; without one the yield does nothing.

#include <cstdint>

using YieldHandler = void (*)();

// Handles pending events, then returns. Cheap when nothing is pending.
void YieldToEventLoop();
// Yields `times` times in a row, as as many calls of YieldToEventLoop with
// nothing between them would: the handler runs each time. The clock is read
// at the first and then every few hundred, which pass within microseconds:
// loops that yield once per character spend less on the clock.
void YieldToEventLoopTimes(int64_t times);

// Yields from within a piece of work that has no loop pass of its own to
// end (a long database statement), so that windows repaint and buttons
// answer meanwhile: the handler runs as for YieldToEventLoop, while
// YieldingWithinWork() is true.
void YieldWithinWork();
// True during a yield of YieldWithinWork: whoever follows the rhythm of the
// loop passes (a test's record of the progress) leaves it out.
bool YieldingWithinWork();

// A monotonic clock in milliseconds, read cheaply (it moves in steps of a
// few milliseconds).
int64_t CoarseMilliseconds();
// When the last yield of either kind began, by CoarseMilliseconds: work
// that cannot yield at the end of a loop pass tells by it whether the event
// loop has had a look lately.
int64_t LastYieldAt();

// Installs the handler that YieldToEventLoop calls (nullptr: none).
void SetYieldHandler(YieldHandler handler);
