#pragma once
// Puts the services' module state back to its start values around each test
// and records the boxes the services show.

#include <gtest/gtest.h>

#include "services/appSystem.h"
#include "services/publicVariables.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/TempDir.h"

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }

    static void reset() {
        appSystem::CSVa.Clear();
        appSystem::dataPath.clear();
        appSystem::db = nullptr;
        appSystem::sourceFilepath.clear();
        appSystem::destinationFilePath.clear();
        appSystem::output = {};
        publicVariables::noSexColumn = publicVariables::noPS = publicVariables::noPd = false;
    }

    ScriptedInteraction ui;
    TempDir dir;
};
