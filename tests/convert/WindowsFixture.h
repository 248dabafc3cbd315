#pragma once
// Conversions with the program's windows: the progress goes through the
// recorder to the real progress window, whose Cancel the tests press while a
// conversion runs; every window is closed afterwards.

#include "framework/gui/Runtime.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/support/GuiTest.h"
#include "ui/frmWait.h"

// The progress window, with the GUI runtime started first (starting it
// installs the GUI's yield, which the recorder must come after).
inline Progress* startedProgressWindow() {
    InitGuiRuntime();
    return &progressWindow;
}

class ConvertWithWindows : public ConvertTest {
protected:
    ConvertWithWindows() : ConvertTest(startedProgressWindow(), &GuiYield) {}

    void TearDown() override {
        CloseAllWindows();
        ConvertTest::TearDown();
    }

    // Closes every window, the progress window among them.
    void closeWindows() {
        CloseAllWindows();
        progress.clear();
    }

    // Presses Cancel in the open progress window.
    void pressCancel() {
        cancelled = true;
        frmWait->cmdCancel_Action(frmWait->cmdCancel);
        progress.windowClosed();
    }

    // Presses Cancel at the first yield that finds the progress window open
    // with a report in it (not its initial "Untitled"); `cancelled` tells
    // whether it happened.
    void cancelAtFirstProgress() {
        progress.onYield = [this] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() == "Untitled") return;
            pressCancel();
        };
    }
    bool cancelled = false;
};
