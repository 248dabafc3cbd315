#include "framework/gui/Window.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "framework/Exceptions.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Menu.h"
#include "framework/gui/MenuNative.h"
#include "framework/gui/Runtime.h"
#include "framework/gui/WindowList.h"

namespace {

// The open windows, oldest first. The list keeps them alive until Close.
// Never destroyed, so that windows closed during the program's exit still
// find it.
std::vector<std::shared_ptr<Window>>& openWindows() {
    static auto* windows = new std::vector<std::shared_ptr<Window>>;
    return *windows;
}

QColor toQColor(const Color& c) { return QColor(c.Red, c.Green, c.Blue); }

// The X atom called `name` on the X server the program uses; 0 when it uses
// none.
xcb_atom_t xAtom(const char* name) {
    auto* x = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x || !x->connection()) return 0;
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(x->connection(), 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x->connection(), cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// Whether the native event is the window system's request to close the
// window (the close box, as X has the window manager send it).
bool isCloseRequest(const QByteArray& type, void* message) {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    static const xcb_atom_t protocols = xAtom("WM_PROTOCOLS");
    static const xcb_atom_t deleteWindow = xAtom("WM_DELETE_WINDOW");
    return client->format == 32 && protocols != 0 && client->type == protocols &&
           client->data.data32[0] == deleteWindow;
}

int g_raiseRequests = 0;

// The relative luminance of a colour (as the Web Content Accessibility
// Guidelines define it, 0 for black to 1 for white).
double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// `text` itself when it has a contrast of at least 5:1 against `background`,
// else the colour nearest to it on its way to black (on a light background)
// or white that has. 4.5:1 is the guidelines' level for text; the rest is
// room for the slightly darker panels that the style draws on the
// background, such as the inside of a group box. Styles draw disabled text
// in a pale grey that is hard to read on a light window.
QColor readableOn(const QColor& text, const QColor& background) {
    constexpr double Wanted = 5.0;
    const QColor towards = luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    QColor c = text;
    for (int step = 1; step <= 100 && contrast(c, background) < Wanted; ++step) {
        const double t = step / 100.0;
        c = QColor::fromRgbF(float(text.redF() + (towards.redF() - text.redF()) * t),
                             float(text.greenF() + (towards.greenF() - text.greenF()) * t),
                             float(text.blueF() + (towards.blueF() - text.blueF()) * t));
    }
    return c;
}

// What runs each time a window has closed (SetWindowClosedHandler).
void (*g_windowClosed)() = nullptr;

Window::FrameClock g_frameClock = nullptr;  // nullptr: the steady clock

std::chrono::steady_clock::time_point frameNow() {
    return g_frameClock ? g_frameClock() : std::chrono::steady_clock::now();
}

// The native top-level window: an optional menu bar over the content area.
class WindowWidget : public QWidget {
public:
    explicit WindowWidget(Window* owner) : QWidget(nullptr, Qt::Window), owner(owner) {
        content = new QWidget(this);
        frameEnd.setSingleShot(true);
        frameEnd.setTimerType(Qt::PreciseTimer);
        QObject::connect(&frameEnd, &QTimer::timeout, this, [this] {
            if (refreshWaits) {
                refreshWaits = false;
                repaint();
                return;
            }
            QEvent request(QEvent::UpdateRequest);
            QCoreApplication::sendEvent(this, &request);
        });
    }
    Window* owner;  // cleared when the Window object goes
    QWidget* content;
    QPointer<QMenuBar> menuBar;
    // True from a request to raise and activate the window until it loses
    // the focus or is hidden: while the window system has not granted the
    // request (or a window manager refuses it), it is not asked again.
    bool raiseAsked = false;
    // True from a request to restore the minimised window until it is
    // restored: a window manager that keeps it minimised is not asked again
    // at every report of a long operation.
    bool restoreAsked = false;
    std::chrono::steady_clock::time_point lastPainted;  // when the window last finished painting
    QTimer frameEnd;  // the end of the frame in which a request to paint came
    bool refreshWaits = false;  // a Refresh came while frameEnd ran: the whole window is painted then

    int menuHeight() const { return menuBar ? menuBar->sizeHint().height() : 0; }
    void layoutParts() {
        const int mh = menuHeight();
        if (menuBar) menuBar->setGeometry(0, 0, width(), mh);
        content->setGeometry(0, mh, width(), std::max(0, height() - mh));
    }

protected:
    // A screen shows one frame at a time, so the window paints at most once
    // a frame, whatever asks for it (Refresh, a label or bar that changed):
    // a request to paint within Window::RefreshFrame of the last painting
    // waits for the frame's end, and the event processing after it (the
    // next yield) paints the window's latest state. Operations that report
    // thousands of times a second would otherwise spend their time painting
    // and sending pictures to the window system.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) {
            const auto since = frameNow() - lastPainted;
            if (since < Window::RefreshFrame) {
                if (!frameEnd.isActive())
                    frameEnd.start(std::chrono::ceil<std::chrono::milliseconds>(Window::RefreshFrame - since));
                return true;
            }
            return painting([&] { return QWidget::event(event); });
        }
        if (event->type() == QEvent::WinIdChange && windowHandle()) windowHandle()->installEventFilter(this);
        return QWidget::event(event);
    }
    // The window system has the window painted when it shows or uncovers it
    // (an Expose of the native window): that painting counts too.
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object != windowHandle() || event->type() != QEvent::Expose) return false;
        return painting([&] { return static_cast<QObject*>(object)->event(event); });
    }
    template <class Paint>
    bool painting(Paint paint) {
        if (owner) owner->ShowWaitingChanges();
        const bool handled = paint();
        lastPainted = frameNow();
        return handled;
    }
    void resizeEvent(QResizeEvent*) override { layoutParts(); }
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange && !isActiveWindow()) raiseAsked = false;
        if (event->type() == QEvent::WindowStateChange && !isMinimized()) restoreAsked = false;
        // A window without a maximise button is never maximised. Qt asks the
        // window manager for no such button, but openbox, for one, offers it
        // on every window that can be resized: its maximising is undone.
        if (event->type() == QEvent::WindowStateChange && owner && !owner->MaximizeButton &&
            (windowState() & Qt::WindowMaximized))
            QMetaObject::invokeMethod(
                this, [this] { setWindowState(windowState() & ~Qt::WindowMaximized); }, Qt::QueuedConnection);
        QWidget::changeEvent(event);
    }
    void hideEvent(QHideEvent* event) override {
        raiseAsked = false;
        QWidget::hideEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        // The window system asks; the runtime closes the window its own way.
        event->ignore();
        if (Window* w = owner) w->CloseFromUser();
    }
    // Qt drops the close box's request to a window that a modal window
    // (the progress window, a box) blocks. A close that would wait for the
    // running handler anyway is taken here, so that the program still closes
    // once the handler has returned.
    bool nativeEvent(const QByteArray& type, void* message, qintptr* result) override {
        QWidget* modal = QApplication::activeModalWidget();
        if (owner && modal && modal != this && owner->CloseWaitsForHandler() && isCloseRequest(type, message)) {
            owner->CloseFromUser();
            return true;
        }
        return QWidget::nativeEvent(type, message, result);
    }
};

// Drops a reference once the current event is over, so that an object is
// not destroyed while one of its own functions runs.
void releaseLater(std::shared_ptr<Window> window) {
    if (!QCoreApplication::instance()) return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [w = std::move(window)]() mutable { w.reset(); }, Qt::QueuedConnection);
}

}  // namespace

struct Window::Native {
    QPointer<WindowWidget> top;
    bool placed = false;
};

Window::Window() : native_(std::make_unique<Native>()) {
    InitGuiRuntime();
    // The windows still open when the runtime ends close before it goes.
    [[maybe_unused]] static const bool closeAtShutdown = (SetBeforeShutdown(&CloseEveryWindow), true);
    native_->top = new WindowWidget(this);
    ResizeNative();
}

Window::~Window() {
    if (WindowWidget* top = native_->top) {
        top->owner = nullptr;
        top->hide();
        top->deleteLater();
    }
}

QWidget* Window::NativeWidget() const { return native_->top; }

QWidget* Window::ContentWidget() const { return native_->top ? native_->top->content : nullptr; }

void Window::SetTitle(const String& title) {
    title_ = title;
    if (native_->top) native_->top->setWindowTitle(QString::fromStdString(title));
}

int Window::Width() const { return native_->top ? native_->top->content->width() : width_; }

int Window::Height() const { return native_->top ? native_->top->content->height() : height_; }

void Window::SetWidth(int width) {
    height_ = Height();
    width_ = width;
    ResizeNative();
}

void Window::SetHeight(int height) {
    width_ = Width();
    height_ = height;
    ResizeNative();
}

int Window::MenuBarHeight() const { return native_->top ? native_->top->menuHeight() : 0; }

void Window::ResizeNative() {
    WindowWidget* top = native_->top;
    if (!top) return;
    const int mh = MenuBarHeight();
    if (built_ && !Resizeable) {
        top->setFixedSize(width_, height_ + mh);
    } else if (built_) {
        top->setMinimumSize(MinWidth, MinHeight + mh);
        top->setMaximumSize(std::min(MaxWidth, QWIDGETSIZE_MAX), std::min(MaxHeight + mh, QWIDGETSIZE_MAX));
    }
    top->resize(width_, height_ + mh);
    top->layoutParts();
}

void Window::ApplyFrame() {
    WindowWidget* top = native_->top;
    if (!top) return;
    Qt::WindowFlags flags = (Frame == FrameType::ModalDialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    if (CloseButton) flags |= Qt::WindowCloseButtonHint;
    if (MinimizeButton) flags |= Qt::WindowMinimizeButtonHint;
    if (MaximizeButton) flags |= Qt::WindowMaximizeButtonHint;
    top->setWindowFlags(flags);
    top->setWindowModality(Frame == FrameType::ModalDialog ? Qt::ApplicationModal : Qt::NonModal);
    ApplyBackground();
    ResizeNative();
}

void Window::ApplyBackground() {
    if (!native_->top) return;
    QWidget* content = native_->top->content;
    content->setAutoFillBackground(HasBackColor);
    QPalette palette = content->palette();
    if (HasBackColor) palette.setColor(QPalette::Window, toQColor(BackColor));
    // The text of a disabled control stays readable on what it is drawn on.
    for (const auto& [text, behind] : {std::pair{QPalette::WindowText, QPalette::Window},
                                       std::pair{QPalette::ButtonText, QPalette::Button},
                                       std::pair{QPalette::Text, QPalette::Base}})
        palette.setColor(QPalette::Disabled, text,
                         readableOn(palette.color(QPalette::Disabled, text), palette.color(QPalette::Active, behind)));
    content->setPalette(palette);
}

void Window::SetVisible(bool visible) {
    if (visible)
        Show();
    else
        Hide();
}

void Window::ShowNative() {
    WindowWidget* top = native_->top;
    if (!top) return;
    if (!native_->placed) {
        native_->placed = true;
        if (Placement == WindowPlacement::MainScreen) {
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect area = screen->availableGeometry();
                top->move(area.x() + (area.width() - top->width()) / 2, area.y() + (area.height() - top->height()) / 2);
            }
        }
    }
    // A window is brought to the front when it was hidden, minimised or is
    // not the active one. One that is in front already is not raised again:
    // a progress window is shown at every report of a long operation, and a
    // window manager would restack and refocus it thousands of times.
    const bool wasHidden = !top->isVisible();
    const bool restore = top->isMinimized() && !top->restoreAsked;
    top->show();
    if (restore) {
        top->restoreAsked = true;
        top->setWindowState(top->windowState() & ~Qt::WindowMinimized);
    }
    if (wasHidden || restore || (!top->isActiveWindow() && !top->raiseAsked)) {
        top->raiseAsked = true;
        ++g_raiseRequests;
        top->raise();
        top->activateWindow();
    }
}

void Window::Show() {
    if (closed_) return;
    visible_ = true;
    if (built_) ShowNative();
}

void Window::Hide() {
    visible_ = false;
    if (native_->top) native_->top->hide();
}

void Window::SetFrameClock(FrameClock clock) { g_frameClock = clock; }

bool Window::WaitForPainting(RectControl* control) {
    WindowWidget* top = native_->top;
    if (!IsOpen() || !top) return false;
    waiting_.push_back(control);
    top->update();
    return true;
}

void Window::ShowWaitingChanges() {
    // A change shown may ask for another painting at once (a progress bar
    // repaints itself), which comes back here with nothing left to show.
    std::vector<RectControl*> waiting;
    waiting.swap(waiting_);
    for (RectControl* control : waiting) {
        control->waiting_ = false;
        control->ShowChanges();
    }
}

void Window::Refresh(bool eraseBackground) {
    (void)eraseBackground;  // every redraw here paints the background first
    WindowWidget* top = native_->top;
    if (!top || !top->isVisible()) return;
    // Within a frame of the last painting the window paints at the frame's
    // end (WindowWidget::event). While a painting waits for that end, a
    // Refresh within the frame only asks for the whole window then: a
    // progress window is refreshed at every report, hundreds of thousands of
    // times.
    if (top->frameEnd.isActive() && frameNow() - top->lastPainted < RefreshFrame) {
        top->refreshWaits = true;
        return;
    }
    top->repaint();
}

void Window::SetMenuBar(const Ref<MenuBar>& menuBar) {
    menuBar_ = menuBar;
    WindowWidget* top = native_->top;
    if (!top) return;
    if (top->menuBar) {
        top->menuBar->hide();
        top->menuBar->deleteLater();
        top->menuBar = nullptr;
    }
    if (menuBar) top->menuBar = BuildNativeMenuBar(menuBar, weak_from_this(), top);
    ResizeNative();
}

Ref<RectControl> Window::Control(int index) const {
    if (index < 0 || index >= ControlCount()) throw OutOfBoundsException();
    return controls_[size_t(index)];
}

void Window::Attach(const Ref<RectControl>& control, const String& name, const Ref<RectControl>& parent) {
    control->name_ = name;
    control->index_ = ControlCount();
    control->window_ = weak_from_this();
    control->holder_ = weak_from_this();
    control->parent_ = parent.shared();
    controls_.push_back(control);
    if (QWidget* w = control->widget()) {
        QWidget* nativeParent = parent && parent->widget() ? parent->widget() : ContentWidget();
        w->setParent(nativeParent);
        w->setObjectName(QString::fromStdString(name));
        control->PlaceNative();
        control->ApplyFont();
        w->setVisible(control->visible_);
    }
    if (built_) ApplyTabOrder();
}

std::vector<QWidget*> Window::TabOrder() const {
    // Depth first: the controls of one parent by tab index (stable), each
    // followed by the controls inside it.
    std::vector<QWidget*> order;
    std::function<void(const RectControl*)> visit = [&](const RectControl* parent) {
        std::vector<RectControl*> children;
        for (const auto& c : controls_)
            if (c->Parent().get() == parent) children.push_back(c.get());
        std::stable_sort(children.begin(), children.end(),
                         [](const RectControl* a, const RectControl* b) { return a->TabIndex() < b->TabIndex(); });
        for (RectControl* c : children) {
            if (QWidget* w = c->widget()) order.push_back(w);
            visit(c);
        }
    };
    visit(nullptr);
    return order;
}

void Window::TabIndexChanged() {
    if (IsOpen()) ApplyTabOrder();
}

void Window::ApplyTabOrder() {
    const std::vector<QWidget*> order = TabOrder();
    for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void Window::FocusFirstControl() {
    WindowWidget* top = native_->top;
    if (!top) return;
    for (QWidget* w : TabOrder()) {
        if (!w->isEnabled() || !w->isVisibleTo(top) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        // As after a Tab: the style shows which control has the focus.
        top->setAttribute(Qt::WA_KeyboardFocusChange);
        w->setFocus(Qt::TabFocusReason);
        return;
    }
}

void Window::AddMenuHandler(const String& itemName, std::function<bool()> handler) {
    for (auto& h : menuHandlers_)
        if (TextEquals(h.name, itemName)) {
            h.handler = std::move(handler);
            return;
        }
    menuHandlers_.push_back({itemName, std::move(handler)});
}

bool Window::HandleMenuItem(const MenuItem& item) {
    for (const auto& h : menuHandlers_)
        if (TextEquals(h.name, item.Name) && h.handler) {
            auto handler = h.handler;  // the handler may replace the list
            return handler();
        }
    return false;
}

void Window::Build() {
    if (built_) return;
    built_ = true;
    openedDuringHandler_ = OutermostEventHandler();
    openWindows().push_back(shared_from_this());
    Layout();
    ApplyFrame();
    CreateControls();
    ApplyTabOrder();
    AddMenuHandlers();
    if (closed_) return;
    if (visible_) ShowNative();
    Event_Open();
    // After the Open handler, which may disable or hide controls.
    FocusFirstControl();
}

bool Window::CloseWaitsForHandler() const {
    return EventHandlerDepth() > 0 && openedDuringHandler_ != OutermostEventHandler();
}

void Window::CloseFromUser() {
    if (!CloseWaitsForHandler()) {
        RunEventHandler([this] { Close(); });
        return;
    }
    if (closeWaiting_) return;
    closeWaiting_ = true;
    WhenNoEventHandlerRuns([window = weak_from_this()] {
        if (auto w = window.lock()) {
            w->closeWaiting_ = false;
            w->Close();
        }
    });
}

void Window::Close() {
    if (closing_ || closed_) return;
    closing_ = true;
    std::shared_ptr<Window> keep = shared_from_this();
    struct Finish {
        Window* w;
        ~Finish() {
            w->width_ = w->Width();
            w->height_ = w->Height();
            w->closed_ = true;
            for (RectControl* c : w->waiting_) c->waiting_ = false;
            w->waiting_.clear();
            for (const auto& c : w->controls_) c->Detach();
            w->controls_.clear();
            w->menuHandlers_.clear();
            if (WindowWidget* top = w->native_->top) {
                top->owner = nullptr;
                top->hide();
                top->deleteLater();
            }
            w->native_->top = nullptr;
            auto& list = openWindows();
            auto it = std::find_if(list.begin(), list.end(), [this](const auto& p) { return p.get() == w; });
            if (it != list.end()) {
                releaseLater(*it);
                list.erase(it);
            }
            if (g_windowClosed) g_windowClosed();
        }
    } finish{this};
    if (built_) Event_Close();  // a failure passes on after the window closed
}

int WindowCount() { return int(openWindows().size()); }

void CloseEveryWindow() {
    while (WindowCount() > 0) WindowAt(WindowCount() - 1)->Close();
}

void SetWindowClosedHandler(void (*handler)()) { g_windowClosed = handler; }

int WindowRaiseRequests() { return g_raiseRequests; }

Ref<Window> WindowAt(int index) {
    if (index < 0 || index >= WindowCount()) throw OutOfBoundsException();
    return Ref<Window>(openWindows()[size_t(index)]);
}
