// The window text size and the probe for the other breeding program.

#include <filesystem>

#include <QWidget>

#include "framework/EventLoop.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Runtime.h"
#include "services/appSystemWindows.h"
#include "tests/support/GuiTest.h"
#include "tests/support/TempDir.h"

namespace {

// Every kind of control, all with the text size 13 to start with.
class EveryKind : public EveryKindWindow {
public:
    void CreateControls() override {
        EveryKindWindow::CreateControls();
        for (int i = 0; i < ControlCount(); ++i) Control(i)->SetTextSize(13);
    }
};

// Counts yields; after `closeAfter` of them it closes `window`.
int g_yields = 0;
int g_closeAfter = -1;
Ref<Window> g_window;
void countingYield() {
    if (++g_yields == g_closeAfter && g_window) g_window->Close();
}

class SetFontSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = OpenNewWindow<EveryKind>();
        g_yields = 0;
        g_closeAfter = -1;
        SetYieldHandler(&countingYield);
    }
    void TearDown() override {
        SetYieldHandler(&GuiYield);
        g_window = nullptr;
        CloseAllWindows();
    }
    std::vector<double> sizes() const {
        std::vector<double> out;
        for (const auto& c : controls) out.push_back(c->TextSize());
        return out;
    }
    Ref<EveryKind> window;
    std::vector<Ref<RectControl>> controls;
    void keepControls() {
        for (int i = 0; i < window->ControlCount(); ++i) controls.push_back(window->Control(i));
    }
};

TEST_F(SetFontSizeTest, SizesTheElevenKindsAndLeavesPicturesAndProgressBarsAlone) {
    keepControls();
    appSystem::setFontSize(window);
    EXPECT_EQ(sizes(), (std::vector<double>{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 13, 13}));
    for (int i = 0; i < window->ControlCount(); ++i)
        EXPECT_EQ(window->Control(i)->NativeWidget()->font().pixelSize(), sizes()[size_t(i)]) << i;
    EXPECT_EQ(window->NativeWidget()->focusWidget(), window->Control(5)->NativeWidget()) << "the combo box";
    EXPECT_EQ(g_yields, 13) << "one yield after every control";
}

TEST_F(SetFontSizeTest, StopsQuietlyWhenTheWindowGoesMidway) {
    keepControls();
    g_window = window;
    g_closeAfter = 2;  // closed after the text field was done
    EXPECT_NO_THROW(appSystem::setFontSize(window));
    EXPECT_EQ(sizes(), (std::vector<double>{10, 10, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13}));
    EXPECT_NO_THROW(appSystem::setFontSize(nullptr));
}

TEST(TallowmirProbe, TrueExactlyWhenTheFileSitsAtDocumentsPathPlusTheName) {
    struct Case {
        const char* what;
        std::vector<String> files;  // relative to the home folder
        bool documentsFolder;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"file present", {"Documents/tallowmir\\database.sdf"}, true, true},
        {"nothing there", {}, true, false},
        {"a real subfolder is not the name", {"Documents/tallowmir/database.sdf"}, true, false},
        {"other case", {"Documents/Tallowmir\\Database.sdf"}, true, false},
        // Without a Documents folder its path has no closing "/", and the
        // name is appended to it as it stands.
        {"no Documents folder", {"Documentstallowmir\\database.sdf"}, false, true},
    };
    for (const Case& c : cases) {
        TempDir home;
        ::setenv("HOME", home.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", home.file("config").c_str(), 1);
        if (c.documentsFolder) std::filesystem::create_directories(home.file("Documents"));
        for (const String& f : c.files) {
            std::filesystem::create_directories(std::filesystem::path(home.file(f)).parent_path());
            home.write(f, "");
        }
        EXPECT_EQ(appSystem::tallowmirInstalled(), c.expected) << c.what;
    }
    ::unsetenv("HOME");
    EXPECT_FALSE(appSystem::tallowmirInstalled()) << "no home, no Documents folder";
}

}  // namespace
