#pragma once
// Controls of windows.
//
// Every control is a RectControl of one kind: Label, TextField, RadioButton,
// GroupBox, PushButton, Canvas (a picture area), ProgressBar, and CheckBox,
// ComboBox, Listbox, TabPanel, BevelButton and TextArea (offered so that the
// type test can tell every kind apart; they have no properties of their own
// here). The kinds are unrelated siblings: `c.IsA<Label>()` is true for
// labels only, `c.IsA<RectControl>()` for every control.
//
// A control is made and added by Window::AddControl; its properties are then
// set one by one. Every setter takes effect at once on the screen, but for
// a label's text and a progress bar's values in a control that shows its
// changes at painting (SetShowsChangesAtPainting). Values are kept by the
// control itself, so a control of a closed window can still be read and set
// (nothing is shown any more).
//
// Events: PushButton and RadioButton run their Action (a plain function
// member) when the user presses or selects them; a failure escaping an
// Action goes to UnhandledException. The window is kept alive while its
// control's Action runs, so the Action may close it.
//
// Text: TextFont "System" (the default) is the platform's interface font.
// TextSize is in pixels, the unit of Left, Top, Width and Height, so a size
// chosen for a layout keeps fitting it whatever the screen's resolution
// setting (text and places grow together on a screen that scales windows);
// 0 means the platform's default size. A fractional size is rounded.

#include <functional>
#include <memory>

#include "framework/Exceptions.h"
#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Color.h"
#include "framework/gui/Picture.h"

class QWidget;
class RectControl;
class Window;

// What holds controls, as the controls see it: the window they were added
// to (Window). A group box moves the controls inside it along, a radio
// button clears the others of its group, and a new tab index has the tab
// order set anew. By itself it holds no control.
class ControlHolder {
public:
    // The controls in the order they were added.
    virtual int ControlCount() const { return 0; }
    // The control at `index` (from 0); OutOfBoundsException outside the list.
    virtual Ref<RectControl> Control(int index) const {
        (void)index;
        throw OutOfBoundsException();
    }
    // Called when a control's tab index has changed.
    virtual void TabIndexChanged() {}
    // Called by a control that shows its changes at painting, with a change
    // to show: true when the holder has marked it for its next painting
    // (where it runs the control's changes) and asked for one, false when
    // the change is to be shown now.
    virtual bool WaitForPainting(RectControl* control) {
        (void)control;
        return false;
    }

protected:
    ~ControlHolder() = default;
};

class RectControl : public std::enable_shared_from_this<RectControl> {
public:
    virtual ~RectControl();
    RectControl(const RectControl&) = delete;
    RectControl& operator=(const RectControl&) = delete;

    // Name and index given when the control was added to its window.
    String Name() const { return name_; }
    int Index() const { return index_; }
    // The window it was added to; nil when none, or once that window is gone.
    Ref<Window> OwnerWindow() const;
    // The control it lies in (a group box); nil when it lies in the window.
    Ref<RectControl> Parent() const;

    // Position in window coordinates and size. Moving a group box moves the
    // controls inside it along.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Keyboard focus order among the controls of one parent: lower first,
    // equal ones in the order they were added. A control that is no tab stop
    // takes the focus only by a click.
    int TabIndex() const { return tabIndex_; }
    void SetTabIndex(int index);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);

    String TextFont() const { return textFont_; }
    void SetTextFont(const String& font);
    double TextSize() const { return textSize_; }
    void SetTextSize(double pixels);
    bool Bold() const { return bold_; }
    void SetBold(bool bold);

    // Gives this control the keyboard focus of its window.
    void SetFocus();
    // Redraws the control now.
    void Refresh(bool eraseBackground = true);

    // The native widget; nullptr once its window has closed. For the layer
    // and for tests.
    QWidget* NativeWidget() const;

    // A control that shows its changes at painting (off by default; a
    // label's text, a progress bar's maximum and value) keeps each new value
    // at once, so that its getters read it, and hands it to the screen when
    // its window next paints, which a window does at most once a frame
    // (Window::Refresh). For a control that a long operation changes
    // thousands of times a second: only the state that is painted is laid
    // out.
    bool ShowsChangesAtPainting() const { return atPainting_; }
    void SetShowsChangesAtPainting(bool atPainting);

protected:
    explicit RectControl(QWidget* widget);
    // Runs an event: the control and its window stay alive meanwhile, and a
    // failure goes to UnhandledException.
    void RunEvent(const std::function<void()>& handler);
    QWidget* widget() const;
    // The window it was added to, as its controls see it; nil when none, or
    // once that window is gone.
    std::shared_ptr<ControlHolder> Holder() const { return holder_.lock(); }
    // The object that native event connections are made on: they end when
    // the control goes or its window closes.
    QObject* guard() const;
    // For a setter of a control that shows its changes at painting: true
    // when the change waits for the window's next painting (the control is
    // marked for it and the window asked to paint), false when it is to be
    // shown now.
    bool WaitsForPainting();
    // Hands what changed since the window last painted to the screen.
    virtual void ShowChanges() {}

private:
    friend class Window;
    void PlaceNative();
    void ApplyFont();
    void MoveDescendants(int dx, int dy);
    void Detach();

    struct Native;
    std::unique_ptr<Native> native_;
    String name_;
    int index_ = -1;
    std::weak_ptr<Window> window_;
    std::weak_ptr<ControlHolder> holder_;  // the same window
    std::weak_ptr<RectControl> parent_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 80;
    int height_ = 20;
    bool visible_ = true;
    bool enabled_ = true;
    int tabIndex_ = 0;
    bool tabStop_ = true;
    String textFont_ = "System";
    double textSize_ = 0;
    bool bold_ = false;
    bool atPainting_ = false;
    bool waiting_ = false;  // marked for the window's next painting
};

// Text alignment of labels and text fields.
enum class TextAlignment { Default = 0, Left = 1, Center = 2, Right = 3 };

class Label : public RectControl {
public:
    Label();
    String Text() const { return text_; }
    void SetText(const String& text);
    // Multi-line labels wrap their text and keep line ends; single-line ones
    // show one line.
    bool Multiline() const { return multiline_; }
    void SetMultiline(bool multiline);
    Color TextColor() const { return textColor_; }
    void SetTextColor(const Color& color);
    TextAlignment TextAlign() const { return align_; }
    void SetTextAlign(TextAlignment align);
    // A transparent label (the default) shows what lies behind it.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // A selectable label lets the user select and copy its text.
    bool Selectable() const { return selectable_; }
    void SetSelectable(bool selectable);
    // A label that elides its lines (off by default) shows a text that does
    // not fit it line by line: each line of the text on a line of its own,
    // one wider than the label shortened in its middle with "…", so that the
    // start and the end of every line stay in sight. A text that fits is
    // shown as without it, wrapped where a multi-line label wraps it. Text()
    // stays the text that was set.
    bool ElidesLines() const { return elidesLines_; }
    void SetElidesLines(bool elides);

private:
    void ApplyText();
    void ShowChanges() override;
    String text_;
    bool multiline_ = false;
    bool elidesLines_ = false;
    Color textColor_{0, 0, 0};
    TextAlignment align_ = TextAlignment::Default;
    bool transparent_ = true;
    bool selectable_ = false;
};

// One line of editable text.
class TextField : public RectControl {
public:
    TextField();
    // What the field shows, also what the user typed. A text that the
    // program set comes back byte for byte until the user changes it, also
    // where its bytes are no UTF-8 (a file name).
    String Text() const;
    void SetText(const String& text);
    Color TextColor() const { return textColor_; }
    void SetTextColor(const Color& color);
    Color BackColor() const { return backColor_; }
    void SetBackColor(const Color& color);
    bool HasBorder() const { return hasBorder_; }
    void SetHasBorder(bool border);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // Most characters the user may type; 0 means no limit.
    int LimitText() const { return limitText_; }
    void SetLimitText(int limit);
    TextAlignment TextAlign() const { return align_; }
    void SetTextAlign(TextAlignment align);

private:
    void ApplyColors();
    String text_;
    Color textColor_{0, 0, 0};
    Color backColor_{255, 255, 255};
    bool hasBorder_ = true;
    bool readOnly_ = false;
    int limitText_ = 0;
    TextAlignment align_ = TextAlignment::Default;
};

// A radio button. The radio buttons with the same parent (one group box, or
// the window itself) form one group: selecting one clears the others.
class RadioButton : public RectControl {
public:
    RadioButton();
    String Caption() const { return caption_; }
    void SetCaption(const String& caption);  // may hold line ends
    // Selected or not. SetValue(true) on an unselected button selects it,
    // clears the others of its group and runs Action, as a click does;
    // SetValue(false) only clears it.
    bool Value() const { return value_; }
    void SetValue(bool selected);
    // Runs when the button becomes selected.
    std::function<void()> Action;

private:
    void Select();
    String caption_;
    bool value_ = false;
};

// A frame with a caption around other controls (its radio buttons form one
// group). SetBold makes only the caption bold.
class GroupBox : public RectControl {
public:
    GroupBox();
    String Caption() const { return caption_; }
    void SetCaption(const String& caption);

private:
    String caption_;
};

// A push button. It is never a default or cancel button: Return and Escape
// do not press it (Space does, while it has the focus).
class PushButton : public RectControl {
public:
    PushButton();
    String Caption() const { return caption_; }
    void SetCaption(const String& caption);
    // Runs when the button is pressed.
    std::function<void()> Action;
    // Presses the button as a click does (nothing when disabled or closed).
    void Push();

private:
    String caption_;
};

// A picture area: draws its backdrop picture at its top-left corner.
class Canvas : public RectControl {
public:
    Canvas();
    ~Canvas() override;
    Ref<Picture> Backdrop() const { return backdrop_; }
    void SetBackdrop(const Ref<Picture>& picture);  // nil: no picture
    // Read when the area is drawn. EraseBackground fills the area with the
    // window's colour before the picture, unless Transparent is set.
    bool EraseBackground = true;
    bool Transparent = false;
    bool DoubleBuffer = false;  // drawing is always buffered here
    bool UseFocusRing = false;  // the area never takes the focus

private:
    Ref<Picture> backdrop_;
};

// A progress bar from 0 to Maximum. A Value beyond the range is kept as set
// and shown at the nearest end; Maximum 0 shows a busy bar.
class ProgressBar : public RectControl {
public:
    ProgressBar();
    int Maximum() const { return maximum_; }
    void SetMaximum(int maximum);
    int Value() const { return value_; }
    void SetValue(int value);

private:
    void ApplyValue();
    void ShowChanges() override { ApplyValue(); }
    int maximum_ = 100;
    int value_ = 0;
};

class CheckBox : public RectControl {
public:
    CheckBox();
};

class ComboBox : public RectControl {
public:
    ComboBox();
};

class Listbox : public RectControl {
public:
    Listbox();
};

class TabPanel : public RectControl {
public:
    TabPanel();
};

class BevelButton : public RectControl {
public:
    BevelButton();
};

class TextArea : public RectControl {
public:
    TextArea();
};
