#pragma once
// Drives the connector's GTK+ 2 dialogs from a test: a virtual X server of
// the test's own, and a GLib timeout, installed through the same GTK+ that
// the connector loads, that finds each dialog as it appears and acts on its
// widgets (found by the names the dialog registers them under). Every wait
// has a deadline, after which the open dialogs are destroyed, so a test
// cannot hang.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/VirtualDisplay.h"

// One open dialog of the connector, as a step of the script sees it.
class GtkDialog {
public:
    explicit GtkDialog(void* window) : window_(window) {}
    void* window() const { return window_; }
    std::string title() const;
    // A widget that the dialog registered under this name; none when absent.
    void* widget(const char* name) const;

    // The rows of the data-source list, "name|description" each.
    std::vector<std::string> rows() const;
    void selectRow(int row) const;
    void unselectRow(int row) const;
    void click(const char* button) const;
    // The accelerator Alt + key, as if typed into the dialog.
    void pressAlt(char key) const;
    // The window manager's close request.
    void close() const;
    void setText(const char* entry, const std::string& text) const;
    std::string text(const char* entry) const;
    bool visible(const char* entry) const;  // the entry shows its characters

private:
    void* window_;
};

// Runs the steps of a script, each on the next dialog of its kind
// ("dsnchooser" or "login") that appears, while `body` runs (the connect,
// which opens the dialogs). A step that does not get its dialog within
// `deadlineMs` fails the test.
class GtkDriver {
public:
    struct Step {
        std::string dialog;
        std::function<void(const GtkDialog&)> act;
    };

    // Loads GTK+ 2 (as the connector does) and counts GLib's warnings and
    // criticals from now on.
    GtkDriver();
    bool ok() const { return loaded_; }

    void Run(std::vector<Step> steps, const std::function<void()>& body, int deadlineMs = 15000);

    // GLib warnings, criticals and errors logged since the driver was made.
    const std::vector<std::string>& glibProblems() const;
    // Dialogs that appeared that no step was waiting for.
    const std::vector<std::string>& unexpected() const { return unexpected_; }

private:
    static int Tick(void* self);
    bool loaded_ = false;
    std::deque<Step> steps_;
    std::vector<void*> handled_;
    std::vector<std::string> unexpected_;
    long long deadline_ = 0;
    bool timedOut_ = false;
};
