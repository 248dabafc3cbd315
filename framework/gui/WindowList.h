#pragma once
// Inside the GUI layer: what runs each time a window has closed. The
// application sets it (Application.cpp), so that the runtime ends the
// program when AutoQuit is set and no window is left.

void SetWindowClosedHandler(void (*handler)());
