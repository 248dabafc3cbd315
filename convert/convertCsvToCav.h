#pragma once
// The import of a CSV herd file into an existing, empty CAV database that
// the Brevolan program made: every line's comma count checked against the
// heading line's (with an error report on the desktop on request), the
// headings mapped, the custom-field captions stored in cavyUser, one INSERT
// per data line, the parents' names filled from their ids when the file has
// no name columns for them, and the sex from parenthood when it has no sex
// column and the user agrees. Every apostrophe of the file is stored as "$".

#include "framework/Ref.h"
#include "framework/Text.h"
#include "plugins/ODBCDatabase.h"

namespace convertCsvToCav {

// Imports appSystem::sourceFilepath into the CAV file at
// appSystem::destinationFilePath and ends with "Operation completed",
// followed by lines about birth dates that could not be read. Sets the
// publicVariables flags from the file's heading line. Ends earlier, with its
// message, when the CAV file cannot be reached or the source read, or when
// the user chooses to stop. The captions and the rows are one transaction,
// committed after the last row: a Cancel answered Yes, a row that the
// database refuses or a lost connection undoes it, the file is as it was,
// and the message says that none of the records were written.
void runconvertCSVtoCav();

// Stores the caption `value` of a custom slot (apostrophes as backticks) in
// the cavyUser column `column` ("fldCustomName1" to "fldCustomName12") of
// the CAV file that the import's connection `db` reaches, within the
// import's transaction: by update of the row whose id is 1 when the first
// row has that id, else by inserting a row that holds only this caption. A
// caption that cannot be stored is told; false when the database refused to
// write it, and the import stops.
bool saveToSettings(const Ref<ODBCDatabase>& db, const String& column, const String& value);

}  // namespace convertCsvToCav
