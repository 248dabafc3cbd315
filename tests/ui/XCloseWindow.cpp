// x_close_window WINDOW-ID: asks the X client that owns the window to close
// it, as a window manager does when the user clicks the close box (a
// WM_DELETE_WINDOW message of the WM_PROTOCOLS kind). Exits 1 when the
// display or the window cannot be reached.

#include <cstdio>
#include <cstdlib>

#include <X11/Xlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x_close_window WINDOW-ID\n");
        return 2;
    }
    const Window window = Window(std::strtoul(argv[1], nullptr, 0));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x_close_window: cannot open the display\n");
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
