#include "tests/support/FaultyDisk.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include <sqlite3.h>

namespace {

FaultyDisk* g_disk = nullptr;
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

// Our file: the real file follows it in the same block.
struct File {
    sqlite3_file base;
    sqlite3_file* real;
    std::string* path;  // "" for a temporary file without a name
};

sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
const std::string& pathOf(sqlite3_file* f) { return *reinterpret_cast<File*>(f)->path; }

int fileClose(sqlite3_file* f) {
    File* file = reinterpret_cast<File*>(f);
    const int rc = file->real->pMethods ? file->real->pMethods->xClose(file->real) : SQLITE_OK;
    delete file->path;
    file->path = nullptr;
    return rc;
}
int fileRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
    return real(f)->pMethods->xRead(real(f), buf, n, off);
}
int fileWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
    if (const int rc = g_disk->next()) return rc == SQLITE_IOERR ? SQLITE_IOERR_WRITE : rc;
    g_disk->noteWrite(pathOf(f));
    return real(f)->pMethods->xWrite(real(f), buf, n, off);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); }
int fileSync(sqlite3_file*, int) {
    if (const int rc = g_disk->next()) return rc == SQLITE_IOERR ? SQLITE_IOERR_FSYNC : rc;
    return SQLITE_OK;
}
int fileSize(sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); }
int fileLock(sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); }
int fileUnlock(sqlite3_file* f, int level) {
    const int rc = real(f)->pMethods->xUnlock(real(f), level);
    // A file may outlive the disk: a database that stays open after the test.
    if (rc == SQLITE_OK && level == SQLITE_LOCK_NONE && g_disk && g_disk->onUnlocked) g_disk->onUnlocked(pathOf(f));
    return rc;
}
int fileCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int fileControl(sqlite3_file* f, int op, void* arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); }
int fileSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int fileDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
int fileShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** p) {
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, p);
}
int fileShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void fileShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
int fileShmUnmap(sqlite3_file* f, int deleteFlag) { return real(f)->pMethods->xShmUnmap(real(f), deleteFlag); }
int fileFetch(sqlite3_file* f, sqlite3_int64 off, int n, void** p) {
    return real(f)->pMethods->xFetch(real(f), off, n, p);
}
int fileUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return real(f)->pMethods->xUnfetch(real(f), off, p); }

// One table of methods for each version of the real file's methods.
sqlite3_io_methods methodsOfVersion(int version) {
    sqlite3_io_methods m = {version,        fileClose,          fileRead,         fileWrite,
                            fileTruncate,   fileSync,           fileSize,         fileLock,
                            fileUnlock,     fileCheckReservedLock, fileControl,   fileSectorSize,
                            fileDeviceCharacteristics, nullptr, nullptr,         nullptr,
                            nullptr,        nullptr,            nullptr};
    if (version >= 2) {
        m.xShmMap = fileShmMap;
        m.xShmLock = fileShmLock;
        m.xShmBarrier = fileShmBarrier;
        m.xShmUnmap = fileShmUnmap;
    }
    if (version >= 3) {
        m.xFetch = fileFetch;
        m.xUnfetch = fileUnfetch;
    }
    return m;
}
const sqlite3_io_methods Methods[] = {methodsOfVersion(1), methodsOfVersion(2), methodsOfVersion(3)};

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    File* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->path = new std::string(name ? name : "");
    const int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK || !file->real->pMethods) {
        delete file->path;
        file->path = nullptr;
        f->pMethods = nullptr;
        return rc;
    }
    const int out = outFlags ? *outFlags : flags;
    g_disk->noteOpen(*file->path, (out & SQLITE_OPEN_READWRITE) != 0);
    const int version = file->real->pMethods->iVersion;
    f->pMethods = &Methods[(version < 1 ? 1 : version > 3 ? 3 : version) - 1];
    return SQLITE_OK;
}
int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) { return g_real->xDelete(g_real, name, syncDir); }
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return g_real->xAccess(g_real, name, flags, out); }
int vfsFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return g_real->xFullPathname(g_real, name, n, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void vfsDlError(sqlite3_vfs*, int n, char* out) { g_real->xDlError(g_real, n, out); }
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) { return g_real->xDlSym(g_real, handle, symbol); }
void vfsDlClose(sqlite3_vfs*, void* handle) { g_real->xDlClose(g_real, handle); }
int vfsRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int vfsSleep(sqlite3_vfs*, int micros) { return g_real->xSleep(g_real, micros); }
int vfsCurrentTime(sqlite3_vfs*, double* out) { return g_real->xCurrentTime(g_real, out); }
int vfsGetLastError(sqlite3_vfs*, int n, char* out) { return g_real->xGetLastError(g_real, n, out); }
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_real->xCurrentTimeInt64(g_real, out); }

}  // namespace

FaultyDisk::FaultyDisk() {
    if (g_disk) throw std::logic_error("only one FaultyDisk at a time");
    g_real = sqlite3_vfs_find(nullptr);
    if (!g_real) throw std::runtime_error("no default SQLite VFS");
    std::memset(&g_vfs, 0, sizeof g_vfs);
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "faulty";
    g_vfs.xOpen = vfsOpen;
    g_vfs.xDelete = vfsDelete;
    g_vfs.xAccess = vfsAccess;
    g_vfs.xFullPathname = vfsFullPathname;
    g_vfs.xDlOpen = vfsDlOpen;
    g_vfs.xDlError = vfsDlError;
    g_vfs.xDlSym = vfsDlSym;
    g_vfs.xDlClose = vfsDlClose;
    g_vfs.xRandomness = vfsRandomness;
    g_vfs.xSleep = vfsSleep;
    g_vfs.xCurrentTime = vfsCurrentTime;
    g_vfs.xGetLastError = vfsGetLastError;
    g_vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    g_disk = this;
    sqlite3_vfs_register(&g_vfs, 1);
}

FaultyDisk::~FaultyDisk() {
    sqlite3_vfs_unregister(&g_vfs);
    sqlite3_vfs_register(g_real, 1);
    g_disk = nullptr;
}

void FaultyDisk::failAt(int n, Fault fault) {
    failAt_ = n;
    fault_ = fault;
    operations_ = 0;
    writes_.clear();
    openedForWriting_.clear();
}

int FaultyDisk::next() {
    ++operations_;
    if (failAt_ <= 0 || operations_ < failAt_) return 0;
    if (fault_ == Fault::Full) return SQLITE_FULL;
    return operations_ == failAt_ ? SQLITE_IOERR : 0;
}

void FaultyDisk::noteOpen(const std::string& path, bool forWriting) {
    if (forWriting) openedForWriting_[path] = true;
}

int FaultyDisk::writesTo(const std::string& path) const {
    auto found = writes_.find(path);
    return found == writes_.end() ? 0 : found->second;
}

bool FaultyDisk::openedForWriting(const std::string& path) const {
    auto found = openedForWriting_.find(path);
    return found != openedForWriting_.end() && found->second;
}
