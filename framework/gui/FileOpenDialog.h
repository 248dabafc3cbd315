#pragma once
// Qt's own file-open dialog, made to offer also the files whose names are no
// UTF-8.
//
// Linux file names are bytes. Qt's directory listing (QDir, QDirIterator and
// so the QFileSystemModel of its file dialog) leaves out every name that is
// not valid UTF-8, so such a file is never listed and cannot be picked, and
// a QString could not carry its bytes back anyway. UndecodedNames, a proxy
// over the dialog's model, adds these files after a folder's other entries,
// reads them with the C library and keeps each one's bytes; FileOpenDialog
// lets the user pick one like any other file and hands its bytes back.

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include <QDateTime>
#include <QFileDialog>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>

// The source model's entries, and after those of each folder its regular
// files whose names are no UTF-8 and that pass the source's name filters and
// hidden-file setting, in byte order. Such a file shows its name with U+FFFD
// for each byte that is no UTF-8, as the other texts of the program do. A
// folder is read when it is first shown and again on refresh().
class UndecodedNames : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // The full path, as the file system's bytes, of the added file at
    // `index`; nullptr for every other index.
    const std::string* bytesOf(const QModelIndex& index) const;
    // The full path of the added file of `folder` that shows as `name`;
    // nullptr when none does.
    const std::string* bytesNamed(const QString& folder, const QString& name) const;
    // Reads every folder shown so far again.
    void refresh();

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Folder;
    struct File {
        const Folder* folder;
        std::string bytes;  // the full path
        QString shown;      // the name as shown
        qint64 size = 0;
        QDateTime modified;
    };
    struct Folder {
        QPersistentModelIndex source;  // the folder in the source model
        QString path;
        std::vector<std::unique_ptr<File>> files;
    };

    const File* fileOf(const QModelIndex& index) const;
    // The added files of a folder of the source model, read on first use;
    // nullptr for anything that is no folder.
    Folder* folderOf(const QModelIndex& sourceFolder) const;
    void read(Folder& folder) const;

    mutable std::map<QString, Folder> folders_;   // by path
    mutable std::unordered_set<const void*> files_;  // every File of folders_
};

// A QFileDialog (Qt's widgets, never the desktop's) for one existing file
// that lists the files UndecodedNames adds and lets the user choose one by
// click and Open, double click or Return.
class FileOpenDialog : public QFileDialog {
public:
    FileOpenDialog(QWidget* parent, const QString& caption);

    // After exec() accepted: the chosen file's path as the file system's
    // bytes.
    std::string chosenPath() const;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The added file that the user has chosen: the selected row, or the one
    // whose shown name the name field holds; nullptr when it is none of
    // them.
    const std::string* chosenAdded() const;
    // Open stays enabled while an added file is chosen, which the dialog
    // itself takes for no file.
    void enableOpen();
    // Widens the file list's size, type and date columns and the places
    // beside it to their texts, and the dialog with them: Qt sizes them for
    // sample texts that are narrower than many a date or type.
    void fitTexts();
    // Widens the dialog by `wider` on both sides and keeps it wholly on the
    // screen's available area, its frame included: it is made no larger
    // than that area (though not below its own minimum) and moved into it.
    void fitOnScreen(int wider);

    UndecodedNames* names_;
    QItemSelectionModel* selection_ = nullptr;
    QWidget* openButton_ = nullptr;
    std::string chosen_;  // set by accept() for an added file
};
