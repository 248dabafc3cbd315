#pragma once
// The conversions into CAV as the user runs them: the formats chosen in the
// converter window, the path typed, Convert pressed, "Find database"
// answered Yes and a rig CAV file picked in the dialog. The real connector
// "Corvane64.so" reaches the file through iODBC and the rig's driver; what
// was written is read back with the sqlite3 tool.

#include <string>
#include <vector>

#include "tests/convert/CavTarget.h"
#include "tests/convert/MainWindow.h"
#include "tests/convert/WindowsFixture.h"
#include "tests/rig/CavFixture.h"

class CavConversion : public ConvertWithWindows {
protected:
    void SetUp() override {
        ConvertWithWindows::SetUp();
        ASSERT_TRUE(cavTarget::connectorBound()) << PluginLoadError(plugins::ConnectorLibrary);
        cavTarget::useOwnHome(env, home);
        cav = dir.file("Brevolan.cav");
        CavFixture::create(cav);
    }

    // Converts `source` from "csv" or "rsd" into the CAV file `target` (the
    // test's own file by default) through the converter window, answering
    // the questions after "Find database" with `answers`. The texts of the
    // boxes shown after "Find database".
    std::vector<String> convert(const String& from, const std::string& source,
                                const std::vector<int>& answers = {}, const std::string& target = "") {
        ui.AnswerYes();
        ui.ChooseNext(GetFolderItem(target.empty() ? cav : target));
        for (int answer : answers) ui.AnswerNext(answer);
        const size_t first = ui.boxes().size();
        pressConvert(from, "cav", source);
        std::vector<String> texts;
        EXPECT_GT(ui.boxes().size(), first);
        if (ui.boxes().size() <= first) return texts;
        EXPECT_EQ(ui.boxes()[first].title, "Find database");
        for (size_t i = first + 1; i < ui.boxes().size(); ++i) texts.push_back(ui.boxes()[i].text);
        return texts;
    }

    // Rows of the CAV file (the test's own by default), read with sqlite3.
    SqliteCli::Rows cavRows(const std::string& sql, const std::string& file = "") {
        return SqliteCli::query(file.empty() ? cav : file, sql);
    }

    EnvGuard env;
    TempDir home;
    std::string cav;
};
