#include "ui/frmSplash.h"

#include "services/appSystemWindows.h"
#include "ui/App.h"
#include "ui/Pictures.h"
#include "ui/WindowParts.h"
#include "ui/frmMain.h"

namespace {

// A version number in decimal, with a leading "0" below 10.
String twoDigits(int number) { return number < 10 ? "0" + Str(int64_t(number)) : Str(int64_t(number)); }

}  // namespace

void frmSplashWindow::Layout() {
    setDialogFrame(*this, "Brevolan", 486, 273);
    HasBackColor = true;
    BackColor = Color::Hex(0xDBE7F2);
}

void frmSplashWindow::CreateControls() { _CreateControls0(); }

void frmSplashWindow::_CreateControls0() {
    lblMessage = addMessageLabel(*this, "lblMessage", "", 244, 34, 228, 191, 0);

    Canvas1 = AddControl<Canvas>("Canvas1");
    Canvas1->SetBackdrop(_x_elephant());
    placeControl(Canvas1, -11, 4, 243, 251, 1);
    Canvas1->UseFocusRing = false;
    Canvas1->EraseBackground = false;
    Canvas1->DoubleBuffer = false;

    lblTitle = placeControl(AddControl<Label>("lblTitle"), 244, 14, 234, 20, 2);
    lblTitle->SetBold(true);
    lblTitle->SetMultiline(false);
    lblTitle->SetText("Brevolan File Converter");

    cmdStart = addPushButton(*this, "cmdStart", "I Agree", 290, 237, 80, 22, 3);
    cmdStart->Action = [this] { cmdStart_Action(cmdStart); };
    cmdExit = addPushButton(*this, "cmdExit", "I Don't Agree", 382, 237, 90, 22, 4);
    cmdExit->Action = [this] { cmdExit_Action(cmdExit); };
}

void frmSplashWindow::cmdStart_Action(const Ref<PushButton>&) {
    Close();
    frmMain->Show();
}

void frmSplashWindow::cmdExit_Action(const Ref<PushButton>&) { Close(); }

void frmSplashWindow::Event_Open() {
    appSystem::setFontSize(frmSplash);
    setLabelMessage();
}

void frmSplashWindow::setLabelMessage() {
    lblTitle->SetText("Brevolan File Converter - Version " + getVersion(true));
    const String p1 = "Use this program to export and import Brevolan Animal Breeder files to and from other formats. ";
    const String p2 =
        "This program is provided for Brevolan customers only. It will not harm your original data files as it only "
        "reads from them to create new files. You should ensure all your data is correctly converted before deleting "
        "any original files. ";
    const String p3 =
        "By using this program you agree to only use it in conjunction with Brevolan software and to take full "
        "responsibility for the preservation and security of your data.";
    lblMessage->SetText(p1 + EndOfLine + EndOfLine + p2 + EndOfLine + p3);
}

String frmSplashWindow::getVersion(bool withDots) {
    const String first = Str(int64_t(App->MajorVersion));
    const String second = twoDigits(App->MinorVersion);
    const String third = twoDigits(App->BugVersion);
    return withDots ? first + "." + second + "." + third : first + second + third;
}
