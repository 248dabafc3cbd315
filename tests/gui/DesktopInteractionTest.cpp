// The interaction point on real Qt dialogs, driven offscreen by timers that
// press the dialogs' buttons.

#include <QAbstractButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "framework/gui/DesktopInteraction.h"
#include "framework/gui/FileType.h"
#include "framework/gui/Runtime.h"
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

}  // namespace
