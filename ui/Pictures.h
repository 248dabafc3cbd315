#pragma once
// The program's eleven pictures. Each accessor reads its file from the
// program's resources on first use and keeps the picture for the life of the
// program, so every window and menu that shows it shares one object; a read
// that failed (nil) is tried again at the next call.

#include "framework/Ref.h"
#include "framework/gui/Picture.h"

Ref<Picture> _x_mac();        // "mac.png", 32 x 32
Ref<Picture> _x_csv();        // "csv.png", 32 x 32
Ref<Picture> _x_linux();      // "linux.png", 32 x 32
Ref<Picture> _x_brevolan();   // "brevolan.png", 32 x 32
Ref<Picture> _x_windows();    // "windows.png", 32 x 32
Ref<Picture> _x_settings();   // "settings.png", 32 x 32
Ref<Picture> _x_arrow();      // "arrow.png", 32 x 32
Ref<Picture> _x_about_16();   // "about_16.gif", 16 x 16
Ref<Picture> _x_exit_16();    // "exit_16.png", 16 x 16
Ref<Picture> _x_help_16();    // "help_16.png", 16 x 16
Ref<Picture> _x_elephant();   // "elephant.png", 243 x 251 (the splash window's picture area)
