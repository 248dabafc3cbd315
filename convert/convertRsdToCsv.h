#pragma once
// The export of an RSD/CAX file's animals (its tree table) into a CSV file
// beside it, named after it with "( tree ).csv": one heading line with the
// custom headings of settings, then one line per animal with its parents by
// name. The RSD/CAX file is only read.

#include "framework/Text.h"

namespace convertRsdToCsv {

// The fixed start of the export's heading line; the twelve custom headings
// follow it, separated by commas.
inline const String csvExportHeadings =
    "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,";

// Shows frmWait, exports appSystem::sourceFilepath, closes frmWait and shows
// "Operation completed", or the message that tells why nothing (or not all)
// was written.
void runConvertRSDCSV();

// Sets appSystem::destinationFilePath to the output path and writes the
// file. Returns "" when it was written, otherwise the message for the user
// (the source could not be read, the output could not be created or written).
String Export_Tree();

}  // namespace convertRsdToCsv
