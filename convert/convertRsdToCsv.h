#pragma once
// The export of an RSD/CAX file's animals (its tree table) into a CSV file
// beside it, named after it with "( tree ).csv": one heading line with the
// custom headings of settings, then one line per animal with its parents by
// name. The RSD/CAX file is only read.

#include "framework/Text.h"
#include "services/appSystem.h"

class Progress;

namespace convertRsdToCsv {

// The fixed start of the export's heading line; the twelve custom headings
// follow it, separated by commas.
inline const String csvExportHeadings =
    "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,";

// Sets appSystem::destinationFilePath to the output path, beside
// appSystem::sourceFilepath and named after it with "( tree ).csv", shows
// the progress display, exports the source, closes the display and shows
// "Operation completed" when the file was written.
void runConvertRSDCSV();

// Writes the RSD/CAX file `source` into the CSV file `destination`, under a
// temporary name beside it (appSystem::output.createdFile, which Cancel
// offers to delete); the file takes the destination's place, replacing an
// earlier export, only once it is completely on the disk; every 50th animal
// is reported to `progress`. True when it was written; otherwise false,
// with an earlier file at the output path as it was and the temporary file
// removed: at once after a Cancel that asked for the deletion, or after
// closing the progress display and telling why (the source could not be
// read or is in use, the output could not be created, written or put in
// place, or it was moved or deleted while it was written).
bool Export_Tree(const String& source, const String& destination, Progress& progress);

}  // namespace convertRsdToCsv
