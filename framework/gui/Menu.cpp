#include "framework/gui/Menu.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

#include "framework/gui/Application.h"
#include "framework/gui/MenuNative.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/Window.h"

void MenuItem::Append(const Ref<MenuItem>& item) {
    if (item) children_.push_back(item);
}

Ref<MenuItem> MenuItem::Item(int index) const {
    if (index < 0 || index >= Count()) throw OutOfBoundsException();
    return children_[size_t(index)];
}

Ref<MenuItem> MenuItem::Child(const String& name) const {
    for (const auto& c : children_)
        if (TextEquals(c->Name, name)) return c;
    return nullptr;
}

bool QuitMenuItem::DefaultAction() {
    Quit();
    return true;
}

bool ChooseMenuItem(const Ref<MenuItem>& item, const Ref<Window>& window) {
    if (!item) return false;
    if (window && window->HandleMenuItem(*item)) return true;
    return item->DefaultAction();
}

namespace {

QString nativeText(const String& text) { return QString::fromStdString(text); }

void setUpAction(QAction* action, const Ref<MenuItem>& item) {
    if (item->Icon) action->setIcon(QIcon(QPixmap::fromImage(item->Icon->Image())));
    if (!item->KeyboardShortcut.empty())
        action->setShortcut(QKeySequence(nativeText(item->KeyboardShortcut), QKeySequence::PortableText));
    action->setEnabled(item->AutoEnable || item->Enabled);
    action->setVisible(item->Visible);
}

// Choosing the action chooses the item in the window.
void connectChoice(QAction* action, const Ref<MenuItem>& item, const std::weak_ptr<Window>& window) {
    std::weak_ptr<MenuItem> weakItem = item.shared();
    QObject::connect(action, &QAction::triggered, action, [weakItem, window] {
        Ref<MenuItem> chosen(weakItem.lock());
        Ref<Window> owner(window.lock());
        RunEventHandler([&] { ChooseMenuItem(chosen, owner); });
    });
}

void addItems(QMenu* menu, const Ref<MenuItem>& parent, const std::weak_ptr<Window>& window) {
    for (int i = 0; i < parent->Count(); ++i) {
        Ref<MenuItem> item = parent->Item(i);
        if (item->Count() > 0) {
            QMenu* sub = menu->addMenu(nativeText(item->Text));
            setUpAction(sub->menuAction(), item);
            addItems(sub, item, window);
            continue;
        }
        QAction* action = menu->addAction(nativeText(item->Text));
        setUpAction(action, item);
        connectChoice(action, item, window);
    }
}

}  // namespace

QMenuBar* BuildNativeMenuBar(const Ref<MenuBar>& bar, const std::weak_ptr<Window>& window, QWidget* parent) {
    auto* native = new QMenuBar(parent);
    native->setNativeMenuBar(false);
    for (int i = 0; i < bar->Count(); ++i) {
        Ref<MenuItem> item = bar->Item(i);
        if (item->Count() > 0) {
            QMenu* menu = native->addMenu(nativeText(item->Text));
            setUpAction(menu->menuAction(), item);
            addItems(menu, item, window);
        } else {
            QAction* action = native->addAction(nativeText(item->Text));
            setUpAction(action, item);
            connectChoice(action, item, window);
        }
    }
    native->show();
    return native;
}
