// The three file-type sets and the dialog filters they give.

#include <gtest/gtest.h>

#include "framework/gui/DesktopInteraction.h"
#include "services/FileTypeSets.h"

namespace {

TEST(FileTypeSets, FilterTextsHoldBeforeAndAfterStartAndNameExactlyTheSetsExtensions) {
    // Before the start-up initialisers: the texts, but no file types.
    EXPECT_EQ(DatabaseFiles::All(), "Database Files;");
    EXPECT_EQ(CSVFiles::All(), "CSV Files;");
    EXPECT_EQ(CAVFiles::All(), "Old Brevolan Database;");
    EXPECT_TRUE(DatabaseFiles::DatabaseFiles().IsNil());
    EXPECT_TRUE(CAVFiles::pAllFileTypes.empty());
    EXPECT_TRUE(FileDialogNameFilters(CSVFiles::All()).empty());

    DatabaseFiles::_Initialize();
    CSVFiles::_Initialize();
    CAVFiles::_Initialize();

    struct Case {
        String filter;
        Ref<FileType> type;
        std::vector<Ref<FileType>>* all;
        String macType;
        String offered;
    };
    const std::vector<Case> cases = {
        {DatabaseFiles::All(), DatabaseFiles::DatabaseFiles(), &DatabaseFiles::pAllFileTypes, "cax",
         "Database Files (*.cax *.rsd)"},
        {CSVFiles::All(), CSVFiles::CSVFiles(), &CSVFiles::pAllFileTypes, "csv", "CSV Files (*.csv *.txt)"},
        {CAVFiles::All(), CAVFiles::OldBrevolanDatabase(), &CAVFiles::pAllFileTypes, "cav",
         "Old Brevolan Database (*.cav)"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.type) << c.filter;
        EXPECT_EQ(FileDialogNameFilters(c.filter), std::vector<String>{c.offered});
        EXPECT_EQ(c.type->Name + ";", c.filter);
        EXPECT_EQ(c.type->MacType, c.macType);
        EXPECT_EQ(c.type->MacCreator, "");
        EXPECT_EQ(c.type->MimeType, "");
        EXPECT_EQ(c.type->ConformsTo, "");
        EXPECT_TRUE(c.type->Imported);
        ASSERT_EQ(c.all->size(), 1u);
        EXPECT_EQ(c.all->front().get(), c.type.get());
    }
}

}  // namespace
