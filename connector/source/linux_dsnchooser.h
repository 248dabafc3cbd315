#pragma once
// The data-source chooser and the login dialog that Connect shows when it
// has no connection text at all. Both are GTK+ 2 dialogs; GTK+ 2 and GObject
// are loaded by library name the first time a dialog is needed, so the
// connector loads and works without them as long as no dialog is shown.
// Each dialog runs a nested GTK+ main loop on the calling thread and returns
// when it closes.

namespace corvane {

// The size of the texts that AskLogin writes, NUL included.
inline constexpr int kLoginTextSize = 128;

// Loads GTK+ 2 and GObject and resolves every function the dialogs use
// (once; again only while gtk_init is still missing). A function that is
// not found is reported through the framework's assertion entry point.
void LoadGtk();

// The data-source name that the user picked, allocated with malloc (the
// caller frees it), or none: GTK+ or a display is not available, the user
// cancelled or closed the dialog, or pressed "_Ok" with no row selected.
char* ChooseDataSource();

// Asks for a user name and password for `dsn` (none: "Unknown"), showing
// `user` and `password` first. After "_Ok" `userOut` and `passwordOut`
// (kLoginTextSize bytes each) hold the entered texts, cut to fit at a whole
// character; after "_Cancel", a closed dialog, or without GTK+ they keep
// theirs.
void AskLogin(const char* user, const char* password, const char* dsn, char* userOut, char* passwordOut);

}  // namespace corvane
