#pragma once
// What the tests of the conversions into CAV need besides the rig, with or
// without the windows: the program's entry table bound against the build's
// connector "Corvane64.so", and a home of the test's own.

#include <filesystem>

#include "framework/plugin/PluginHost.h"
#include "plugins/PluginEntryTable.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace cavTarget {

// Binds the entry table once; true when the connector's Connect is bound.
inline bool connectorBound() {
    static const bool bound = [] {
        SetPluginSearchPath(BREVOLAN_LIBS_DIR);
        plugins::BindPluginEntries();
        return plugins::Bound(plugins::ODBCDatabaseConnect) != nullptr;
    }();
    return bound;
}

// A home of the test's own (no other breeding program, a desktop for the
// error report, a Documents folder for the file dialog), and typed dates
// read month first.
inline void useOwnHome(EnvGuard& env, const TempDir& home) {
    env.set("HOME", home.path());
    env.set("XDG_CONFIG_HOME", home.file("config"));
    env.set("LC_ALL", "en_US.UTF-8");
    env.set("LC_TIME", "en_US.UTF-8");
    std::filesystem::create_directories(home.file("Desktop"));
    std::filesystem::create_directories(home.file("Documents"));
}

}  // namespace cavTarget
