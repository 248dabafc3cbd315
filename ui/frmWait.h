#pragma once
// The progress window. A long operation reaches it through `frmWait`, which
// builds and shows a new window whenever none is open, writes its message
// and bar, redraws it and yields to the event loop at every loop pass:
//
//   frmWait->Show();                                   // returns at once
//   frmWait->lblMessage->SetText("Reading line 12");
//   frmWait->ProgressBar1->SetMaximum(total);
//   frmWait->ProgressBar1->SetValue(done);
//   frmWait->Refresh();                                // redraws now
//   YieldToEventLoop();                                // Cancel may run here
//   ...
//   frmWait->Close();                                  // before the completion message
//
// Cancel closes appSystem::db, then by appSystem::output: asks whether to
// delete the incomplete file that the conversion made, or, for a CAV
// database that the user picked, tells how many records were written to it
// (it is never deleted); then it closes the window. It sets no flag: the
// running operation goes on, and its next use of `frmWait` opens a new
// window. Return and Escape do not press Cancel; the close box only closes
// the window. To close the window without building one, test first:
// `if (frmWait.IsOpen()) frmWait->Close();`.

#include <cstdint>

#include "framework/Ref.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Window.h"

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
    // file that the conversion made (or tells what a picked CAV database
    // holds now) and closes this window, whatever the answer.
    void cmdCancel_Action(const Ref<PushButton>& button);
    // Gives the label and the button the program's text size.
    void Event_Open() override;
};

inline ImplicitInstance<frmWaitWindow> frmWait;

// The bar's value for `count` rows of `total`, as every operation computes
// it: the integer part of count / total * total in double precision, which
// is the count or, where the product falls just below it, one less. The
// count itself when the total is 0.
int ProgressBarValue(int64_t count, int64_t total);
