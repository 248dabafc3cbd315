#include "framework/gui/FileOpenDialog.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include <QAbstractFileIconProvider>
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMouseEvent>
#include <QMimeDatabase>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStringDecoder>
#include <QTimer>
#include <QTreeView>

namespace {

// Whether Qt would list the name: it is valid UTF-8.
bool decodable(const std::string& name) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(name.data(), qsizetype(name.size())));
    return !utf8.hasError();
}

bool passes(const QString& name, const QStringList& patterns) {
    if (patterns.isEmpty()) return true;
    for (const QString& pattern : patterns) {
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern),
                                    QRegularExpression::CaseInsensitiveOption);
        if (re.match(name).hasMatch()) return true;
    }
    return false;
}

}  // namespace

// ---- UndecodedNames ----

const UndecodedNames::File* UndecodedNames::fileOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || !files_.count(index.internalPointer())) return nullptr;
    return static_cast<const File*>(index.internalPointer());
}

const std::string* UndecodedNames::bytesOf(const QModelIndex& index) const {
    const File* file = fileOf(index);
    return file ? &file->bytes : nullptr;
}

const std::string* UndecodedNames::bytesNamed(const QString& folder, const QString& name) const {
    const auto it = folders_.find(QDir::cleanPath(folder));
    if (it == folders_.end()) return nullptr;
    for (const auto& file : it->second.files)
        if (file->shown == name) return &file->bytes;
    return nullptr;
}

UndecodedNames::Folder* UndecodedNames::folderOf(const QModelIndex& sourceFolder) const {
    const auto* model = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!model || !sourceFolder.isValid() || sourceFolder.column() != 0 || !model->isDir(sourceFolder))
        return nullptr;
    const QString path = QDir::cleanPath(model->filePath(sourceFolder));
    if (path.isEmpty()) return nullptr;
    auto [it, added] = folders_.try_emplace(path);
    if (added) {
        it->second.source = sourceFolder;
        it->second.path = path;
        read(it->second);
    }
    return &it->second;
}

void UndecodedNames::read(Folder& folder) const {
    for (const auto& file : folder.files) files_.erase(file.get());
    folder.files.clear();
    const auto* model = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!model || !(model->filter() & QDir::Files)) return;
    const bool hidden = model->filter() & QDir::Hidden;
    const QStringList patterns = model->nameFilters();
    const std::string dirPath = QFile::encodeName(folder.path).toStdString();
    DIR* dir = opendir(dirPath.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (decodable(name) || (name[0] == '.' && !hidden)) continue;
        auto file = std::make_unique<File>();
        file->folder = &folder;
        file->bytes = dirPath + (dirPath.back() == '/' ? "" : "/") + name;
        file->shown = QString::fromUtf8(name.data(), qsizetype(name.size()));
        struct stat st;
        if (stat(file->bytes.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !passes(file->shown, patterns)) continue;
        file->size = st.st_size;
        file->modified = QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec);
        folder.files.push_back(std::move(file));
    }
    closedir(dir);
    std::sort(folder.files.begin(), folder.files.end(),
              [](const auto& a, const auto& b) { return a->bytes < b->bytes; });
    for (const auto& file : folder.files) files_.insert(file.get());
}

void UndecodedNames::refresh() {
    for (auto& [path, folder] : folders_) {
        if (!folder.source.isValid()) continue;
        const QModelIndex parent = mapFromSource(folder.source);
        const int first = sourceModel()->rowCount(folder.source);
        if (!folder.files.empty()) {
            beginRemoveRows(parent, first, first + int(folder.files.size()) - 1);
            for (const auto& file : folder.files) files_.erase(file.get());
            folder.files.clear();
            endRemoveRows();
        }
        Folder fresh;
        fresh.path = folder.path;
        read(fresh);
        if (fresh.files.empty()) continue;
        beginInsertRows(parent, first, first + int(fresh.files.size()) - 1);
        folder.files = std::move(fresh.files);
        for (const auto& file : folder.files) file->folder = &folder;
        endInsertRows();
    }
}

QModelIndex UndecodedNames::index(int row, int column, const QModelIndex& parent) const {
    if (!sourceModel() || fileOf(parent) || row < 0 || column < 0 || column >= columnCount(parent))
        return QModelIndex();
    const QModelIndex sourceParent = mapToSource(parent);
    const int sourceRows = sourceModel()->rowCount(sourceParent);
    if (row < sourceRows) return QIdentityProxyModel::index(row, column, parent);
    const Folder* folder = folderOf(sourceParent);
    if (!folder || size_t(row - sourceRows) >= folder->files.size()) return QModelIndex();
    return createIndex(row, column, folder->files[size_t(row - sourceRows)].get());
}

QModelIndex UndecodedNames::parent(const QModelIndex& child) const {
    if (const File* file = fileOf(child)) return mapFromSource(file->folder->source);
    return QIdentityProxyModel::parent(child);
}

QModelIndex UndecodedNames::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, parent(index));
}

int UndecodedNames::rowCount(const QModelIndex& parent) const {
    if (fileOf(parent)) return 0;
    const int sourceRows = QIdentityProxyModel::rowCount(parent);
    const Folder* folder = folderOf(mapToSource(parent));
    return sourceRows + (folder ? int(folder->files.size()) : 0);
}

bool UndecodedNames::hasChildren(const QModelIndex& parent) const {
    return !fileOf(parent) && QIdentityProxyModel::hasChildren(parent);
}

bool UndecodedNames::canFetchMore(const QModelIndex& parent) const {
    return !fileOf(parent) && QIdentityProxyModel::canFetchMore(parent);
}

void UndecodedNames::fetchMore(const QModelIndex& parent) {
    if (!fileOf(parent)) QIdentityProxyModel::fetchMore(parent);
}

QModelIndex UndecodedNames::mapToSource(const QModelIndex& proxyIndex) const {
    if (fileOf(proxyIndex)) return QModelIndex();
    return QIdentityProxyModel::mapToSource(proxyIndex);
}

QVariant UndecodedNames::data(const QModelIndex& index, int role) const {
    const File* file = fileOf(index);
    if (!file) return QIdentityProxyModel::data(index, role);
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case 0: return file->shown;
                case 1: return QLocale::system().formattedDataSize(file->size);
                case 2: return QMimeDatabase().mimeTypeForFile(file->shown, QMimeDatabase::MatchExtension).comment();
                case 3: return QLocale::system().toString(file->modified, QLocale::ShortFormat);
            }
            break;
        case Qt::EditRole:
        case QFileSystemModel::FileNameRole:
            if (index.column() == 0) return file->shown;
            break;
        case QFileSystemModel::FilePathRole:
            return file->folder->path + (file->folder->path.endsWith('/') ? "" : "/") + file->shown;
        case Qt::DecorationRole:
            if (index.column() == 0) {
                const auto* model = qobject_cast<const QFileSystemModel*>(sourceModel());
                if (model && model->iconProvider()) return model->iconProvider()->icon(QAbstractFileIconProvider::File);
            }
            break;
        case Qt::TextAlignmentRole:
            if (index.column() == 1) return QVariant(Qt::AlignTrailing | Qt::AlignVCenter);
            break;
    }
    return QVariant();
}

Qt::ItemFlags UndecodedNames::flags(const QModelIndex& index) const {
    if (fileOf(index)) return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return QIdentityProxyModel::flags(index);
}

// ---- FileOpenDialog ----
//
// The dialog knows nothing of the added rows: they map to no entry of its
// model, so it would neither put their name into the name field nor enable
// Open for them, and it would take a double click on one for a click on
// "My Computer". The dialog's views and its Open button are watched for
// that.

FileOpenDialog::FileOpenDialog(QWidget* parent, const QString& caption)
    : QFileDialog(parent, caption), names_(new UndecodedNames(this)) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setProxyModel(names_);
    for (QAbstractItemView* view : findChildren<QAbstractItemView*>()) {
        if (view->model() != names_ || qobject_cast<QHeaderView*>(view)) continue;
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        selection_ = view->selectionModel();
    }
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        openButton_ = buttons->button(QDialogButtonBox::Open);
        if (openButton_) openButton_->installEventFilter(this);
    }
    // Connected after the dialog's own handlers, so these run after them.
    auto* name = findChild<QLineEdit*>("fileNameEdit");
    if (selection_ && name) {
        connect(selection_, &QItemSelectionModel::selectionChanged, this, [this, name] {
            for (const QModelIndex& row : selection_->selectedRows())
                if (names_->bytesOf(row) && !name->hasFocus()) name->setText(row.data().toString());
            enableOpen();
        });
        connect(selection_, &QItemSelectionModel::currentChanged, this, &FileOpenDialog::enableOpen);
        connect(name, &QLineEdit::textChanged, this, &FileOpenDialog::enableOpen);
    }
    // After the dialog has set the model's new name filters.
    connect(this, &QFileDialog::filterSelected, names_, &UndecodedNames::refresh, Qt::QueuedConnection);
    connect(this, &QFileDialog::directoryEntered, names_, &UndecodedNames::refresh);
    // The texts are known once a folder has been read, in a thread of Qt's.
    if (auto* files = findChild<QFileSystemModel*>())
        connect(files, &QFileSystemModel::directoryLoaded, this, &FileOpenDialog::fitTexts, Qt::QueuedConnection);
}

void FileOpenDialog::fitTexts() {
    if (!isVisible()) return;  // nothing is laid out yet
    int wider = 0;  // how much wider the dialog must be
    if (auto* files = findChild<QTreeView*>("treeView")) {
        QHeaderView* header = files->header();
        const QAbstractItemView* view = files;
        for (int c = 1; c < header->count(); ++c) {
            const int needed = std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c));
            if (!header->isSectionHidden(c) && header->sectionSize(c) < needed) header->resizeSection(c, needed);
        }
        wider = std::max(0, header->length() - files->viewport()->width());
    }
    auto* places = findChild<QListView*>("sidebar");
    auto* splitter = findChild<QSplitter*>("splitter");
    QList<int> sizes = splitter ? splitter->sizes() : QList<int>();
    if (places && !sizes.isEmpty()) {
        int widest = 0;
        for (int r = 0; r < places->model()->rowCount(); ++r)
            widest = std::max(widest, places->sizeHintForIndex(places->model()->index(r, 0)).width());
        const int more = std::max(0, widest - places->viewport()->width());
        sizes[0] += more;
        wider += more;
    }
    if (wider == 0) return;
    fitOnScreen(wider);
    if (splitter) splitter->setSizes(sizes);
}

namespace {

// The frame that the window manager puts around the top-level `w`; none
// while it has not framed it. While the window manager reframes a window
// that has just been resized, its frame and its size may disagree for a
// moment: a side that the frame would not cover counts as none.
QMargins frameOf(const QWidget* w) {
    const QRect outer = w->frameGeometry(), inner = w->geometry();
    return QMargins(std::max(0, inner.left() - outer.left()), std::max(0, inner.top() - outer.top()),
                    std::max(0, outer.right() - inner.right()), std::max(0, outer.bottom() - inner.bottom()));
}

}  // namespace

void FileOpenDialog::fitOnScreen(int wider) {
    QScreen* shownOn = parentWidget() ? parentWidget()->screen() : screen();
    if (!shownOn) return;
    // The room inside the screen's available area that leaves the frame in
    // sight, title bar and all. Until the dialog has a frame, and on a side
    // that reads none while the window manager reframes it (which a busy
    // machine can make last), its owner's tells how large it is.
    QMargins frame = frameOf(this);
    if (parentWidget()) {
        const QMargins owner = frameOf(parentWidget()->window());
        frame = QMargins(std::max(frame.left(), owner.left()), std::max(frame.top(), owner.top()),
                         std::max(frame.right(), owner.right()), std::max(frame.bottom(), owner.bottom()));
    }
    const QRect room = shownOn->availableGeometry().marginsRemoved(frame);
    // Wider by as much on each side, as far as the room lets it.
    QRect shape = geometry();
    const QPoint centre = shape.center();
    shape.setSize(QSize(shape.width() + wider, shape.height()).boundedTo(room.size()).expandedTo(minimumSize()));
    shape.moveCenter(centre);
    shape.moveLeft(std::clamp(shape.left(), room.left(), std::max(room.left(), room.right() + 1 - shape.width())));
    shape.moveTop(std::clamp(shape.top(), room.top(), std::max(room.top(), room.bottom() + 1 - shape.height())));
    setGeometry(shape);
}

std::string FileOpenDialog::chosenPath() const {
    if (!chosen_.empty()) return chosen_;
    const QStringList files = selectedFiles();
    return files.isEmpty() ? std::string() : QFile::encodeName(files.first()).toStdString();
}

const std::string* FileOpenDialog::chosenAdded() const {
    if (selection_)
        for (const QModelIndex& row : selection_->selectedRows())
            if (const std::string* bytes = names_->bytesOf(row)) return bytes;
    const auto* name = findChild<QLineEdit*>("fileNameEdit");
    if (!name || name->text().isEmpty() || QFile::exists(directory().filePath(name->text()))) return nullptr;
    return names_->bytesNamed(directory().absolutePath(), name->text());
}

void FileOpenDialog::enableOpen() {
    if (openButton_ && !openButton_->isEnabled() && chosenAdded()) openButton_->setEnabled(true);
}

void FileOpenDialog::accept() {
    const std::string* bytes = chosenAdded();
    if (!bytes) {
        chosen_.clear();
        QFileDialog::accept();
        return;
    }
    struct stat st;
    if (stat(bytes->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        names_->refresh();  // gone meanwhile: no longer listed
        return;
    }
    chosen_ = *bytes;
    QDialog::accept();
}

void FileOpenDialog::showEvent(QShowEvent* event) {
    // The name filters and the folder are set by now.
    names_->refresh();
    // Placed over its owner by now, and not shown yet. Its size, at a high
    // resolution, may be larger than the screen.
    QFileDialog::showEvent(event);
    fitOnScreen(0);
    QTimer::singleShot(0, this, &FileOpenDialog::fitTexts);
}

bool FileOpenDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == openButton_ && event->type() == QEvent::EnabledChange) {
        enableOpen();
        return false;
    }
    QAbstractItemView* view = qobject_cast<QAbstractItemView*>(watched);
    if (!view && watched->parent()) view = qobject_cast<QAbstractItemView*>(watched->parent());
    if (!view || view->model() != names_ || qobject_cast<QHeaderView*>(view))
        return QFileDialog::eventFilter(watched, event);
    QModelIndex row;
    if (event->type() == QEvent::MouseButtonDblClick && watched == view->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) row = view->indexAt(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress && watched == view) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) row = view->currentIndex();
    }
    if (!names_->bytesOf(row)) return QFileDialog::eventFilter(watched, event);
    view->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    accept();
    return true;
}
