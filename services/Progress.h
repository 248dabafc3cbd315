#pragma once
// How a long operation shows how far it has got: a message, a progress bar
// and an immediate redraw, through the display that the windows install
// (the progress window). The operation yields to the event loop at the end
// of every loop pass itself (framework/EventLoop.h); Cancel runs inside
// those yields, belongs to the display and sets no flag.
//
//   progress.Show();                       // returns at once
//   progress.SetMessage("Reading line 12");
//   progress.SetMaximum(total);
//   progress.SetValue(ProgressBarValue(done, total));
//   progress.Refresh();                    // redraws now
//   YieldToEventLoop();                    // Cancel may run here
//   ...
//   progress.Close();                      // before the completion message
//
// Cancel is an outcome that the operation reads: when the user cancels and
// chooses to have the incomplete output deleted, Cancel marks the display
// (MarkCancelled), and the operation, which finds Cancelled() true after
// its next yield, stops there. Its incomplete output is removed in one
// place, once the operation returns.

#include <cstdint>

#include "framework/Text.h"

class Progress {
public:
    virtual ~Progress() = default;

    // Each of these reaches the display's window, opening a new one (with
    // its first message "Untitled", the bar visible at 0 of 100) when none
    // is open: after Cancel or Close, the next report brings a window back.
    virtual void Show() = 0;  // visible and in front; returns at once
    virtual void SetBarVisible(bool visible) = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual void SetValue(int value) = 0;
    virtual void SetMessage(const String& text) = 0;  // the whole message; lines joined by EndOfLine
    virtual void Refresh() = 0;                       // redraws the whole window now, erasing its background
    // Closes the window when one is open; opens none.
    virtual void Close() = 0;

    // True once the user has cancelled the running operation and chosen to
    // have its incomplete output deleted; false again after ClearCancelled,
    // which every operation that makes a file of its own calls as it starts.
    virtual bool Cancelled() const { return cancelled_; }
    virtual void MarkCancelled() { cancelled_ = true; }
    virtual void ClearCancelled() { cancelled_ = false; }

private:
    bool cancelled_ = false;
};

// Installs the display that long operations report to (not owned); nullptr
// restores the default one, which shows nothing.
void SetProgress(Progress* progress);
Progress& CurrentProgress();

// The bar's value for `count` rows of `total`, as every operation computes
// it: the integer part of count / total * total in double precision, which
// is the count or, where the product falls just below it, one less. The
// count itself when the total is 0.
int ProgressBarValue(int64_t count, int64_t total);
