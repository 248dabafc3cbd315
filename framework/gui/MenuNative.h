#pragma once
// Inside the GUI layer: the native menus of a window's menu bar.

#include <memory>

#include "framework/Ref.h"

class MenuBar;
class QMenuBar;
class QWidget;
class Window;

// A QMenuBar child of `parent` holding the menus and items of `bar`; choosing
// an item runs ChooseMenuItem with the item and `window`.
QMenuBar* BuildNativeMenuBar(const Ref<MenuBar>& bar, const std::weak_ptr<Window>& window, QWidget* parent);
