#include "tests/convert/ProgressRecorder.h"

namespace {
ProgressRecorder* g_recorder = nullptr;
}

ProgressRecorder::ProgressRecorder(Progress* window, YieldHandler afterYield)
    : forward_(window), afterYield_(afterYield), previous_(&CurrentProgress()) {
    g_recorder = this;
    SetProgress(this);
    SetYieldHandler(&ProgressRecorder::yield);
}

ProgressRecorder::~ProgressRecorder() {
    g_recorder = nullptr;
    SetProgress(previous_);
    SetYieldHandler(afterYield_);
}

std::vector<String> ProgressRecorder::messages() const {
    std::vector<String> out;
    for (const auto& report : reports_) out.push_back(report.message);
    return out;
}

void ProgressRecorder::clear() {
    reports_.clear();
    window_.reset();
}

ShownProgress& ProgressRecorder::open() {
    if (!window_) window_ = ShownProgress{"Untitled", true, 100, 0};
    return *window_;
}

void ProgressRecorder::Show() {
    open();
    if (forward_) forward_->Show();
}

void ProgressRecorder::SetBarVisible(bool visible) {
    open().barVisible = visible;
    if (forward_) forward_->SetBarVisible(visible);
}

void ProgressRecorder::SetMaximum(int maximum) {
    open().maximum = maximum;
    if (forward_) forward_->SetMaximum(maximum);
}

void ProgressRecorder::SetValue(int value) {
    open().value = value;
    if (forward_) forward_->SetValue(value);
}

void ProgressRecorder::SetMessage(const String& text) {
    open().message = text;
    if (forward_) forward_->SetMessage(text);
}

void ProgressRecorder::Refresh() {
    open();
    if (forward_) forward_->Refresh();
}

void ProgressRecorder::Close() {
    window_.reset();
    if (forward_) forward_->Close();
}

bool ProgressRecorder::Cancelled() const { return forward_ ? forward_->Cancelled() : Progress::Cancelled(); }

void ProgressRecorder::MarkCancelled() { forward_ ? forward_->MarkCancelled() : Progress::MarkCancelled(); }

void ProgressRecorder::ClearCancelled() { forward_ ? forward_->ClearCancelled() : Progress::ClearCancelled(); }

void ProgressRecorder::yield() {
    ProgressRecorder* self = g_recorder;
    if (!self) return;
    // A yield from within a statement ends no loop pass.
    if (!YieldingWithinWork()) {
        if (self->window_ && self->window_->message != "Untitled" &&
            (self->reports_.empty() || !(self->reports_.back() == *self->window_)))
            self->reports_.push_back(*self->window_);
        if (self->onYield) self->onYield();
    }
    if (self->afterYield_) self->afterYield_();
}
