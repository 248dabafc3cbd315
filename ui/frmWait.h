#pragma once
// The progress window. Long operations report to it through the progress
// display (services/Progress.h) that start-up installs, `progressWindow`,
// which reaches the window through `frmWait` at every step: `frmWait` builds
// and shows a new window whenever none is open.
//
//   progress.Show();             frmWait->Show();                 returns at once
//   progress.SetBarVisible(b);   frmWait->ProgressBar1->SetVisible(b);
//   progress.SetMaximum(total);  frmWait->ProgressBar1->SetMaximum(total);
//   progress.SetValue(done);     frmWait->ProgressBar1->SetValue(done);
//   progress.SetMessage(text);   frmWait->lblMessage->SetText(text);
//   progress.Refresh();          frmWait->Refresh(true);          redraws now
//   progress.Close();            frmWait->Close(), when one is open
//
// Cancel closes appSystem::db, then by appSystem::output: asks whether to
// delete the incomplete file that the conversion made, or, for a CAV
// database that the user picked, asks whether to stop and leave it as it
// was while the conversion's records are not committed yet, else tells how
// many records were written to it (it is never deleted); then it closes the
// window. Yes marks the display
// cancelled (Progress::MarkCancelled): the conversion stops at its next
// step and removes its incomplete file once it returns, without a
// completion. Otherwise the running operation goes on, and its next report
// opens a new window.
// Return and Escape do not press Cancel; the close box only closes the
// window.

#include "framework/Ref.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Window.h"
#include "services/Progress.h"

class frmWaitWindow : public Window {
public:
    // The controls, in creation and tab order.
    Ref<Label> lblMessage;         // "Untitled" until the first report
    Ref<Canvas> Canvas1;           // the "settings.png" picture
    Ref<PushButton> cmdCancel;     // "Cancel"
    Ref<ProgressBar> ProgressBar1; // maximum 100, value 0

    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();

    // Cancel: closes the shared database, offers to delete the incomplete
    // file that the conversion made (Yes marks the conversion cancelled; it
    // deletes the file itself), offers to stop a conversion whose records in
    // a picked CAV database are not committed yet (Yes marks it cancelled; it
    // undoes them itself) or tells what a picked CAV database holds now, and
    // closes this window, whatever the answer.
    void cmdCancel_Action(const Ref<PushButton>& button);
    // Gives the label and the button the program's text size.
    void Event_Open() override;
};

inline ImplicitInstance<frmWaitWindow> frmWait;

// The progress display on the progress window, as in the table above.
class frmWaitProgress : public Progress {
public:
    void Show() override;
    void SetBarVisible(bool visible) override;
    void SetMaximum(int maximum) override;
    void SetValue(int value) override;
    void SetMessage(const String& text) override;
    void Refresh() override;
    void Close() override;

private:
    // The open progress window, built when none is open, as frmWait gives it.
    frmWaitWindow& window();
    Ref<frmWaitWindow> window_;
};

inline frmWaitProgress progressWindow;
