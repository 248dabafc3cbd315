#pragma once
// The interaction point on real Qt dialogs and the desktop.
//
// ShowMessage: a modal QMessageBox, a dialog of the window it belongs to
// (the modal window that takes the input, else the active one, else the
// newest open window in sight), so that window managers keep it with that
// window. A minimising of the box (and of its window with it) is undone at
// once: the program waits for the answer. The buttons code
// is the framework's: its lowest three bits choose the buttons (0 OK, 1 OK
// and Cancel, 2 Abort, Retry and Ignore, 3 Yes, No and Cancel, 4 Yes and No,
// 5 Retry and Cancel), 16, 32, 48 or 64 the icon (stop, question,
// exclamation, information), 256 and 512 make the second or third button the
// default. The answer is 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes,
// 7 No; closing the box without a button answers Cancel, or No where there is
// no Cancel, else the first button. The box has the title it is given.
//
// ChooseFile: a modal QFileDialog (Qt's own, never the desktop's), a dialog
// of the window it belongs to and kept in sight as a box is, for one
// existing file, starting in the initial folder (its nearest existing parent
// when it does not exist), offering the file types the filter names
// (FileDialogNameFilters); it lists also the files whose names are no UTF-8
// (FileOpenDialog). Returns the chosen file with the file system's bytes for
// its path, or nil on cancel.
//
// Beep: QApplication::beep. Launch: QDesktopServices::openUrl of the file;
// raises IOException when the desktop could not be asked to open it.

#include <vector>

#include "framework/Interaction.h"

class DesktopInteraction : public InteractionHandler {
public:
    int ShowMessage(const String& text, int buttons, const String& title) override;
    Ref<FolderItem> ChooseFile(const String& title, const String& filter,
                               const Ref<FolderItem>& initialFolder) override;
    void Beep() override;
    void Launch(const FolderItem& item) override;
};

// The dialog's name filters for a filter text of file-type names each ending
// ";" ("CSV Files;Database Files;"): one entry per name that names an
// existing FileType, "CSV Files (*.csv *.txt)", in the filter's order. Names
// of no file type are left out; no entry at all means every file is offered.
std::vector<String> FileDialogNameFilters(const String& filter);
