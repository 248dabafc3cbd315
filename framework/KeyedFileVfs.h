#pragma once
// Reading database files made with an encryption key: an SQLite file-system
// layer ("VFS") that decrypts, read-only, the pages of files written with
// SQLCipher 3's defaults. The converter only reads such files (the files it
// makes have no key), so nothing here ever encrypts or writes.
//
// The format, per file:
// - the first 16 bytes are a random salt; the page key is PBKDF2-HMAC-SHA1
//   of the key text and the salt (64000 iterations, 32 bytes), the key of
//   the pages' HMACs PBKDF2-HMAC-SHA1 of the page key and the salt with
//   every byte XOR 0x3a (2 iterations, 32 bytes);
// - every page ends in 48 reserved bytes: a 16-byte IV and a 20-byte
//   HMAC-SHA1 of the page's encrypted bytes, the IV and the page number
//   (4 bytes, little-endian); the rest of the page (after the salt, on
//   page 1) is AES-256-CBC with that IV and no padding;
// - page 1 decrypted reads back, in place of the salt, "SQLite format 3\0".
// The frames of a write-ahead log beside the file hold pages encrypted
// alike; their checksums are over the encrypted bytes, so the log that
// SQLite reads through this layer has them taken again over the plain ones.
//
// A file whose first page does not decrypt with the key (a wrong key, no
// key, not such a file), or any page or log frame whose HMAC does not
// match (a damaged or altered file), does not open: every page is checked
// when the file is opened, so that none is read unchecked later.

#include "framework/Text.h"

namespace KeyedFileVfs {

// The name of the layer, registered with SQLite at the first call; pass it
// to sqlite3_open_v2 with SQLITE_OPEN_READONLY, inside a KeyForOpen.
const char* Name();

// The key that the opens of database files through the layer take while it
// lives (one thread: the event loop's).
class KeyForOpen {
public:
    explicit KeyForOpen(const String& key);
    ~KeyForOpen();
    KeyForOpen(const KeyForOpen&) = delete;
    KeyForOpen& operator=(const KeyForOpen&) = delete;
};

}  // namespace KeyedFileVfs
