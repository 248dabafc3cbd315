// Every caption of the program's windows and message boxes fits its control
// on a real X server, at 96 dpi and on a screen set to 120 dpi: the splash
// window (also as About box), the converter window before and after a
// conversion, the progress window and the boxes the converter window leads
// to, Cancel's question among them; and the progress window's messages
// that hold a long animal name.

#include <chrono>
#include <set>

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "framework/FolderItem.h"
#include "tests/ui/OnScreen.h"
#include "ui/App.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

// Checks the text of every widget that paints, so that texts that change
// while a window is up (the progress window's messages) are checked too.
class PaintWatcher : public QObject {
public:
    PaintWatcher() { qApp->installEventFilter(this); }
    ~PaintWatcher() override { qApp->removeEventFilter(this); }
    std::set<std::string> problems;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint && object->isWidgetType())
            if (std::string problem = textFitProblem(static_cast<QWidget*>(object)); !problem.empty())
                problems.insert(problem);
        return false;
    }
};

class TextFits : public OnScreenTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.dpi = GetParam()});
        _NewAppInstance();
    }

    // Checks every caption of the window now and notes that it was seen.
    void look(const QWidget* window, const std::string& name) {
        for (const std::string& problem : textFitProblems(window)) problems.insert(problem);
        seen.insert(name);
    }

    std::set<std::string> problems;
    std::set<std::string> seen;
};

TEST_P(TextFits, InEveryWindowAndMessageBox) {
    if (HasFatalFailure()) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NEAR(screen->logicalDotsPerInch() * screen->devicePixelRatio(), GetParam(), 0.5)
        << "the screen is not set to the resolution under test";
    PaintWatcher painted;
    const std::string csv = home.write("herd.csv", herdCsv(50000));

    BoxAnswerer boxes([&](QMessageBox* box) {
        look(box, "box " + box->text().toStdString());
        const bool question = box->button(QMessageBox::No) != nullptr;
        return question ? QMessageBox::No : QMessageBox::Ok;
    });
    // Cancel once in the first progress window; its question is answered No,
    // so the import goes on in a new progress window. The herd is large
    // enough that the window stays up for many of the timer's turns, however
    // fast the import or busy the machine.
    bool cancelled = false;
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        Ref<frmWaitWindow> wait = frmWait.Current();
        if (!wait || !wait->NativeWidget()->isVisible()) return;
        look(wait->NativeWidget(), "progress window");
        if (!cancelled) {
            cancelled = true;
            wait->cmdCancel->Push();
        }
    });
    progress.start(10);

    Ref<frmSplashWindow> splash = frmSplash.Get();
    ASSERT_TRUE(ProcessEventsUntil([&] { return splash->NativeWidget()->isVisible(); }));
    look(splash->NativeWidget(), "splash window");
    splash->cmdStart->Push();
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(ProcessEventsUntil([&] { return main->NativeWidget()->isVisible(); }));
    look(main->NativeWidget(), "converter window");

    main->cmdConvert->Push();
    main->cmdBrowse->Push();
    const std::vector<std::pair<Ref<RadioButton>, Ref<RadioButton>>> choices = {
        {main->optFromCsv, main->optToCsv},  // the same format on both sides
        {main->optFromCsv, main->optToCav},  // No to the question, and no Brevolan program found
        {main->optFromCsv, main->optToRsd},  // the import, cancelled once
    };
    for (const auto& [from, to] : choices) {
        from->SetValue(true);
        to->SetValue(true);
        main->txtFilePath->SetText(csv);
        main->cmdConvert->Push();
    }
    ASSERT_TRUE(FolderItem(home.file("herd.cax")).Exists());
    ASSERT_TRUE(main->lblDestination->Visible());
    look(main->NativeWidget(), "converter window after the import");

    ASSERT_TRUE(main->_aboutItem_Action());
    Ref<frmSplashWindow> about = frmSplash.Get();
    ASSERT_TRUE(ProcessEventsUntil([&] { return about->NativeWidget()->isVisible(); }));
    look(about->NativeWidget(), "About box");
    about->cmdExit->Push();
    progress.stop();

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(boxes.answered(), (std::vector<std::string>{
                                    "Please choose a file to convert.",
                                    "Please select file type options",
                                    "File is already in selected format (csv)",
                                    "The converter cannot create a Brevolan database. Use your Brevolan program "
                                    "to create a new empty database (don't worry about entering settings). \n"
                                    "If you have already done this click YES to continue. Click NO to launch "
                                    "Brevolan and create a new database file.",
                                    "Unable to find Brevolan program on this computer.\n"
                                    "Install Brevolan from http://brevolan.example and try again.",
                                    "The new file doesn't contain all the records yet.\n"
                                    "Do you want to delete the new file? ",
                                    "Operation completed",
                                }));
    EXPECT_TRUE(seen.count("progress window"));
    EXPECT_EQ(std::vector<std::string>(problems.begin(), problems.end()), std::vector<std::string>{});
    EXPECT_EQ(std::vector<std::string>(painted.problems.begin(), painted.problems.end()), std::vector<std::string>{});
}

// The progress window's messages that hold an animal's name: the name is the
// user's and may be far longer than the label is wide. Every line of the
// message must still fit, the lines that are not the name shown whole: the
// record count under the name, the sex after it.
TEST_P(TextFits, ProgressMessagesWithALongName) {
    if (HasFatalFailure()) return;
    const std::string name =
        "Westmoor Hollow Silverlace Duchess of the Northern Fells and Ravensgarth Brambleton XVIII";
    ASSERT_EQ(name.size(), 89u);
    struct Case {
        std::string message;
        bool fits;              // shown as it is set, wrapped where it needs to be
        std::string wholeLine;  // a line that is shown as it is, or "" for none
        std::string ending;     // how the line that is shown last ends
    };
    const std::vector<Case> cases = {
        {"Found  - " + name + EndOfLine + "3680 records", false, "3680 records", "3680 records"},
        {"Found sex  of " + name + " - male", true, "", " - male"},
        {"Found sex  of " + name + " " + name + " - male", false, "", " - male"},
        {"Adding tree record for " + name + " " + name, false, "", "Brambleton XVIII"},
        {"Found  - Westmoor" + EndOfLine + "20 records", true, "20 records", "20 records"},
    };
    // The window shows a report when it paints, at most once a frame: a
    // clock that moves on a frame every time it is read lets each report
    // paint at once.
    static std::chrono::steady_clock::time_point frames = std::chrono::steady_clock::now() + std::chrono::hours(1);
    Window::SetFrameClock([] { return frames += Window::RefreshFrame; });
    struct SteadyClockAgain {
        ~SteadyClockAgain() { Window::SetFrameClock(nullptr); }
    } steadyClockAgain;
    progressWindow.Show();
    Ref<frmWaitWindow> wait = frmWait.Current();
    ASSERT_TRUE(ProcessEventsUntil([&] { return wait->NativeWidget()->isVisible(); }));
    auto* label = qobject_cast<QLabel*>(wait->lblMessage->NativeWidget());
    ASSERT_NE(label, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        progressWindow.SetMessage(c.message);
        progressWindow.Refresh();
        EXPECT_EQ(wait->lblMessage->Text(), c.message);
        EXPECT_EQ(textFitProblems(wait->NativeWidget()), std::vector<std::string>{});
        if (c.fits) {
            EXPECT_EQ(label->text().toStdString(), c.message);
        }
        const QStringList shown = label->text().split('\n');
        if (!c.wholeLine.empty()) {
            EXPECT_TRUE(shown.contains(QString::fromStdString(c.wholeLine)));
        }
        EXPECT_TRUE(shown.last().endsWith(QString::fromStdString(c.ending))) << shown.last().toStdString();
    }
    progressWindow.Close();
}

INSTANTIATE_TEST_SUITE_P(Screens, TextFits, ::testing::Values(96, 120),
                         [](const ::testing::TestParamInfo<int>& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace
