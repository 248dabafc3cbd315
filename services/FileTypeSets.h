#pragma once
// The three sets of file types that the converter reads, used as filters of
// the file-open dialog. Each set's _Initialize makes its file type (which the
// dialog then finds by name) and must run once at start; All returns the
// filter text, also before that.

#include <vector>

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/FileType.h"

namespace DatabaseFiles {
extern Ref<FileType> pDatabaseFiles;              // nil until _Initialize
extern std::vector<Ref<FileType>> pAllFileTypes;  // empty until _Initialize
Ref<FileType> DatabaseFiles();
void _Initialize();  // "Database Files", extensions "cax;rsd"
String All();        // "Database Files;"
}  // namespace DatabaseFiles

namespace CSVFiles {
extern Ref<FileType> pCSVFiles;
extern std::vector<Ref<FileType>> pAllFileTypes;
Ref<FileType> CSVFiles();
void _Initialize();  // "CSV Files", extensions "csv;txt"
String All();        // "CSV Files;"
}  // namespace CSVFiles

namespace CAVFiles {
extern Ref<FileType> pOldBrevolanDatabase;
extern std::vector<Ref<FileType>> pAllFileTypes;
Ref<FileType> OldBrevolanDatabase();
void _Initialize();  // "Old Brevolan Database", extension "cav"
String All();        // "Old Brevolan Database;"
}  // namespace CAVFiles
