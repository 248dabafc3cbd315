#include "convert/rsdSource.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace rsdSource {

NamesById::NamesById(const Ref<RecordSet>& tree) {
    const int id = tree->ColumnIndex("id");
    if (id < 0) return;
    const int name = tree->ColumnIndex("name");
    if (tree->RecordCount() > 0) names_.reserve(size_t(tree->RecordCount()));
    for (tree->MoveFirst(); !tree->Eof(); tree->MoveNext()) {
        // Only a row whose id is stored as an integer can be named by a link:
        // an id of text or a real number ('abc', 1e20) equals no link, and is
        // never read as the integer it is not.
        const Variant value = tree->ColumnValue(id);
        if (value.GetType() != Variant::Type::Integer) continue;
        std::string_view text;
        names_.emplace(value.IntegerValue(), name < 0                        ? String()
                                             : tree->ColumnText(name, text) ? String(text)
                                                                            : tree->ColumnValue(name).StringValue());
    }
    tree->MoveFirst();
}

String NamesById::operator()(const String& link) const {
    // A link of up to 15 digits alone, as the tree's own links are, is its
    // number exactly, as Val reads it below.
    if (!link.empty() && link.size() <= 15 &&
        std::all_of(link.begin(), link.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        int64_t id = 0;
        for (char c : link) id = id * 10 + (c - '0');
        return find(id);
    }
    // Read with a point as the decimal separator whatever the locale, as
    // IsNumeric reads it: "1.5" is no whole number under a German desktop
    // either.
    if (!IsNumeric(link)) return String();
    const double value = Val(Trim(link));
    if (value != std::floor(value) || std::fabs(value) > 9.0e18) return String();
    return find(int64_t(value));
}

String NamesById::find(int64_t id) const {
    auto found = names_.find(id);
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
