// Pedigree linking and sex derivation on any Database (the new RSD/CAX file
// of an import, or an ODBC connection to a CAV file). Only plain SQL text and
// the generic record sets are used, so every value put into a statement is
// written as a literal whose apostrophes are doubled: an id or a name can
// never end its literal and change what the statement does.

#include <unordered_map>
#include <unordered_set>

#include "framework/EventLoop.h"
#include "services/appSystem.h"
#include "ui/frmWait.h"

namespace appSystem {

namespace {

// The text as an SQL string literal.
String literal(const String& text) {
    String out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// The text of a column of the current row; "" when missing or empty.
String text(const Ref<RecordSet>& rs, const String& column) {
    Ref<DatabaseField> field = rs->Field(column);
    return field ? field->StringValue() : String();
}

// The bar's value for `count` of `total`, computed as the progress convention
// has it: the integer part of count / total * total.
int barValue(int64_t count, int64_t total) {
    if (total == 0) return int(count);
    return int(double(count) / double(total) * double(total));
}

// The progress total for the main record set: CAV record sets cannot count
// their rows, so a separate select is stepped through. -1 when that select
// fails.
int64_t rowTotal(const Ref<Database>& database, const String& type, const Ref<RecordSet>& rs) {
    if (!TextEquals(type, "cav")) return rs->RecordCount();
    Ref<RecordSet> ids = database->SQLSelect("SELECT id FROM tree");
    if (!ids) return -1;
    return getODBCrecords(ids);
}

}  // namespace

int64_t getODBCrecords(const Ref<RecordSet>& rs) {
    rs->MoveFirst();
    int64_t n = 0;
    while (!rs->Eof()) {
        ++n;
        rs->MoveNext();
        YieldToEventLoop();
    }
    rs->MoveFirst();
    return n + 1;
}

void convertIdRecordToName(const Ref<Database>& database, const String& type) {
    Ref<RecordSet> rs = database->SQLSelect("Select oldId,fatherId,motherId From tree");
    if (!rs) return;
    const int64_t total = rowTotal(database, type, rs);
    if (total < 0) return;

    // The update for a parent id sets the name column of every row with that
    // id, and the name it looks up does not change meanwhile: running it again
    // for a later sibling would change nothing, so each id is done once.
    std::unordered_set<String> doneFathers, doneMothers;
    auto fillName = [&](const String& id, const char* nameColumn, const char* idColumn,
                        std::unordered_set<String>& done) {
        if (id.empty() || done.count(id)) return;
        Ref<RecordSet> lookup = database->SQLSelect("SELECT name FROM tree WHERE oldId = " + literal(id));
        if (!lookup) return;
        const String name = text(lookup, "name");
        database->SQLExecute(String("UPDATE tree SET ") + nameColumn + " = " + literal(name) + " WHERE " +
                             idColumn + "  = " + literal(id));
        done.insert(id);
    };

    int64_t i = 0;
    while (!rs->Eof()) {
        fillName(text(rs, "fatherId"), "ps", "fatherId", doneFathers);
        fillName(text(rs, "motherId"), "pd", "motherId", doneMothers);

        frmWait->Show();
        frmWait->ProgressBar1->SetVisible(true);
        frmWait->ProgressBar1->SetMaximum(int(total));
        if (i % 20 == 0) {
            frmWait->lblMessage->SetText("Getting name from id  #" + Str(i));
            frmWait->ProgressBar1->SetValue(barValue(i, total));
            frmWait->Refresh(true);
        }
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
    database->Commit();
}

void convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn) {
    Ref<RecordSet> rs = database->SQLSelect("Select * From " + table);
    if (!rs) return;
    const int64_t total = rs->RecordCount();

    // The tree's names and ids do not change while the links are written, so
    // the id found for a name is kept for the next row of that name.
    std::unordered_map<String, String> idByName;
    int64_t k = 0;
    while (!rs->Eof()) {
        rs->Edit();
        const String name = text(rs, nameColumn);
        bool linked = false;
        if (!name.empty() && Lowercase(name) != "unknown") {
            const String key = rma(name);
            auto found = idByName.find(key);
            if (found == idByName.end()) {
                Ref<RecordSet> lookup = database->SQLSelect("Select id From tree WHERE name = " + literal(key));
                if (lookup) found = idByName.emplace(key, text(lookup, "id")).first;
            }
            if (found != idByName.end()) {
                if (Ref<DatabaseField> link = rs->Field(idColumn)) link->SetStringValue(found->second);
                rs->Update();
                linked = true;
            }
        }
        if (linked) {
            ++k;
            frmWait->ProgressBar1->SetVisible(true);
            frmWait->ProgressBar1->SetMaximum(int(total));
            if (k % 20 == 0) {
                frmWait->lblMessage->SetText("Linked " + Str(k) + " " + idColumn + " records for Table " +
                                             Uppercase(table));
                frmWait->ProgressBar1->SetValue(barValue(k, total));
                frmWait->Refresh(true);
            }
        }
        rs->MoveNext();
        YieldToEventLoop();
    }
    database->Commit();
}

void findSex(const Ref<Database>& database, const String& type) {
    Ref<RecordSet> rs = database->SQLSelect("Select name,fatherId,motherId,ps,pd From tree");
    if (!rs) return;
    const int64_t total = rowTotal(database, type, rs);
    if (total < 0) return;

    // In a CAV file the links still hold the source file's ids, so a parent is
    // the row whose oldId is the link. In an RSD/CAX file the links that were
    // rewritten from the parent's name hold the parent row's own id; only a
    // link whose name was empty or "unknown" was left as a source id.
    const bool rsd = !TextEquals(type, "cav");
    auto parentRow = [&](const String& link, const String& parentName) {
        const bool byName = rsd && !parentName.empty() && Lowercase(parentName) != "unknown";
        return String(byName ? "id = " : "oldId = ") + literal(link);
    };

    int64_t i = 0;
    auto mark = [&](const String& link, const String& parentName, const char* sex) {
        if (link.empty()) return;
        // Rows that already hold the sex are left alone: the result is the
        // same, and a commit without changes costs the disk nothing.
        database->SQLExecute(String("UPDATE tree SET sex = '") + sex + "' WHERE " + parentRow(link, parentName) +
                             " AND (sex IS NULL OR sex <> '" + sex + "')");
        database->Commit();
        frmWait->Show();
        frmWait->ProgressBar1->SetVisible(true);
        frmWait->ProgressBar1->SetMaximum(int(total));
        frmWait->ProgressBar1->SetValue(barValue(i, total));
        frmWait->lblMessage->SetText("Found sex  of " + rpa(text(rs, "name")) + " - " + sex);
        frmWait->Refresh(true);
    };

    while (!rs->Eof()) {
        mark(text(rs, "fatherId"), text(rs, "ps"), "male");
        mark(text(rs, "motherId"), text(rs, "pd"), "female");
        ++i;
        rs->MoveNext();
        YieldToEventLoop();
    }
}

}  // namespace appSystem
