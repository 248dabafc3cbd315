// Starts the GUI runtime as the program does, with a display wait of the
// test's own length, so that a test of a display that never answers need
// not wait the program's seconds.
//
//   display_wait_probe MILLISECONDS
// Ends with code 0 when the runtime started, else as the runtime ends it.

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "framework/gui/Runtime.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: display_wait_probe MILLISECONDS\n", stderr);
        return 2;
    }
    SetDisplayAnswerWait(std::chrono::milliseconds(std::atol(argv[1])));
    int runtimeArgc = 1;  // the program's name only
    InitGuiRuntime(runtimeArgc, argv);
    ShutdownGuiRuntime();
    return 0;
}
