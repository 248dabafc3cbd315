#pragma once
// A virtual X server (Xvfb) of the test's own. It picks its display number
// itself (-displayfd), so parallel tests never fight over one, and DISPLAY
// names it while the object lives. Every wait has a deadline: when the
// server or its window manager does not come up in time, ok() is false and
// error() says why.
//
// Options: the screen's resolution, set as a desktop sets it (the server's
// dots per inch and the "Xft.dpi" resource that toolkits read, so Qt scales
// its windows by dpi / 96), its size in pixels, and the openbox window
// manager, started once the server runs and ready when the object is made.

#include <sys/types.h>

#include <set>
#include <string>

class VirtualDisplay {
public:
    struct Options {
        int dpi = 96;
        bool windowManager = false;
        int width = 1024;
        int height = 768;
    };
    VirtualDisplay() : VirtualDisplay(Options{}) {}
    explicit VirtualDisplay(const Options& options);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    bool ok() const { return error_.empty() && !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"
    const std::string& error() const { return error_; }

    // True when the X window `window` is mapped and viewable inside a frame
    // that the window manager made for it (its parent is not the root
    // window): what a person would see on the screen.
    bool shownByWindowManager(unsigned long window) const;
    // Asks the window manager to maximise the X window `window`, as its
    // maximise button does (the _NET_WM_STATE request of the EWMH).
    void askToMaximise(unsigned long window) const;
    // The atoms that the window manager lists on `window` for the property
    // `property` (such as "_NET_WM_STATE" or "_NET_WM_ALLOWED_ACTIONS"), by
    // name.
    std::set<std::string> atomList(unsigned long window, const std::string& property) const;
    // Asks the window manager to close the X window `window`, as its close
    // box or a task bar does (the _NET_CLOSE_WINDOW request of the EWMH):
    // it sends the window's program the request to close it.
    void askToClose(unsigned long window) const;
    // Asks the window manager to minimise the X window `window`, as its
    // minimise button does (the WM_CHANGE_STATE request of the ICCCM).
    void askToMinimise(unsigned long window) const;
    // The window that the X window `window` is a dialog of (its
    // WM_TRANSIENT_FOR), or 0.
    unsigned long transientFor(unsigned long window) const;
    // Whether the X window `window` is minimised: the window manager has set
    // its WM_STATE to iconic.
    bool minimised(unsigned long window) const;

private:
    void startServer(const Options& options);
    void setResources(const std::string& resources);
    void startWindowManager();

    pid_t server_ = -1;
    pid_t windowManager_ = -1;
    std::string display_;
    std::string error_;
    std::string previous_;
    bool hadPrevious_ = false;
};
