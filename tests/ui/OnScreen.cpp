#include "tests/ui/OnScreen.h"

#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>

#include "framework/gui/Runtime.h"
#include "services/Progress.h"
#include "ui/frmWait.h"

void OnScreenTest::startScreen(const VirtualDisplay::Options& options) {
    display = std::make_unique<VirtualDisplay>(options);
    ASSERT_TRUE(display->ok()) << display->error();
    env.set("QT_QPA_PLATFORM", "xcb");
    const std::string runtime = home.file("runtime");
    ::mkdir(runtime.c_str(), 0700);
    env.set("XDG_RUNTIME_DIR", runtime);
    InitGuiRuntime();
    InstallDesktopInteraction();
    SetProgress(&progressWindow);
}

void OnScreenTest::TearDown() {
    UiTest::TearDown();
    SetProgress(nullptr);
    // The X server goes after the runtime that holds a connection to it.
    ShutdownGuiRuntime();
    display.reset();
}

std::string herdCsv(int n) {
    std::string text = "NAME,SEX,FATHER,MOTHER,COLOR\n";
    for (int i = 1; i <= n; ++i) {
        const std::string parents = i > 2 ? "A" + std::to_string(i - 2) + ",A" + std::to_string(i - 1) : ",";
        text += "A" + std::to_string(i) + "," + (i % 2 ? "male" : "female") + "," + parents + ",brown\n";
    }
    return text;
}

namespace {

std::string sizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// "needs W x H, has W x H" when `need` is larger than `room` either way.
std::string compare(QSize need, QSize room) {
    if (need.width() <= room.width() && need.height() <= room.height()) return "";
    return "needs " + sizeText(need.width(), need.height()) + ", has " + sizeText(room.width(), room.height());
}

// A button's caption as drawn: "&" marks the mnemonic and is not drawn.
QString shownCaption(const QString& caption) {
    QString text = caption;
    return text.remove(QRegularExpression("&(?!&)"));
}

QStyleOptionButton buttonOption(const QAbstractButton* b) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    option.icon = b->icon();
    option.iconSize = b->iconSize();
    return option;
}

std::string labelProblem(const QLabel* label) {
    if (label->text().isEmpty()) return "";
    const QRect room = label->contentsRect();
    const int flags = int(label->alignment()) | Qt::TextExpandTabs | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const int width = label->wordWrap() ? room.width() : 1 << 20;
    const QRect need = label->fontMetrics().boundingRect(QRect(0, 0, width, 1 << 20), flags, label->text());
    return compare(need.size(), room.size());
}

std::string pushButtonProblem(const QPushButton* b) {
    if (b->text().isEmpty()) return "";
    const QStyleOptionButton option = buttonOption(b);
    const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
    const QFontMetrics fm = b->fontMetrics();
    int width = fm.horizontalAdvance(shownCaption(b->text()));
    int height = fm.height();
    if (!b->icon().isNull()) {
        width += b->iconSize().width() + 4;  // the styles' gap between icon and text
        height = std::max(height, b->iconSize().height());
    }
    return compare(QSize(width, height), room.size());
}

std::string indicatorButtonProblem(const QAbstractButton* b, QStyle::SubElement contents) {
    if (b->text().isEmpty()) return "";
    const QStyleOptionButton option = buttonOption(b);
    const QRect room = b->style()->subElementRect(contents, &option, b);
    const QRect need =
        b->fontMetrics().boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::TextShowMnemonic, b->text());
    return compare(need.size(), room.size());
}

std::string groupBoxProblem(const QGroupBox* box) {
    if (box->title().isEmpty()) return "";
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const QSize need = box->fontMetrics().size(Qt::TextShowMnemonic, box->title());
    if (box->rect().contains(label) && need.width() <= label.width() && need.height() <= label.height()) return "";
    return "caption needs " + sizeText(need.width(), need.height()) + " at " + std::to_string(label.x()) + "," +
           std::to_string(label.y()) + ", box is " + sizeText(box->width(), box->height());
}

std::string lineEditProblem(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    // The text scrolls sideways; only its line height must fit.
    return compare(QSize(0, edit->fontMetrics().height()), QSize(room.width(), room.height()));
}

QString shownText(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
    return QString();
}

}  // namespace

std::string textFitProblem(const QWidget* w) {
    std::string problem;
    if (auto* label = qobject_cast<const QLabel*>(w))
        problem = labelProblem(label);
    else if (auto* push = qobject_cast<const QPushButton*>(w))
        problem = pushButtonProblem(push);
    else if (auto* radio = qobject_cast<const QRadioButton*>(w))
        problem = indicatorButtonProblem(radio, QStyle::SE_RadioButtonContents);
    else if (auto* check = qobject_cast<const QCheckBox*>(w))
        problem = indicatorButtonProblem(check, QStyle::SE_CheckBoxContents);
    else if (auto* box = qobject_cast<const QGroupBox*>(w))
        problem = groupBoxProblem(box);
    else if (auto* edit = qobject_cast<const QLineEdit*>(w))
        problem = lineEditProblem(edit);
    if (problem.empty()) return "";
    return "\"" + w->window()->windowTitle().toStdString() + "\" " + w->metaObject()->className() + " " +
           w->objectName().toStdString() + " \"" + shownText(w).toStdString() + "\": " + problem;
}

std::vector<std::string> textFitProblems(const QWidget* window) {
    std::vector<std::string> problems;
    for (const QWidget* w : window->findChildren<QWidget*>())
        if (w->isVisible())
            if (std::string problem = textFitProblem(w); !problem.empty()) problems.push_back(problem);
    return problems;
}
BoxAnswerer::BoxAnswerer(Chooser choose, int deadlineMs) : choose_(std::move(choose)), deadlineMs_(deadlineMs) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start(10);
}

BoxAnswerer::~BoxAnswerer() { timer_.stop(); }

void BoxAnswerer::tick() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    if (box != current_) {
        current_ = box;
        waited_.start();
    }
    const QMessageBox::StandardButton choice = choose_(box);
    if (choice != QMessageBox::NoButton) {
        current_ = nullptr;
        answered_.push_back(box->text().toStdString());
        if (QAbstractButton* button = box->button(choice)) {
            button->click();
            return;
        }
        ADD_FAILURE() << "the box \"" << box->text().toStdString() << "\" has no such button";
        box->reject();
    } else if (waited_.elapsed() > deadlineMs_) {
        current_ = nullptr;
        ADD_FAILURE() << "the box \"" << box->text().toStdString() << "\" was not answered within " << deadlineMs_
                      << " ms";
        box->reject();
    }
}
