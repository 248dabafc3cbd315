// A program whose connector library is missing keeps running: nothing is
// bound, and a connect fails with a message instead of crashing.

#include <gtest/gtest.h>

#include "plugins/ODBCDatabase.h"
#include "plugins/PluginEntryTable.h"
#include "tests/support/TempDir.h"

namespace {

TEST(MissingConnector, ProgramRunsAndConnectFailsWithAMessage) {
    TempDir empty;
    SetPluginSearchPath(empty.path() + ":$ORIGIN/no such folder");
    plugins::BindPluginEntries();
    EXPECT_FALSE(PluginLibraryLoaded("Corvane64.so"));
    EXPECT_NE(PluginLoadError("Corvane64.so").find("not found"), String::npos) << PluginLoadError("Corvane64.so");
    for (size_t i = 0; i < plugins::EntryCount; ++i) EXPECT_EQ(PluginEntryTable[i].bound, nullptr);

    ODBCDatabase db;
    db.SetDataSource("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=/tmp/x.cav;");
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), 1);
    EXPECT_NE(db.ErrorMessage().find("Corvane64.so"), String::npos) << db.ErrorMessage();
    EXPECT_TRUE(db.SQLSelect("select 1").IsNil());
    db.SQLExecute("delete from tree");
    db.Commit();
    EXPECT_EQ(db.DataSource(), "");
}

TEST(MissingConnector, LibraryThatIsNoPluginIsNotBound) {
    TempDir folder;
    folder.write("Corvane64.so", "not a shared library");
    SetPluginSearchPath(folder.path());
    plugins::BindPluginEntries();
    EXPECT_FALSE(PluginLibraryLoaded("Corvane64.so"));
    EXPECT_NE(PluginLoadError("Corvane64.so").find("cannot load"), String::npos) << PluginLoadError("Corvane64.so");
    ODBCDatabase db;
    EXPECT_FALSE(db.Connect());
    EXPECT_EQ(db.ErrorCode(), 1);
}

// A load that failed is not kept: the next bind looks again, along the
// search path as it is then.
TEST(MissingConnector, FailedLoadIsTriedAgainAtTheNextBind) {
    TempDir empty, notPlugin;
    notPlugin.write("Corvane64.so", "not a shared library");
    SetPluginSearchPath(empty.path());
    plugins::BindPluginEntries();
    EXPECT_NE(PluginLoadError("Corvane64.so").find("not found"), String::npos) << PluginLoadError("Corvane64.so");

    SetPluginSearchPath(notPlugin.path());
    plugins::BindPluginEntries();
    EXPECT_NE(PluginLoadError("Corvane64.so").find("cannot load"), String::npos) << PluginLoadError("Corvane64.so");

    SetPluginSearchPath(BREVOLAN_TEST_LIBS_DIR);
    plugins::BindPluginEntries();
    EXPECT_TRUE(PluginLibraryLoaded("Corvane64.so")) << PluginLoadError("Corvane64.so");
    EXPECT_EQ(PluginLoadError("Corvane64.so"), "");
    for (size_t i = 0; i < plugins::EntryCount; ++i) EXPECT_NE(PluginEntryTable[i].bound, nullptr) << i;
}

}  // namespace
