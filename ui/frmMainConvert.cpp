// Convert, once its checks have passed: the dispatch to one conversion, the
// choice of an empty CAV database and the start of the Brevolan program.
// The conversions are not part of this build yet: Convert stops after its
// checks, no CAV database is chosen and the Brevolan program is not started.

#include "ui/frmMain.h"

void frmMainWindow::dispatchConversion() {}

String frmMainWindow::makeCavFile() { return ""; }

bool frmMainWindow::launchBrevolan() { return false; }
