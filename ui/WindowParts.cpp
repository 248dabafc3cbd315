#include "ui/WindowParts.h"

void setWindowFrame(Window& w, const String& title, int width, int height) {
    w.SetTitle(title);
    w.SetWidth(width);
    w.SetHeight(height);
    w.MinWidth = 64;
    w.MinHeight = 64;
    w.MaxWidth = 32000;
    w.MaxHeight = 32000;
    w.CloseButton = true;
    w.MinimizeButton = true;
    w.MaximizeButton = false;
    w.FullScreenButton = false;
    w.Resizeable = true;
    w.LiveResize = true;
}

void setDialogFrame(Window& w, const String& title, int width, int height) {
    setWindowFrame(w, title, width, height);
    w.Frame = FrameType::ModalDialog;
    w.Placement = WindowPlacement::Default;
}

Ref<Label> addMessageLabel(Window& w, const String& name, const String& text, int left, int top, int width,
                           int height, int tabIndex) {
    Ref<Label> label = placeControl(w.AddControl<Label>(name), left, top, width, height, tabIndex);
    label->SetTextSize(0);
    label->SetMultiline(true);
    label->SetTextColor(Color::Hex(0x000000));
    label->SetTextAlign(TextAlignment::Left);
    label->SetTransparent(true);
    label->SetSelectable(false);
    label->SetText(text);
    return label;
}

Ref<PushButton> addPushButton(Window& w, const String& name, const String& caption, int left, int top, int width,
                              int height, int tabIndex) {
    Ref<PushButton> button = placeControl(w.AddControl<PushButton>(name), left, top, width, height, tabIndex);
    button->SetCaption(caption);
    return button;
}
