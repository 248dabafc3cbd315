// The file that an import or an export puts at its destination: it keeps
// the mode and group of the file it replaces, follows a symbolic link to the
// file it names, takes the umask when it is new, never replaces a file that
// another program made meanwhile, and works for the longest names; the
// temporary files that a crashed converter left beside it are removed, and a
// folder that the disk did not sync is told.

#include <atomic>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "framework/PendingFile.h"
#include "tests/convert/ConvertFixture.h"
#include "tests/support/OrdinaryUser.h"

using SqliteCli::Rows;

namespace {

const String Completed = "Operation completed";

// While set, every fsync of a folder fails as a failing disk makes it fail.
std::atomic<bool> folderSyncFails{false};

}  // namespace

// The program's calls of fsync come here: in this executable the disk can
// refuse to sync a folder.
extern "C" int fsync(int fd) {
    struct stat st;
    if (folderSyncFails && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace {

struct Conversion {
    const char* name;
    bool import;  // CSV to RSD/CAX; else RSD/CAX to CSV
};
const Conversion Conversions[] = {{"import", true}, {"export", false}};

mode_t modeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

gid_t groupOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_gid : gid_t(-1);
}

// A group that the user belongs to besides its own, and may give a file.
// Run as root, the test makes the process a member of a group of its own
// while the object lives; else one of the user's groups is taken.
class MemberGroup {
public:
    MemberGroup() {
        gid_t groups[256];
        const int n = ::getgroups(256, groups);
        if (::geteuid() == 0) {
            saved_.assign(groups, groups + std::max(n, 0));
            const gid_t own = 4243;
            found_ = ::setgroups(1, &own) == 0;
            group_ = own;
            return;
        }
        for (int i = 0; i < n && !found_; ++i)
            if (groups[i] != ::getegid()) group_ = groups[i], found_ = true;
    }
    ~MemberGroup() {
        if (::geteuid() == 0 && ::setgroups(saved_.size(), saved_.data()) != 0) std::terminate();
    }
    bool found() const { return found_; }
    gid_t group() const { return group_; }

private:
    std::vector<gid_t> saved_;
    gid_t group_ = 0;
    bool found_ = false;
};

}  // namespace

class ReplacedFiles : public ConvertTest {
protected:
    // Makes the source of the conversion, named `stem` with its extension,
    // in the test's folder; the destination.
    std::string source(const Conversion& c, const std::string& stem = "herd") {
        if (c.import) return csvSource(stem + ".csv", "name,sex\nA1,m\nA2,f\nA3,m\n");
        appSystem::sourceFilepath = rsdFile("INSERT INTO tree(name, sex) VALUES ('A1', 'male'), ('A2', 'female'), "
                                            "('A3', 'male')",
                                            stem + ".rsd");
        return appSystem::getNewName(appSystem::sourceFilepath, "( tree ).csv");
    }
    std::set<std::string> sourceAnd(std::set<std::string> names) const {
        names.insert(nameOf(appSystem::sourceFilepath));
        return names;
    }
    // An earlier file at the destination, which the import asks to overwrite.
    void oldFile(const Conversion& c, const std::string& path) {
        std::ofstream(path) << "an earlier file";
        if (c.import) ui.AnswerYes();
    }
    static void run(const Conversion& c) {
        c.import ? convertCsvToRsd::convertCSV() : convertRsdToCsv::runConvertRSDCSV();
    }
    // The file at `path` is the conversion's new one, read by the
    // independent reader.
    static void expectNew(const Conversion& c, const std::string& path) {
        if (c.import) {
            EXPECT_EQ(SqliteCli::query(path, "SELECT group_concat(name || sex) FROM tree"),
                      (Rows{{"A1male,A2female,A3male"}}));
        } else {
            const std::string text = TempDir::read(path);
            EXPECT_EQ(text.rfind("NAME,", 0), 0u) << text;
            EXPECT_NE(text.find("\nA3,,,male,"), std::string::npos) << text;
        }
    }
    static std::string nameOf(const std::string& path) { return std::filesystem::path(path).filename(); }
    void removeAll() {
        for (const auto& name : TempDir::namesIn(dir.path())) std::filesystem::remove_all(dir.file(name));
        ui.clear();
    }
};

TEST_F(ReplacedFiles, TakeTheModeAndTheGroupOfTheFileTheyReplace) {
    const MemberGroup member;
    if (!member.found()) GTEST_SKIP() << "the user belongs to no group besides its own";
    OrdinaryUser asNobody(dir.path());  // for the groups that the user may give
    struct Case {
        mode_t mode;
        bool memberGroup;  // else the user's own group
    } cases[] = {{0640, true}, {0604, true}, {0600, false}, {0660, false}};
    for (const Conversion& c : Conversions) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(c.name) + " over mode " + std::to_string(k.mode) +
                         (k.memberGroup ? " with a group of the user's" : ""));
            removeAll();
            const std::string destination = source(c);
            oldFile(c, destination);
            const gid_t group = k.memberGroup ? member.group() : ::getegid();
            ASSERT_EQ(::chown(destination.c_str(), uid_t(-1), group), 0) << std::strerror(errno);
            ASSERT_EQ(::chmod(destination.c_str(), k.mode), 0);
            run(c);
            EXPECT_EQ(ui.texts().back(), Completed);
            expectNew(c, destination);
            EXPECT_EQ(modeOf(destination), k.mode);
            EXPECT_EQ(groupOf(destination), group);
        }
    }
}

TEST_F(ReplacedFiles, KeepTheUsersGroupWhereTheOldGroupMayNotBeGiven) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give the old file a group that the user is not in";
    const gid_t foreign = 4242;
    for (const Conversion& c : Conversions) {
        SCOPED_TRACE(c.name);
        removeAll();
        const std::string destination = source(c);
        oldFile(c, destination);
        ASSERT_EQ(::chmod(destination.c_str(), 0640), 0);
        OrdinaryUser asNobody(dir.path());
        {
            // Root gives the old file a group that nobody is not in.
            ASSERT_EQ(::seteuid(0), 0);
            ASSERT_EQ(::chown(destination.c_str(), uid_t(-1), foreign), 0);
            ASSERT_EQ(::seteuid(65534), 0);
        }
        run(c);
        EXPECT_EQ(ui.texts().back(), Completed);
        expectNew(c, destination);
        EXPECT_EQ(modeOf(destination), 0640u);
        EXPECT_EQ(groupOf(destination), ::getegid());
    }
}

TEST_F(ReplacedFiles, ANewFileTakesTheUmask) {
    for (const Conversion& c : Conversions) {
        for (mode_t mask : {mode_t(002), mode_t(022), mode_t(027), mode_t(077)}) {
            SCOPED_TRACE(std::string(c.name) + " under umask " + std::to_string(mask));
            removeAll();
            const std::string destination = source(c);
            const mode_t before = ::umask(mask);
            run(c);
            ::umask(before);
            EXPECT_EQ(ui.texts().back(), Completed);
            EXPECT_EQ(modeOf(destination), 0666 & ~mask);
        }
    }
}

TEST_F(ReplacedFiles, ALinkAtTheDestinationStaysAndItsTargetIsReplaced) {
    struct Case {
        const char* name;
        const char* link;  // to the target, from the test's folder
        bool targetExists;
    } cases[] = {
        {"to a file in another folder", "kept/data", true},
        {"through a second link", "second", true},
        {"to a missing file", "kept/data", false},
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const Conversion& c : Conversions) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(c.name) + ", a link " + k.name);
            removeAll();
            const std::string destination = source(c);
            std::filesystem::create_directory(dir.file("kept"));
            const std::string target = dir.file("kept/data");
            if (k.targetExists) {
                oldFile(c, target);
                // What the old file's database left beside it.
                if (c.import) dir.write("kept/data-journal", "a journal of the old file");
                ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
            }
            std::filesystem::create_symlink("kept/data", dir.file("second"));
            std::filesystem::create_symlink(k.link, destination);
            run(c);
            EXPECT_EQ(ui.texts().back(), Completed);
            ASSERT_TRUE(std::filesystem::is_symlink(destination));
            EXPECT_EQ(std::filesystem::read_symlink(destination), k.link);
            // Before the new file is read: no journal of the old one is left
            // that a reader would take for the new one's.
            EXPECT_EQ(TempDir::namesIn(dir.file("kept")), (std::set<std::string>{"data"}));
            expectNew(c, target);
            EXPECT_EQ(modeOf(target), k.targetExists ? 0640u : 0666 & ~mask);
            EXPECT_EQ(TempDir::namesIn(dir.path()), sourceAnd({nameOf(destination), "second", "kept"}));
        }
    }
}

TEST_F(ReplacedFiles, AFileThatAnotherProgramMadeMeanwhileIsKept) {
    for (const Conversion& c : Conversions) {
        SCOPED_TRACE(c.name);
        removeAll();
        const std::string destination = source(c);
        // Another program makes the file once the conversion has begun its own.
        progress.onYield = [&] {
            if (!appSystem::output.createdFile.empty() && !exists(destination))
                dir.write(nameOf(destination), "another program's file");
        };
        run(c);
        progress.onYield = nullptr;
        EXPECT_EQ(ui.texts(), (std::vector<String>{"The file " + destination +
                                                   " has been made by another program meanwhile and is kept as it "
                                                   "is.\nRename or move it and try again."}));
        EXPECT_EQ(TempDir::read(destination), "another program's file");
        EXPECT_EQ(TempDir::namesIn(dir.path()), sourceAnd({nameOf(destination)}));
        EXPECT_FALSE(progress.isOpen());
    }
}

TEST_F(ReplacedFiles, TheLongestNamesConvert) {
    for (const Conversion& c : Conversions) {
        // Destinations of 255 bytes, the longest name a folder takes.
        const size_t stem = c.import ? 255 - 4 : 255 - std::string("( tree ).csv").size();
        for (bool over : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (over ? " over an earlier file" : ""));
            removeAll();
            const std::string destination = source(c, std::string(stem, 'h'));
            ASSERT_EQ(nameOf(destination).size(), 255u);
            if (over) oldFile(c, destination);
            run(c);
            EXPECT_EQ(ui.texts().back(), Completed);
            expectNew(c, destination);
            EXPECT_EQ(TempDir::namesIn(dir.path()), sourceAnd({nameOf(destination)}));
        }
    }
}

TEST_F(ReplacedFiles, ALaterConversionRemovesTheTemporaryFilesThatNoConverterHolds) {
    for (const Conversion& c : Conversions) {
        SCOPED_TRACE(c.name);
        removeAll();
        const std::string destination = source(c);
        // A converter that was killed while it wrote its file and its journal,
        // and one that was killed between removing its file and its journal.
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PendingFile writing(destination, true), removing(destination, true);
            for (const PendingFile* killed : {&writing, &removing}) {
                std::ofstream(killed->Path()) << "half a file";
                std::ofstream(killed->Path() + "-journal") << "its journal";
            }
            ::unlink(removing.Path().c_str());
            ::_exit(0);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(TempDir::namesIn(dir.path()).size(), 4u) << "the source and what the killed converters left";
        // A converter that still runs, and names that are not the converters'.
        const PendingFile running(destination, true);
        std::set<std::string> kept = sourceAnd({nameOf(destination), nameOf(running.Path())});
        for (const char* other : {".herd.cax.k3j9x2.part", "herd.part", ".brevolan-convert-.part",
                                  ".brevolan-convert-abc.part", ".brevolan-convert-abcdefgh.part.old",
                                  ".brevolan-convert-ABCDEFGH.part", ".brevolan-convert-abcdefgh.part-backup"}) {
            dir.write(other, "the user's");
            kept.insert(other);
        }
        run(c);
        EXPECT_EQ(ui.texts().back(), Completed);
        expectNew(c, destination);
        EXPECT_EQ(TempDir::namesIn(dir.path()), kept);
    }
}

TEST_F(ReplacedFiles, AFolderThatTheDiskDidNotSyncIsTold) {
    for (const Conversion& c : Conversions) {
        SCOPED_TRACE(c.name);
        removeAll();
        const std::string destination = source(c);
        folderSyncFails = true;
        run(c);
        folderSyncFails = false;
        EXPECT_EQ(ui.texts(), (std::vector<String>{"The file " + destination +
                                                   " has been written, but the disk did not confirm that it keeps "
                                                   "it:\n" +
                                                   std::strerror(EIO)}));
        EXPECT_FALSE(progress.isOpen());
    }
}
