#pragma once
// Helpers for tests of windows and real dialogs (QT_QPA_PLATFORM=offscreen).

#include <functional>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include "framework/gui/Window.h"

// Lets Qt handle events until `done()` is true or `timeoutMs` have passed;
// returns done().
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Closes every open window (each runs its Event_Close) and lets Qt finish
// what that posted. For a fixture's TearDown.
void CloseAllWindows();

// Runs `act` on the next application-modal widget of kind T (QMessageBox,
// QFileDialog) as soon as it is shown, from a timer of the event loop that
// the modal widget runs. When none appears within `timeoutMs`, the test fails
// and whatever modal widget is up is closed, so the test cannot hang.
template <class T>
void OnNextModal(std::function<void(T*)> act, int timeoutMs = 5000) {
    auto* timer = new QTimer(qApp);
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, act, timeoutMs] {
        *waited += 10;
        if (T* modal = qobject_cast<T*>(QApplication::activeModalWidget()); modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog of the expected kind appeared";
            if (QWidget* other = QApplication::activeModalWidget()) other->close();
        }
    });
    timer->start(10);
}

// A window with one control of every kind, in this order: Label, TextField,
// RadioButton, GroupBox, CheckBox, ComboBox, PushButton, Listbox, TabPanel,
// BevelButton, TextArea (the kinds with text), then Canvas and ProgressBar.
class EveryKindWindow : public Window {
public:
    void CreateControls() override;
};
