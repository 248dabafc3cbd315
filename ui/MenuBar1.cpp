#include "ui/MenuBar1.h"

#include "ui/Pictures.h"

namespace {

// Makes an item of class T with the settings every item of this bar shares.
template <class T>
Ref<MenuItem> makeItem(const String& name, const String& text, const String& shortcut, const Ref<Picture>& icon) {
    Ref<MenuItem> item = New<T>();
    item->Name = name;
    item->AutoEnable = true;
    item->Text = text;
    item->Visible = true;
    item->KeyboardShortcut = shortcut;
    if (icon) item->Icon = icon;
    return item;
}

}  // namespace

MenuBar1Class::MenuBar1Class() {
    Untitled0();
    Untitled1();
}

void MenuBar1Class::Untitled0() {
    Append(makeItem<MenuItem>("FileMenu", "&File", "", nullptr));
    Child("FileMenu")->Append(makeItem<QuitMenuItem>("FileQuit", "&Quit", "Ctrl+Q", _x_exit_16()));
}

void MenuBar1Class::Untitled1() {
    Append(makeItem<MenuItem>("HelpMenu", "Help", "", nullptr));
    Child("HelpMenu")->Append(makeItem<MenuItem>("HelpFileItem", "Help File", "", _x_help_16()));
    Child("HelpMenu")->Append(makeItem<MenuItem>("AboutItem", "About", "", _x_about_16()));
}

Ref<MenuBar1Class> MenuBar1Accessor::Get() const {
    static Ref<MenuBar1Class> instance;
    if (!instance) instance = New<MenuBar1Class>();
    return instance;
}
