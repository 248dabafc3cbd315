#pragma once
// Menus.
//
// A MenuBar holds menus (MenuItems with children), a menu holds items. The
// tree is plain data: a window builds its native menus from it when the menu
// bar is attached (Window::SetMenuBar), so items are set up before that.
// "&" in a Text marks the letter that opens the menu or item from the
// keyboard; KeyboardShortcut is a text such as "Ctrl+Q" ("" for none).
//
// Choosing an item (ChooseMenuItem, or the user in a window's menus) runs the
// window's menu handler registered under the item's Name, case ignored;
// when there is none, or it returns false, the item's own action runs:
// nothing for a MenuItem, quitting the program (Quit) for a QuitMenuItem.

#include <memory>
#include <vector>

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Picture.h"

class Window;

class MenuItem {
public:
    MenuItem() = default;
    virtual ~MenuItem() = default;

    String Name;
    String Text;
    String KeyboardShortcut;
    Ref<Picture> Icon;       // nil: none
    bool AutoEnable = true;  // enabled automatically (Enabled is then ignored)
    bool Enabled = true;
    bool Visible = true;

    // Adds `item` at the end of this item's children.
    void Append(const Ref<MenuItem>& item);
    int Count() const { return int(children_.size()); }
    // The child at `index` (from 0); OutOfBoundsException outside.
    Ref<MenuItem> Item(int index) const;
    // The first child called `name` (case ignored); nil when none.
    Ref<MenuItem> Child(const String& name) const;

    // The item's own action when no handler took the choice; true when it did
    // something.
    virtual bool DefaultAction() { return false; }

private:
    std::vector<Ref<MenuItem>> children_;
};

// The framework's Quit item: choosing it ends the program.
class QuitMenuItem : public MenuItem {
public:
    bool DefaultAction() override;
};

class MenuBar : public MenuItem {};

// Chooses `item` as the user does in `window`'s menus (window may be nil:
// only the item's own action runs). Returns true when something handled it.
bool ChooseMenuItem(const Ref<MenuItem>& item, const Ref<Window>& window);
