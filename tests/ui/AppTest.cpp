// The application object, the converter's menu bar and the picture caches.

#include <map>

#include <QTest>

#include "framework/gui/Controls.h"
#include "framework/gui/Runtime.h"
#include "tests/support/GuiTest.h"
#include "tests/support/ScriptedInteraction.h"
#include "ui/App.h"
#include "ui/MenuBar1.h"
#include "ui/Pictures.h"

namespace {

// Counts the reads that reach the resources; `failures` reads of a file
// give nil before the real read is let through.
class CountingReader {
public:
    CountingReader() {
        SetPictureReader([this](const String& name) -> Ref<Picture> {
            ++reads[name];
            if (failures[name] > 0) {
                --failures[name];
                return nullptr;
            }
            return ReadPictureResource(name);
        });
    }
    ~CountingReader() { SetPictureReader(nullptr); }
    std::map<String, int> reads;
    std::map<String, int> failures;
};

TEST(App, CarriesTheVersionDataAndQuitsWithTheLastWindowOnceOpen) {
    _NewAppInstance();
    EXPECT_EQ(App->MajorVersion, 2);
    EXPECT_EQ(App->MinorVersion, 3);
    EXPECT_EQ(App->BugVersion, 1);
    EXPECT_EQ(App->NonReleaseVersion, 0);
    EXPECT_EQ(App->StageCode, 3);
    EXPECT_EQ(App->ShortVersion, "2.03.01");
    EXPECT_EQ(App->LongVersion, "");
    EXPECT_EQ(App->PackageInfo, "");
    EXPECT_FALSE(App->AutoQuit);
    App->Event_Open();
    EXPECT_TRUE(App->AutoQuit);
    Ref<FolderItem> exe = App->ExecutableFile();
    ASSERT_TRUE(exe);
    EXPECT_TRUE(exe->Exists());
    EXPECT_EQ(exe->Name(), "ui_app_test");
}

TEST(MenuBar1, HasTwoMenusWithTheirItemsInOrder) {
    Ref<MenuBar1Class> bar = MenuBar1.Get();
    EXPECT_EQ(MenuBar1.Get().get(), bar.get()) << "one instance";
    ASSERT_EQ(bar->Count(), 2);

    struct Expected {
        String name, text, shortcut;
        Ref<Picture> icon;
    };
    const std::vector<std::pair<Expected, std::vector<Expected>>> menus = {
        {{"FileMenu", "&File", "", nullptr}, {{"FileQuit", "&Quit", "Ctrl+Q", _x_exit_16()}}},
        {{"HelpMenu", "Help", "", nullptr},
         {{"HelpFileItem", "Help File", "", _x_help_16()}, {"AboutItem", "About", "", _x_about_16()}}},
    };
    auto check = [](const Ref<MenuItem>& item, const Expected& e) {
        EXPECT_EQ(item->Name, e.name);
        EXPECT_EQ(item->Text, e.text);
        EXPECT_EQ(item->KeyboardShortcut, e.shortcut);
        EXPECT_EQ(item->Icon.get(), e.icon.get()) << e.name;
        EXPECT_TRUE(item->AutoEnable);
        EXPECT_TRUE(item->Visible);
    };
    for (int m = 0; m < 2; ++m) {
        Ref<MenuItem> menu = bar->Item(m);
        check(menu, menus[size_t(m)].first);
        ASSERT_EQ(menu->Count(), int(menus[size_t(m)].second.size()));
        for (int i = 0; i < menu->Count(); ++i) check(menu->Item(i), menus[size_t(m)].second[size_t(i)]);
    }
    EXPECT_TRUE(bar->Item(0)->Item(0).IsA<QuitMenuItem>());
    EXPECT_FALSE(bar->Item(1)->Item(1).IsA<QuitMenuItem>());
    for (const auto& icon : {_x_exit_16(), _x_help_16(), _x_about_16()}) {
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->Width(), 16);
    }
}

TEST(MenuBar1, CtrlQInTheWindowEndsTheProgram) {
    ScriptedInteraction ui;
    Ref<Window> w = OpenNewWindow<Window>();
    w->SetMenuBar(MenuBar1.Get());
    QTimer::singleShot(0, [&] {
        w->NativeWidget()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w->NativeWidget()));
        QTest::keyClick(w->NativeWidget(), Qt::Key_Q, Qt::ControlModifier);
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });  // a guard, should Ctrl+Q fail
    EXPECT_EQ(RuntimeRun(), 0);
    EXPECT_FALSE(w->IsOpen());
    EXPECT_EQ(WindowCount(), 0);
}

// Each test below is the first in its process to use its picture accessor.

TEST(Pictures, OneReadOfCsvServesBothIconsAndLaterWindows) {
    CountingReader reader;
    class Icons : public Window {
    public:
        Ref<Canvas> fromCsv, toCsv, wait;
        void CreateControls() override {
            fromCsv = AddControl<Canvas>("cvFromCSV");
            fromCsv->SetBackdrop(_x_csv());
            toCsv = AddControl<Canvas>("cvToCSV");
            toCsv->SetBackdrop(_x_csv());
            wait = AddControl<Canvas>("Canvas1");
            wait->SetBackdrop(_x_settings());
        }
    };
    Ref<Icons> first = OpenNewWindow<Icons>();
    first->Close();
    Ref<Icons> second = OpenNewWindow<Icons>();

    EXPECT_EQ(reader.reads["csv.png"], 1);
    EXPECT_EQ(reader.reads["settings.png"], 1);
    ASSERT_TRUE(first->fromCsv->Backdrop());
    EXPECT_EQ(first->fromCsv->Backdrop().get(), first->toCsv->Backdrop().get());
    EXPECT_EQ(second->wait->Backdrop().get(), first->wait->Backdrop().get());
    CloseAllWindows();
}

TEST(Pictures, FailedReadIsTriedAgainThenKept) {
    CountingReader reader;
    reader.failures["arrow.png"] = 1;
    EXPECT_TRUE(_x_arrow().IsNil());
    Ref<Picture> arrow = _x_arrow();
    ASSERT_TRUE(arrow);
    EXPECT_EQ(_x_arrow().get(), arrow.get());
    EXPECT_EQ(reader.reads["arrow.png"], 2);
}

TEST(Pictures, EveryResourceLoadsAtItsSize) {
    InitGuiRuntime();
    struct Case {
        String file;
        int width, height;
    };
    const std::vector<Case> cases = {
        {"mac.png", 32, 32},      {"csv.png", 32, 32},      {"linux.png", 32, 32},
        {"brevolan.png", 32, 32}, {"windows.png", 32, 32},  {"settings.png", 32, 32},
        {"arrow.png", 32, 32},    {"about_16.gif", 16, 16}, {"exit_16.png", 16, 16},
        {"help_16.png", 16, 16},  {"elephant.png", 243, 251},
    };
    for (const Case& c : cases) {
        Ref<Picture> p = ReadPictureResource(c.file);
        ASSERT_TRUE(p) << c.file;
        EXPECT_EQ(p->Width(), c.width) << c.file;
        EXPECT_EQ(p->Height(), c.height) << c.file;
    }
    EXPECT_TRUE(ReadPictureResource("missing.png").IsNil());
    EXPECT_TRUE(ReadPictureResource("../csv.png").IsNil());
}

}  // namespace
