#pragma once
// File types, as the file-open dialog's filter names them.
//
// Every FileType object that exists can be found by its Name: a filter such
// as "CSV Files;" names file types, and the dialog offers the extensions of
// each named type. An object takes part from the moment it is made until it
// is destroyed; its fields are read at the time of the look-up.

#include <vector>

#include "framework/Text.h"

class FileType {
public:
    FileType();
    ~FileType();
    FileType(const FileType&) = delete;
    FileType& operator=(const FileType&) = delete;

    String Name;
    String Extensions;  // "csv;txt": extensions joined by ";", with or without "."
    String MacType;
    String MacCreator;
    String MimeType;
    String ConformsTo;
    bool Imported = false;

    // The extensions one by one, lower case, without dots or blanks, empty
    // entries left out ("csv;.TXT;" gives csv, txt).
    std::vector<String> ExtensionList() const;
};

// The file type called `name` (case ignored); the one made last when several
// have that name; nullptr when none exists.
const FileType* FindFileType(const String& name);
