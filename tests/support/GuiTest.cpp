#include "tests/support/GuiTest.h"

#include <chrono>

#include "framework/gui/Controls.h"
#include "framework/gui/Window.h"

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void CloseAllWindows() {
    CloseEveryWindow();
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

void EveryKindWindow::CreateControls() {
    AddControl<Label>("label");
    AddControl<TextField>("field");
    AddControl<RadioButton>("radio");
    AddControl<GroupBox>("group");
    AddControl<CheckBox>("check");
    AddControl<ComboBox>("combo");
    AddControl<PushButton>("push");
    AddControl<Listbox>("list");
    AddControl<TabPanel>("tabs");
    AddControl<BevelButton>("bevel");
    AddControl<TextArea>("area");
    AddControl<Canvas>("canvas");
    AddControl<ProgressBar>("bar");
}
