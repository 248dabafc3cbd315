#include "tests/support/VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr auto StartDeadline = std::chrono::seconds(30);

// Runs `program` with `args` in a child whose output goes nowhere; -1 when
// it cannot be started. `keepFd` stays open in the child.
pid_t spawn(const char* program, const std::vector<std::string>& args, int keepFd = -1) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            dup2(devNull, 0);
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) close(fd);
        execvp(program, argv.data());
        _exit(127);
    }
    return pid;
}

// Asks the process to end and waits for it; kills it after 5 s.
void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

bool running(pid_t pid) { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

// Xlib's default handler ends the process on any error, such as a query on
// a window that has just gone.
int ignoreError(Display*, XErrorEvent*) { return 0; }

// True when the window is mapped and viewable and its parent is not the root
// window: a window manager has put it into a frame of its own.
bool framedAndViewable(Display* x, ::Window window) {
    auto* const previousHandler = XSetErrorHandler(ignoreError);
    XWindowAttributes attributes{};
    bool shown = XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable;
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (shown && XQueryTree(x, window, &root, &parent, &children, &count)) {
        shown = parent != root;
        if (children) XFree(children);
    }
    XSync(x, False);  // errors of the queries above arrive while ignored
    XSetErrorHandler(previousHandler);
    return shown;
}

}  // namespace

VirtualDisplay::VirtualDisplay(const Options& options) {
    startServer(options);
    if (!ok()) return;
    if (options.dpi != 96) setResources("Xft.dpi:\t" + std::to_string(options.dpi) + "\n");
    if (ok() && options.windowManager) startWindowManager();
}

void VirtualDisplay::startServer(const Options& options) {
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "no pipe for Xvfb";
        return;
    }
    // -noreset: the server never resets when its last client disconnects, so
    // the resources set below stay, and its sockets are not renewed (a reset
    // may lose them while other servers start beside it).
    server_ = spawn("Xvfb",
                    {"-displayfd", std::to_string(fds[1]), "-screen", "0",
                     std::to_string(options.width) + "x" + std::to_string(options.height) + "x24", "-dpi",
                     std::to_string(options.dpi),
                     "-nolisten", "tcp", "-noreset"},
                    fds[1]);
    close(fds[1]);
    if (server_ < 0) {
        close(fds[0]);
        error_ = "cannot start Xvfb";
        return;
    }
    // Xvfb writes its display number once it accepts clients.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + StartDeadline;
    while (number.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, int(left)) <= 0) break;
        char buffer[32];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, size_t(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not tell its display within " + std::to_string(StartDeadline.count()) + " s";
        return;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    const char* previous = std::getenv("DISPLAY");
    hadPrevious_ = previous != nullptr;
    if (previous) previous_ = previous;
    setenv("DISPLAY", display_.c_str(), 1);
}

void VirtualDisplay::setResources(const std::string& resources) {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) {
        error_ = "cannot open " + display_ + " to set its resources";
        return;
    }
    XChangeProperty(x, DefaultRootWindow(x), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), int(resources.size()));
    XSync(x, False);
    XCloseDisplay(x);
}

void VirtualDisplay::startWindowManager() {
    windowManager_ = spawn("openbox", {"--sm-disable"});
    if (windowManager_ < 0) {
        error_ = "cannot start openbox";
        return;
    }
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) {
        error_ = "cannot open " + display_ + " to wait for openbox";
        return;
    }
    // Ready once it frames a window: it takes the window manager's role early
    // in its start, but manages windows only once it has loaded the rest.
    const ::Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 16, 16, 0, 0, 0);
    XMapWindow(x, probe);
    XFlush(x);
    const auto deadline = std::chrono::steady_clock::now() + StartDeadline;
    bool ready = false;
    while (!ready && running(windowManager_) && std::chrono::steady_clock::now() < deadline) {
        ready = framedAndViewable(x, probe);
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XDestroyWindow(x, probe);
    XCloseDisplay(x);
    if (!ready) error_ = "openbox did not manage a window on " + display_ + " within " +
                         std::to_string(StartDeadline.count()) + " s";
}

bool VirtualDisplay::shownByWindowManager(unsigned long window) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return false;
    const bool shown = framedAndViewable(x, window);
    XCloseDisplay(x);
    return shown;
}

void VirtualDisplay::askToMaximise(unsigned long window) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // add
    event.xclient.data.l[1] = long(XInternAtom(x, "_NET_WM_STATE_MAXIMIZED_VERT", False));
    event.xclient.data.l[2] = long(XInternAtom(x, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    event.xclient.data.l[3] = 2;  // from the user, through a pager
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(x, False);
    XCloseDisplay(x);
}

std::set<std::string> VirtualDisplay::atomList(unsigned long window, const std::string& property) const {
    std::set<std::string> names;
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return names;
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, window, XInternAtom(x, property.c_str(), False), 0, 1024, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (char* name = XGetAtomName(x, atoms[i])) {
                names.insert(name);
                XFree(name);
            }
    }
    if (data) XFree(data);
    XSync(x, False);
    XSetErrorHandler(previous);
    XCloseDisplay(x);
    return names;
}

namespace {

// Sends the window manager the client message `type` about `window`, with
// up to three data values.
void tellWindowManager(const std::string& display, unsigned long window, const char* type,
                       std::initializer_list<long> data) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, type, False);
    event.xclient.format = 32;
    int i = 0;
    for (long value : data) event.xclient.data.l[i++] = value;
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(x, False);
    XCloseDisplay(x);
}

}  // namespace

void VirtualDisplay::askToClose(unsigned long window) const {
    tellWindowManager(display_, window, "_NET_CLOSE_WINDOW", {CurrentTime, 2 /* from a pager */});
}

void VirtualDisplay::askToMinimise(unsigned long window) const {
    tellWindowManager(display_, window, "WM_CHANGE_STATE", {IconicState});
}

unsigned long VirtualDisplay::transientFor(unsigned long window) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return 0;
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    ::Window owner = 0;
    if (!XGetTransientForHint(x, window, &owner)) owner = 0;
    XSync(x, False);
    XSetErrorHandler(previous);
    XCloseDisplay(x);
    return owner;
}

bool VirtualDisplay::minimised(unsigned long window) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return false;
    XErrorHandler previous = XSetErrorHandler(ignoreError);
    const Atom wmState = XInternAtom(x, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool iconic = XGetWindowProperty(x, window, wmState, 0, 2, False, wmState, &type, &format, &count, &after,
                                           &data) == Success &&
                        data && format == 32 && count >= 1 && reinterpret_cast<const long*>(data)[0] == IconicState;
    if (data) XFree(data);
    XSync(x, False);
    XSetErrorHandler(previous);
    XCloseDisplay(x);
    return iconic;
}

VirtualDisplay::~VirtualDisplay() {
    if (!display_.empty()) hadPrevious_ ? setenv("DISPLAY", previous_.c_str(), 1) : unsetenv("DISPLAY");
    stop(windowManager_);
    stop(server_);
}
