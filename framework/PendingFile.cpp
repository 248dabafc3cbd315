#include "framework/PendingFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

String folderOf(const String& path) {
    const size_t slash = path.rfind('/');
    if (slash == String::npos) return ".";
    return slash == 0 ? String("/") : path.substr(0, slash);
}

String nameOf(const String& path) {
    const size_t slash = path.rfind('/');
    return slash == String::npos ? path : path.substr(slash + 1);
}

bool present(const String& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Waits until the data of the file or folder at `path` is on the disk.
int syncPath(const String& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL) error = errno;
    ::close(fd);
    return error;
}

}  // namespace

PendingFile::PendingFile(String destination) : destination_(std::move(destination)) {
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed());
    std::uniform_int_distribution<size_t> letter(0, sizeof Letters - 2);
    const String folder = folderOf(destination_);
    const String prefix = (folder == "/" ? folder : folder + "/") + "." + nameOf(destination_) + ".";
    do {
        String tag;
        for (int i = 0; i < 6; ++i) tag += Letters[letter(pick)];
        path_ = prefix + tag + ".part";
    } while (present(path_) || present(path_ + "-journal"));
}

PendingFile::~PendingFile() {
    if (!placed_) Discard();
}

bool PendingFile::Exists() const { return present(path_); }

bool PendingFile::PutInPlace(String& why) {
    int error = syncPath(path_, O_RDONLY);
    if (error == 0 && ::rename(path_.c_str(), destination_.c_str()) != 0) error = errno;
    if (error != 0) {
        why = std::strerror(error);
        return false;
    }
    placed_ = true;
    // The rename itself is on the disk once the folder is.
    syncPath(folderOf(destination_), O_RDONLY | O_DIRECTORY);
    return true;
}

void PendingFile::Discard() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
}

bool CannotBeReplaced(const String& path) {
    if (!present(path)) return false;
    // As this program may write, which is what its effective ids allow.
    auto mayWrite = [](const String& p, int mode) { return ::faccessat(AT_FDCWD, p.c_str(), mode, AT_EACCESS) == 0; };
    return !mayWrite(path, W_OK) || !mayWrite(folderOf(path), W_OK | X_OK);
}
