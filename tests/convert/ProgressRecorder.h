#pragma once
// Records what the progress window shows while an operation runs: at every
// yield to the event loop (the end of every loop pass), the message of
// frmWait and the state of its bar, when a window is open. Consecutive equal
// reports are kept once, and so is nothing while a new window still shows
// its initial text "Untitled". A report overwritten before the next yield is
// not seen.

#include <functional>
#include <vector>

#include "framework/Text.h"

struct ShownProgress {
    String message;
    bool barVisible;
    int maximum;
    int value;
    friend bool operator==(const ShownProgress&, const ShownProgress&) = default;
};

class ProgressRecorder {
public:
    ProgressRecorder();   // installs itself as the yield handler (the GUI's yield runs after it)
    ~ProgressRecorder();  // puts the GUI's yield back

    const std::vector<ShownProgress>& reports() const { return reports_; }
    // The messages of the reports, in order.
    std::vector<String> messages() const;
    void clear() { reports_.clear(); }

    // Runs at each yield, after the report was taken (e.g. to press Cancel).
    std::function<void()> onYield;

private:
    static void yield();
    std::vector<ShownProgress> reports_;
};
