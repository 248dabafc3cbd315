#pragma once
// Files and folders, as the framework's FolderItem: an item exists also for a
// path where nothing is (yet); paths are POSIX paths, and a folder's absolute
// path ends with "/".

#include "framework/Ref.h"
#include "framework/Streams.h"
#include "framework/Text.h"

class FolderItem {
public:
    explicit FolderItem(String path);  // absolute, without a trailing "/"

    bool Exists() const;
    bool Directory() const;
    // The absolute path; a folder's ends with "/".
    String AbsolutePath() const;
    // The last part of the path.
    String Name() const;
    // The folder that holds this item; nil for the root.
    Ref<FolderItem> Parent() const;
    // The item named `name` inside this folder (it need not exist).
    Ref<FolderItem> Child(const String& name) const;
    // Deletes the file (or empty folder). Returns false when it could not.
    bool Delete();
    // Makes a new empty file in place of any existing one and opens it for
    // writing; nil when it cannot be created.
    Ref<TextOutputStream> CreateTextFile();
    // Opens the file for reading; nil when it cannot be opened (missing, a
    // folder). Something other than a regular file (a FIFO, a device, a
    // socket) or a file beyond TextInputStream::MaxBytes is not read and
    // gives a stream whose ErrorMessage tells why; so does a file whose text
    // does not fit into memory. None of this waits for a writer.
    Ref<TextInputStream> OpenAsTextFile();
    // Opens the item with the desktop's default program (through the
    // interaction point, so tests record it instead).
    void Launch();

    String MacType;     // kept for the file-type sets; no meaning on Linux
    String MacCreator;

private:
    String path_;
};

// The item for a path. Path mode 0 takes the text as a native POSIX path; a
// relative path is taken from the current working folder. Nil for an empty path.
Ref<FolderItem> GetFolderItem(const String& path, int pathMode = 0);

// The user's special folders, following the XDG user directories
// (xdg-user-dirs: $XDG_CONFIG_HOME/user-dirs.dirs, then $HOME). Nil when the
// folder cannot be determined.
namespace SpecialFolder {
Ref<FolderItem> Desktop();
Ref<FolderItem> Documents();
Ref<FolderItem> Applications();  // /usr/share/applications
// A folder for files that the program makes for a while and hands to the
// desktop's programs (a page for the browser): the user's runtime folder
// ($XDG_RUNTIME_DIR), else the user's cache folder ($XDG_CACHE_HOME, else
// $HOME/.cache), else the temporary folder ($TMPDIR, else /tmp); the first
// that is a folder this process may write in. Nil when none is.
Ref<FolderItem> Temporary();
}  // namespace SpecialFolder
