#include "services/Progress.h"

namespace {

// Until the windows install theirs, reports go nowhere.
class NoProgress : public Progress {
public:
    void Show() override {}
    void SetBarVisible(bool) override {}
    void SetMaximum(int) override {}
    void SetValue(int) override {}
    void SetMessage(const String&) override {}
    void Refresh() override {}
    void Close() override {}
};

NoProgress g_none;
Progress* g_progress = &g_none;

}  // namespace

void SetProgress(Progress* progress) { g_progress = progress ? progress : &g_none; }

Progress& CurrentProgress() { return *g_progress; }

int ProgressBarValue(int64_t count, int64_t total) {
    if (total == 0) return int(count);
    return int(double(count) / double(total) * double(total));
}
