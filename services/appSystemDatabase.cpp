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

Request request(const String& format) { return Request{sourceFilepath, destinationFilePath, format}; }

String vanishedOutputMessage(const String& destination) {
    return "The file " + destination + " could not be made: the unfinished file or its folder was moved or " +
           "deleted while the converter was writing it." + EndOfLine + "Convert the file again.";
}

namespace {
// The key of RSD/CAX files that the Brevolan program protects.
const String DatabaseKey = "plovertarn";
// SQLite's code for a file that stayed locked by another program.
constexpr int64_t FileLocked = 5;
// What the last connectData found: dataPath opened, or held by another program.
bool opened = false;
bool inUse = false;
}  // namespace

void connectData() {
    try {
        opened = inUse = false;
        if (dataPath.empty()) return;
        Ref<FolderItem> file = GetFolderItem(dataPath, 0);
        // The previous object goes with its last reference.
        db = New<SqlFileDatabase>();
        db->DatabaseFile = file;
        db->ReadOnly = dataPath != output.createdFile;
        db->EncryptionKey = DatabaseKey;
        opened = db->Connect();
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

bool saveToFile(const DatabaseRecord& record, const String& table) {
    connectData();
    return saveToFile(db, record, table);
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

namespace {

// Stamps the version in `settings`, the record set of "SELECT * FROM
// settings" on `database`; the insert into an empty table goes through
// `insert`.
template <class Insert>
bool stampVersion(const Ref<Database>& database, const Ref<RecordSet>& settings, Insert insert) {
    if (settings->Eof()) {
        DatabaseRecord record;
        record.Column("Version", "20402");
        return insert(record);
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

}  // namespace

bool UpdateVersion() {
    Ref<RecordSet> rs = GetRecordset("SELECT * FROM settings");
    if (!rs) {
        // A file that did not open has been told about by connectData.
        if (opened) showDatabaseError(*db);
        return false;
    }
    return stampVersion(db, rs, [](const DatabaseRecord& record) { return saveToFile(record, "settings"); });
}

bool UpdateVersion(const Ref<Database>& database) {
    Ref<RecordSet> rs = database->SQLSelect("SELECT * FROM settings");
    if (!rs) {
        showDatabaseError(*database);
        return false;
    }
    return stampVersion(database, rs,
                        [&database](const DatabaseRecord& record) { return saveToFile(database, record, "settings"); });
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

String getNameFromId(const Ref<Database>& database, const String& id) {
    try {
        // The id goes into the SQL text as it is, so only a number is looked
        // up: a text such as "12-3" would otherwise be computed into another
        // animal's id.
        if (!IsNumeric(id)) return String();
        Ref<RecordSet> rs = database->SQLSelect("SELECT name FROM tree WHERE id =" + id);
        if (!rs) return String();
        return rs->Field("name")->StringValue();
    } catch (...) {
        return String();
    }
}

}  // namespace appSystem
