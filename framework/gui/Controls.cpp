#include "framework/gui/Controls.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QFontMetricsF>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolButton>

#include "framework/gui/Runtime.h"

namespace {

// Native widgets need the runtime; it is started before the first one.
template <class W>
W* makeWidget() {
    InitGuiRuntime();
    return new W;
}

QColor toQColor(const Color& c) { return QColor(c.Red, c.Green, c.Blue); }

Qt::Alignment toQtAlignment(TextAlignment align) {
    switch (align) {
        case TextAlignment::Center: return Qt::AlignHCenter;
        case TextAlignment::Right: return Qt::AlignRight;
        default: return Qt::AlignLeft;
    }
}

// A radio button that a click can select but not clear: only selecting
// another button of its group clears it.
class RadioWidget : public QRadioButton {
protected:
    void nextCheckState() override {
        if (!isChecked()) setChecked(true);
    }
};

// A picture area: the backdrop at the top-left corner.
class CanvasWidget : public QWidget {
public:
    Canvas* owner = nullptr;

protected:
    void paintEvent(QPaintEvent*) override {
        if (!owner) return;
        QPainter painter(this);
        if (owner->EraseBackground && !owner->Transparent) painter.fillRect(rect(), palette().color(QPalette::Window));
        if (Ref<Picture> picture = owner->Backdrop()) painter.drawImage(QPoint(0, 0), picture->Image());
    }
};

// A label's widget. It shows the text as set, or, when it elides lines and
// the text does not fit, every line of it shortened to the width; it works
// that out again when its size or font changes.
class LabelWidget : public QLabel {
public:
    // Shows `text`, word-wrapped when `wrap`, with its lines elided when it
    // would not fit otherwise and `elide`.
    void Show(const QString& text, bool wrap, bool elide) {
        full_ = text;
        wrap_ = wrap;
        elide_ = elide;
        Fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (elide_) Fit();
    }
    void changeEvent(QEvent* event) override {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) advances_.fill(-1);
        if (elide_ && event->type() == QEvent::FontChange) Fit();
    }

private:
    // The characters whose advances the label keeps, for FitsAtAGlance.
    static constexpr int Kept = 0x250;

    // Whether `text` surely fits without wrapping: each of its lines, measured
    // as the sum of its characters' advances with room to spare for kerning,
    // is narrower than the label, and its lines fit the label's height. A
    // label whose text changes thousands of times a second (a progress
    // message) is spared the full layout of each text; a text it cannot
    // vouch for (wide, tall, or with other characters) is laid out in full.
    bool FitsAtAGlance(const QString& text) const {
        const QRect room = contentsRect();
        const double widest = (room.width() - 2) / 1.05;
        const int lineHeight = std::max(fontMetrics().lineSpacing(), fontMetrics().height());
        int lines = 1;
        double width = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u == '\n') {
                width = 0;
                ++lines;
                continue;
            }
            if (u >= Kept || u < ' ') return false;
            float& advance = advances_[u];
            if (advance < 0) advance = float(QFontMetricsF(font()).horizontalAdvance(c));
            width += advance;
            if (width > widest) return false;
        }
        return lines * lineHeight <= room.height();
    }

    // Whether `text`, laid out as this label lays it out, fits its room.
    bool Fits(const QString& text, bool wrap) const {
        if (FitsAtAGlance(text)) return true;
        const QRect room = contentsRect();
        const int flags = int(alignment()) | Qt::TextExpandTabs | (wrap ? Qt::TextWordWrap : 0);
        const QRect need =
            fontMetrics().boundingRect(QRect(0, 0, wrap ? room.width() : 1 << 20, 1 << 20), flags, text);
        return need.width() <= room.width() && need.height() <= room.height();
    }

    void Fit() {
        if (!elide_ || Fits(full_, wrap_)) {
            if (wordWrap() != wrap_) setWordWrap(wrap_);
            setText(full_);
            return;
        }
        // Wrapping would push the last lines out of sight; each line is
        // shortened instead and none wraps.
        const int width = contentsRect().width();
        QStringList lines = full_.split(QRegularExpression("\\r\\n|\\r|\\n"));
        for (QString& line : lines) line = fontMetrics().elidedText(line, Qt::ElideMiddle, width);
        if (wordWrap()) setWordWrap(false);
        setText(lines.join('\n'));
    }

    QString full_;
    bool wrap_ = false;
    bool elide_ = false;
    // The advances of the characters below Kept in the label's font, -1
    // where not measured yet.
    mutable std::array<float, Kept> advances_ = [] {
        std::array<float, Kept> unknown;
        unknown.fill(-1);
        return unknown;
    }();
};

}  // namespace

struct RectControl::Native {
    QPointer<QWidget> widget;
    std::unique_ptr<QObject> guard = std::make_unique<QObject>();
    Qt::FocusPolicy naturalFocus = Qt::NoFocus;
};

// ---- RectControl ----

RectControl::RectControl(QWidget* widget) : native_(std::make_unique<Native>()) {
    native_->widget = widget;
    native_->naturalFocus = widget->focusPolicy();
    PlaceNative();
    ApplyFont();
}

RectControl::~RectControl() {
    native_->guard.reset();
    // A control that never reached a window owns its widget; one on a window
    // leaves it to the window.
    if (QWidget* w = native_->widget; w && !w->parent()) w->deleteLater();
}

QWidget* RectControl::widget() const { return native_->widget; }

QWidget* RectControl::NativeWidget() const { return native_->widget; }

QObject* RectControl::guard() const { return native_->guard.get(); }

void RectControl::SetShowsChangesAtPainting(bool atPainting) {
    atPainting_ = atPainting;
    // What waited is shown now; the window's mark is then spent.
    if (!atPainting && waiting_) ShowChanges();
}

bool RectControl::WaitsForPainting() {
    if (!atPainting_ || !widget()) return false;
    if (waiting_) return true;
    std::shared_ptr<ControlHolder> holder = Holder();
    if (!holder || !holder->WaitForPainting(this)) return false;
    waiting_ = true;
    return true;
}

void RectControl::Detach() {
    native_->guard.reset();
    native_->widget = nullptr;
}

Ref<Window> RectControl::OwnerWindow() const { return Ref<Window>(window_.lock()); }

Ref<RectControl> RectControl::Parent() const { return Ref<RectControl>(parent_.lock()); }

void RectControl::RunEvent(const std::function<void()>& handler) {
    std::shared_ptr<RectControl> keepControl = shared_from_this();
    std::shared_ptr<ControlHolder> keepWindow = Holder();
    RunEventHandler(handler);
}

void RectControl::PlaceNative() {
    QWidget* w = widget();
    if (!w) return;
    int ox = 0, oy = 0;
    if (Ref<RectControl> p = Parent()) {
        ox = p->left_;
        oy = p->top_;
    }
    w->setGeometry(left_ - ox, top_ - oy, width_, height_);
}

void RectControl::MoveDescendants(int dx, int dy) {
    std::shared_ptr<ControlHolder> w = Holder();
    if (!w) return;
    for (int i = 0; i < w->ControlCount(); ++i) {
        Ref<RectControl> c = w->Control(i);
        if (c->Parent().get() != this) continue;
        c->left_ += dx;
        c->top_ += dy;
        c->MoveDescendants(dx, dy);
    }
}

void RectControl::SetLeft(int left) {
    const int dx = left - left_;
    left_ = left;
    PlaceNative();
    MoveDescendants(dx, 0);
}

void RectControl::SetTop(int top) {
    const int dy = top - top_;
    top_ = top;
    PlaceNative();
    MoveDescendants(0, dy);
}

void RectControl::SetWidth(int width) {
    width_ = width;
    PlaceNative();
}

void RectControl::SetHeight(int height) {
    height_ = height;
    PlaceNative();
}

void RectControl::SetVisible(bool visible) {
    visible_ = visible;
    if (QWidget* w = widget()) w->setVisible(visible);
}

void RectControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (QWidget* w = widget()) w->setEnabled(enabled);
}

void RectControl::SetTabIndex(int index) {
    tabIndex_ = index;
    if (std::shared_ptr<ControlHolder> w = Holder()) w->TabIndexChanged();
}

void RectControl::SetTabStop(bool tabStop) {
    tabStop_ = tabStop;
    QWidget* w = widget();
    if (!w || native_->naturalFocus == Qt::NoFocus) return;
    w->setFocusPolicy(tabStop ? native_->naturalFocus : Qt::ClickFocus);
}

void RectControl::ApplyFont() {
    QWidget* w = widget();
    if (!w) return;
    const QFont base = QApplication::font();
    QFont font = base;
    // Every attribute is set, so that a control inside a bold group box does
    // not take over the box's bold caption font.
    const bool systemFont = textFont_.empty() || TextEquals(textFont_, "System");
    font.setFamily(systemFont ? base.family() : QString::fromStdString(textFont_));
    // A size is in pixels of the window's coordinates, as the controls' places
    // and sizes are, so text drawn for a layout fits it on a screen of any
    // resolution; 0 keeps the platform's default size, which `base` has.
    if (textSize_ > 0) font.setPixelSize(std::max(1, int(std::lround(textSize_))));
    font.setBold(bold_);
    font.setItalic(false);
    w->setFont(font);
}

void RectControl::SetTextFont(const String& font) {
    textFont_ = font;
    ApplyFont();
}

void RectControl::SetTextSize(double pixels) {
    textSize_ = pixels;
    ApplyFont();
}

void RectControl::SetBold(bool bold) {
    bold_ = bold;
    ApplyFont();
}

void RectControl::SetFocus() {
    if (QWidget* w = widget()) w->setFocus(Qt::OtherFocusReason);
}

void RectControl::Refresh(bool eraseBackground) {
    (void)eraseBackground;
    if (QWidget* w = widget(); w && w->isVisible()) w->repaint();
}

// ---- Label ----

Label::Label() : RectControl(makeWidget<LabelWidget>()) {
    auto* label = static_cast<QLabel*>(widget());
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    ApplyText();
}

void Label::ApplyText() {
    auto* label = static_cast<LabelWidget*>(widget());
    if (!label) return;
    label->setAlignment(toQtAlignment(align_) | Qt::AlignTop);
    label->Show(QString::fromStdString(text_), multiline_, elidesLines_);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toQColor(textColor_));
    label->setPalette(palette);
    label->setAutoFillBackground(!transparent_);
    label->setTextInteractionFlags(selectable_ ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
}

void Label::SetText(const String& text) {
    text_ = text;
    if (WaitsForPainting()) return;
    ShowChanges();
}

void Label::ShowChanges() {
    if (auto* label = static_cast<LabelWidget*>(widget()))
        label->Show(QString::fromStdString(text_), multiline_, elidesLines_);
}

void Label::SetMultiline(bool multiline) {
    multiline_ = multiline;
    ApplyText();
}

void Label::SetElidesLines(bool elides) {
    elidesLines_ = elides;
    ApplyText();
}

void Label::SetTextColor(const Color& color) {
    textColor_ = color;
    ApplyText();
}

void Label::SetTextAlign(TextAlignment align) {
    align_ = align;
    ApplyText();
}

void Label::SetTransparent(bool transparent) {
    transparent_ = transparent;
    ApplyText();
}

void Label::SetSelectable(bool selectable) {
    selectable_ = selectable;
    ApplyText();
}

// ---- TextField ----

TextField::TextField() : RectControl(makeWidget<QLineEdit>()) {
    auto* edit = static_cast<QLineEdit*>(widget());
    edit->setMaxLength(INT_MAX);
    // A text set by the program keeps its bytes while the field shows it
    // unchanged: a path whose bytes are no UTF-8 (a file system name) would
    // otherwise come back with U+FFFD in their place and name no file.
    QObject::connect(edit, &QLineEdit::textChanged, guard(), [this](const QString& text) {
        if (text != QString::fromStdString(text_)) text_ = text.toStdString();
    });
    ApplyColors();
}

String TextField::Text() const { return text_; }

void TextField::SetText(const String& text) {
    text_ = text;
    if (auto* edit = static_cast<QLineEdit*>(widget())) edit->setText(QString::fromStdString(text));
}

void TextField::ApplyColors() {
    auto* edit = static_cast<QLineEdit*>(widget());
    if (!edit) return;
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, toQColor(textColor_));
    palette.setColor(QPalette::Base, toQColor(backColor_));
    edit->setPalette(palette);
}

void TextField::SetTextColor(const Color& color) {
    textColor_ = color;
    ApplyColors();
}

void TextField::SetBackColor(const Color& color) {
    backColor_ = color;
    ApplyColors();
}

void TextField::SetHasBorder(bool border) {
    hasBorder_ = border;
    if (auto* edit = static_cast<QLineEdit*>(widget())) edit->setFrame(border);
}

void TextField::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (auto* edit = static_cast<QLineEdit*>(widget())) edit->setReadOnly(readOnly);
}

void TextField::SetLimitText(int limit) {
    limitText_ = limit;
    if (auto* edit = static_cast<QLineEdit*>(widget())) edit->setMaxLength(limit > 0 ? limit : INT_MAX);
}

void TextField::SetTextAlign(TextAlignment align) {
    align_ = align;
    if (auto* edit = static_cast<QLineEdit*>(widget())) edit->setAlignment(toQtAlignment(align) | Qt::AlignVCenter);
}

// ---- RadioButton ----

RadioButton::RadioButton() : RectControl(makeWidget<RadioWidget>()) {
    auto* radio = static_cast<QRadioButton*>(widget());
    // The group is kept by the layer (one per parent), not by Qt.
    radio->setAutoExclusive(false);
    QObject::connect(radio, &QRadioButton::toggled, guard(), [this](bool on) {
        if (on && !value_)
            RunEvent([this] { Select(); });
        else if (!on)
            value_ = false;
    });
}

void RadioButton::SetCaption(const String& caption) {
    caption_ = caption;
    if (auto* radio = static_cast<QRadioButton*>(widget())) radio->setText(QString::fromStdString(caption));
}

void RadioButton::SetValue(bool selected) {
    if (selected) {
        if (!value_) Select();
        return;
    }
    value_ = false;
    if (auto* radio = static_cast<QRadioButton*>(widget())) {
        const QSignalBlocker quiet(radio);
        radio->setChecked(false);
    }
}

void RadioButton::Select() {
    value_ = true;
    if (auto* radio = static_cast<QRadioButton*>(widget()); radio && !radio->isChecked()) {
        const QSignalBlocker quiet(radio);
        radio->setChecked(true);
    }
    if (std::shared_ptr<ControlHolder> w = Holder()) {
        const RectControl* parent = Parent().get();
        for (int i = 0; i < w->ControlCount(); ++i) {
            Ref<RadioButton> other = w->Control(i).As<RadioButton>();
            if (!other || other.get() == this || other->Parent().get() != parent) continue;
            other->SetValue(false);
        }
    }
    if (Action) {
        auto action = Action;  // the handler may replace it
        action();
    }
}

// ---- GroupBox ----

GroupBox::GroupBox() : RectControl(makeWidget<QGroupBox>()) {}

void GroupBox::SetCaption(const String& caption) {
    caption_ = caption;
    if (auto* box = static_cast<QGroupBox*>(widget())) box->setTitle(QString::fromStdString(caption));
}

// ---- PushButton ----

PushButton::PushButton() : RectControl(makeWidget<QPushButton>()) {
    auto* button = static_cast<QPushButton*>(widget());
    button->setAutoDefault(false);
    button->setDefault(false);
    QObject::connect(button, &QPushButton::clicked, guard(), [this] {
        if (!Action) return;
        auto action = Action;
        RunEvent(action);
    });
}

void PushButton::SetCaption(const String& caption) {
    caption_ = caption;
    if (auto* button = static_cast<QPushButton*>(widget())) button->setText(QString::fromStdString(caption));
}

void PushButton::Push() {
    if (auto* button = static_cast<QPushButton*>(widget()); button && button->isEnabled()) button->click();
}

// ---- Canvas ----

Canvas::Canvas() : RectControl(makeWidget<CanvasWidget>()) {
    auto* area = static_cast<CanvasWidget*>(widget());
    area->owner = this;
    area->setFocusPolicy(Qt::NoFocus);
}

Canvas::~Canvas() {
    if (auto* area = static_cast<CanvasWidget*>(widget())) area->owner = nullptr;
}

void Canvas::SetBackdrop(const Ref<Picture>& picture) {
    backdrop_ = picture;
    if (QWidget* area = widget()) area->update();
}

// ---- ProgressBar ----

ProgressBar::ProgressBar() : RectControl(makeWidget<QProgressBar>()) {
    static_cast<QProgressBar*>(widget())->setTextVisible(false);
    ApplyValue();
}

void ProgressBar::ApplyValue() {
    auto* bar = static_cast<QProgressBar*>(widget());
    if (!bar) return;
    const int maximum = std::max(0, maximum_);
    bar->setRange(0, maximum);
    bar->setValue(std::clamp(value_, 0, maximum));
}

void ProgressBar::SetMaximum(int maximum) {
    maximum_ = maximum;
    if (!WaitsForPainting()) ApplyValue();
}

void ProgressBar::SetValue(int value) {
    value_ = value;
    if (!WaitsForPainting()) ApplyValue();
}

// ---- kinds without properties of their own ----

CheckBox::CheckBox() : RectControl(makeWidget<QCheckBox>()) {}
ComboBox::ComboBox() : RectControl(makeWidget<QComboBox>()) {}
Listbox::Listbox() : RectControl(makeWidget<QListWidget>()) {}
TabPanel::TabPanel() : RectControl(makeWidget<QTabWidget>()) {}
BevelButton::BevelButton() : RectControl(makeWidget<QToolButton>()) {}
TextArea::TextArea() : RectControl(makeWidget<QPlainTextEdit>()) {}
