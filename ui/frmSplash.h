#pragma once
// The splash window, the program's first window and later its About box: a
// picture, the title with the version and the terms of use, with "I Agree"
// (closes it and shows the converter window) and "I Don't Agree" (closes it;
// at start, with no window left, the program ends). `frmSplash` builds the
// window on first use (it shows at once) and returns the same window until it
// is closed. Agreeing is not remembered.

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Window.h"

class frmSplashWindow : public Window {
public:
    // The controls, in creation and tab order.
    Ref<Label> lblMessage;   // the terms of use, filled when the window opens
    Ref<Canvas> Canvas1;     // the "elephant.png" picture
    Ref<Label> lblTitle;     // "Brevolan File Converter - Version 2.03.01" once open
    Ref<PushButton> cmdStart;  // "I Agree"
    Ref<PushButton> cmdExit;   // "I Don't Agree"

    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();

    // "I Agree": closes this window, then shows the converter window.
    void cmdStart_Action(const Ref<PushButton>& button);
    // "I Don't Agree": closes this window.
    void cmdExit_Action(const Ref<PushButton>& button);
    // Text size of the labels and buttons, then setLabelMessage.
    void Event_Open() override;
    // Fills the title and the three paragraphs of the terms of use.
    void setLabelMessage();
    // The application's version from its first three numbers, the second and
    // third with two digits at least: "2.03.01" with dots, "20301" without.
    String getVersion(bool withDots);
};

inline ImplicitInstance<frmSplashWindow> frmSplash;
