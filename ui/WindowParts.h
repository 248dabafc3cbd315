#pragma once
// The window and control settings that the converter's windows share.

#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Window.h"

// Title and content size, size limits 64 x 64 to 32000 x 32000, resizable,
// with a close box and a minimise button but no maximise or full-screen one.
// For Layout.
void setWindowFrame(Window& w, const String& title, int width, int height);
// setWindowFrame for a modal dialog at the platform's default place.
void setDialogFrame(Window& w, const String& title, int width, int height);

// Place, size and tab index of a control, and the "System" font.
template <class T>
Ref<T> placeControl(const Ref<T>& control, int left, int top, int width, int height, int tabIndex) {
    control->SetLeft(left);
    control->SetTop(top);
    control->SetWidth(width);
    control->SetHeight(height);
    control->SetTabIndex(tabIndex);
    control->SetTextFont("System");
    return control;
}

// Adds a multi-line label at the default text size: black, left-aligned,
// transparent, not selectable.
Ref<Label> addMessageLabel(Window& w, const String& name, const String& text, int left, int top, int width,
                           int height, int tabIndex);
// Adds a push button with its caption.
Ref<PushButton> addPushButton(Window& w, const String& name, const String& caption, int left, int top, int width,
                              int height, int tabIndex);
