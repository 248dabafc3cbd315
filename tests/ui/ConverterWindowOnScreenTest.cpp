// What the converter's windows show on an X server with openbox, at 96 and
// at 192 dpi: each window opens with the focus on the first control of its
// tab order, shown as after a Tab, so that the keyboard works from the
// start; and a long path of the new file is shortened in its middle, the
// file's name in sight, within the label's size.

#include <QLabel>
#include <QStyleOption>
#include <QTest>
#include <functional>

#include "services/appSystem.h"
#include "tests/ui/OnScreen.h"
#include "ui/App.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

class ConverterWindowOnScreen : public OnScreenTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        OnScreenTest::SetUp();
        startScreen({.dpi = GetParam(), .windowManager = true});
        _NewAppInstance();  // the splash window shows its version
    }

    // Waits until `w` is on the screen and has been made the active window.
    bool inFront(QWidget* w) {
        return ProcessEventsUntil([&] { return display->shownByWindowManager(w->winId()) && w->isActiveWindow(); },
                                  20000);
    }
};

TEST_P(ConverterWindowOnScreen, EachWindowOpensWithTheFocusOnItsFirstControl) {
    if (HasFatalFailure()) return;
    const struct {
        const char* name;
        std::function<QWidget*()> open;   // the window
        std::function<QWidget*()> first;  // the first control of its tab order that takes the focus
    } windows[] = {
        {"converter window", [] { return frmMain->NativeWidget(); },
         [] { return frmMain->optFromCsv->NativeWidget(); }},
        {"splash window", [] { return frmSplash->NativeWidget(); }, [] { return frmSplash->cmdStart->NativeWidget(); }},
        {"progress window", [] { return frmWait->NativeWidget(); }, [] { return frmWait->cmdCancel->NativeWidget(); }},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.name);
        ASSERT_TRUE(inFront(window.open()));
        QWidget* first = window.first();
        EXPECT_EQ(QApplication::focusWidget(), first)
            << "the focus is on "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none").toStdString();
        // What the style draws the focus frame by.
        QStyleOption option;
        option.initFrom(first);
        EXPECT_TRUE(option.state & QStyle::State_HasFocus);
        EXPECT_TRUE(option.state & QStyle::State_KeyboardFocusChange) << "the focus is not shown";
        CloseAllWindows();
    }

    // Space right after opening chooses the first source format.
    BoxAnswerer boxes([](QMessageBox*) { return QMessageBox::Ok; });
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(inFront(main->NativeWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(main->optFromCsv->Value());
    EXPECT_EQ(main->fromFileType, "csv");
    EXPECT_EQ(boxes.answered(), std::vector<std::string>{});
}

TEST_P(ConverterWindowOnScreen, ALongNewFilePathKeepsTheFileNameInSight) {
    if (HasFatalFailure()) return;
    Ref<frmMainWindow> main = frmMain.Get();
    ASSERT_TRUE(inFront(main->NativeWidget()));
    auto* label = qobject_cast<QLabel*>(main->lblDestinationFilePath->NativeWidget());
    ASSERT_NE(label, nullptr);
    const QSize size = label->size();
    const std::string path =
        "/home/breeder/Documents/Brevolan herds/Westmoor Hollow Silverlace stud/exports for the club show of the "
        "northern fells/Westmoor Hollow herd 2026.cax";
    // The same format on both sides: the box, then "New File:" with the
    // destination of an earlier conversion.
    appSystem::destinationFilePath = path;
    main->optFromCsv->SetValue(true);
    main->optToCsv->SetValue(true);
    main->txtFilePath->SetText(home.file("herd.csv"));
    BoxAnswerer boxes([](QMessageBox*) { return QMessageBox::Ok; });
    main->cmdConvert->Push();
    ASSERT_EQ(boxes.answered(), std::vector<std::string>{"File is already in selected format (csv)"});

    EXPECT_EQ(main->lblDestinationFilePath->Text(), path);
    EXPECT_EQ(label->size(), size);
    const QString shown = label->text();
    EXPECT_TRUE(shown.startsWith("/home/")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("herd 2026.cax")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(textFitProblem(label), "");
}

INSTANTIATE_TEST_SUITE_P(Screens, ConverterWindowOnScreen, ::testing::Values(96, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace
