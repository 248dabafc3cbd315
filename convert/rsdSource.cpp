#include "convert/rsdSource.h"

#include <cmath>

namespace rsdSource {

NamesById::NamesById(const Ref<RecordSet>& tree) {
    if (!tree->Field("id")) return;
    for (tree->MoveFirst(); !tree->Eof(); tree->MoveNext()) {
        // Only a row whose id is stored as an integer can be named by a link:
        // an id of text or a real number ('abc', 1e20) equals no link, and is
        // never read as the integer it is not.
        const Variant id = tree->Field("id")->Value();
        if (id.GetType() != Variant::Type::Integer) continue;
        Ref<DatabaseField> name = tree->Field("name");
        names_.emplace(id.IntegerValue(), name ? name->StringValue() : String());
    }
    tree->MoveFirst();
}

String NamesById::operator()(const String& link) const {
    // Read with a point as the decimal separator whatever the locale, as
    // IsNumeric reads it: "1.5" is no whole number under a German desktop
    // either.
    if (!IsNumeric(link)) return String();
    const double value = Val(Trim(link));
    if (value != std::floor(value) || std::fabs(value) > 9.0e18) return String();
    auto found = names_.find(int64_t(value));
    return found == names_.end() ? String() : found->second;
}

String unreadableMessage(const String& path) {
    return "No animals could be read from " + path + EndOfLine +
           "Make sure that it is a Brevolan database file (.rsd or .cax).";
}

bool hasStandInTable(const Ref<Database>& db) {
    if (!db) return false;
    Ref<RecordSet> found = db->SQLSelect(
        "SELECT count(*) FROM sqlite_master WHERE lower(name) IN "
        "('tree', 'settings', 'breeding', 'soldstock', 'vaccinations') "
        "AND (type <> 'table' OR sql LIKE 'create virtual%')");
    return found && !found->Eof() && found->ColumnValue(0).IntegerValue() > 0;
}

}  // namespace rsdSource
