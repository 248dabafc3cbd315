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

namespace {
// The key of RSD/CAX files that the Brevolan program protects.
const String DatabaseKey = "plovertarn";
}  // namespace

void connectData() {
    try {
        if (dataPath.empty()) return;
        Ref<FolderItem> file = GetFolderItem(dataPath, 0);
        // The previous object goes with its last reference.
        db = New<SqlFileDatabase>();
        db->DatabaseFile = file;
        db->EncryptionKey = DatabaseKey;
        if (db->Connect()) return;
        db->EncryptionKey = "";
        if (db->Connect()) return;
        MsgBox("Cannot open database.");
    } catch (...) {
    }
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
    try {
        db->InsertRecord(table, record);
        // A failed insert or commit is reported, not taken for success.
        if (db->ErrorCode() == 0) db->Commit();
        if (db->ErrorCode() == 0) return true;
    } catch (const RuntimeException&) {
    }
    MsgBox(db->ErrorMessage());
    return false;
}

void closeData() {
    try {
        db->Close();
    } catch (const NilObjectException&) {
    }
}

void UpdateVersion() {
    Ref<RecordSet> rs = GetRecordset("SELECT * FROM settings");
    if (rs->Eof()) {
        DatabaseRecord record;
        record.Column("Version", "20402");
        saveToFile(record, "settings");
        return;
    }
    rs->Edit();
    rs->Field("Version")->SetStringValue("20402");
    rs->Update();
    db->Commit();
}

String getRsdCustomHeading(const String& field) {
    try {
        Ref<RecordSet> rs = GetRecordset("SELECT * FROM settings");
        for (int n = 1; n <= 12; ++n)
            if (TextEquals(field, "CustomField" + Str(int64_t(n)))) return GetFieldString(rs, "CustomName" + Str(int64_t(n)));
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
