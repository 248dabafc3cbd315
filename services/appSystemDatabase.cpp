#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"

namespace appSystem {

CsvGrid CSVa;
String dataPath;
Ref<SqlFileDatabase> db;
String sourceFilepath;
String destinationFilePath;
Output output;

String vanishedOutputMessage(const String& destination) {
    return "The file " + destination + " could not be made: the unfinished file or its folder was moved or " +
           "deleted while the converter was writing it." + EndOfLine + "Convert the file again.";
}

namespace {
// The key of RSD/CAX files that the Brevolan program protects.
const String DatabaseKey = "plovertarn";
// SQLite's code for a file that stayed locked by another program.
constexpr int64_t FileLocked = 5;
// What the last connectData found: dataPath held by another program.
bool inUse = false;

// A source that needs recovery: a file with a hot journal beside it, left by
// a program that stopped in the middle of a change. Opened for reading only,
// SQLite cannot roll the change back and the file does not open. It is read
// from a private copy of the file and its journal in the temporary folder
// instead, which SQLite recovers as it would recover the file, so that the
// file and its journal stay byte for byte as they are.
class RecoveredCopy {
public:
    ~RecoveredCopy() { remove(); }

    // The path to open for `source`: its copy when it needs recovery (made
    // once, while the file's journal stays as it was), else the source.
    String pathFor(const String& source) {
        if (!needsRecovery(source)) {
            remove();
            return source;
        }
        const String journal = source + "-journal";
        const std::error_code noError;
        std::error_code error;
        const auto stamp = std::filesystem::last_write_time(journal.c_str(), error);
        if (error == noError && source == source_ && stamp == journalStamp_ && !copy_.empty()) {
            release();
            return copy_;
        }
        remove();
        if (!make(source)) return source;
        source_ = source;
        journalStamp_ = stamp;
        return copy_;
    }

private:
    // SQLite's unix locking: the reserved byte and the shared range after
    // the pending byte, and the first bytes of a journal's header.
    static constexpr off_t ReservedByte = 0x40000001;
    static constexpr off_t SharedFirst = 0x40000002, SharedBytes = 510;
    static constexpr unsigned char JournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};

    // A journal with a header beside a file that no program is changing
    // (none holds its reserved lock): a change that was never finished. The
    // file is held with a read lock while it is looked at and copied, so
    // that no program changes or recovers it meanwhile.
    bool needsRecovery(const String& source) {
        const int journal = ::open((source + "-journal").c_str(), O_RDONLY | O_CLOEXEC);
        if (journal < 0) return false;
        unsigned char head[sizeof JournalMagic] = {};
        const bool hasHeader = ::read(journal, head, sizeof head) == ssize_t(sizeof head) &&
                               std::memcmp(head, JournalMagic, sizeof head) == 0;
        ::close(journal);
        if (!hasHeader) return false;
        release();
        held_ = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (held_ < 0) return false;
        struct flock lock = {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = SharedFirst;
        lock.l_len = SharedBytes;
        // A program that is writing the file holds it: it is read as it is.
        if (::fcntl(held_, F_OFD_SETLK, &lock) != 0) return release(), false;
        struct flock reserved = {};
        reserved.l_type = F_WRLCK;
        reserved.l_whence = SEEK_SET;
        reserved.l_start = ReservedByte;
        reserved.l_len = 1;
        if (::fcntl(held_, F_OFD_GETLK, &reserved) != 0 || reserved.l_type != F_UNLCK) return release(), false;
        return true;
    }
    void release() {
        if (held_ >= 0) ::close(held_);
        held_ = -1;
    }

    // Copies the file and its journal, under the file's own name, into a
    // new folder that only this user may enter.
    bool make(const String& source) {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "brevolan-recovery-XXXXXX";
        std::string name = folder.string();
        const bool made = ::mkdtemp(name.data()) != nullptr;
        if (made) {
            folder_ = name;
            const std::filesystem::path copy = std::filesystem::path(name) / std::filesystem::path(source).filename();
            std::error_code error;
            if (std::filesystem::copy_file(source.c_str(), copy, error) &&
                std::filesystem::copy_file((source + "-journal").c_str(), copy.string() + "-journal", error))
                copy_ = copy.string();
        }
        release();
        if (copy_.empty()) remove();
        return !copy_.empty();
    }
    void remove() {
        release();
        if (!folder_.empty()) {
            // The shared database may be open on the copy.
            if (db && db->DatabaseFile && db->DatabaseFile->AbsolutePath() == copy_) db->Close();
            std::error_code error;
            std::filesystem::remove_all(folder_.c_str(), error);
        }
        folder_.clear();
        copy_.clear();
        source_.clear();
    }

    String source_, folder_, copy_;
    std::filesystem::file_time_type journalStamp_;
    int held_ = -1;
};

RecoveredCopy recovered;
}  // namespace

void connectData() {
    try {
        inUse = false;
        if (dataPath.empty()) return;
        // A source is never written; a copy that is recovered is.
        const bool source = dataPath != output.createdFile;
        const String path = source ? recovered.pathFor(dataPath) : dataPath;
        Ref<FolderItem> file = GetFolderItem(path, 0);
        // The previous object goes with its last reference.
        db = New<SqlFileDatabase>();
        db->DatabaseFile = file;
        db->ReadOnly = path == dataPath && source;
        // No conversion takes more animals than the CSV grid holds: a
        // source's select of more stops there.
        db->MaxRows = CsvGrid::LastRow;
        db->EncryptionKey = DatabaseKey;
        bool opened = db->Connect();
        // A file held by another program says nothing about its key: it is
        // not waited for a second time.
        inUse = !opened && db->ErrorCode() == FileLocked;
        if (!opened && !inUse) {
            db->EncryptionKey = "";
            opened = db->Connect();
            inUse = !opened && db->ErrorCode() == FileLocked;
        }
        if (opened) return;
        if (inUse) {
            MsgBox("The file " + dataPath + " is in use by another program.");
            return;
        }
        MsgBox("Cannot open database.");
    } catch (...) {
    }
}

bool dataInUse() { return inUse; }

void showDatabaseError(const Database& database) {
    Beep();
    MsgBox("Database Error: " + Str(database.ErrorCode()) + EndOfLine + EndOfLine + database.ErrorMessage());
}

Ref<RecordSet> GetRecordset(const String& sql) {
    try {
        connectData();
        return db->SQLSelect(sql, false);
    } catch (...) {
        return nullptr;
    }
}

bool saveToFile(const Ref<Database>& database, const DatabaseRecord& record, const String& table) {
    try {
        database->InsertRecord(table, record);
        // A failed insert or commit is reported, not taken for success.
        if (database->ErrorCode() == 0) database->Commit();
        if (database->ErrorCode() == 0) return true;
    } catch (const RuntimeException&) {
    }
    showDatabaseError(*database);
    return false;
}

void closeData() {
    try {
        db->Close();
    } catch (const NilObjectException&) {
    }
}

bool UpdateVersion(const Ref<Database>& database) {
    Ref<RecordSet> settings = database->SQLSelect("SELECT * FROM settings");
    if (!settings) {
        showDatabaseError(*database);
        return false;
    }
    if (settings->Eof()) {
        DatabaseRecord record;
        record.Column("Version", "20402");
        return saveToFile(database, record, "settings");
    }
    Ref<DatabaseField> version = settings->Field("Version");
    if (version) {
        settings->Edit();
        version->SetStringValue("20402");
        settings->Update();
        if (database->ErrorCode() == 0) database->Commit();
        if (database->ErrorCode() == 0) return true;
    } else {
        // A table without the column: the database names what is missing.
        database->SQLSelect("SELECT Version FROM settings");
    }
    showDatabaseError(*database);
    return false;
}

String getRsdCustomHeading(const String& field) {
    try {
        for (int n = 1; n <= 12; ++n) {
            const String heading = "CustomName" + Str(int64_t(n));
            // Only the heading's column is read; a table without it gives "".
            if (TextEquals(field, "CustomField" + Str(int64_t(n))))
                return GetFieldString(GetRecordset("SELECT " + heading + " FROM settings"), heading);
        }
        // Every call reopens the file, as the select does for a known key.
        connectData();
    } catch (...) {
    }
    return String();
}

}  // namespace appSystem
