#pragma once
// A progress display that records what its window shows while an operation
// runs. It keeps the window that the reports reach, opened by any report
// when none is open (with "Untitled" and the bar visible at 0 of 100, as the
// progress window opens) and closed by Close, and at every yield to the
// event loop at the end of a loop pass (not those from within a database
// statement) it takes what an open window shows. Consecutive equal reports are kept once, and so is nothing while a
// new window still shows its initial text. A report overwritten before the
// next yield is not seen. While it lives it is the progress display and the
// yield handler.
//
// For tests of the windows, it passes every report on to `window` (the
// progress window) as well, and runs `afterYield` (the GUI's yield) after
// each yield of its own.

#include <functional>
#include <optional>
#include <vector>

#include "framework/EventLoop.h"
#include "framework/Text.h"
#include "services/Progress.h"

struct ShownProgress {
    String message;
    bool barVisible;
    int maximum;
    int value;
    friend bool operator==(const ShownProgress&, const ShownProgress&) = default;
};

class ProgressRecorder : public Progress {
public:
    explicit ProgressRecorder(Progress* window = nullptr, YieldHandler afterYield = nullptr);
    // Puts back the display that was there, and `afterYield` as the yield.
    ~ProgressRecorder() override;
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    const std::vector<ShownProgress>& reports() const { return reports_; }
    // The messages of the reports, in order.
    std::vector<String> messages() const;
    // Forgets the reports and the window, as closing every window does.
    void clear();

    // What the open window shows; nullopt when none is open.
    const std::optional<ShownProgress>& window() const { return window_; }
    bool isOpen() const { return window_.has_value(); }
    // The window was closed by someone other than the operation (Cancel).
    void windowClosed() { window_.reset(); }

    // Runs at each yield at the end of a loop pass, after the report was
    // taken (e.g. to press Cancel).
    std::function<void()> onYield;

    void Show() override;
    void SetBarVisible(bool visible) override;
    void SetMaximum(int maximum) override;
    void SetValue(int value) override;
    void SetMessage(const String& text) override;
    void Refresh() override;
    void Close() override;
    // Cancel marks the window that it belongs to: the recorder answers as
    // that window does, or by itself when it passes nothing on.
    bool Cancelled() const override;
    void MarkCancelled() override;
    void ClearCancelled() override;

private:
    ShownProgress& open();  // the window, opened when none is
    static void yield();

    Progress* forward_;
    YieldHandler afterYield_;
    Progress* previous_;
    std::optional<ShownProgress> window_;
    std::vector<ShownProgress> reports_;
};
