#pragma once
// The import of a CSV herd file into a new RSD/CAX database file: the twelve
// tables, the captions of the custom columns in settings, one tree row per
// data line, the pedigree links between the new rows, the sex from
// parenthood when the file has no sex column and the user agrees, and the
// version stamp. Progress goes to the progress display; the user is asked and
// told through the interaction point.

#include "framework/Ref.h"
#include "framework/SqlFileDatabase.h"
#include "framework/Text.h"

namespace convertCsvToRsd {

// Imports appSystem::sourceFilepath into a new file at
// appSystem::destinationFilePath (asking before it replaces an existing one)
// and ends with "Operation completed". Sets appSystem::dataPath to the new
// file and the publicVariables flags from the file's heading line. A source
// that cannot be read is told before anything is created or deleted.
void convertCSV();

// Stores the caption `value` of a custom slot (apostrophes as backticks) in
// the settings column `column` of the new file through the import's own
// `database`, creating the settings row with the first caption. False when
// it is not stored: the file is gone (a Cancel deleted it), or the database
// refused it, which is told.
bool saveToSettings(const Ref<SqlFileDatabase>& database, const String& column, const String& value);

}  // namespace convertCsvToRsd
