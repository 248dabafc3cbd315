// The data-source chooser and the login dialog that Connect opens when it
// has no connection text: GTK+ 2 dialogs in the same process as the
// program's Qt windows, on a virtual X server, driven through the GTK+ that
// the connector loads. The data sources are those of each test's own
// odbc.ini; they reach CAV files through the test rig's driver.

#include <gtest/gtest.h>

#include <QWidget>

#include <memory>

#include "connector/source/ODBCDatabase.h"
#include "framework/gui/Runtime.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/dialogs/GtkDriver.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/GuiTest.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager, and the system's font and message-bus libraries that
// Qt and GTK+ load, keep process-wide memory that they never free. Qt's own
// message-bus connection thread may still hold its last message when the
// process ends (seen now and then: a few hundred bytes from QtDBus and QtCore).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libiodbc.so.2\nleak:libfontconfig.so.1\nleak:libdbus-1.so.3\n"
           "leak:libQt6DBus.so.6\nleak:libQt6Core.so.6\n";
}

namespace {

using Step = GtkDriver::Step;

// One virtual X server for the whole process: Qt and GTK+ keep the display
// they opened first.
class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override { display = std::make_unique<VirtualDisplay>(); }
    void TearDown() override {
        ShutdownGuiRuntime();
        display.reset();
    }
    static inline std::unique_ptr<VirtualDisplay> display;
};
const auto* const g_displayEnvironment = ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);

class Chooser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(DisplayEnvironment::display && DisplayEnvironment::display->ok())
            << (DisplayEnvironment::display ? DisplayEnvironment::display->error() : "no display");
        // A GNOME desktop, where Qt would pick its GTK 3 theme if let: the
        // program's runtime must keep it off, or GTK+ 2 fails beside it.
        env.set("XDG_CURRENT_DESKTOP", "GNOME");
        env.set("QT_QPA_PLATFORMTHEME", "gtk3");
        env.set("QT_QPA_PLATFORM", "xcb");
        env.set("XDG_RUNTIME_DIR", dir.path());
        InitGuiRuntime();
        window = std::make_unique<QWidget>();
        window->setWindowTitle("Brevolan File Converter");
        window->show();
        ASSERT_TRUE(ProcessEventsUntil([&] { return window->isVisible(); }));

        ASSERT_TRUE(loaded) << PluginLoadError("Corvane64.so");
        ASSERT_TRUE(driver.ok());
        protectedFile = dir.file("protected.cav");
        openFile = dir.file("open.cav");
        CavFixture::create(protectedFile);
        CavFixture::Options open;
        open.password.reset();
        CavFixture::create(openFile, open);
        SqliteCli::query(protectedFile, "INSERT INTO tree (id, name) VALUES (1, 'Apple');");
    }

    void TearDown() override {
        EXPECT_EQ(driver.glibProblems(), std::vector<std::string>{}) << "GLib warned while the dialogs ran";
    }

    // Points the driver manager at a configuration of the test's own.
    void configure(const std::string& odbcIni) {
        const std::string path = dir.write("odbc.ini", odbcIni);
        env.set("ODBCINI", path);
        env.set("SYSODBCINI", path);
    }

    // The usual configuration: three data sources out of order, one without
    // a description, and one that is named but not listed.
    void configureHerds() {
        configure("[ODBC Data Sources]\n"
                  "Zebra Herd = Microsoft Access Driver (*.mdb)\n"
                  "CAV Herd = Microsoft Access Driver (*.mdb)\n"
                  "Unlisted =\n"
                  "Open Herd = Microsoft Access Driver (*.mdb)\n"
                  "\n[Zebra Herd]\nDriver = Microsoft Access Driver (*.mdb)\nDescription = Stripes\nDBQ = " +
                  openFile +
                  "\n\n[CAV Herd]\nDriver = Microsoft Access Driver (*.mdb)\nDescription = With the CAV password\n"
                  "DBQ = " + protectedFile +
                  "\n\n[Open Herd]\nDriver = Microsoft Access Driver (*.mdb)\nDBQ = " + openFile +
                  "\n\n[Unlisted]\nDriver = Microsoft Access Driver (*.mdb)\nDescription = Hidden\nDBQ = " +
                  openFile + "\n");
    }

    // Connect without any connection text, which opens the dialogs.
    bool connect(std::vector<Step> steps) {
        bool connected = false;
        driver.Run(std::move(steps), [&] { connected = db.Connect(); });
        return connected;
    }

    // The row of the data source in the chooser's list.
    static int rowOf(const GtkDialog& chooser, const std::string& name) {
        const std::vector<std::string> rows = chooser.rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].substr(0, rows[i].find('|')) == name) return int(i);
        ADD_FAILURE() << name << " is not listed";
        return -1;
    }

    static Step pick(const std::string& name) {
        return {"dsnchooser", [name](const GtkDialog& d) {
                    d.selectRow(rowOf(d, name));
                    d.click("b_ok");
                }};
    }

    const bool loaded = LoadConnector();  // before the database object is made
    TempDir dir;
    EnvGuard env;
    std::unique_ptr<QWidget> window;
    GtkDriver driver;
    std::string protectedFile, openFile;
    ODBCDatabase db;
};

TEST_F(Chooser, ListsTheConfiguredDataSourcesSortedAndCancelConnectsNothing) {
    configureHerds();
    std::vector<std::string> rows;
    std::string title;
    const bool connected = connect({{"dsnchooser", [&](const GtkDialog& d) {
                                         title = d.title();
                                         rows = d.rows();
                                         d.click("b_cancel");
                                     }}});
    EXPECT_EQ(title, "Select Data Source");
    EXPECT_EQ(rows, (std::vector<std::string>{"CAV Herd|With the CAV password", "Open Herd|", "Zebra Herd|Stripes"}));
    EXPECT_FALSE(connected);
    EXPECT_EQ(db.ErrorCode(), 0);
    EXPECT_EQ(db.ErrorMessage(), "");
    EXPECT_FALSE(db.IsConnected());
}

TEST_F(Chooser, PickAndLoginConnectWithTheEnteredUserAndPassword) {
    configureHerds();
    std::string title, user, password;
    bool hidden = false;
    const bool connected = connect({pick("CAV Herd"), {"login", [&](const GtkDialog& d) {
                                                           title = d.title();
                                                           user = d.text("t_user");
                                                           password = d.text("t_password");
                                                           hidden = !d.visible("t_password");
                                                           d.setText("t_user", "breeder");
                                                           d.setText("t_password", cav_rig::kPassword);
                                                           d.click("b_ok");
                                                       }}});
    ASSERT_TRUE(connected) << db.ErrorCode() << " " << db.ErrorMessage();
    EXPECT_EQ(title, "Login for DSN CAV Herd ...");
    EXPECT_EQ(user, "");
    EXPECT_EQ(password, "");
    EXPECT_TRUE(hidden) << "the password is typed hidden";
    EXPECT_STREQ(ConnectionOf(db)->completedConnectionText,
                 (std::string("DSN=CAV Herd;UID=breeder;PWD=") + cav_rig::kPassword + ";").c_str());
    Ref<RecordSet> rs = db.SQLSelect("SELECT name FROM tree");
    ASSERT_FALSE(rs.IsNil()) << db.ErrorMessage();
    EXPECT_EQ(rs->Field("name")->StringValue(), "Apple");
}

// Every way out of the chooser that picks nothing: no login, no connect, no
// error.
TEST_F(Chooser, NoPickMeansNoConnectAndNoError) {
    configureHerds();
    struct Case {
        const char* way;
        std::function<void(const GtkDialog&)> act;
    } cases[] = {
        {"Cancel", [](const GtkDialog& d) { d.click("b_cancel"); }},
        {"Alt+C after a pick", [](const GtkDialog& d) {
             d.selectRow(0);
             d.pressAlt('C');
         }},
        {"the close box", [](const GtkDialog& d) {
             d.selectRow(0);
             d.close();
         }},
        {"Ok with no row selected", [](const GtkDialog& d) { d.click("b_ok"); }},
        {"Ok after the pick was taken back", [](const GtkDialog& d) {
             d.selectRow(1);
             d.unselectRow(1);
             d.click("b_ok");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        EXPECT_FALSE(connect({{"dsnchooser", c.act}}));
        EXPECT_EQ(db.ErrorCode(), 0);
        EXPECT_FALSE(db.IsConnected());
    }
}

// A cancelled login still connects, without user name and password: the
// open file lets that in, the protected one refuses it with its message.
TEST_F(Chooser, CancelledLoginConnectsWithoutUserAndPassword) {
    configureHerds();
    const Step cancel{"login", [](const GtkDialog& d) {
                          d.setText("t_user", "someone");
                          d.click("b_cancel");
                      }};
    EXPECT_TRUE(connect({pick("Open Herd"), cancel})) << db.ErrorMessage();
    EXPECT_STREQ(ConnectionOf(db)->completedConnectionText, "DSN=Open Herd;UID=;PWD=;");
    db.Close();

    const Step close{"login", [](const GtkDialog& d) { d.close(); }};
    EXPECT_FALSE(connect({pick("CAV Herd"), close}));
    EXPECT_EQ(db.ErrorCode(), cav_rig::kPasswordNativeError);
    EXPECT_EQ(db.ErrorMessage(), cav_rig::kPasswordMessage);
}

TEST_F(Chooser, AltOActsAsOk) {
    configureHerds();
    const bool connected = connect({{"dsnchooser", [](const GtkDialog& d) {
                                         d.selectRow(rowOf(d, "Zebra Herd"));
                                         d.pressAlt('O');
                                     }},
                                    {"login", [](const GtkDialog& d) { d.pressAlt('O'); }}});
    EXPECT_TRUE(connected) << db.ErrorMessage();
    EXPECT_STREQ(ConnectionOf(db)->completedConnectionText, "DSN=Zebra Herd;UID=;PWD=;");
}

TEST_F(Chooser, DataSourcesListedOnlyAsThirtyTwoBitAreShown) {
    configure("[ODBC 32 bit Data Sources]\nOld Herd = Microsoft Access Driver (*.mdb)\n\n[Old Herd]\n"
              "Driver = Microsoft Access Driver (*.mdb)\nDescription = From long ago\nDBQ = " + openFile + "\n");
    std::vector<std::string> rows;
    EXPECT_TRUE(connect({{"dsnchooser",
                          [&](const GtkDialog& d) {
                              rows = d.rows();
                              d.selectRow(0);
                              d.click("b_ok");
                          }},
                         {"login", [](const GtkDialog& d) { d.click("b_ok"); }}}))
        << db.ErrorMessage();
    EXPECT_EQ(rows, std::vector<std::string>{"Old Herd|From long ago"});
}

TEST_F(Chooser, EmptyConfigurationShowsAnEmptyList) {
    configure("");
    std::vector<std::string> rows{"not read"};
    EXPECT_FALSE(connect({{"dsnchooser", [&](const GtkDialog& d) {
                               rows = d.rows();
                               d.click("b_ok");
                           }}}));
    EXPECT_EQ(rows, std::vector<std::string>{});
    EXPECT_EQ(db.ErrorCode(), 0);
}

}  // namespace
