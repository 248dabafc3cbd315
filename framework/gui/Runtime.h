#pragma once
// Start of the GUI runtime and the handling of failures inside events.
//
// InitGuiRuntime makes the one QApplication of the process and installs the
// yield handler; it is safe to call more than once (later calls do nothing),
// and every Window makes sure it has run, so tests need not call it. When Qt
// cannot start its platform (the display named in DISPLAY cannot be
// reached), it writes "<program>: the display cannot be reached (DISPLAY=...),
// so no window can open." with Qt's reasons to standard error and ends the
// process with code 1, where Qt itself would abort. So it does, with
// "The X server took the connection but gave no answer within 5 seconds.",
// when the X server takes the connection and then does not answer within
// the display wait (5 seconds, DefaultDisplayAnswerWait), where Qt would
// wait for ever.
// InstallDesktopInteraction makes MsgBox, OpenDialog, Beep and Launch show
// real Qt dialogs and reach the desktop; the program calls it at start, tests
// do not (they install ScriptedInteraction, or keep the unattended default
// that never blocks).
//
// Platform theme: unless the user named a theme of their own in
// QT_QPA_PLATFORMTHEME (anything not starting with "gtk"), the runtime clears
// that variable and makes Qt ignore the desktop's settings before the
// QApplication is made, so that Qt never loads its GTK 3 theme: the ODBC
// connector opens GTK+ 2 dialogs in this same process, and the two GTK
// versions cannot live in one process.

#include <chrono>
#include <exception>
#include <functional>

// How long an X server has to answer the runtime's connection: the display
// wait, DefaultDisplayAnswerWait unless set otherwise before InitGuiRuntime
// (tests shorten it, so that none waits seconds). The message tells the
// wait in seconds ("within 5 seconds", "within 0.3 seconds").
inline constexpr std::chrono::milliseconds DefaultDisplayAnswerWait{5000};
void SetDisplayAnswerWait(std::chrono::milliseconds wait);

// Makes the QApplication (once). `argc` and `argv` must live as long as the
// program; the second form passes the program's name only.
void InitGuiRuntime(int& argc, char** argv);
void InitGuiRuntime();
// The program's name: the application's name once the runtime runs (as
// message boxes show it), and what the second form of InitGuiRuntime passes;
// "application" until the program sets its own.
void SetProgramName(const char* name);
bool GuiRuntimeStarted();

// Makes the interaction point show real dialogs (DesktopInteraction).
void InstallDesktopInteraction();

// Ends the runtime: closes every open window and deletes the QApplication.
// Called by the program after RuntimeRun returns.
void ShutdownGuiRuntime();
// What ShutdownGuiRuntime runs first, while the QApplication still stands:
// the windows set it to close those still open (replacing any earlier one).
void SetBeforeShutdown(void (*action)());

// The yield that InitGuiRuntime installs (SetYieldHandler): it reads a
// coarse clock and lets Qt handle pending events only when at least
// YieldIntervalMs have passed since it last did, so a yield with nothing to
// do costs a few nanoseconds while repaints and clicks still run within a
// frame.
void GuiYield();
inline constexpr int YieldIntervalMs = 4;

// The framework's handling of a failure that no handler caught: shows "An
// exception of class <name> was not handled. The application must shut
// down." and quits the event loop with exit code 1.
void UnhandledException(const std::exception& failure);

// Runs an event handler; a failure escaping it goes to UnhandledException
// instead of unwinding through Qt (which cannot pass exceptions on).
void RunEventHandler(const std::function<void()>& handler);

// How many event handlers are running: a handler that yields (a conversion
// inside the Convert handler) lets others run inside it. 0 when none runs.
int EventHandlerDepth();
// Tells the outermost running event handler from every earlier one (each
// gets a number of its own when it starts); 0 when none runs.
unsigned long OutermostEventHandler();
// Runs `action` as an event handler once no event handler runs: at once when
// none does, else right after the outermost one has returned, in the order
// they were asked for.
void WhenNoEventHandlerRuns(std::function<void()> action);
