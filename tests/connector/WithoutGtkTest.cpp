// The connector without its dialogs: it has no link-time tie to GTK+, works
// when GTK+ cannot be loaded as long as no dialog is needed, and a connect
// without any text on a machine without GTK+ or without a display fails
// quietly instead of ending the process.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees, and so
// do GTK+ and GLib once loaded.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libiodbc.so.2\nleak:libgtk-x11-2.0.so.0\nleak:libgdk-x11-2.0.so.0\nleak:libglib-2.0.so.0\n"
           "leak:libgobject-2.0.so.0\n";
}

namespace {
bool g_gtkMissing = false;
int g_gtkAsked = 0;
}  // namespace

// This executable stands between every library and dlopen (it exports the
// name), so that a test can make GTK+ and GObject missing.
extern "C" void* dlopen(const char* file, int mode) {
    using Real = void* (*)(const char*, int);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "dlopen"));
    if (file && (std::strstr(file, "libgtk-x11-2.0") || std::strstr(file, "libgobject-2.0"))) {
        ++g_gtkAsked;
        if (g_gtkMissing) return nullptr;
    }
    return real(file, mode);
}

namespace {

TEST(WithoutGtk, ConnectorDoesNotLinkGtk) {
    const std::string library = BREVOLAN_TEST_LIBS_DIR "/Corvane64.so";
    FILE* pipe = popen(("readelf -d '" + library + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string needed;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        if (std::strstr(line, "(NEEDED)")) needed += line;
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_NE(needed.find("libiodbc.so"), std::string::npos) << needed;
    for (const char* name : {"gtk", "gdk", "gobject", "glib"})
        EXPECT_EQ(needed.find(name), std::string::npos) << name << " in\n" << needed;
}

TEST(WithoutGtk, EverythingButTheDialogsWorks) {
    g_gtkMissing = true;
    EnvGuard env;
    env.unset("DISPLAY");
    ASSERT_TRUE(LoadConnector()) << PluginLoadError("Corvane64.so");
    TempDir dir;
    const std::string file = dir.file("herd.db");
    Sqlite(file, "create table tree (id integer primary key, name text); insert into tree values (1, 'Apple');");

    ODBCDatabase db;
    db.SetDataSource(SqliteConnectionText(file));
    ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
    Ref<RecordSet> rs = db.SQLSelect("select name from tree");
    ASSERT_FALSE(rs.IsNil());
    EXPECT_EQ(rs->Field("name")->StringValue(), "Apple");
    EXPECT_FALSE(db.TableSchema().IsNil());
    EXPECT_EQ(g_gtkAsked, 0) << "nothing needed GTK+";

    ODBCDatabase chooser;
    EXPECT_FALSE(chooser.Connect());
    EXPECT_EQ(chooser.ErrorCode(), 0);
    EXPECT_GT(g_gtkAsked, 0) << "the chooser looked for GTK+";
    EXPECT_EQ(PluginAssertionReports(), std::vector<String>{}) << "a library that does not load is not reported";
}

// GTK+ is there but no display: gtk_init would end the whole process.
TEST(WithoutGtk, NoDisplayMeansNoDialogAndNoConnect) {
    g_gtkMissing = false;
    EnvGuard env;
    env.unset("DISPLAY");
    env.unset("WAYLAND_DISPLAY");
    ASSERT_TRUE(LoadConnector());
    ODBCDatabase db;
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), 0);
    EXPECT_FALSE(db.IsConnected());
    EXPECT_EQ(PluginAssertionReports(), std::vector<String>{}) << "every GTK+ function was found";
}

}  // namespace
