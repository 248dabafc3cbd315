#pragma once
// How the converter starts. _Main runs the early steps (plug-in libraries,
// the file-type sets, then the application object), opens the splash window
// as the only window and runs the event loop until the application quits:
// when its last window has closed (AutoQuit), or through Quit.

// Runs the start-up steps and the event loop; returns the loop's exit code
// (0 after a quit, 1 after a failure no handler caught, which goes to the
// runtime's UnhandledException).
int _Main();

// The steps, in the order _Main runs them.
void _EarlyStartup();  // plug-ins, the progress window as the progress display, _InitFileTypes,
                       // _NewAppInstance, _ApplicationAddMenuHandlers
void _InitFileTypes();  // DatabaseFiles, CSVFiles, CAVFiles, in this order
void _ApplicationAddMenuHandlers();  // the application has no menu handlers of its own
void _LateStartup();  // _MakeDefaultView
void _MakeDefaultView();  // builds and shows frmSplash
