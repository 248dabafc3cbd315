#include "tests/convert/ProgressRecorder.h"

#include "framework/EventLoop.h"
#include "framework/gui/Runtime.h"
#include "ui/frmWait.h"

namespace {
ProgressRecorder* g_recorder = nullptr;
}

ProgressRecorder::ProgressRecorder() {
    InitGuiRuntime();
    g_recorder = this;
    SetYieldHandler(&ProgressRecorder::yield);
}

ProgressRecorder::~ProgressRecorder() {
    g_recorder = nullptr;
    SetYieldHandler(&GuiYield);
}

std::vector<String> ProgressRecorder::messages() const {
    std::vector<String> out;
    for (const auto& report : reports_) out.push_back(report.message);
    return out;
}

void ProgressRecorder::yield() {
    ProgressRecorder* self = g_recorder;
    if (!self) return GuiYield();
    if (Ref<frmWaitWindow> wait = frmWait.Current(); wait && wait->lblMessage->Text() != "Untitled") {
        const ShownProgress report{wait->lblMessage->Text(), wait->ProgressBar1->Visible(),
                                   wait->ProgressBar1->Maximum(), wait->ProgressBar1->Value()};
        if (self->reports_.empty() || !(self->reports_.back() == report)) self->reports_.push_back(report);
    }
    if (self->onYield) self->onYield();
    GuiYield();
}
