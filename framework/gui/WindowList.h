#pragma once
// Inside the GUI layer: the note that a window has closed, after which the
// runtime ends the program when AutoQuit is set and no window is left.

void LastWindowMayHaveClosed();
