// Menus: the native menus a window builds and how a choice finds its handler.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "framework/gui/Menu.h"
#include "framework/gui/Window.h"
#include "tests/support/GuiTest.h"

namespace {

Ref<MenuItem> item(const String& name, const String& text, const String& shortcut = "") {
    Ref<MenuItem> i = New<MenuItem>();
    i->Name = name;
    i->Text = text;
    i->KeyboardShortcut = shortcut;
    return i;
}

Ref<MenuBar> sampleBar() {
    Ref<MenuBar> bar = New<MenuBar>();
    Ref<MenuItem> file = item("FileMenu", "&File");
    Ref<MenuItem> quit = New<QuitMenuItem>();
    quit->Name = "FileQuit";
    quit->Text = "&Quit";
    quit->KeyboardShortcut = "Ctrl+Q";
    file->Append(quit);
    bar->Append(file);
    Ref<MenuItem> help = item("HelpMenu", "Help");
    help->Append(item("HelpFileItem", "Help File"));
    help->Append(item("AboutItem", "About"));
    bar->Append(help);
    return bar;
}

class MenuTest : public ::testing::Test {
protected:
    void TearDown() override { CloseAllWindows(); }
};

TEST_F(MenuTest, HandlerIsFoundByItemNameWithoutRegardToCase) {
    Ref<Window> w = OpenNewWindow<Window>();
    std::vector<String> ran;
    w->AddMenuHandler("aboutItem", [&] { ran.push_back("about"); return true; });
    w->AddMenuHandler("helpfileitem", [&] { ran.push_back("help"); return false; });
    Ref<MenuBar> bar = sampleBar();
    Ref<MenuItem> help = bar->Child("helpmenu");
    ASSERT_TRUE(help);

    EXPECT_TRUE(ChooseMenuItem(help->Child("AboutItem"), w));
    // A handler that returns false leaves the choice unhandled.
    EXPECT_FALSE(ChooseMenuItem(help->Child("HelpFileItem"), w));
    EXPECT_EQ(ran, (std::vector<String>{"about", "help"}));
    EXPECT_FALSE(ChooseMenuItem(help->Child("AboutItem"), nullptr));
}

TEST_F(MenuTest, QuitItemClosesEveryWindowUnlessAHandlerTakesIt) {
    Ref<Window> w = OpenNewWindow<Window>();
    OpenNewWindow<Window>();
    Ref<MenuItem> quit = sampleBar()->Child("FileMenu")->Child("FileQuit");

    w->AddMenuHandler("FileQuit", [] { return true; });
    EXPECT_TRUE(ChooseMenuItem(quit, w));
    EXPECT_EQ(WindowCount(), 2);

    Ref<Window> plain = WindowAt(1);
    EXPECT_TRUE(ChooseMenuItem(quit, plain));
    EXPECT_EQ(WindowCount(), 0);
}

TEST_F(MenuTest, WindowBuildsNativeMenusInOrderAndTheirActionsChoose) {
    Ref<Window> w = OpenNewWindow<Window>();
    int about = 0;
    w->AddMenuHandler("AboutItem", [&] { ++about; return true; });
    w->SetMenuBar(sampleBar());

    auto* bar = w->NativeWidget()->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[1]->text(), "Help");
    const QList<QAction*> fileItems = menus[0]->menu()->actions();
    ASSERT_EQ(fileItems.size(), 1);
    EXPECT_EQ(fileItems[0]->text(), "&Quit");
    EXPECT_EQ(fileItems[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    const QList<QAction*> helpItems = menus[1]->menu()->actions();
    ASSERT_EQ(helpItems.size(), 2);
    EXPECT_EQ(helpItems[0]->text(), "Help File");
    EXPECT_EQ(helpItems[1]->text(), "About");
    EXPECT_TRUE(helpItems[1]->isEnabled());

    helpItems[1]->trigger();
    EXPECT_EQ(about, 1);
}

}  // namespace
