#include "framework/gui/DesktopInteraction.h"

#include <filesystem>
#include <utility>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "framework/gui/FileOpenDialog.h"
#include "framework/gui/FileType.h"
#include "framework/gui/Window.h"

namespace {

struct Answer {
    QMessageBox::StandardButton button;
    int code;
};

// The button sets that the lowest three bits of a MsgBox code choose.
const std::vector<std::vector<Answer>>& buttonSets() {
    static const std::vector<std::vector<Answer>> sets = {
        {{QMessageBox::Ok, 1}},
        {{QMessageBox::Ok, 1}, {QMessageBox::Cancel, 2}},
        {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}},
        {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}, {QMessageBox::Cancel, 2}},
        {{QMessageBox::Yes, 6}, {QMessageBox::No, 7}},
        {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, 2}},
    };
    return sets;
}

QMessageBox::Icon iconFor(int buttons) {
    switch (buttons & 0x70) {
        case 16: return QMessageBox::Critical;
        case 32: return QMessageBox::Question;
        case 48: return QMessageBox::Warning;
        case 64: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// The folder the dialog starts in: the given one, or its nearest existing
// parent when it does not exist.
QString startFolder(const Ref<FolderItem>& folder) {
    if (!folder) return QString();
    std::filesystem::path p(folder->AbsolutePath());
    std::error_code ec;
    while (!p.empty() && !std::filesystem::is_directory(p, ec)) {
        if (p == p.parent_path()) return QString();
        p = p.parent_path();
    }
    return QFile::decodeName(QByteArray::fromStdString(p.string()));
}

// The window that a box or dialog belongs to, and is made a dialog of: the
// modal window that takes the input now (the progress window, another box),
// else the active window, else the newest open window in sight; nullptr
// when there is none. Without one the window manager would take the box for
// a window of its own, to be stacked and minimised apart from the window.
QWidget* ownerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (int i = WindowCount() - 1; i >= 0; --i)
        if (QWidget* w = WindowAt(i)->NativeWidget(); w && w->isVisible() && !w->isMinimized()) return w;
    return nullptr;
}

// Undoes at once a minimising of the modal box or dialog that it watches,
// and of the window the box belongs to. The program waits for the answer,
// and a window manager may minimise the box with its window (openbox offers
// a minimise button on every dialog and minimises the window with its
// dialogs): without a panel nothing would be left on the screen to answer.
class KeptInSight : public QObject {
public:
    explicit KeptInSight(QWidget* box) : QObject(box), box_(box) {
        box->installEventFilter(this);
        // The window may learn of its own minimising only after the box's.
        if (QWidget* owner = box->parentWidget() ? box->parentWidget()->window() : nullptr)
            owner->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && event->type() == QEvent::WindowStateChange && w->isMinimized())
            QMetaObject::invokeMethod(
                this,
                [w, box = box_] {
                    if (w->isMinimized()) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
                    box->raise();
                    box->activateWindow();
                },
                Qt::QueuedConnection);
        return false;
    }

private:
    QWidget* box_;
};

}  // namespace

int DesktopInteraction::ShowMessage(const String& text, int buttons, const String& title) {
    const auto& sets = buttonSets();
    const size_t setIndex = size_t(buttons & 7) < sets.size() ? size_t(buttons & 7) : 0;
    const std::vector<Answer>& set = sets[setIndex];

    QMessageBox box(ownerWindow());
    new KeptInSight(&box);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setIcon(iconFor(buttons));
    std::vector<std::pair<QAbstractButton*, int>> made;
    for (const Answer& a : set) made.emplace_back(box.addButton(a.button), a.code);

    const size_t defaultIndex = size_t((buttons >> 8) & 3);
    if (defaultIndex < made.size()) box.setDefaultButton(static_cast<QPushButton*>(made[defaultIndex].first));
    // Closing the box without a button answers Cancel, else No, else OK.
    int escapeCode = 0;
    for (int wanted : {2, 7, 1}) {
        for (const auto& [button, code] : made)
            if (code == wanted && escapeCode == 0) {
                box.setEscapeButton(button);
                escapeCode = code;
            }
    }

    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, code] : made)
        if (button == clicked) return code;
    return escapeCode != 0 ? escapeCode : made.front().second;
}

Ref<FolderItem> DesktopInteraction::ChooseFile(const String& title, const String& filter,
                                               const Ref<FolderItem>& initialFolder) {
    FileOpenDialog dialog(ownerWindow(), QString::fromStdString(title));
    new KeptInSight(&dialog);
    QStringList filters;
    for (const String& f : FileDialogNameFilters(filter)) filters << QString::fromStdString(f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    const QString folder = startFolder(initialFolder);
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    const std::string chosen = dialog.chosenPath();
    if (chosen.empty()) return nullptr;
    return New<FolderItem>(chosen);
}

void DesktopInteraction::Beep() { QApplication::beep(); }

void DesktopInteraction::Launch(const FolderItem& item) {
    const String path = item.AbsolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path))))
        throw IOException("Cannot open " + path);
}

std::vector<String> FileDialogNameFilters(const String& filter) {
    std::vector<String> out;
    size_t start = 0;
    while (start < filter.size()) {
        size_t end = filter.find(';', start);
        if (end == String::npos) end = filter.size();
        const String name = Trim(filter.substr(start, end - start));
        start = end + 1;
        if (name.empty()) continue;
        const FileType* type = FindFileType(name);
        if (!type) continue;
        String patterns;
        for (const String& ext : type->ExtensionList()) patterns += (patterns.empty() ? "*." : " *.") + ext;
        if (!patterns.empty()) out.push_back(type->Name + " (" + patterns + ")");
    }
    return out;
}
