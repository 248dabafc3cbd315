#pragma once
// What the tests of the converter's windows share: the services' state put
// back around each test, a home folder of the test's own (so that no other
// breeding program is found), the scripted interaction point, and every
// window closed at the end.

#include <set>

#include <gtest/gtest.h>

#include "framework/gui/Controls.h"
#include "services/appSystem.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/GuiTest.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/TempDir.h"

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("HOME", home.path());
        env.set("XDG_CONFIG_HOME", home.file("config"));
        reset();
    }
    void TearDown() override {
        CloseAllWindows();
        reset();
    }
    static void reset() {
        appSystem::dataPath.clear();
        appSystem::db = nullptr;
        appSystem::sourceFilepath.clear();
        appSystem::destinationFilePath.clear();
        appSystem::output = {};
    }

    // The names of the picture areas of `w` that lie at least partly inside
    // the window's width.
    static std::set<String> iconsInSight(const Window& w) {
        std::set<String> names;
        for (int i = 0; i < w.ControlCount(); ++i) {
            Ref<Canvas> c = w.Control(i).As<Canvas>();
            if (c && c->Visible() && c->Left() + c->Width() > 0 && c->Left() < w.Width()) names.insert(c->Name());
        }
        return names;
    }

    EnvGuard env;
    TempDir home;
    ScriptedInteraction ui;
};
