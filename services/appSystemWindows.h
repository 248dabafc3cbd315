#pragma once
// The services of appSystem that the windows use: the uniform text size of
// their controls and the probe for the other breeding program's database.

#include "framework/Ref.h"
#include "framework/gui/Window.h"

namespace appSystem {

// The text size (pixels) of every control that setFontSize touches: 10.
int GetTargetFontSize();

// Gives every Label, TextField, RadioButton, GroupBox, CheckBox, ComboBox,
// PushButton, Listbox, TabPanel, BevelButton and TextArea of `w` the text
// size GetTargetFontSize (a ComboBox also gets the focus), control by control
// in index order, yielding to the event loop after each; other kinds (picture
// areas, progress bars) are left alone. Any failure on the way (a nil
// window, a window closed meanwhile) stops the walk silently; the controls
// already done keep their new size.
void setFontSize(const Ref<Window>& w);

// True when something exists at the Documents folder's absolute path followed
// directly by "tallowmir\database.sdf" (no separator added; the backslash is
// part of the name). False when not, and on any failure (no Documents folder).
bool tallowmirInstalled();

}  // namespace appSystem
