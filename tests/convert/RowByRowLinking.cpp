#include "tests/convert/RowByRowLinking.h"

#include <unordered_map>

#include "framework/EventLoop.h"
#include "services/appSystem.h"

namespace rowByRow {

namespace {

String literal(const String& text) { return SQLQuoted(text, '\''); }

String text(const Ref<RecordSet>& rs, const String& column) {
    Ref<DatabaseField> field = rs->Field(column);
    return field ? field->StringValue() : String();
}

bool committed(const Ref<Database>& database) {
    database->Commit();
    return database->ErrorCode() == 0;
}

struct Parent {
    const char* link;
    const char* name;
};
const Parent Parents[] = {{"fatherId", "ps"}, {"motherId", "pd"}};

}  // namespace

bool convertIdRecordToName(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select id,name,oldId,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    // The source ids kept by the import, by tree id; else the stored oldIds.
    std::unordered_map<int64_t, String> sourceIds;
    if (Ref<RecordSet> kept = database->SQLSelect("SELECT id, oldId FROM sourceIds"))
        for (; !kept->Eof(); kept->MoveNext())
            sourceIds.emplace(kept->Field("id")->IntegerValue(), text(kept, "oldId"));
    const bool keptByImport = !sourceIds.empty();
    std::unordered_map<String, int64_t> firstWithId;
    std::unordered_map<int64_t, String> names;
    for (; !rs->Eof(); rs->MoveNext()) {
        const int64_t id = rs->Field("id")->IntegerValue();
        names.emplace(id, text(rs, "name"));
        auto kept = sourceIds.find(id);
        const String sourceId =
            keptByImport ? (kept == sourceIds.end() ? String() : kept->second) : text(rs, "oldId");
        if (sourceId.empty()) continue;
        auto [at, added] = firstWithId.emplace(sourceId, id);
        if (!added && id < at->second) at->second = id;
    }
    rs->MoveFirst();

    int64_t i = 0;
    while (!rs->Eof()) {
        rs->Edit();
        bool changed = false;
        for (const Parent& parent : Parents) {
            const String sourceId = text(rs, parent.link);
            if (sourceId.empty()) continue;
            auto found = firstWithId.find(sourceId);
            if (found == firstWithId.end()) {
                rs->Field(parent.link)->SetStringValue("");
            } else {
                rs->Field(parent.link)->SetStringValue(Str(found->second));
                rs->Field(parent.name)->SetStringValue(names[found->second]);
            }
            changed = true;
        }
        if (changed) {
            rs->Update();
            if (database->ErrorCode() != 0) return false;
        }

        progress.Show();
        progress.SetBarVisible(true);
        progress.SetMaximum(int(total));
        if (i % 20 == 0) {
            progress.SetMessage("Getting name from id  #" + Str(i));
            progress.SetValue(ProgressBarValue(i, total));
            progress.Refresh();
        }
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select * From " + table);
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    std::unordered_map<String, String> idByName;
    int64_t k = 0;
    while (!rs->Eof()) {
        rs->Edit();
        const String name = text(rs, nameColumn);
        const bool linkedById = !text(rs, idColumn).empty();
        if (!linkedById && !name.empty() && Lowercase(name) != "unknown") {
            const String key = appSystem::rma(name);
            auto found = idByName.find(key);
            if (found == idByName.end()) {
                Ref<RecordSet> lookup = database->SQLSelect("Select id From tree WHERE name = " + literal(key));
                if (lookup) found = idByName.emplace(key, text(lookup, "id")).first;
            }
            if (found != idByName.end()) {
                if (Ref<DatabaseField> link = rs->Field(idColumn)) link->SetStringValue(found->second);
                rs->Update();
                if (database->ErrorCode() != 0) return false;
                ++k;
                progress.SetBarVisible(true);
                progress.SetMaximum(int(total));
                if (k % 20 == 0) {
                    progress.SetMessage("Linked " + Str(k) + " " + idColumn + " records for Table " +
                                        Uppercase(table));
                    progress.SetValue(ProgressBarValue(k, total));
                    progress.Refresh();
                }
            }
        }
        rs->MoveNext();
        YieldToEventLoop();
    }
    return committed(database);
}

bool findSex(const Ref<Database>& database, Progress& progress) {
    Ref<RecordSet> rs = database->SQLSelect("Select name,fatherId,motherId,ps,pd From tree");
    if (!rs) return true;
    const int64_t total = rs->RecordCount();

    int64_t i = 0;
    auto mark = [&](const String& link, const char* sex) {
        if (link.empty()) return true;
        database->SQLExecute("UPDATE tree SET sex = " + literal(sex) + " WHERE id = " + literal(link));
        if (database->ErrorCode() != 0 || !committed(database)) return false;
        progress.Show();
        progress.SetBarVisible(true);
        progress.SetMaximum(int(total));
        progress.SetValue(ProgressBarValue(i, total));
        progress.SetMessage("Found sex  of " + appSystem::rpa(text(rs, "name")) + " - " + sex);
        progress.Refresh();
        return true;
    };
    while (!rs->Eof()) {
        if (!mark(text(rs, "fatherId"), "male") || !mark(text(rs, "motherId"), "female")) return false;
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
    return true;
}

}  // namespace rowByRow
