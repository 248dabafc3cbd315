// The interaction point on real Qt dialogs, driven offscreen by timers that
// press the dialogs' buttons.

#include <filesystem>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "framework/gui/DesktopInteraction.h"
#include "framework/gui/FileType.h"
#include "framework/gui/Runtime.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/GuiTest.h"
#include "tests/support/TempDir.h"

namespace {

class DesktopInteractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitGuiRuntime();
        SetInteractionHandler(&desktop);
    }
    void TearDown() override { SetInteractionHandler(nullptr); }
    DesktopInteraction desktop;
};

// Shows a box through MsgBox and answers it with `button`; returns MsgBox's
// result and what the box showed.
struct BoxSeen {
    int answer = 0;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QString> buttons;
};

BoxSeen answerBox(const std::function<int()>& show, QMessageBox::StandardButton button) {
    BoxSeen seen;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
        box->button(button)->click();
    });
    seen.answer = show();
    return seen;
}

TEST_F(DesktopInteractionTest, QuestionAnswersSixForYesAndSevenForNo) {
    auto ask = [] { return MsgBox("Do you want to delete the new file? ", 36, "Delete Incomplete File"); };
    const BoxSeen yes = answerBox(ask, QMessageBox::Yes);
    EXPECT_EQ(yes.answer, 6);
    EXPECT_EQ(yes.text, "Do you want to delete the new file? ");
    EXPECT_EQ(yes.title, "Delete Incomplete File");
    EXPECT_EQ(yes.icon, QMessageBox::Question);
    EXPECT_EQ(yes.buttons.size(), 2);

    const BoxSeen no = answerBox(ask, QMessageBox::No);
    EXPECT_EQ(no.answer, 7);
}

TEST_F(DesktopInteractionTest, PlainNoticeHasOnlyOk) {
    const BoxSeen seen = answerBox([] { return MsgBox("Operation completed"); }, QMessageBox::Ok);
    EXPECT_EQ(seen.answer, 1);
    EXPECT_EQ(seen.buttons.size(), 1);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.text, "Operation completed");
}

TEST_F(DesktopInteractionTest, ClosingAQuestionWithoutAButtonAnswersNo) {
    OnNextModal<QMessageBox>([](QMessageBox* box) { box->close(); });
    EXPECT_EQ(MsgBox("Find database?", 36, "Find database"), 7);
}

TEST(FileDialogFilter, OffersExactlyTheNamedTypesExtensions) {
    FileType csv;
    csv.Name = "CSV Files";
    csv.Extensions = "csv;txt";
    FileType db;
    db.Name = "Database Files";
    db.Extensions = "cax; .RSD;";
    struct Case {
        String filter;
        std::vector<String> offered;
    };
    const std::vector<Case> cases = {
        {"CSV Files;", {"CSV Files (*.csv *.txt)"}},
        {"csv files", {"CSV Files (*.csv *.txt)"}},
        {"Database Files;CSV Files;", {"Database Files (*.cax *.rsd)", "CSV Files (*.csv *.txt)"}},
        {"Old Brevolan Database;", {}},  // no such type made: every file is offered
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(FileDialogNameFilters(c.filter), c.offered) << c.filter;
}

TEST_F(DesktopInteractionTest, FileDialogStartsInTheFolderAndReturnsTheChoice) {
    TempDir dir;
    const String chosen = dir.write("animals.csv", "NAME\n");
    FileType csv;
    csv.Name = "CSV Files";
    csv.Extensions = "csv;txt";

    QStringList filters;
    QString startedIn, title;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        startedIn = dialog->directory().absolutePath();
        title = dialog->windowTitle();
        // The user types the path into the name field and presses Open.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) {
            ADD_FAILURE() << "no file name field";
            dialog->reject();
            return;
        }
        name->setText(QString::fromStdString(chosen));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    // The initial folder does not exist: the dialog starts in its parent.
    OpenDialog dialog{"Select a csv file", "CSV Files;", New<FolderItem>(dir.file("Brevolan"))};
    Ref<FolderItem> picked = dialog.ShowModal();
    ASSERT_TRUE(picked);
    EXPECT_EQ(picked->AbsolutePath(), chosen);
    EXPECT_EQ(filters, QStringList{"CSV Files (*.csv *.txt)"});
    EXPECT_EQ(startedIn.toStdString(), dir.path());
    EXPECT_EQ(title, "Select a csv file");

    OnNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    EXPECT_TRUE(dialog.ShowModal().IsNil());
}

// The file list shows each file's name, size, type and date whole, and the
// places beside it their names whole (the home folder's among them), also
// where Qt's own widths for them are too narrow for the texts.
TEST_F(DesktopInteractionTest, FileDialogShowsTheFilesAndPlacesUncut) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("herds"));
    dir.write("herds/herd.csv", "NAME\n");
    const std::string home = dir.file("margaret-whitfield");
    std::filesystem::create_directory(home);
    EnvGuard env;
    env.set("HOME", home);

    std::vector<std::string> cut;
    OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setViewMode(QFileDialog::Detail);
        auto* files = dialog->findChild<QTreeView*>("treeView");
        auto* places = dialog->findChild<QListView*>("sidebar");
        if (!files || !places) {
            ADD_FAILURE() << "no file list or places";
            dialog->reject();
            return;
        }
        const auto herdRow = [&] { return files->model()->index(0, 0, files->rootIndex()); };
        const auto cutTexts = [&] {
            std::vector<std::string> out;
            const QModelIndex row = herdRow();
            const QHeaderView* header = files->header();
            for (int c = 0; c < header->count(); ++c) {
                if (header->isSectionHidden(c)) continue;
                const int right = header->sectionViewportPosition(c) + header->sectionSize(c);
                if (header->sectionSize(c) < static_cast<QAbstractItemView*>(files)->sizeHintForColumn(c) || right > files->viewport()->width())
                    out.push_back(row.sibling(row.row(), c).data().toString().toStdString());
            }
            for (int r = 0; r < places->model()->rowCount(); ++r) {
                const QModelIndex place = places->model()->index(r, 0);
                if (places->sizeHintForIndex(place).width() > places->viewport()->width())
                    out.push_back(place.data().toString().toStdString());
            }
            return out;
        };
        // Qt reads the folder in a thread of its own.
        ProcessEventsUntil([&] { return files->visualRect(herdRow()).isValid() && cutTexts().empty(); });
        cut = herdRow().isValid() ? cutTexts() : std::vector<std::string>{"(no file listed)"};
        dialog->reject();
    });
    OpenDialog dialog{"Select a csv file", "CSV Files;", New<FolderItem>(dir.file("herds"))};
    dialog.ShowModal();
    EXPECT_EQ(cut, std::vector<std::string>{});
}

// Linux names are bytes, and Qt's listing leaves out every name that is no
// UTF-8, such as a Latin-1 "herd\xE9.csv". The dialog lists it all the same,
// beside the other files of the offered types, and hands back its bytes
// whichever way the user picks it.
TEST_F(DesktopInteractionTest, FileDialogListsANameThatIsNoUtf8AndReturnsItsBytes) {
    TempDir dir;
    dir.write("good.csv", "NAME\n");
    const std::string herd = dir.write("herd\xE9.csv", "NAME\n");
    dir.write("notes\xE9.doc", "x");  // not of the offered types
    dir.write(".old\xE9.csv", "x");   // hidden
    std::filesystem::create_directory(dir.file("sub\xE9.csv"));
    FileType csv;
    csv.Name = "CSV Files";
    csv.Extensions = "csv;txt";

    using Pick = std::function<void(QAbstractItemView*, const QModelIndex&, QPushButton* open)>;
    const struct {
        const char* how;
        Pick pick;
    } ways[] = {
        {"click and Open",
         [](QAbstractItemView* view, const QModelIndex& row, QPushButton* open) {
             QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(row).center());
             EXPECT_TRUE(open->isEnabled());
             QTest::mouseClick(open, Qt::LeftButton);
         }},
        {"double click",
         [](QAbstractItemView* view, const QModelIndex& row, QPushButton*) {
             QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(row).center());
         }},
        {"Return",
         [](QAbstractItemView* view, const QModelIndex& row, QPushButton*) {
             view->setCurrentIndex(row);
             QTest::keyClick(view, Qt::Key_Return);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        std::vector<std::string> listed;
        OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
            // The file list that is shown: the detail view or the list view.
            QAbstractItemView* view = nullptr;
            for (const char* name : {"treeView", "listView"})
                if (auto* v = dialog->findChild<QAbstractItemView*>(name); v && v->isVisible()) view = v;
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            if (!view || !buttons) {
                ADD_FAILURE() << "no file list or buttons";
                dialog->reject();
                return;
            }
            const auto names = [&] {
                std::vector<std::string> out;
                for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                    out.push_back(view->model()->index(r, 0, view->rootIndex()).data().toString().toStdString());
                return out;
            };
            ProcessEventsUntil([&] {  // Qt reads the folder in a thread of its own
                const auto now = names();
                return std::find(now.begin(), now.end(), "good.csv") != now.end();
            });
            listed = names();
            const auto shown = std::find(listed.begin(), listed.end(), "herd\xEF\xBF\xBD.csv");
            if (shown == listed.end()) {
                dialog->reject();
                return;
            }
            const QModelIndex index = view->model()->index(int(shown - listed.begin()), 0, view->rootIndex());
            ProcessEventsUntil([&] { return view->visualRect(index).isValid(); });  // laid out
            way.pick(view, index, buttons->button(QDialogButtonBox::Open));
            if (dialog->isVisible()) dialog->reject();
        });
        OpenDialog dialog{"Select a csv file", "CSV Files;", New<FolderItem>(dir.path())};
        Ref<FolderItem> picked = dialog.ShowModal();
        EXPECT_EQ(listed, (std::vector<std::string>{"good.csv", "herd\xEF\xBF\xBD.csv"}))
            << "shown with U+FFFD for the byte that is no UTF-8";
        EXPECT_EQ(picked ? picked->AbsolutePath() : "(none)", herd) << "byte for byte";
    }
}

}  // namespace
