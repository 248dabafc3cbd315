// The splash window at start and as About box.

#include <QTest>

#include "tests/ui/UiFixture.h"
#include "ui/App.h"
#include "ui/Pictures.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"

namespace {

class FrmSplashTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        _NewAppInstance();
    }
};

TEST_F(FrmSplashTest, OpensWithTheVersionInItsTitleAndTheTermsOfUse) {
    Ref<frmSplashWindow> w = frmSplash.Get();
    EXPECT_TRUE(w->NativeWidget()->isVisible());
    EXPECT_EQ(w->Title(), "Brevolan");
    EXPECT_EQ(w->Width(), 486);
    EXPECT_EQ(w->Height(), 273);
    EXPECT_EQ(w->Frame, FrameType::ModalDialog);
    EXPECT_EQ(w->BackColor, Color::Hex(0xDBE7F2));
    EXPECT_TRUE(w->AttachedMenuBar().IsNil());

    ASSERT_EQ(w->ControlCount(), 5);
    const std::vector<String> order = {"lblMessage", "Canvas1", "lblTitle", "cmdStart", "cmdExit"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w->Control(i)->Name(), order[size_t(i)]);
    EXPECT_EQ(w->cmdStart->Caption(), "I Agree");
    EXPECT_EQ(w->cmdExit->Caption(), "I Don't Agree");
    EXPECT_EQ(w->Canvas1->Backdrop().get(), _x_elephant().get());
    EXPECT_EQ(w->Canvas1->Left(), -11);

    EXPECT_EQ(w->lblTitle->Text(), "Brevolan File Converter - Version 2.03.01");
    EXPECT_TRUE(w->lblTitle->Bold());
    EXPECT_EQ(w->lblMessage->Text(),
              "Use this program to export and import Brevolan Animal Breeder files to and from other formats. \n"
              "\n"
              "This program is provided for Brevolan customers only. It will not harm your original data files as "
              "it only reads from them to create new files. You should ensure all your data is correctly converted "
              "before deleting any original files. \n"
              "By using this program you agree to only use it in conjunction with Brevolan software and to take "
              "full responsibility for the preservation and security of your data.");
    EXPECT_TRUE(w->lblMessage->Multiline());
    for (const Ref<RectControl>& c : std::vector<Ref<RectControl>>{w->lblMessage, w->lblTitle, w->cmdStart, w->cmdExit})
        EXPECT_EQ(c->TextSize(), 10) << c->Name();
    EXPECT_EQ(w->Canvas1->TextSize(), 0);
}

TEST_F(FrmSplashTest, VersionTextPadsTheSecondAndThirdNumberBelowTen) {
    struct Case {
        int major, minor, bug;
        const char* withDots;
        const char* without;
    };
    const std::vector<Case> cases = {
        {2, 3, 1, "2.03.01", "20301"},
        {2, 12, 10, "2.12.10", "21210"},
        {1, 0, 0, "1.00.00", "10000"},
        {10, 9, 99, "10.09.99", "100999"},
    };
    Ref<frmSplashWindow> w = frmSplash.Get();
    for (const Case& c : cases) {
        App->MajorVersion = c.major;
        App->MinorVersion = c.minor;
        App->BugVersion = c.bug;
        EXPECT_EQ(w->getVersion(true), c.withDots);
        EXPECT_EQ(w->getVersion(false), c.without);
    }
}

TEST_F(FrmSplashTest, AsAboutBoxBothButtonsOnlyCloseItAndKeepTheOneConverterWindow) {
    Ref<frmMainWindow> main = frmMain.Get();
    main->txtFilePath->SetText("/data/animals.csv");

    QTest::mouseClick(frmSplash->cmdStart->NativeWidget(), Qt::LeftButton);
    EXPECT_FALSE(frmSplash.IsOpen());
    EXPECT_EQ(frmMain.Current().get(), main.get());
    EXPECT_EQ(WindowCount(), 1);

    QTest::mouseClick(frmSplash->cmdExit->NativeWidget(), Qt::LeftButton);
    EXPECT_FALSE(frmSplash.IsOpen());
    EXPECT_EQ(frmMain.Current().get(), main.get());
    EXPECT_EQ(main->txtFilePath->Text(), "/data/animals.csv");
    EXPECT_EQ(WindowCount(), 1);
}

}  // namespace
