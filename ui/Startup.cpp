#include "ui/Startup.h"

#include <exception>

#include "framework/gui/Application.h"
#include "framework/gui/Runtime.h"
#include "framework/plugin/PluginHost.h"
#include "services/FileTypeSets.h"
#include "plugins/PluginEntryTable.h"
#include "services/Progress.h"
#include "ui/App.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

// Tells the framework the program's name and where the program's libraries
// are: the folder "Brevolan Libs" beside the executable, then "Libs".
void introduceProgram() {
    SetProgramName("Brevolan");
    SetPluginSearchPath("$ORIGIN/Brevolan Libs:$ORIGIN/Libs");
}

// Binds the plug-in libraries that the program's entry table names, the ODBC
// connector "Corvane64.so" among them, from the folders beside the
// executable. A missing library never stops the program: its entries stay
// unbound and a connection through it fails with a message.
void bindPluginLibraries() { plugins::BindPluginEntries(); }

}  // namespace

void _InitFileTypes() {
    DatabaseFiles::_Initialize();
    CSVFiles::_Initialize();
    CAVFiles::_Initialize();
}

void _ApplicationAddMenuHandlers() {}

void _EarlyStartup() {
    bindPluginLibraries();
    // The conversions report to the progress window.
    SetProgress(&progressWindow);
    _InitFileTypes();
    _NewAppInstance();
    _ApplicationAddMenuHandlers();
}

void _MakeDefaultView() { frmSplash.Get(); }

void _LateStartup() { _MakeDefaultView(); }

int _Main() {
    try {
        introduceProgram();
        _EarlyStartup();
        // The late steps need the GUI runtime; the windows start it when the
        // program has not.
        InitGuiRuntime();
        _LateStartup();
        return RuntimeRun();
    } catch (const std::exception& failure) {
        UnhandledException(failure);
        return 1;
    }
}
