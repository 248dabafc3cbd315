// The converter program: starts the GUI runtime with real dialogs, runs the
// start-up sequence and the event loop, and ends the runtime.

#include <cstdio>
#include <cstdlib>

#include "framework/gui/Runtime.h"
#include "ui/Startup.h"

namespace {

bool set(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display Qt would stop with an abort; say what is missing.
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::fputs(
            "Brevolan: no graphical display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
            "The converter opens windows: start it from a desktop session, or under a virtual\n"
            "X server, for example: xvfb-run -a build/Brevolan\n",
            stderr);
        return 1;
    }
    InitGuiRuntime(argc, argv);
    InstallDesktopInteraction();
    const int code = _Main();
    ShutdownGuiRuntime();
    return code;
}
