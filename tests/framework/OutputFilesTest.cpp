// Files that are written: a stream that tells when its data did not reach
// the disk, and a file made beside its destination that takes the
// destination's place in one step.

#include <gtest/gtest.h>

#include <filesystem>

#include "framework/FolderItem.h"
#include "framework/PendingFile.h"
#include "framework/Streams.h"
#include "tests/support/OrdinaryUser.h"
#include "tests/support/TempDir.h"

TEST(TextOutputStream, CloseTellsWhetherEverythingReachedTheFile) {
    struct Case {
        const char* device;
        std::string text;
        bool writeFails;  // the text does not fit the stream's buffer
        bool closeFails;
    } cases[] = {
        {"/dev/full", "one short line", false, true},
        {"/dev/full", std::string(100000, 'x'), true, true},
        {"/dev/null", std::string(100000, 'x'), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " with " + std::to_string(c.text.size()) + " bytes");
        std::FILE* f = std::fopen(c.device, "wb");
        ASSERT_TRUE(f);
        TextOutputStream out(f);
        if (c.writeFails) {
            EXPECT_THROW(out.WriteLine(c.text), IOException);
        } else {
            EXPECT_NO_THROW(out.WriteLine(c.text));
        }
        if (c.closeFails) {
            EXPECT_THROW(out.Close(), IOException);
        } else {
            EXPECT_NO_THROW(out.Close());
        }
        EXPECT_NO_THROW(out.Close()) << "a closed stream closes again without a word";
        EXPECT_THROW(out.Write("more"), IOException);
    }
}

TEST(PendingFile, TakesTheDestinationsPlaceOnlyWhenPutThere) {
    TempDir dir;
    const std::string destination = dir.write("herd( tree ).csv", "the old export\n");
    {
        PendingFile pending(destination, true);
        EXPECT_EQ(std::filesystem::path(pending.Path()).parent_path(), dir.path()) << "beside the destination";
        EXPECT_EQ(std::filesystem::path(pending.Path()).filename().string().front(), '.') << "hidden";
        EXPECT_TRUE(pending.Exists()) << "made at once";
        dir.write(std::filesystem::path(pending.Path()).filename(), "half");
        dir.write(std::filesystem::path(pending.Path()).filename().string() + "-journal", "a journal");
        PendingFile other(destination, true);
        EXPECT_NE(other.Path(), pending.Path()) << "a free name";
        EXPECT_TRUE(pending.Exists()) << "a file that is held is no leftover";
    }
    EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd( tree ).csv"})) << "abandoned: removed with its journal";
    EXPECT_EQ(TempDir::read(destination), "the old export\n");

    for (bool existed : {true, false}) {
        SCOPED_TRACE(existed ? "replacing" : "new");
        if (!existed) std::filesystem::remove(destination);
        PendingFile pending(destination, existed);
        dir.write(std::filesystem::path(pending.Path()).filename(), "the new export\n");
        String why;
        ASSERT_EQ(pending.PutInPlace(why), PendingFile::Placing::Done) << why;
        EXPECT_FALSE(pending.Exists());
        EXPECT_EQ(TempDir::read(destination), "the new export\n");
        EXPECT_EQ(TempDir::namesIn(dir.path()), (std::set<std::string>{"herd( tree ).csv"}));
    }

    // Gone before it was put in place (a Cancel deleted it): the destination stays.
    PendingFile gone(destination, true);
    std::filesystem::remove(gone.Path());
    String why;
    EXPECT_EQ(gone.PutInPlace(why), PendingFile::Placing::NotPlaced);
    EXPECT_NE(why, "");
    EXPECT_EQ(TempDir::read(destination), "the new export\n");
}

TEST(PendingFile, AFileOrFolderThatCannotBeWrittenCannotBeReplaced) {
    TempDir dir;
    const std::string file = dir.write("herd.cax", "old");
    std::filesystem::create_directory(dir.file("locked"));
    const std::string inLockedFolder = dir.write("locked/herd.cax", "old");
    OrdinaryUser user(dir.path());
    std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(CannotBeReplaced(file));
    EXPECT_FALSE(CannotBeReplaced(dir.file("missing.cax")));
    EXPECT_TRUE(CannotBeReplaced(inLockedFolder));
    std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    EXPECT_TRUE(CannotBeReplaced(file));
    std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}
