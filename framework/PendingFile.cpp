#include "framework/PendingFile.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Temporary names: Prefix, TagLength letters or digits, Suffix; a database
// written under one adds one of the Sidecars.
const String Prefix = ".brevolan-convert-";
const String Suffix = ".part";
constexpr size_t TagLength = 8;
constexpr std::array<const char*, 3> Sidecars = {"-journal", "-wal", "-shm"};
const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

String folderOf(const String& path) {
    const size_t slash = path.rfind('/');
    if (slash == String::npos) return ".";
    return slash == 0 ? String("/") : path.substr(0, slash);
}

String inFolder(const String& folder, const String& name) { return (folder == "/" ? folder : folder + "/") + name; }

bool present(const String& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Waits until the data of the file or folder at `path` is on the disk; 0 or
// the system's error.
int syncPath(const String& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL) error = errno;
    ::close(fd);
    return error;
}

// The lock that tells a running converter's temporary file: on its first
// byte, as a lock of the open file (not of the process), so that it is
// independent of the locks that the program's own database connections take
// on the same file (which lock bytes from 1 GiB on) and of their closing.
bool lockFirstByte(int fd, short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool sameFile(int fd, const String& path) {
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// The temporary name that `name` is or carries a sidecar of, or "" when it
// is none of ours.
String temporaryNameOf(const String& name) {
    if (name.compare(0, Prefix.size(), Prefix) != 0) return "";
    const size_t tagEnd = Prefix.size() + TagLength;
    if (name.size() < tagEnd + Suffix.size()) return "";
    for (size_t i = Prefix.size(); i < tagEnd; ++i)
        if (!std::strchr(Letters, name[i]) || name[i] == '\0') return "";
    if (name.compare(tagEnd, Suffix.size(), Suffix) != 0) return "";
    const String base = name.substr(0, tagEnd + Suffix.size());
    const String rest = name.substr(base.size());
    if (rest.empty()) return base;
    for (const char* sidecar : Sidecars)
        if (rest == sidecar) return base;
    return "";
}

void removeSidecars(const String& path) {
    for (const char* sidecar : Sidecars) ::unlink((path + sidecar).c_str());
}

// Removes from `folder` the temporary files of converters that no running
// converter holds, with their journals, and journals whose temporary file
// is gone. The removal holds the file's lock, so that a converter that is
// just taking a name finds it taken and picks another.
void removeStaleTemporaryFiles(const String& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::set<String> found;  // the temporary names met, also through a journal alone
    while (const dirent* entry = ::readdir(dir)) {
        const String base = temporaryNameOf(entry->d_name);
        if (!base.empty()) found.insert(base);
    }
    ::closedir(dir);
    for (const String& name : found) {
        const String path = inFolder(folder, name);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // Journals without their file: that file was removed, and the
            // database that wrote them has nothing left to recover.
            if (errno == ENOENT) removeSidecars(path);
            continue;
        }
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockFirstByte(fd, F_RDLCK) && sameFile(fd, path)) {
            removeSidecars(path);
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
}

// The permissions that a new file gets: 0666 without the umask's bits.
mode_t newFileMode() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("Umask:", 0) == 0) return 0666 & ~mode_t(std::strtoul(line.c_str() + 6, nullptr, 8));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Renames `from` to `to` unless something is at `to`; EEXIST when it is.
int renameWithoutReplacing(const String& from, const String& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without that rename: a second link refuses an existing
    // name as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // Nor links: the name is checked just before the rename.
    if (present(to)) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

String LinkTarget(const String& path) {
    String target = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::array<char, PATH_MAX> buffer;
        const ssize_t n = ::readlink(target.c_str(), buffer.data(), buffer.size());
        if (n <= 0 || size_t(n) >= buffer.size()) break;
        const String link(buffer.data(), size_t(n));
        target = link.front() == '/' ? link : inFolder(folderOf(target), link);
    }
    return target;
}

PendingFile::PendingFile(String destination, bool mayReplace)
    : destination_(std::move(destination)), target_(LinkTarget(destination_)), mayReplace_(mayReplace) {
    removeStaleTemporaryFiles(folderOf(target_));
    create();
}

void PendingFile::create() {
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<size_t> letter(0, sizeof Letters - 2);
    const String folder = folderOf(target_);
    for (;;) {
        String tag;
        for (size_t i = 0; i < TagLength; ++i) tag += Letters[letter(pick)];
        path_ = inFolder(folder, Prefix + tag + Suffix);
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            if (errno == EEXIST) continue;
            return;  // the folder cannot take it: creating the file under this name tells why
        }
        // Another converter's cleanup may have taken the new file for a stale
        // one: it holds it and removes it, or has removed it. (On a file
        // system without these locks the file goes unlocked.)
        if ((!lockFirstByte(fd_, F_WRLCK) && (errno == EAGAIN || errno == EACCES)) || !sameFile(fd_, path_)) {
            release();
            continue;
        }
        // A journal of that name would be read as the new file's.
        bool sidecar = false;
        for (const char* s : Sidecars) sidecar = sidecar || present(path_ + s);
        if (!sidecar) return;
        ::unlink(path_.c_str());
        release();
    }
}

PendingFile::~PendingFile() {
    if (!placed_) Discard();
}

bool PendingFile::Exists() const { return present(path_); }

void PendingFile::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

PendingFile::Placing PendingFile::PutInPlace(String& why) {
    auto notPlaced = [&why](int error) {
        why = std::strerror(error);
        return Placing::NotPlaced;
    };
    // The file at the temporary name, which may have been made there anew.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return notPlaced(errno);
    struct stat old;
    int error = 0;
    if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Where the user may not give the file that group, it keeps the
        // user's own.
        [[maybe_unused]] const int regrouped = ::fchown(fd, uid_t(-1), old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    } else if (::fchmod(fd, newFileMode()) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL) error = errno;
    ::close(fd);
    if (error != 0) return notPlaced(error);

    if (mayReplace_) {
        if (::rename(path_.c_str(), target_.c_str()) != 0) return notPlaced(errno);
    } else if ((error = renameWithoutReplacing(path_, target_)) != 0) {
        if (error != EEXIST) return notPlaced(error);
        Discard();
        why = "The file " + destination_ + " has been made by another program meanwhile and is kept as it is." +
              EndOfLine + "Rename or move it and try again.";
        return Placing::Taken;
    }
    placed_ = true;
    release();
    // The rename itself is on the disk once the folder is.
    if ((error = syncPath(folderOf(target_), O_RDONLY | O_DIRECTORY)) != 0) {
        why = "The file " + destination_ + " has been written, but the disk did not confirm that it keeps it:" +
              EndOfLine + std::strerror(error);
        return Placing::Unsynced;
    }
    return Placing::Done;
}

void PendingFile::Discard() {
    // The journals go first, so that none is ever left without its file.
    removeSidecars(path_);
    ::unlink(path_.c_str());
    release();
}

bool CannotBeReplaced(const String& path) {
    // A link to a missing file makes that file: nothing is replaced.
    const String target = LinkTarget(path);
    if (!present(target)) return false;
    // As this program may write, which is what its effective ids allow.
    auto mayWrite = [](const String& p, int mode) { return ::faccessat(AT_FDCWD, p.c_str(), mode, AT_EACCESS) == 0; };
    return !mayWrite(target, W_OK) || !mayWrite(folderOf(target), W_OK | X_OK);
}
