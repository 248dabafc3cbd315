#pragma once
// Convert as the user presses it in the converter window.

#include <utility>

#include "ui/frmMain.h"

// Chooses the formats ("csv", "rsd" or "cav"), types the path and presses
// Convert; the converter window.
inline Ref<frmMainWindow> pressConvert(const String& from, const String& to, const String& path) {
    Ref<frmMainWindow> w = frmMain.Get();
    for (auto [type, button] : {std::pair{"csv", w->optFromCsv}, {"rsd", w->optFromRsd}, {"cav", w->optFromCav}})
        if (from == type) button->SetValue(true);
    for (auto [type, button] : {std::pair{"csv", w->optToCsv}, {"rsd", w->optToRsd}, {"cav", w->optToCav}})
        if (to == type) button->SetValue(true);
    w->txtFilePath->SetText(path);
    w->cmdConvert->Push();
    return w;
}
