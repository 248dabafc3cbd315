#pragma once
// Windows and their implicit instances.
//
// A window class derives from Window and overrides the construction steps:
//
//   class ProgressWindow : public Window {
//   public:
//       Ref<Label> Message;
//       void Layout() override { SetTitle("Please wait"); SetWidth(316); ... Frame = FrameType::ModalDialog; }
//       void CreateControls() override {
//           Message = AddControl<Label>("Message");
//           Message->SetLeft(20); ...
//       }
//       void Event_Open() override { Message->SetText("Starting..."); }
//   };
//   inline ImplicitInstance<ProgressWindow> Progress;
//
//   Progress->Message->SetText("Reading...");   // builds the window when none is open
//
// Building a window (ImplicitInstance or OpenNewWindow) runs, in this order:
// Layout, then the frame properties are applied, CreateControls, the tab
// order is set, AddMenuHandlers, the window is shown when Visible is true,
// Event_Open runs, and the first control of the tab order that takes the
// focus gets it, shown as the style shows a focus reached by Tab. A failure
// raised by a step passes to the caller.
//
// Coordinates: Left and Top of every control are in the window's content
// area (below the menu bar, when there is one), also for controls inside a
// group box; Width and Height of the window are those of the content area.
// Controls keep their position when the window is resized.
//
// Life: an open window is kept by the runtime until it is closed, whoever
// else holds it. Close runs Event_Close, hides the window, removes it with
// its controls from the window list and lets the native window go once the
// current event has ended, so Close is safe inside one of the window's own
// handlers. A closed window object stays valid: its properties and controls
// can still be read and set (nothing is shown), Show does nothing, and its
// implicit instance builds a new window at the next use.

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Color.h"
#include "framework/gui/Controls.h"

class QWidget;
class MenuBar;
class MenuItem;

// The frame of a window. A modal dialog is application-modal while it is
// shown (no other window takes input), but Show still returns at once.
enum class FrameType { Document, ModalDialog };

// Where a window is first placed: the platform's default, or centred on the
// main screen (the framework's placement code 2).
enum class WindowPlacement { Default = 0, MainScreen = 2 };

class Window : public ControlHolder, public std::enable_shared_from_this<Window> {
public:
    Window();  // starts the GUI runtime when it has not started
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Construction steps and events, overridden by window classes.
    virtual void Layout() {}
    virtual void CreateControls() {}
    virtual void AddMenuHandlers() {}
    virtual void Event_Open() {}
    virtual void Event_Close() {}

    // Frame properties: set them in Layout; they are applied once, right
    // after Layout, and later changes have no effect.
    FrameType Frame = FrameType::Document;
    bool CloseButton = true;
    bool MinimizeButton = true;
    bool MaximizeButton = true;  // false: the window cannot be maximised
    bool FullScreenButton = false;  // no such button on this platform
    bool Resizeable = true;
    bool LiveResize = true;  // the window system always resizes live here
    int MinWidth = 64;
    int MinHeight = 64;
    int MaxWidth = 32000;
    int MaxHeight = 32000;
    WindowPlacement Placement = WindowPlacement::Default;
    // The window's background colour, when HasBackColor is set. Whatever the
    // background, disabled controls draw their text in a grey with at least
    // 5:1 contrast against it (darker than the platform's pale grey on a
    // light window).
    bool HasBackColor = false;
    Color BackColor{255, 255, 255};

    String Title() const { return title_; }
    void SetTitle(const String& title);
    int Width() const;
    void SetWidth(int width);
    int Height() const;
    void SetHeight(int height);

    // Visible at building (the default) means the window shows as soon as it
    // is built. SetVisible(true) is Show, SetVisible(false) hides it.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Attaches the menu bar: the window builds its native menus from the
    // items as they stand now; choosing one runs ChooseMenuItem. Nil removes it.
    void SetMenuBar(const Ref<MenuBar>& menuBar);
    Ref<MenuBar> AttachedMenuBar() const { return menuBar_; }

    // Makes the window visible and brings it to the front (restored when
    // minimised, raised and activated) when it was hidden, minimised or is
    // not the active window; returns at once. A window already in front is
    // left as it is; one whose activation the window system has not granted
    // yet is not asked again until it has lost the focus or been hidden, and
    // one whose restoring it has not granted yet not until it was restored.
    void Show();
    void Hide();
    // Closes the window for good (see Life above); does nothing when closed.
    void Close();
    // Redraws the whole window now, before returning. A window paints at
    // most once per RefreshFrame, whatever asks for it (Refresh, a control
    // that changed): within RefreshFrame of its last painting the window is
    // only marked, and the first event processing (a yield) after the frame
    // paints its latest state.
    void Refresh(bool eraseBackground = true);
    static constexpr std::chrono::milliseconds RefreshFrame{16};
    // The clock by which windows tell their frames: the steady clock, or a
    // clock that a test drives (nullptr gives the steady clock back).
    using FrameClock = std::chrono::steady_clock::time_point (*)();
    static void SetFrameClock(FrameClock clock);
    // True from building until Close.
    bool IsOpen() const { return built_ && !closed_; }
    // True once closed (from the end of its Event_Close on).
    bool IsClosed() const { return closed_; }

    // The controls in the order they were added; none after Close.
    int ControlCount() const override { return int(controls_.size()); }
    // The control at `index` (from 0); OutOfBoundsException outside the list.
    Ref<RectControl> Control(int index) const override;

    // Makes a control of kind T, adds it to the window under `name` (inside
    // `parent` when given: a group box) and returns it.
    template <class T>
    Ref<T> AddControl(const String& name, const Ref<RectControl>& parent = nullptr) {
        Ref<T> control = New<T>();
        Attach(control, name, parent);
        return control;
    }

    // Registers the handler for the menu item called `itemName` (case
    // ignored); it returns true when it handled the choice.
    void AddMenuHandler(const String& itemName, std::function<bool()> handler);
    // Runs this window's handler for the item; false when it has none or the
    // handler returned false.
    bool HandleMenuItem(const MenuItem& item);

    // This window as a reference (for passing itself on, e.g. to setFontSize).
    Ref<Window> Self() { return Ref<Window>(shared_from_this()); }

    // The native top-level widget and the content area the controls lie in;
    // nullptr once closed. For the layer and for tests.
    QWidget* NativeWidget() const;
    QWidget* ContentWidget() const;

    // Builds and opens the window (the sequence above). Run once, by
    // ImplicitInstance and OpenNewWindow; later calls do nothing.
    void Build();

    // Called by the native window when the user closes it with its close box.
    // While an event handler runs (a conversion inside the Convert handler,
    // which yields), a window that was open before that handler began closes
    // only once it has returned: the handler may still show its questions
    // over the window and write into it. A window opened while the handler
    // runs (the progress window) closes at once.
    void CloseFromUser();
    // Whether a close from the user would wait now (see CloseFromUser).
    bool CloseWaitsForHandler() const;

    // Hands the changes of the controls that wait for painting to the
    // screen (RectControl::ShowsChangesAtPainting). Run by the native
    // window before each painting; for the layer.
    void ShowWaitingChanges();

private:
    // A control's new tab index: the tab order is set anew while open.
    void TabIndexChanged() override;
    // Marks the control for the next painting and asks for one, while open.
    bool WaitForPainting(RectControl* control) override;
    void Attach(const Ref<RectControl>& control, const String& name, const Ref<RectControl>& parent);
    void ApplyFrame();
    std::vector<QWidget*> TabOrder() const;
    void ApplyTabOrder();
    // Gives the focus to the first control of the tab order that takes it,
    // shown as after a Tab.
    void FocusFirstControl();
    void ApplyBackground();
    void ResizeNative();
    int MenuBarHeight() const;
    void ShowNative();

    struct Native;
    std::unique_ptr<Native> native_;
    String title_;
    int width_ = 300;
    int height_ = 300;
    bool visible_ = true;
    bool built_ = false;
    bool closed_ = false;
    bool closing_ = false;
    bool closeWaiting_ = false;  // a close from the user waits for the running handler
    unsigned long openedDuringHandler_ = 0;  // the outermost handler running at Build
    Ref<MenuBar> menuBar_;
    std::vector<Ref<RectControl>> controls_;
    std::vector<RectControl*> waiting_;  // of controls_, marked for the next painting
    struct MenuHandler {
        String name;
        std::function<bool()> handler;
    };
    std::vector<MenuHandler> menuHandlers_;
};

// How many times, since the program started, Show asked the window system
// to raise and activate a window. For tests.
int WindowRaiseRequests();

// The open windows, in the order they were opened.
int WindowCount();
Ref<Window> WindowAt(int index);  // OutOfBoundsException outside the list
// Closes every open window (each runs its Event_Close), newest first.
void CloseEveryWindow();

// Makes a window of class T and builds it.
template <class T>
Ref<T> OpenNewWindow() {
    Ref<T> window = New<T>();
    window->Build();
    return window;
}

// The implicit instance of a window class, reached by a name:
// `inline ImplicitInstance<MainWindow> Main;`. Every use through `->`
// (or a conversion to Ref) returns the open window, building a new one when
// none is open; while a window is being built, uses from inside its own
// construction steps reach that same window.
template <class T>
class ImplicitInstance {
public:
    Ref<T> operator->() const { return Get(); }
    template <class U, class = std::enable_if_t<std::is_convertible_v<T*, U*>>>
    operator Ref<U>() const { return Get(); }

    // The open window, built when none is open.
    Ref<T> Get() const {
        if (auto open = current_.lock(); open && !open->IsClosed()) return Ref<T>(open);
        Ref<T> window = New<T>();
        current_ = window.shared();
        window->Build();
        return window;
    }
    // The open window, or nil (builds nothing).
    Ref<T> Current() const {
        auto open = current_.lock();
        return open && !open->IsClosed() ? Ref<T>(open) : Ref<T>();
    }
    bool IsOpen() const { return !Current().IsNil(); }

private:
    mutable std::weak_ptr<T> current_;
};
