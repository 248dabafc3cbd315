#include "ui/frmWait.h"

#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"
#include "services/appSystemWindows.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"

void frmWaitWindow::Layout() {
    SetTitle("Brevolan");
    SetWidth(316);
    SetHeight(111);
    MinWidth = 64;
    MinHeight = 64;
    MaxWidth = 32000;
    MaxHeight = 32000;
    Frame = FrameType::ModalDialog;
    CloseButton = true;
    Resizeable = true;
    LiveResize = true;
    MaximizeButton = false;
    MinimizeButton = true;
    FullScreenButton = false;
    Placement = WindowPlacement::Default;
    HasBackColor = false;
}

void frmWaitWindow::CreateControls() { _CreateControls0(); }

void frmWaitWindow::_CreateControls0() {
    lblMessage = AddControl<Label>("lblMessage");
    lblMessage->SetLeft(20);
    lblMessage->SetTop(14);
    lblMessage->SetWidth(244);
    lblMessage->SetHeight(38);
    lblMessage->SetTabIndex(0);
    lblMessage->SetTextFont("System");
    lblMessage->SetTextSize(0);
    lblMessage->SetMultiline(true);
    lblMessage->SetTextColor(Color::Hex(0x000000));
    lblMessage->SetTextAlign(TextAlignment::Left);
    lblMessage->SetTransparent(true);
    lblMessage->SetSelectable(false);
    lblMessage->SetText("Untitled");

    Canvas1 = AddControl<Canvas>("Canvas1");
    Canvas1->SetBackdrop(_x_settings());
    Canvas1->SetLeft(276);
    Canvas1->SetTop(14);
    Canvas1->SetWidth(32);
    Canvas1->SetHeight(32);
    Canvas1->SetTabIndex(1);
    Canvas1->EraseBackground = true;
    Canvas1->DoubleBuffer = false;

    cmdCancel = AddControl<PushButton>("cmdCancel");
    cmdCancel->SetLeft(231);
    cmdCancel->SetTop(84);
    cmdCancel->SetWidth(77);
    cmdCancel->SetHeight(22);
    cmdCancel->SetTabIndex(2);
    cmdCancel->SetTextFont("System");
    cmdCancel->SetCaption("Cancel");
    cmdCancel->Action = [this] { cmdCancel_Action(cmdCancel); };

    ProgressBar1 = AddControl<ProgressBar>("ProgressBar1");
    ProgressBar1->SetLeft(14);
    ProgressBar1->SetTop(62);
    ProgressBar1->SetWidth(294);
    ProgressBar1->SetHeight(10);
    ProgressBar1->SetTabIndex(3);
    ProgressBar1->SetMaximum(100);
    ProgressBar1->SetValue(0);
    ProgressBar1->SetVisible(true);
}

void frmWaitWindow::cmdCancel_Action(const Ref<PushButton>&) {
    appSystem::closeData();
    const int answer = MsgBox("The new file doesn't contain all the records yet." + EndOfLine +
                                  "Do you want to delete the new file? ",
                              MsgBoxYesNoQuestion, "Delete Incomplete File");
    if (answer == AnswerYes) {
        Ref<FolderItem> file = GetFolderItem(appSystem::destinationFilePath);
        if (file && file->Exists()) {
            file->Delete();
            // Only a converter window that is open has labels to clear; a
            // closed one is not brought back for it.
            if (Ref<frmMainWindow> main = frmMain.Current()) {
                main->lblDestination->SetVisible(false);
                main->lblDestinationFilePath->SetText("");
            }
        }
    }
    Close();
}

void frmWaitWindow::Event_Open() { appSystem::setFontSize(frmWait); }
