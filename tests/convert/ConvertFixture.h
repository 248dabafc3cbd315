#pragma once
// The module state put back around each test, the boxes and questions
// scripted, the progress recorded.

#include <filesystem>
#include <string>

#include "framework/FolderItem.h"
#include "framework/SqlFileDatabase.h"
#include "tests/convert/ProgressRecorder.h"
#include "tests/services/ServicesFixture.h"
#include "tests/support/SqliteCli.h"

class ConvertTest : public ServicesTest {
protected:
    // The progress goes to the recorder alone, or through it to `window`.
    explicit ConvertTest(Progress* window = nullptr, YieldHandler afterYield = nullptr)
        : progress(window, afterYield) {}

    void TearDown() override {
        progress.onYield = nullptr;
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
