#pragma once
// The module state put back around each test, the boxes and questions
// scripted, the progress window recorded and closed afterwards.

#include <filesystem>
#include <string>

#include "framework/FolderItem.h"
#include "framework/SqlFileDatabase.h"
#include "tests/convert/ProgressRecorder.h"
#include "tests/services/ServicesFixture.h"
#include "tests/support/GuiTest.h"
#include "tests/support/SqliteCli.h"
#include "ui/frmWait.h"

class ConvertTest : public ServicesTest {
protected:
    void TearDown() override {
        progress.onYield = nullptr;
        CloseAllWindows();
        ServicesTest::TearDown();
    }

    // Writes the CSV file `name` and makes it the source of the next import,
    // with the destination the Convert button would give it.
    std::string csvSource(const std::string& name, const std::string& text) {
        const std::string path = dir.write(name, text);
        appSystem::sourceFilepath = path;
        appSystem::destinationFilePath = appSystem::getNewName(path, ".cax");
        return appSystem::destinationFilePath;
    }

    // An RSD/CAX file `name` with the twelve tables and what `sql` adds,
    // written by the independent tool; its path.
    std::string rsdFile(const std::string& sql, const std::string& name = "herd.rsd") {
        const std::string path = dir.file(name);
        Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
        db->DatabaseFile = GetFolderItem(path);
        EXPECT_TRUE(db->CreateDatabaseFile());
        appSystem::makeRSDfields(db);
        db->Close();
        if (!sql.empty()) SqliteCli::query(path, sql);
        return path;
    }

    static bool exists(const std::string& path) { return std::filesystem::exists(path); }

    // Presses Cancel in the progress window at the first yield that finds one
    // open with a report in it (not its initial "Untitled"); `cancelled`
    // tells whether it happened.
    void cancelAtFirstProgress() {
        progress.onYield = [this] {
            if (cancelled || !frmWait.IsOpen() || frmWait->lblMessage->Text() == "Untitled") return;
            cancelled = true;
            frmWait->cmdCancel_Action(frmWait->cmdCancel);
        };
    }
    bool cancelled = false;

    // A CSV herd of `n` animals named A1 ... An, with heading line `headings`
    // and every line made by `line(i)`.
    template <class Line>
    static std::string herd(const std::string& headings, int n, Line line) {
        std::string text = headings + "\n";
        for (int i = 1; i <= n; ++i) text += line(i) + "\n";
        return text;
    }

    ProgressRecorder progress;
};
