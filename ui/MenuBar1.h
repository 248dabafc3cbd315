#pragma once
// The converter window's menu bar: "&File" with "&Quit" (Ctrl+Q), and "Help"
// with "Help File" and "About". `MenuBar1.Get()` (or `MenuBar1->...`) makes
// the one instance on first use; a window attaches it with SetMenuBar. The
// Help items are answered by the window's handlers registered under their
// names ("HelpFileItem", "AboutItem"); the Quit item ends the program itself.

#include "framework/Ref.h"
#include "framework/gui/Menu.h"

class MenuBar1Class : public MenuBar {
public:
    MenuBar1Class();  // runs Untitled0, then Untitled1
    void Untitled0();  // the File menu and its Quit item
    void Untitled1();  // the Help menu and its two items
};

struct MenuBar1Accessor {
    Ref<MenuBar1Class> Get() const;
    Ref<MenuBar1Class> operator->() const { return Get(); }
    template <class U, class = std::enable_if_t<std::is_convertible_v<MenuBar1Class*, U*>>>
    operator Ref<U>() const { return Get(); }
};
inline constexpr MenuBar1Accessor MenuBar1{};
