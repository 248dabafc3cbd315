#include "services/appSystemWindows.h"

#include "framework/EventLoop.h"
#include "framework/FolderItem.h"
#include "framework/gui/Controls.h"

namespace appSystem {

int GetTargetFontSize() { return 10; }

namespace {

template <class... Kinds>
bool isOneOf(const Ref<RectControl>& c) {
    return (c.IsA<Kinds>() || ...);
}

}  // namespace

void setFontSize(const Ref<Window>& w) {
    try {
        const int count = w->ControlCount();
        for (int i = 0; i < count; ++i) {
            Ref<RectControl> c = w->Control(i);
            if (isOneOf<Label, TextField, RadioButton, GroupBox, CheckBox, ComboBox, PushButton, Listbox, TabPanel,
                        BevelButton, TextArea>(c)) {
                c->SetTextSize(GetTargetFontSize());
                if (c.IsA<ComboBox>()) c->SetFocus();
            }
            YieldToEventLoop();
        }
    } catch (...) {
        // The walk stops here; what was done stays done.
    }
}

bool tallowmirInstalled() {
    try {
        Ref<FolderItem> documents = SpecialFolder::Documents();
        Ref<FolderItem> probe = GetFolderItem(documents->AbsolutePath() + "tallowmir\\database.sdf", 0);
        return probe->Exists();
    } catch (...) {
        return false;
    }
}

}  // namespace appSystem
