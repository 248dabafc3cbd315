#include "services/FileTypeSets.h"

namespace {

// Makes a set's file type, stores it in the holding property and appends it
// to the set's list of all its types.
void initialiseSet(Ref<FileType>& holder, std::vector<Ref<FileType>>& all, const String& name,
                   const String& extensions, const String& macType) {
    holder = New<FileType>();
    holder->Name = name;
    holder->Extensions = extensions;
    holder->MacType = macType;
    holder->MacCreator = "";
    holder->MimeType = "";
    holder->Imported = true;
    holder->ConformsTo = "";
    all.push_back(holder);
}

}  // namespace

namespace DatabaseFiles {
Ref<FileType> pDatabaseFiles;
std::vector<Ref<FileType>> pAllFileTypes;
Ref<FileType> DatabaseFiles() { return pDatabaseFiles; }
void _Initialize() { initialiseSet(pDatabaseFiles, pAllFileTypes, "Database Files", "cax;rsd", "cax"); }
String All() { return "Database Files;"; }
}  // namespace DatabaseFiles

namespace CSVFiles {
Ref<FileType> pCSVFiles;
std::vector<Ref<FileType>> pAllFileTypes;
Ref<FileType> CSVFiles() { return pCSVFiles; }
void _Initialize() { initialiseSet(pCSVFiles, pAllFileTypes, "CSV Files", "csv;txt", "csv"); }
String All() { return "CSV Files;"; }
}  // namespace CSVFiles

namespace CAVFiles {
Ref<FileType> pOldBrevolanDatabase;
std::vector<Ref<FileType>> pAllFileTypes;
Ref<FileType> OldBrevolanDatabase() { return pOldBrevolanDatabase; }
void _Initialize() {
    initialiseSet(pOldBrevolanDatabase, pAllFileTypes, "Old Brevolan Database", "cav", "cav");
}
String All() { return "Old Brevolan Database;"; }
}  // namespace CAVFiles
