#include "framework/KeyedFileVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

constexpr int SaltBytes = 16;
constexpr int KeyBytes = 32;
constexpr int KeyIterations = 64000;  // of the page key
constexpr int MacKeyIterations = 2;   // of the HMAC key
constexpr unsigned char MacSaltMask = 0x3a;
constexpr int IvBytes = 16;
constexpr int MacBytes = 20;        // HMAC-SHA1
constexpr int ReservedBytes = 48;   // IV and HMAC, rounded up to whole AES blocks
constexpr int WalHeaderBytes = 32;
constexpr int FrameHeaderBytes = 24;
const unsigned char PlainHeader[SaltBytes] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                              'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

// What opens a keyed file: the keys derived from the key text and its salt,
// and its page size.
struct Keys {
    unsigned char pageKey[KeyBytes];  // AES-256 key of the pages
    unsigned char macKey[KeyBytes];   // HMAC-SHA1 key of the pages
    int pageSize = 0;
};

uint32_t bigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
void putBigEndian32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// Decrypts and checks pages with one file's keys; scratch room of its own.
class PageCipher {
public:
    PageCipher() : ctx_(EVP_CIPHER_CTX_new()) {}
    ~PageCipher() { EVP_CIPHER_CTX_free(ctx_); }
    PageCipher(const PageCipher&) = delete;
    PageCipher& operator=(const PageCipher&) = delete;

    // True when the encrypted page `in` (pageSize bytes) of page number
    // `pgno` carries the HMAC of its bytes under the keys.
    bool authentic(const Keys& keys, uint32_t pgno, const unsigned char* in) {
        const int size = keys.pageSize;
        const int start = pgno == 1 ? SaltBytes : 0;
        const int signedBytes = size - ReservedBytes + IvBytes - start;
        macInput_.resize(size_t(signedBytes) + 4);
        std::memcpy(macInput_.data(), in + start, size_t(signedBytes));
        for (int i = 0; i < 4; ++i) macInput_[size_t(signedBytes + i)] = static_cast<unsigned char>(pgno >> (8 * i));
        unsigned char mac[EVP_MAX_MD_SIZE];
        unsigned int macLength = 0;
        if (!HMAC(EVP_sha1(), keys.macKey, KeyBytes, macInput_.data(), macInput_.size(), mac, &macLength) ||
            macLength != MacBytes)
            return false;
        return CRYPTO_memcmp(mac, in + size - ReservedBytes + IvBytes, MacBytes) == 0;
    }

    // Decrypts page `pgno` from `in` into `out` (pageSize bytes each): the
    // page as SQLite wrote it, its reserved bytes zero. False when the page
    // is not authentic.
    bool decrypt(const Keys& keys, uint32_t pgno, const unsigned char* in, unsigned char* out) {
        if (!authentic(keys, pgno, in)) return false;
        const int size = keys.pageSize;
        const int start = pgno == 1 ? SaltBytes : 0;
        const int length = size - ReservedBytes - start;
        int written = 0, last = 0;
        const bool ok = EVP_DecryptInit_ex(ctx_, EVP_aes_256_cbc(), nullptr, keys.pageKey,
                                           in + size - ReservedBytes) == 1 &&
                        EVP_CIPHER_CTX_set_padding(ctx_, 0) == 1 &&
                        EVP_DecryptUpdate(ctx_, out + start, &written, in + start, length) == 1 &&
                        EVP_DecryptFinal_ex(ctx_, out + start + written, &last) == 1 && written + last == length;
        if (!ok) return false;
        if (start) std::memcpy(out, PlainHeader, SaltBytes);
        std::memset(out + size - ReservedBytes, 0, ReservedBytes);
        return true;
    }

private:
    EVP_CIPHER_CTX* ctx_;
    std::vector<unsigned char> macInput_;
};

// SQLite's checksum of a write-ahead log: over 32-bit words in pairs, in the
// byte order that the log's magic number names, going on from `sum`.
void walChecksum(bool bigEndianWords, const unsigned char* data, size_t length, uint32_t sum[2]) {
    uint32_t s0 = sum[0], s1 = sum[1];
    for (size_t i = 0; i + 8 <= length; i += 8) {
        uint32_t x0 = bigEndian32(data + i), x1 = bigEndian32(data + i + 4);
        if (!bigEndianWords) {
            x0 = __builtin_bswap32(x0);
            x1 = __builtin_bswap32(x1);
        }
        s0 += x0 + s1;
        s1 += x1 + s0;
    }
    sum[0] = s0;
    sum[1] = s1;
}

sqlite3_vfs* baseVfs = nullptr;  // the one beneath: the unix layer
sqlite3_vfs keyedVfs;
const String* keyForOpen = nullptr;
// The keys of the database files open through the layer, by name, for the
// write-ahead logs beside them.
std::map<std::string, std::shared_ptr<const Keys>>& openFiles() {
    static std::map<std::string, std::shared_ptr<const Keys>> files;
    return files;
}

// One open database file or log.
struct State {
    sqlite3_file* real = nullptr;  // the file beneath, as the unix layer opened it
    std::shared_ptr<const Keys> keys;
    std::string name;  // a database file's, as registered in openFiles; "" for a log
    bool wal = false;
    // A log's checksums over the plain frames, two words a frame, for the
    // frames that SQLite would take as valid when it read the log as it was
    // at the open.
    std::vector<uint32_t> walSums;
    PageCipher cipher;
    std::vector<unsigned char> raw;   // one page, or one frame, as stored
    std::vector<unsigned char> part;  // one page or frame, plain, of which a read takes a part
};

struct KeyedFile {
    sqlite3_file base;  // pMethods: the layer's
    State* state;
};
// Where the file beneath lies in the room that SQLite gives a file.
constexpr int RealOffset = int((sizeof(KeyedFile) + 7) / 8 * 8);

State& stateOf(sqlite3_file* f) { return *reinterpret_cast<KeyedFile*>(f)->state; }

int readRaw(State& s, void* buffer, int amount, sqlite3_int64 offset) {
    return s.real->pMethods->xRead(s.real, buffer, amount, offset);
}

// Reads the page of a database file at `pgno` decrypted into `out`.
int readPage(State& s, uint32_t pgno, unsigned char* out) {
    const int size = s.keys->pageSize;
    s.raw.resize(size_t(size));
    const int rc = readRaw(s, s.raw.data(), size, sqlite3_int64(pgno - 1) * size);
    if (rc != SQLITE_OK) return rc;
    return s.cipher.decrypt(*s.keys, pgno, s.raw.data(), out) ? SQLITE_OK : SQLITE_CORRUPT;
}

// Reads `amount` bytes at `offset` of a file made of units of `unitBytes`
// from `start` on (pages, log frames), each as `unit(index, out)` gives
// it: whole units straight into the buffer, parts through `room`. What
// lies beyond the end reads as zeros, with SQLITE_IOERR_SHORT_READ.
template <class Unit>
int readUnits(unsigned char* buffer, int amount, sqlite3_int64 offset, sqlite3_int64 start, int unitBytes,
              std::vector<unsigned char>& room, Unit unit) {
    while (amount > 0) {
        const sqlite3_int64 index = (offset - start) / unitBytes;
        const int within = int((offset - start) % unitBytes);
        const int n = std::min(amount, unitBytes - within);
        const bool whole = n == unitBytes;
        if (!whole) room.resize(size_t(unitBytes));
        const int rc = unit(index, whole ? buffer : room.data());
        if (rc == SQLITE_IOERR_SHORT_READ) {
            std::memset(buffer, 0, size_t(amount));
            return rc;
        }
        if (rc != SQLITE_OK) return rc;
        if (!whole) std::memcpy(buffer, room.data() + within, size_t(n));
        buffer += n;
        offset += n;
        amount -= n;
    }
    return SQLITE_OK;
}

int readDatabase(State& s, unsigned char* buffer, int amount, sqlite3_int64 offset) {
    return readUnits(buffer, amount, offset, 0, s.keys->pageSize, s.part,
                     [&](sqlite3_int64 index, unsigned char* out) { return readPage(s, uint32_t(index + 1), out); });
}

// Frame `index` of a log as SQLite should read it: the header with the
// checksums over plain frames (for the frames that were valid at the open),
// the page decrypted; a page that does not decrypt (a frame left over from
// an earlier log) stays as stored, and SQLite's checksum refuses it.
int readFrame(State& s, size_t index, unsigned char* out) {
    const int size = s.keys->pageSize;
    const int frameBytes = FrameHeaderBytes + size;
    s.raw.resize(size_t(frameBytes));
    const int rc = readRaw(s, s.raw.data(), frameBytes, WalHeaderBytes + sqlite3_int64(index) * frameBytes);
    if (rc != SQLITE_OK) return rc;
    std::memcpy(out, s.raw.data(), size_t(frameBytes));
    const bool valid = index * 2 < s.walSums.size();
    const uint32_t pgno = bigEndian32(s.raw.data());
    if (pgno == 0 || !s.cipher.decrypt(*s.keys, pgno, s.raw.data() + FrameHeaderBytes, out + FrameHeaderBytes))
        return valid ? SQLITE_CORRUPT : SQLITE_OK;
    if (valid) {
        putBigEndian32(out + 16, s.walSums[index * 2]);
        putBigEndian32(out + 20, s.walSums[index * 2 + 1]);
    }
    return SQLITE_OK;
}

int readWal(State& s, unsigned char* buffer, int amount, sqlite3_int64 offset) {
    if (offset < WalHeaderBytes) {
        const int n = int(std::min<sqlite3_int64>(amount, WalHeaderBytes - offset));
        const int rc = readRaw(s, buffer, n, offset);
        if (rc != SQLITE_OK) return rc;
        buffer += n;
        offset += n;
        amount -= n;
    }
    return readUnits(buffer, amount, offset, WalHeaderBytes, FrameHeaderBytes + s.keys->pageSize, s.part,
                     [&](sqlite3_int64 index, unsigned char* out) { return readFrame(s, size_t(index), out); });
}

// ---- the methods of an open file ----

int xClose(sqlite3_file* f) {
    State* s = reinterpret_cast<KeyedFile*>(f)->state;
    int rc = SQLITE_OK;
    if (s) {
        if (!s->name.empty()) openFiles().erase(s->name);
        if (s->real->pMethods) rc = s->real->pMethods->xClose(s->real);
        delete s;
    }
    reinterpret_cast<KeyedFile*>(f)->state = nullptr;
    return rc;
}
int xRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    State& s = stateOf(f);
    auto* out = static_cast<unsigned char*>(buffer);
    return s.wal ? readWal(s, out, amount, offset) : readDatabase(s, out, amount, offset);
}
// Nothing is ever written: the files are opened for reading.
int xWrite(sqlite3_file*, const void*, int, sqlite3_int64) { return SQLITE_READONLY; }
int xTruncate(sqlite3_file*, sqlite3_int64) { return SQLITE_READONLY; }
int xSync(sqlite3_file*, int) { return SQLITE_OK; }
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    State& s = stateOf(f);
    return s.real->pMethods->xFileSize(s.real, size);
}
int xLock(sqlite3_file* f, int level) { return stateOf(f).real->pMethods->xLock(stateOf(f).real, level); }
int xUnlock(sqlite3_file* f, int level) { return stateOf(f).real->pMethods->xUnlock(stateOf(f).real, level); }
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return stateOf(f).real->pMethods->xCheckReservedLock(stateOf(f).real, out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return stateOf(f).real->pMethods->xFileControl(stateOf(f).real, op, arg);
}
int xSectorSize(sqlite3_file* f) { return stateOf(f).real->pMethods->xSectorSize(stateOf(f).real); }
int xDeviceCharacteristics(sqlite3_file* f) {
    return stateOf(f).real->pMethods->xDeviceCharacteristics(stateOf(f).real);
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return stateOf(f).real->pMethods->xShmMap(stateOf(f).real, region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return stateOf(f).real->pMethods->xShmLock(stateOf(f).real, offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) { stateOf(f).real->pMethods->xShmBarrier(stateOf(f).real); }
int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    return stateOf(f).real->pMethods->xShmUnmap(stateOf(f).real, deleteFlag);
}

// Version 2: shared memory for the write-ahead log, but no memory-mapped
// reads, which would pass the decryption by.
const sqlite3_io_methods KeyedMethods = {
    2,       xClose,   xRead,   xWrite,    xTruncate, xSync,       xFileSize,
    xLock,   xUnlock,  xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics,
    xShmMap, xShmLock, xShmBarrier,        xShmUnmap,    nullptr,     nullptr};

// The keys of the database file, from the key text and the salt at its
// start, with the page size under which its first page is authentic and
// reads as a database of that page size with the reserved bytes of the
// format; nullptr when there is none.
std::shared_ptr<const Keys> keysOf(State& s, const String& key) {
    sqlite3_int64 fileSize = 0;
    unsigned char salt[SaltBytes];
    if (s.real->pMethods->xFileSize(s.real, &fileSize) != SQLITE_OK || fileSize < 512 ||
        readRaw(s, salt, SaltBytes, 0) != SQLITE_OK)
        return nullptr;
    auto keys = std::make_shared<Keys>();
    unsigned char macSalt[SaltBytes];
    for (int i = 0; i < SaltBytes; ++i) macSalt[i] = salt[i] ^ MacSaltMask;
    if (PKCS5_PBKDF2_HMAC_SHA1(key.data(), int(key.size()), salt, SaltBytes, KeyIterations, KeyBytes,
                               keys->pageKey) != 1 ||
        PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(keys->pageKey), KeyBytes, macSalt, SaltBytes,
                               MacKeyIterations, KeyBytes, keys->macKey) != 1)
        return nullptr;
    // The tool's default first.
    std::vector<unsigned char> plain;
    for (int size : {1024, 4096, 512, 2048, 8192, 16384, 32768, 65536}) {
        if (fileSize % size != 0) continue;
        keys->pageSize = size;
        s.raw.resize(size_t(size));
        plain.resize(size_t(size));
        if (readRaw(s, s.raw.data(), size, 0) != SQLITE_OK ||
            !s.cipher.decrypt(*keys, 1, s.raw.data(), plain.data()))
            continue;
        const int storedSize = int(plain[16]) << 8 | plain[17];
        if ((storedSize == 1 ? 65536 : storedSize) == size && plain[20] == ReservedBytes) return keys;
    }
    return nullptr;
}

// True when every page of the database file is authentic.
bool allPagesAuthentic(State& s) {
    sqlite3_int64 fileSize = 0;
    if (s.real->pMethods->xFileSize(s.real, &fileSize) != SQLITE_OK) return false;
    const int size = s.keys->pageSize;
    if (fileSize % size != 0) return false;
    s.raw.resize(size_t(size));
    for (sqlite3_int64 i = 0; i < fileSize / size; ++i) {
        if (readRaw(s, s.raw.data(), size, i * size) != SQLITE_OK ||
            !s.cipher.authentic(*s.keys, uint32_t(i + 1), s.raw.data()))
            return false;
    }
    return true;
}

// Reads the log as SQLite's recovery would: the frames from the start whose
// salts are the header's and whose checksums (over the stored bytes) hold.
// Each of those must be authentic; their checksums are taken again over
// the plain frames. False when one is not authentic.
bool scanWal(State& s) {
    sqlite3_int64 fileSize = 0;
    unsigned char header[WalHeaderBytes];
    if (s.real->pMethods->xFileSize(s.real, &fileSize) != SQLITE_OK) return false;
    if (fileSize < WalHeaderBytes || readRaw(s, header, WalHeaderBytes, 0) != SQLITE_OK) return true;
    const uint32_t magic = bigEndian32(header);
    if ((magic & 0xFFFFFFFE) != 0x377f0682 || int(bigEndian32(header + 8)) != s.keys->pageSize) return true;
    const bool bigEndianWords = magic & 1;
    uint32_t sum[2] = {0, 0};
    walChecksum(bigEndianWords, header, 24, sum);
    if (sum[0] != bigEndian32(header + 24) || sum[1] != bigEndian32(header + 28)) return true;
    uint32_t plainSum[2] = {sum[0], sum[1]};

    const int size = s.keys->pageSize;
    const int frameBytes = FrameHeaderBytes + size;
    std::vector<unsigned char> frame(static_cast<size_t>(frameBytes)), plain(static_cast<size_t>(size));
    for (sqlite3_int64 at = WalHeaderBytes; at + frameBytes <= fileSize; at += frameBytes) {
        if (readRaw(s, frame.data(), frameBytes, at) != SQLITE_OK) break;
        const uint32_t pgno = bigEndian32(frame.data());
        if (pgno == 0 || std::memcmp(frame.data() + 8, header + 16, 8) != 0) break;
        walChecksum(bigEndianWords, frame.data(), 8, sum);
        walChecksum(bigEndianWords, frame.data() + FrameHeaderBytes, size_t(size), sum);
        if (sum[0] != bigEndian32(frame.data() + 16) || sum[1] != bigEndian32(frame.data() + 20)) break;
        if (!s.cipher.decrypt(*s.keys, pgno, frame.data() + FrameHeaderBytes, plain.data())) return false;
        walChecksum(bigEndianWords, frame.data(), 8, plainSum);
        walChecksum(bigEndianWords, plain.data(), size_t(size), plainSum);
        s.walSums.push_back(plainSum[0]);
        s.walSums.push_back(plainSum[1]);
    }
    return true;
}

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    const bool database = flags & SQLITE_OPEN_MAIN_DB;
    const bool wal = flags & SQLITE_OPEN_WAL;
    // A rollback journal would have to be decrypted too: a file left with
    // one is not read. Temporary files are SQLite's own, plain.
    if (flags & SQLITE_OPEN_MAIN_JOURNAL) return SQLITE_CANTOPEN;
    if (!database && !wal) return baseVfs->xOpen(baseVfs, name, f, flags, outFlags);

    auto* file = reinterpret_cast<KeyedFile*>(f);
    file->base.pMethods = nullptr;
    file->state = nullptr;
    std::shared_ptr<const Keys> walKeys;
    if (wal) {
        const std::string walName = name ? name : "";
        if (walName.size() < 4) return SQLITE_CANTOPEN;
        auto found = openFiles().find(walName.substr(0, walName.size() - 4));
        if (found == openFiles().end()) return SQLITE_CANTOPEN;
        walKeys = found->second;
    } else if (!keyForOpen || !name) {
        return SQLITE_CANTOPEN;
    }

    auto s = std::make_unique<State>();
    s->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + RealOffset);
    std::memset(s->real, 0, size_t(baseVfs->szOsFile));
    // The database file is opened for reading only. SQLite opens (and, if
    // need be, makes) the log as it does beside any database in WAL mode;
    // nothing is written to it through this layer.
    const int fileFlags =
        wal ? flags : (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    int rc = baseVfs->xOpen(baseVfs, name, s->real, fileFlags, outFlags);
    if (rc != SQLITE_OK) {
        if (s->real->pMethods) s->real->pMethods->xClose(s->real);
        return rc;
    }
    s->wal = wal;
    if (wal) {
        s->keys = walKeys;
        if (!scanWal(*s)) rc = SQLITE_NOTADB;
    } else {
        s->keys = keysOf(*s, *keyForOpen);
        if (!s->keys || !allPagesAuthentic(*s)) rc = SQLITE_NOTADB;
    }
    if (rc != SQLITE_OK) {
        s->real->pMethods->xClose(s->real);
        return rc;
    }
    if (!wal) {
        s->name = name;
        openFiles()[s->name] = s->keys;
    }
    file->state = s.release();
    file->base.pMethods = &KeyedMethods;
    return SQLITE_OK;
}

}  // namespace

namespace KeyedFileVfs {

const char* Name() {
    if (!baseVfs) {
        baseVfs = sqlite3_vfs_find("unix");
        keyedVfs = *baseVfs;
        keyedVfs.zName = "brevolan-keyed";
        keyedVfs.szOsFile = RealOffset + baseVfs->szOsFile;
        keyedVfs.pNext = nullptr;
        keyedVfs.xOpen = xOpen;
        sqlite3_vfs_register(&keyedVfs, 0);
    }
    return keyedVfs.zName;
}

KeyForOpen::KeyForOpen(const String& key) { keyForOpen = &key; }
KeyForOpen::~KeyForOpen() { keyForOpen = nullptr; }

}  // namespace KeyedFileVfs
