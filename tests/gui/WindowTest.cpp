// Windows and controls of the GUI layer, checked on the native Qt widgets.

#include <chrono>
#include <functional>
#include <thread>

#include <QEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "framework/gui/Controls.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Window.h"
#include "tests/support/GuiTest.h"
#include "tests/support/ScriptedInteraction.h"

namespace {

std::vector<String> g_log;

// A converter-like window: two groups of radio buttons, a label, a field and
// a button that closes the window from its own handler.
class SampleWindow : public Window {
public:
    Ref<GroupBox> fromBox, toBox;
    Ref<RadioButton> from1, from2, from3, to1, to2;
    Ref<Label> label;
    Ref<TextField> field;
    Ref<PushButton> closeButton;
    int fromActions = 0;
    int toActions = 0;

    void Layout() override {
        g_log.push_back("Layout");
        SetTitle("Sample");
        SetWidth(594);
        SetHeight(250);
        HasBackColor = true;
        BackColor = Color::Hex(0xDBE7F2);
        Placement = WindowPlacement::MainScreen;
    }
    void CreateControls() override;
    void Event_Open() override;
    void Event_Close() override { g_log.push_back("Close"); }
};

ImplicitInstance<SampleWindow> sample;

Ref<RadioButton> addRadio(SampleWindow& w, const String& name, const Ref<GroupBox>& box, int top, int* counter) {
    Ref<RadioButton> r = w.AddControl<RadioButton>(name, box);
    r->SetLeft(box->Left() + 16);
    r->SetTop(top);
    r->SetWidth(200);
    r->SetHeight(20);
    r->SetCaption(name);
    r->Action = [counter] { ++*counter; };
    return r;
}

void SampleWindow::CreateControls() {
    g_log.push_back("CreateControls");
    fromBox = AddControl<GroupBox>("fromBox");
    fromBox->SetLeft(10);
    fromBox->SetTop(14);
    fromBox->SetWidth(279);
    fromBox->SetHeight(119);
    fromBox->SetCaption("From");
    fromBox->SetBold(true);
    from1 = addRadio(*this, "from1", fromBox, 37, &fromActions);
    from2 = addRadio(*this, "from2", fromBox, 63, &fromActions);
    from3 = addRadio(*this, "from3", fromBox, 86, &fromActions);
    toBox = AddControl<GroupBox>("toBox");
    toBox->SetLeft(301);
    toBox->SetTop(14);
    toBox->SetWidth(279);
    toBox->SetHeight(119);
    toBox->SetCaption("To");
    to1 = addRadio(*this, "to1", toBox, 37, &toActions);
    to2 = addRadio(*this, "to2", toBox, 63, &toActions);
    label = AddControl<Label>("label");
    label->SetLeft(10);
    label->SetTop(164);
    label->SetText("Source:");
    field = AddControl<TextField>("field");
    field->SetLeft(10);
    field->SetTop(183);
    field->SetWidth(485);
    closeButton = AddControl<PushButton>("closeButton");
    closeButton->SetLeft(503);
    closeButton->SetTop(208);
    closeButton->SetCaption("Close");
    closeButton->Action = [] { sample->Close(); };
}

void SampleWindow::Event_Open() {
    g_log.push_back(String("Open visible=") + (NativeWidget()->isVisible() ? "1" : "0"));
    // The implicit instance reached from the window's own Open is this window.
    g_log.push_back(sample.Get().get() == this ? "same" : "other");
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }
    void TearDown() override { CloseAllWindows(); }
    ScriptedInteraction ui;
};

// A click on a radio button's indicator.
void clickRadio(const Ref<RadioButton>& r) {
    QTest::mouseClick(r->NativeWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(6, r->Height() / 2));
}

QPoint inContent(const Ref<RectControl>& c, const Window& w) {
    return c->NativeWidget()->mapTo(w.ContentWidget(), QPoint(0, 0));
}

TEST_F(WindowTest, ImplicitInstanceIsOneWindowUntilClosedThenANewOne) {
    Ref<SampleWindow> first = sample.Get();
    sample->label->SetText("reached twice");
    EXPECT_EQ(sample.Get().get(), first.get());
    EXPECT_EQ(first->label->Text(), "reached twice");
    EXPECT_EQ(WindowCount(), 1);

    first->Close();
    EXPECT_FALSE(sample.IsOpen());
    EXPECT_TRUE(sample.Current().IsNil());
    EXPECT_EQ(WindowCount(), 0);

    Ref<SampleWindow> second = sample.Get();
    EXPECT_NE(second.get(), first.get());
    EXPECT_EQ(second->label->Text(), "Source:");
    EXPECT_EQ(WindowCount(), 1);
}

TEST_F(WindowTest, BuildingRunsTheStepsInOrderAndOpensShown) {
    Ref<SampleWindow> w = sample.Get();
    EXPECT_EQ(g_log, (std::vector<String>{"Layout", "CreateControls", "Open visible=1", "same"}));
    EXPECT_EQ(w->NativeWidget()->windowTitle(), "Sample");

    w->Close();
    EXPECT_EQ(g_log.back(), "Close");
    w->Close();  // a second Close does nothing
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "Close"), 1);
}

// Show raises and activates a window that was hidden or lost the focus, and
// only then: a long operation shows its progress window at every report.
TEST_F(WindowTest, ShowBringsToTheFrontOnlyAWindowThatIsNotThere) {
    const int atStart = WindowRaiseRequests();
    Ref<SampleWindow> w = sample.Get();
    auto raised = [&] { return WindowRaiseRequests() - atStart; };
    auto active = [&] { return w->NativeWidget()->isActiveWindow(); };
    EXPECT_EQ(raised(), 1) << "shown when built";
    ASSERT_TRUE(ProcessEventsUntil(active));
    for (int i = 0; i < 1000; ++i) w->Show();
    EXPECT_EQ(raised(), 1) << "a window in front is left alone";

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !active(); }));
    for (int i = 0; i < 1000; ++i) w->Show();
    EXPECT_EQ(raised(), 2) << "asked once while the window system has not answered";
    ASSERT_TRUE(ProcessEventsUntil(active));
    for (int i = 0; i < 1000; ++i) w->Show();
    EXPECT_EQ(raised(), 2);

    w->Hide();
    w->Show();
    EXPECT_EQ(raised(), 3) << "a hidden window is brought back to the front";
}

TEST_F(WindowTest, ClosedWindowStaysUsableButShowsNothing) {
    Ref<SampleWindow> w = sample.Get();
    Ref<Label> label = w->label;
    w->Close();
    EXPECT_EQ(w->NativeWidget(), nullptr);
    EXPECT_EQ(label->NativeWidget(), nullptr);
    EXPECT_EQ(w->ControlCount(), 0);
    label->SetText("after close");
    EXPECT_EQ(label->Text(), "after close");
    w->Show();
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

TEST_F(WindowTest, ActionMayCloseItsOwnWindow) {
    std::weak_ptr<SampleWindow> watch;
    {
        Ref<SampleWindow> w = sample.Get();
        watch = w.shared();
        QTest::mouseClick(w->closeButton->NativeWidget(), Qt::LeftButton);
        EXPECT_FALSE(w->IsOpen());
    }
    EXPECT_TRUE(ui.boxes().empty()) << ui.boxes().front().text;
    // Once the event is over the window object goes.
    EXPECT_TRUE(ProcessEventsUntil([&] { return watch.expired(); }, 2000));
}

TEST_F(WindowTest, CloseBoxClosesTheWindowTheFrameworkWay) {
    Ref<SampleWindow> w = sample.Get();
    w->NativeWidget()->close();
    EXPECT_EQ(g_log.back(), "Close");
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

TEST_F(WindowTest, PositionsAreWindowCoordinatesBelowTheMenuBar) {
    Ref<SampleWindow> w = sample.Get();
    Ref<MenuBar> bar = New<MenuBar>();
    Ref<MenuItem> file = New<MenuItem>();
    file->Name = "FileMenu";
    file->Text = "&File";
    file->Append(New<QuitMenuItem>());
    bar->Append(file);
    w->SetMenuBar(bar);

    EXPECT_EQ(w->ContentWidget()->size(), QSize(594, 250));
    EXPECT_EQ(w->Width(), 594);
    EXPECT_EQ(w->Height(), 250);
    EXPECT_GT(w->ContentWidget()->y(), 0) << "the menu bar lies above the content area";
    EXPECT_EQ(inContent(w->from2, *w), QPoint(26, 63));
    EXPECT_EQ(inContent(w->to1, *w), QPoint(317, 37));

    // Moving a group box takes its buttons along.
    w->fromBox->SetLeft(20);
    EXPECT_EQ(w->from2->Left(), 36);
    EXPECT_EQ(inContent(w->from2, *w), QPoint(36, 63));
}

TEST_F(WindowTest, FrameBackgroundAndPlacement) {
    struct Case {
        FrameType frame;
        Qt::WindowType kind;
        Qt::WindowModality modality;
    };
    for (const Case& c : {Case{FrameType::Document, Qt::Window, Qt::NonModal},
                          Case{FrameType::ModalDialog, Qt::Dialog, Qt::ApplicationModal}}) {
        class Framed : public Window {
        public:
            FrameType frame;
            explicit Framed(FrameType f) : frame(f) {}
            void Layout() override {
                Frame = frame;
                SetWidth(316);
                SetHeight(111);
                MaximizeButton = false;
            }
        };
        Ref<Framed> w = New<Framed>(c.frame);
        w->Build();  // Show returns at once, also for a modal dialog
        QWidget* top = w->NativeWidget();
        EXPECT_TRUE(top->isVisible());
        EXPECT_EQ(top->windowType(), c.kind);
        EXPECT_EQ(top->windowModality(), c.modality);
        EXPECT_FALSE(top->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(top->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_TRUE(top->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(top->minimumSize(), QSize(64, 64));
        w->Close();
    }

    Ref<SampleWindow> w = sample.Get();
    EXPECT_TRUE(w->ContentWidget()->autoFillBackground());
    EXPECT_EQ(w->ContentWidget()->palette().color(QPalette::Window), QColor(0xDB, 0xE7, 0xF2));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(w->NativeWidget()->geometry().center().x(), screen.center().x(), 2);
}

TEST_F(WindowTest, RadioGroupClearsItsSiblingsOnly) {
    Ref<SampleWindow> w = sample.Get();
    clickRadio(w->from1);
    clickRadio(w->to2);
    clickRadio(w->from2);

    EXPECT_FALSE(w->from1->Value());
    EXPECT_TRUE(w->from2->Value());
    EXPECT_FALSE(w->from3->Value());
    EXPECT_TRUE(w->to2->Value()) << "the other group keeps its choice";
    EXPECT_FALSE(static_cast<QRadioButton*>(w->from1->NativeWidget())->isChecked());
    EXPECT_EQ(w->fromActions, 2);
    EXPECT_EQ(w->toActions, 1);

    // A click on the selected button keeps it selected and runs nothing.
    clickRadio(w->from2);
    EXPECT_TRUE(w->from2->Value());
    EXPECT_EQ(w->fromActions, 2);

    // Selecting in code works as a click does.
    w->from3->SetValue(true);
    EXPECT_FALSE(w->from2->Value());
    EXPECT_TRUE(static_cast<QRadioButton*>(w->from3->NativeWidget())->isChecked());
    EXPECT_EQ(w->fromActions, 3);
    w->from3->SetValue(false);
    EXPECT_FALSE(static_cast<QRadioButton*>(w->from3->NativeWidget())->isChecked());
}

// What a label showed each time it was painted.
struct Paints : QObject {
    std::vector<QString> texts;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (auto* label = qobject_cast<QLabel*>(o); label && e->type() == QEvent::Paint) texts.push_back(label->text());
        return false;
    }
};

TEST_F(WindowTest, RefreshRedrawsBeforeReturning) {
    Ref<SampleWindow> w = sample.Get();
    ProcessEventsUntil([&] { return w->NativeWidget()->isVisible(); });
    QApplication::processEvents();
    // Nothing has painted for a frame.
    std::this_thread::sleep_for(Window::RefreshFrame);

    Paints paints;
    w->label->NativeWidget()->installEventFilter(&paints);
    w->label->SetText("Reading line 10");
    w->Refresh();
    w->label->NativeWidget()->removeEventFilter(&paints);
    EXPECT_EQ(paints.texts, std::vector<QString>{"Reading line 10"});
}

// A clock that the test moves on by hand, as the windows' frame clock.
std::chrono::steady_clock::time_point g_drivenNow;
std::chrono::steady_clock::time_point drivenNow() { return g_drivenNow; }

// The paintings of a window: each request to paint that reaches it (whether
// it paints then or waits for the frame's end) starts a new one, and every
// painting of a control until the next request belongs to it. Qt may paint
// a control twice within one painting of its window (once with the window,
// once for the control's own change), which the screen shows as one frame.
struct Paintings : QObject {
    struct Painting {
        int frame;      // by the driven clock, 0 for the first report's
        QString label;  // what the label showed
        bool operator==(const Painting&) const = default;
        friend void PrintTo(const Painting& p, std::ostream* out) {
            *out << "frame " << p.frame << ": " << p.label.toStdString();
        }
    };
    std::chrono::steady_clock::time_point firstReport;
    QObject* window = nullptr;
    QObject* label = nullptr;
    int requests = 0;
    std::vector<Painting> paintings;
    int paintedAt = -1;  // the request of the last painting
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == window && e->type() == QEvent::UpdateRequest) ++requests;
        if (o == label && e->type() == QEvent::Paint && paintedAt != requests) {
            paintedAt = requests;
            paintings.push_back({int((g_drivenNow - firstReport) / Window::RefreshFrame),
                                 static_cast<QLabel*>(o)->text()});
        }
        return false;
    }
};

// The reports of an operation into the label and the bar of a window of
// every kind, a millisecond apart by a clock that the test drives as the
// windows' frame clock, so that how fast the machine runs changes nothing.
class DrivenReports {
public:
    static constexpr int Reports = 100;

    DrivenReports() {
        // Shown and painted by the window system first, so that no painting
        // of its own comes among the reports.
        ProcessEventsUntil([&] {
            QWindow* native = window->NativeWidget()->windowHandle();
            return native && native->isExposed();
        });
        QApplication::processEvents();
        bar->SetMaximum(Reports);
    }
    // Runs the reports: report i sets the label to "Reading line i" and the
    // bar to i, then refreshes the window and lets the events run; `after`
    // runs after each. Then the end of the last report's frame comes, and
    // the next event processing paints it. The paintings that the label saw.
    std::vector<Paintings::Painting> run(const std::function<void(int)>& after) {
        // Long after the window last painted by the steady clock.
        g_drivenNow = std::chrono::steady_clock::now() + std::chrono::hours(1);
        Window::SetFrameClock(drivenNow);
        seen.firstReport = g_drivenNow + std::chrono::milliseconds(1);
        seen.window = window->NativeWidget();
        seen.label = label->NativeWidget();
        seen.window->installEventFilter(&seen);
        seen.label->installEventFilter(&seen);
        for (int i = 1; i <= Reports; ++i) {
            g_drivenNow += std::chrono::milliseconds(1);
            label->SetText("Reading line " + std::to_string(i));
            bar->SetValue(i);
            window->Refresh();
            QApplication::processEvents();
            after(i);
        }
        const size_t withinTheReports = seen.paintings.size();
        g_drivenNow += Window::RefreshFrame;
        ProcessEventsUntil([&] { return seen.paintings.size() > withinTheReports; });
        QApplication::processEvents();
        Window::SetFrameClock(nullptr);
        seen.window->removeEventFilter(&seen);
        seen.label->removeEventFilter(&seen);
        return seen.paintings;
    }
    // Once a frame: reports 1, 17, 33, ... each come a frame after the last
    // painting and paint at once; the last report is painted at its frame's end.
    static std::vector<Paintings::Painting> oncePerFrame() {
        std::vector<Paintings::Painting> expected;
        for (int i = 1; i <= Reports; i += 16)
            expected.push_back({(i - 1) / 16, "Reading line " + QString::number(i)});
        expected.push_back({(Reports - 1 + 16) / 16, "Reading line " + QString::number(Reports)});
        return expected;
    }

    Ref<EveryKindWindow> window = OpenNewWindow<EveryKindWindow>();
    Ref<Label> label = window->Control(0).As<Label>();
    Ref<ProgressBar> bar = window->Control(12).As<ProgressBar>();
    Paintings seen;
};

// However often an operation reports, the window paints at most once a
// frame: a report a frame or more after the last painting paints at once,
// the others within the frame are painted, in their latest state, at its
// end.
TEST_F(WindowTest, ReportsWithinAFramePaintOnceAtItsEndWithTheLatestState) {
    DrivenReports reports;
    ASSERT_TRUE(reports.label && reports.bar);
    EXPECT_EQ(reports.run([](int) {}), DrivenReports::oncePerFrame());
}

// A label and a progress bar that show their changes at painting keep every
// value as it is set, and the screen gets only what each painting shows: at
// every report the native widgets hold the state of the last painting, and
// each painting shows the latest report.
TEST_F(WindowTest, ChangesShownAtPaintingAreKeptAtOnceAndReachTheScreenWithEachPainting) {
    DrivenReports reports;
    ASSERT_TRUE(reports.label && reports.bar);
    reports.label->SetShowsChangesAtPainting(true);
    reports.bar->SetShowsChangesAtPainting(true);
    auto* nativeLabel = static_cast<QLabel*>(reports.label->NativeWidget());
    auto* nativeBar = static_cast<QProgressBar*>(reports.bar->NativeWidget());
    size_t paintings = 0;
    int paintedValue = 0;  // the bar's value at the last painting
    const auto seen = reports.run([&](int i) {
        EXPECT_EQ(reports.label->Text(), "Reading line " + std::to_string(i));
        EXPECT_EQ(reports.bar->Value(), i);
        const auto& painted = reports.seen.paintings;
        if (painted.size() > paintings) paintedValue = i;
        paintings = painted.size();
        // Between paintings the screen keeps what was painted last.
        ASSERT_FALSE(painted.empty()) << "the first report paints at once";
        EXPECT_EQ(nativeLabel->text(), painted.back().label) << i;
        EXPECT_EQ(nativeBar->value(), paintedValue) << i;
    });
    EXPECT_EQ(seen, DrivenReports::oncePerFrame());
    EXPECT_EQ(nativeBar->maximum(), DrivenReports::Reports);
    EXPECT_EQ(nativeBar->value(), DrivenReports::Reports);

    // Shown at once again when it no longer waits for paintings.
    reports.label->SetShowsChangesAtPainting(false);
    reports.label->SetText("Done");
    EXPECT_EQ(nativeLabel->text(), "Done");
}

template <class Kind>
std::vector<bool> kindColumn(const Window& w) {
    std::vector<bool> out;
    for (int i = 0; i < w.ControlCount(); ++i) out.push_back(w.Control(i).IsA<Kind>());
    return out;
}

TEST_F(WindowTest, TypeTestTellsEveryKindApart) {
    Ref<EveryKindWindow> w = OpenNewWindow<EveryKindWindow>();
    ASSERT_EQ(w->ControlCount(), 13);
    const std::vector<std::vector<bool>> columns = {
        kindColumn<Label>(*w),    kindColumn<TextField>(*w), kindColumn<RadioButton>(*w), kindColumn<GroupBox>(*w),
        kindColumn<CheckBox>(*w), kindColumn<ComboBox>(*w),  kindColumn<PushButton>(*w),  kindColumn<Listbox>(*w),
        kindColumn<TabPanel>(*w), kindColumn<BevelButton>(*w), kindColumn<TextArea>(*w), kindColumn<Canvas>(*w),
        kindColumn<ProgressBar>(*w)};
    for (size_t kind = 0; kind < columns.size(); ++kind)
        for (size_t control = 0; control < columns[kind].size(); ++control)
            EXPECT_EQ(columns[kind][control], kind == control) << "kind " << kind << ", control " << control;
    for (int i = 0; i < w->ControlCount(); ++i) {
        EXPECT_TRUE(w->Control(i).IsA<RectControl>());
        EXPECT_EQ(w->Control(i)->Index(), i);
    }
    EXPECT_EQ(w->Control(5)->Name(), "combo");
    EXPECT_THROW(w->Control(13), OutOfBoundsException);
    EXPECT_THROW(w->Control(-1), OutOfBoundsException);
}

TEST_F(WindowTest, PushButtonIgnoresReturnAndEscape) {
    Ref<SampleWindow> w = sample.Get();
    int pressed = 0;
    w->closeButton->Action = [&] { ++pressed; };
    QWidget* button = w->closeButton->NativeWidget();
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Enter);
    QTest::keyClick(button, Qt::Key_Escape);
    EXPECT_EQ(pressed, 0);
    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(pressed, 1);
    w->closeButton->Push();
    EXPECT_EQ(pressed, 2);
    w->closeButton->SetEnabled(false);
    w->closeButton->Push();
    EXPECT_EQ(pressed, 2);
}

TEST_F(WindowTest, FailureInAnActionGoesToTheUnhandledExceptionBox) {
    Ref<SampleWindow> w = sample.Get();
    w->closeButton->Action = [] { Ref<Label> none; none->SetText("x"); };
    w->closeButton->Push();
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text,
              "An exception of class NilObjectException was not handled. The application must shut down.");
}

TEST_F(WindowTest, TabOrderFollowsTabIndexWithinAParent) {
    class Fields : public Window {
    public:
        Ref<TextField> a, b, c;
        void CreateControls() override {
            a = AddControl<TextField>("a");
            b = AddControl<TextField>("b");
            c = AddControl<TextField>("c");
            a->SetTabIndex(2);
            b->SetTabIndex(0);
            c->SetTabIndex(1);
            c->SetTabStop(false);
        }
    };
    Ref<Fields> w = OpenNewWindow<Fields>();
    std::vector<QWidget*> order;
    const std::vector<QWidget*> ours = {w->a->NativeWidget(), w->b->NativeWidget(), w->c->NativeWidget()};
    QWidget* at = w->b->NativeWidget();
    for (int steps = 0; steps < 20 && order.size() < 3; ++steps, at = at->nextInFocusChain())
        if (std::find(ours.begin(), ours.end(), at) != ours.end()) order.push_back(at);
    EXPECT_EQ(order, (std::vector<QWidget*>{ours[1], ours[2], ours[0]}));
    EXPECT_EQ(w->c->NativeWidget()->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(w->a->NativeWidget()->focusPolicy(), Qt::StrongFocus);
}

TEST_F(WindowTest, TextPropertiesReachTheWidgets) {
    Ref<SampleWindow> w = sample.Get();
    // The bold caption of a group box does not make its buttons bold.
    EXPECT_TRUE(w->fromBox->NativeWidget()->font().bold());
    EXPECT_FALSE(w->from1->NativeWidget()->font().bold());

    // Sizes are pixels, as places are, whatever the screen's resolution.
    w->label->SetTextSize(11);
    EXPECT_EQ(w->label->NativeWidget()->font().pixelSize(), 11);
    EXPECT_EQ(QFontInfo(w->label->NativeWidget()->font()).pixelSize(), 11);
    w->label->SetTextSize(0);
    EXPECT_EQ(w->label->NativeWidget()->font().pointSizeF(), QApplication::font().pointSizeF());

    w->field->SetTextColor(Color::Hex(0x000080));
    EXPECT_EQ(w->field->NativeWidget()->palette().color(QPalette::Text), QColor(0, 0, 0x80));
    // What the user types is the field's text; no length limit by default.
    auto* edit = static_cast<QLineEdit*>(w->field->NativeWidget());
    const String longPath = "/" + String(40000, 'a');
    edit->setText(QString::fromStdString(longPath));
    EXPECT_EQ(w->field->Text(), longPath);

    w->label->SetMultiline(true);
    EXPECT_TRUE(static_cast<QLabel*>(w->label->NativeWidget())->wordWrap());
}

// A label that elides its lines keeps a text that fits as it is, wrapped,
// and shows one that does not fit line by line, each line shortened in the
// middle to the label's width; it works that out again when it is resized or
// its font changes. Without it a label wraps what it is given.
TEST_F(WindowTest, LabelElidesTheLinesOfATextThatDoesNotFit) {
    Ref<SampleWindow> w = sample.Get();
    const Ref<Label> label = w->label;
    auto* native = static_cast<QLabel*>(label->NativeWidget());
    label->SetMultiline(true);
    label->SetTextSize(10);
    label->SetWidth(244);
    label->SetHeight(4 * native->fontMetrics().lineSpacing());
    const String name = "Westmoor Hollow Silverlace Duchess of the Northern Fells and Ravensgarth";
    const String tooLong = "Found  - " + name + " " + name + "\n3680 records";
    const String wraps = "Found  - Westmoor Hollow Silverlace Duchess of the\n20 records";

    label->SetText(tooLong);
    EXPECT_FALSE(label->ElidesLines());
    EXPECT_EQ(native->text().toStdString(), tooLong) << "only a label that is asked to elides";

    label->SetElidesLines(true);
    EXPECT_EQ(label->Text(), tooLong);
    const QStringList shown = native->text().split('\n');
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].startsWith("Found  - We")) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].endsWith("Ravensgarth")) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QChar(0x2026)) || shown[0].contains("...")) << shown[0].toStdString();
    EXPECT_LE(native->fontMetrics().horizontalAdvance(shown[0]), native->contentsRect().width());
    EXPECT_EQ(shown[1], "3680 records");
    EXPECT_FALSE(native->wordWrap());

    label->SetText(wraps);
    EXPECT_EQ(native->text().toStdString(), wraps);
    EXPECT_TRUE(native->wordWrap());

    label->SetText(tooLong);
    label->SetWidth(2000);
    EXPECT_EQ(native->text().toStdString(), tooLong) << "a label wide enough shows the text whole";
    label->SetTextSize(40);
    EXPECT_NE(native->text().toStdString(), tooLong) << "a larger font shortens the lines again";
    EXPECT_TRUE(native->text().endsWith("\n3680 records"));
}

TEST_F(WindowTest, ProgressBarKeepsItsValueAndShowsItInRange) {
    Ref<EveryKindWindow> w = OpenNewWindow<EveryKindWindow>();
    Ref<ProgressBar> bar = w->Control(12).As<ProgressBar>();
    auto* native = static_cast<QProgressBar*>(bar->NativeWidget());
    EXPECT_EQ(bar->Maximum(), 100);
    bar->SetMaximum(250);
    bar->SetValue(120);
    EXPECT_EQ(native->maximum(), 250);
    EXPECT_EQ(native->value(), 120);
    bar->SetValue(300);
    EXPECT_EQ(bar->Value(), 300);
    EXPECT_EQ(native->value(), 250);
    bar->SetVisible(false);
    EXPECT_FALSE(native->isVisible());
}

}  // namespace
