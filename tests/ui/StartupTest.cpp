// The start-up sequence and the two ends of the program at its first window.
// The tests that run the event loop rely on CTest running every test in a
// process of its own, where the application object opens once.

#include <QTest>
#include <QTimer>

#include "framework/gui/Application.h"
#include "framework/gui/FileType.h"
#include "framework/gui/Runtime.h"
#include "framework/plugin/PluginHost.h"
#include "plugins/PluginEntryTable.h"
#include "services/Progress.h"
#include "tests/ui/UiFixture.h"
#include "ui/App.h"
#include "ui/Startup.h"
#include "ui/frmMain.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

class StartupTest : public UiTest {
protected:
    // Ends a loop that would otherwise not end, with a code no test expects.
    void SetUp() override {
        UiTest::SetUp();
        InitGuiRuntime();
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    }

    // Runs `act` once the event loop runs with the application opened (the
    // start-up steps before it also let Qt handle events).
    static void whenRunning(std::function<void()> act) {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            if (!App.Get() || !App->AutoQuit) return;
            timer->stop();
            timer->deleteLater();
            act();
        });
        timer->start(10);
    }
};

TEST_F(StartupTest, EarlyStepsMakeTheFileTypesTheApplicationAndTheProgressDisplayButNoWindow) {
    EXPECT_EQ(FindFileType("CSV Files"), nullptr);
    EXPECT_TRUE(App.Get().IsNil());
    SetPluginSearchPath(BREVOLAN_LIBS_DIR);  // the folder beside the real executable
    _EarlyStartup();
    EXPECT_EQ(PluginLoadError(plugins::ConnectorLibrary), "");
    EXPECT_NE(plugins::Bound(plugins::ODBCDatabaseConnect), nullptr);
    for (const char* name : {"Database Files", "CSV Files", "Old Brevolan Database"})
        EXPECT_NE(FindFileType(name), nullptr) << name;
    ASSERT_TRUE(App.Get());
    EXPECT_EQ(App->ShortVersion, "2.03.01");
    EXPECT_EQ(&CurrentProgress(), &progressWindow) << "the conversions report to the progress window";
    EXPECT_EQ(WindowCount(), 0);
}

TEST_F(StartupTest, OnlyTheSplashShowsAndIDontAgreeEndsTheProgram) {
    int windowsAtStart = -1;
    bool splashFirst = false;
    whenRunning([&] {
        windowsAtStart = WindowCount();
        splashFirst = WindowCount() > 0 && WindowAt(0).get() == frmSplash.Current().get() &&
                      frmSplash->NativeWidget()->isVisible();
        QTest::mouseClick(frmSplash->cmdExit->NativeWidget(), Qt::LeftButton);
    });
    EXPECT_EQ(_Main(), 0);
    EXPECT_EQ(windowsAtStart, 1);
    EXPECT_TRUE(splashFirst);
    EXPECT_EQ(WindowCount(), 0);
    // The start-up told the framework the program's name and library folders.
    EXPECT_EQ(QCoreApplication::applicationName(), "Brevolan");
    EXPECT_EQ(PluginSearchPath(), "$ORIGIN/Brevolan Libs:$ORIGIN/Libs");
}

TEST_F(StartupTest, IAgreeOpensTheConverterWindowWhoseCloseBoxEndsTheProgram) {
    std::set<String> inSight;
    int windowsAfterAgreeing = -1;
    whenRunning([&] {
        QTest::mouseClick(frmSplash->cmdStart->NativeWidget(), Qt::LeftButton);
        QTimer::singleShot(0, [&] {
            windowsAfterAgreeing = WindowCount();
            ASSERT_TRUE(frmMain.IsOpen());
            EXPECT_FALSE(frmSplash.IsOpen());
            inSight = iconsInSight(*frmMain.Current());
            frmMain->NativeWidget()->close();
        });
    });
    EXPECT_EQ(_Main(), 0);
    EXPECT_EQ(windowsAfterAgreeing, 1);
    EXPECT_EQ(inSight, (std::set<String>{"cvArrow", "cvFromCav"}));
    EXPECT_EQ(WindowCount(), 0);
}

}  // namespace
