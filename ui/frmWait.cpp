#include "ui/frmWait.h"

#include "framework/Interaction.h"
#include "services/appSystem.h"
#include "services/appSystemWindows.h"
#include "ui/Pictures.h"
#include "ui/WindowParts.h"
#include "ui/frmMain.h"

void frmWaitWindow::Layout() {
    setDialogFrame(*this, "Brevolan", 316, 111);
    HasBackColor = false;
}

void frmWaitWindow::CreateControls() { _CreateControls0(); }

void frmWaitWindow::_CreateControls0() {
    lblMessage = addMessageLabel(*this, "lblMessage", "Untitled", 20, 14, 244, 38, 0);
    // A message that holds a long animal name would wrap its last line, the
    // record count, out of sight.
    lblMessage->SetElidesLines(true);
    // The operations report up to hundreds of thousands of times: the
    // message and the bar are laid out only as the window paints them, at
    // most once a frame.
    lblMessage->SetShowsChangesAtPainting(true);

    Canvas1 = AddControl<Canvas>("Canvas1");
    Canvas1->SetBackdrop(_x_settings());
    placeControl(Canvas1, 276, 14, 32, 32, 1);
    Canvas1->EraseBackground = true;
    Canvas1->DoubleBuffer = false;

    cmdCancel = addPushButton(*this, "cmdCancel", "Cancel", 231, 84, 77, 22, 2);
    cmdCancel->Action = [this] { cmdCancel_Action(cmdCancel); };

    ProgressBar1 = placeControl(AddControl<ProgressBar>("ProgressBar1"), 14, 62, 294, 10, 3);
    ProgressBar1->SetMaximum(100);
    ProgressBar1->SetValue(0);
    ProgressBar1->SetVisible(true);
    ProgressBar1->SetShowsChangesAtPainting(true);
}

void frmWaitWindow::cmdCancel_Action(const Ref<PushButton>&) {
    appSystem::closeData();
    const appSystem::Output& output = appSystem::output;
    if (output.pickedDatabase && output.uncommitted) {
        // Nothing that the conversion wrote is lasting yet: stopping leaves
        // the database as it was.
        if (MsgBox("The Brevolan database " + appSystem::destinationFilePath +
                       " doesn't contain the new records yet." + EndOfLine +
                       "Do you want to stop and leave the database as it was? ",
                   MsgBoxYesNoQuestion, "Stop Import") == AnswerYes)
            progressWindow.MarkCancelled();
    } else if (output.pickedDatabase) {
        // A CAV database is one that the user picked and cannot make again
        // here: it is never deleted, and the user learns what it now holds.
        MsgBox("The Brevolan database " + appSystem::destinationFilePath +
               " is not deleted: the converter did not create it." + EndOfLine + Str(output.recordsWritten) +
               " records have been written to it so far.");
    } else if (!output.createdFile.empty() &&
               MsgBox("The new file doesn't contain all the records yet." + EndOfLine +
                          "Do you want to delete the new file? ",
                      MsgBoxYesNoQuestion, "Delete Incomplete File") == AnswerYes) {
        // The conversion reads the mark after this yield, stops and removes
        // its incomplete file once it returns.
        progressWindow.MarkCancelled();
        // Only a converter window that is open has labels to clear; a closed
        // one is not brought back for it.
        if (Ref<frmMainWindow> main = frmMain.Current()) {
            main->lblDestination->SetVisible(false);
            main->lblDestinationFilePath->SetText("");
        }
    }
    Close();
}

void frmWaitWindow::Event_Open() { appSystem::setFontSize(frmWait); }

frmWaitWindow& frmWaitProgress::window() {
    // Kept between reports: reaching the window through frmWait at each of
    // them costs more than the report. One that has closed is let go, and
    // frmWait builds a new one.
    if (!window_ || window_->IsClosed()) window_ = frmWait.Get();
    return *window_;
}

void frmWaitProgress::Show() { window().Show(); }

void frmWaitProgress::SetBarVisible(bool visible) { window().ProgressBar1->SetVisible(visible); }

void frmWaitProgress::SetMaximum(int maximum) { window().ProgressBar1->SetMaximum(maximum); }

void frmWaitProgress::SetValue(int value) { window().ProgressBar1->SetValue(value); }

void frmWaitProgress::SetMessage(const String& text) { window().lblMessage->SetText(text); }

void frmWaitProgress::Refresh() { window().Refresh(true); }

void frmWaitProgress::Close() {
    window_ = nullptr;
    if (frmWait.IsOpen()) frmWait->Close();
}
