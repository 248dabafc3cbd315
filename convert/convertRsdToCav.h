#pragma once
// The export of an RSD/CAX file's animals, matings, sold stock and
// vaccinations into an existing, empty CAV database that the Brevolan
// program made: one INSERT per source row, each executed and committed on
// its own. The RSD/CAX file is only read; progress goes to the progress
// display.

#include "framework/Text.h"
#include "services/appSystem.h"

class Progress;

namespace convertRsdToCav {

// Shows the progress display, exports appSystem::sourceFilepath into the CAV
// file at appSystem::destinationFilePath, closes the display and shows the
// message that ExportTables gives (none when the CAV file could not be
// reached).
void runConvertRsdToCav();

// Copies tree, breeding, soldstock and vaccinations of the RSD/CAX file
// `source` (the path that Convert copied from the converter window's path
// field) into the CAV tables tree, matings, soldStock and vaccinations of
// the CAV file `destination`, reporting every fifth row of each to `progress`. Returns the
// closing message:
// "Operation completed", followed by lines about the rows that were not
// written and the tables that could not be read; or, when the source gives
// no animals at all, the message that says so. A CAV file that cannot be
// reached is told with its "Database Error: " box and gives "": nothing was
// exported, so no completion is reported.
String ExportTables(const String& source, const String& destination, Progress& progress);

}  // namespace convertRsdToCav
