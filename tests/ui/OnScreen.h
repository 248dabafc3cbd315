#pragma once
// Tests of the converter's windows as a person sees them: on a real X server
// of the test's own (Xvfb, optionally with the openbox window manager), with
// the real message boxes of the desktop interaction point and the progress
// window as the progress display.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "tests/support/VirtualDisplay.h"
#include "tests/ui/UiFixture.h"

class OnScreenTest : public UiTest {
protected:
    // Starts the X server and points Qt at it; run before any window is
    // made. Fails the test when the server does not come up.
    void startScreen(const VirtualDisplay::Options& options);
    void TearDown() override;

    std::unique_ptr<VirtualDisplay> display;
};

// A CSV file of `n` animals A1 ... An with sex, parents and colour: the
// first two are founders, every later one is a child of the two before it.
std::string herdCsv(int n);

// Why the text of `w` does not fit the room its control gives it (naming the
// window's title, the widget and its text), or "" when it fits: the caption of a label, push button, radio button or check box,
// the title of a group box, and the line height of a text field (whose text
// scrolls), measured with the widget's font metrics against the room that
// the widget's style leaves for text.
std::string textFitProblem(const QWidget* w);
// The problems of every visible widget inside the top-level `window`.
std::vector<std::string> textFitProblems(const QWidget* window);

// Answers every message box as it comes up, from a timer that runs in any
// event loop (the box's own included). `choose` sees the box and returns
// the button to press, or NoButton to be asked again at the next tick (to
// wait for something). A box left unanswered for `deadlineMs` fails the test
// and is closed, so a test cannot hang in it.
class BoxAnswerer {
public:
    using Chooser = std::function<QMessageBox::StandardButton(QMessageBox*)>;
    explicit BoxAnswerer(Chooser choose, int deadlineMs = 30000);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // The texts of the boxes answered so far, in order.
    const std::vector<std::string>& answered() const { return answered_; }

private:
    void tick();
    Chooser choose_;
    int deadlineMs_;
    QTimer timer_;
    QPointer<QMessageBox> current_;
    QElapsedTimer waited_;
    std::vector<std::string> answered_;
};
