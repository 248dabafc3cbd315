#include "convert/csvHeadingAliases.h"

#include <algorithm>
#include <map>

#include "framework/EventLoop.h"
#include "framework/Exceptions.h"
#include "framework/Interaction.h"
#include "services/publicVariables.h"

namespace csvHeadingAliases {

const TableVariant RsdVariant{35, 15, 12, "CustomName"};
const TableVariant CavVariant{17, 12, 12, "fldCustomName"};

namespace {

std::vector<Group> makeGroups() {
    using C = Conversion;
    std::vector<Group> groups = {
        {{"name", "animal name"}, "name", C::Apostrophes, 0},
        {{"color", "colour"}, "colour", C::Apostrophes, 0},
        {{"breed"}, "breed", C::Apostrophes, 0},
        {{"sex"}, "sex", C::Sex, 0},
        {{"dob", "birthdate", "born", "birth date"}, "DOB", C::Date, 0},
        {{"uid", "id", "oldid"}, "oldId", C::Unchanged, 0},
        {{"sireId", "fatherId"}, "fatherId", C::ParentId, 0},
        {{"damId", "motherId"}, "motherId", C::ParentId, 0},
        {{"father", "sire", "sire name", "ps", "cock", "buck", "boar", "bull"}, "ps", C::Apostrophes, 0},
        {{"mother", "dam", "dam name", "pd", "hen", "doe", "sow", "cow"}, "pd", C::Apostrophes, 0},
        {{"tag", "reg", "reg no.", "reg no", "registration", "tag/reg."}, "tag", C::Unchanged, 0},
        {{"prefix", "title", "pre title", "show title", "titles"}, "prefix", C::Unchanged, 0},
        {{"suffix", "post title", "obedience"}, "suffix", C::Unchanged, 0},
        {{"health", "medication", "vaccinations", "vetinary", "vet", "treatment", "treatments"}, "health",
         C::Apostrophes, 0},
        {{"cage no.", "cage", "pen"}, "cage", C::Unchanged, 0},
        {{"callname", "pet name", "call name"}, "", C::NotImported, 0},
        {{"notes", "awards", "certifications"}, "notes", C::Apostrophes, 0},
        {{"date purchased", "purchased date", "purchase date", "date of purchase", "bought", "date bought"},
         "dateBought", C::Date, 0},
        {{"purchased from", "bought from", "seller"}, "BoughtFrom", C::Apostrophes, 0},
        {{"purchase price", "price", "paid", "bought for"}, "purchasePrice", C::Unchanged, 0},
    };
    for (int n = 1; n <= 15; ++n) {
        const String number = Str(int64_t(n));
        groups.push_back({{"customfield" + number, "user field" + number, number}, "customfield" + number,
                          C::Apostrophes, n});
    }
    return groups;
}

}  // namespace

const std::vector<Group>& Groups() {
    static const std::vector<Group> groups = makeGroups();
    return groups;
}

bool hasAnimalOne(const CsvGrid& grid, const Mapping& map) {
    const int64_t idColumn = map.column(OldId), nameColumn = map.column(Name);
    if (idColumn == AbsentColumn) return false;
    for (int64_t r = 1; !grid.endOfRows(r, nameColumn); ++r)
        if (grid.cell(r, idColumn) == "1") return true;
    return false;
}

namespace {

// Which of `columns` hold a value in some data row.
std::vector<int64_t> columnsWithValues(const CsvGrid& grid, std::vector<int64_t> columns, int64_t nameColumn) {
    std::vector<int64_t> found;
    for (int64_t r = 1; !columns.empty() && !grid.endOfRows(r, nameColumn); ++r) {
        const int64_t width = grid.Width(r);
        for (auto it = columns.begin(); it != columns.end() && *it < width;) {
            if (grid.cell(r, *it).empty()) {
                ++it;
                continue;
            }
            found.push_back(*it);
            it = columns.erase(it);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

Mapping mapHeadings(const CsvGrid& grid, const TableVariant& variant) {
    const std::vector<Group>& groups = Groups();
    Mapping m;
    m.groupColumn.assign(size_t(variant.groupCount), AbsentColumn);
    m.slotColumn.assign(size_t(variant.slotCount), AbsentColumn);

    std::vector<String> slotHeading(size_t(variant.slotCount));  // the heading that holds each slot
    std::vector<bool> slotNamed(size_t(variant.slotCount));       // held by a heading of the slot's own words
    std::map<int64_t, String> notImported;                        // by column: the heading as the file spells it
    std::vector<int64_t> withoutHeading;                          // columns whose heading is empty

    // A heading that lands in a slot without a column in the destination is
    // not imported, nor is one whose slot a later heading takes; the user is
    // told so with the other such headings.
    auto takeSlot = [&](int n, int64_t column, const String& heading) {
        const size_t k = size_t(n - 1);
        if (m.slotColumn[k] != AbsentColumn && n <= variant.storedSlots) notImported[m.slotColumn[k]] = slotHeading[k];
        m.slotColumn[k] = column;
        slotHeading[k] = heading;
        if (n > variant.storedSlots) notImported[column] = heading;
    };

    for (int64_t i = 0; i < AbsentColumn; ++i) {
        const String heading = grid.cell(0, i);
        if (heading.empty()) {
            withoutHeading.push_back(i);
            continue;
        }
        const String h = Lowercase(heading);

        int matched = 0;
        for (int g = 1; g <= variant.groupCount && !matched; ++g)
            for (const String& word : groups[size_t(g - 1)].words)
                if (TextEquals(word, h)) {
                    matched = g;
                    break;
                }

        // The first column of a field keeps it: a later heading of the same
        // field is a column of its own, as a heading that no group knows is
        // (an export writes custom headings such as "notes" beside the
        // field's own).
        const int slotWord = matched ? groups[size_t(matched - 1)].slot : 0;
        if (slotWord ? slotNamed[size_t(slotWord - 1)] : matched && m.groupColumn[size_t(matched - 1)] != AbsentColumn)
            matched = 0;

        if (matched && slotWord) {
            // An explicit slot word takes its slot, free or not, and names it.
            if (slotWord <= variant.storedSlots) m.captions.push_back({variant.captionPrefix + Str(int64_t(slotWord)), h});
            takeSlot(slotWord, i, heading);
            slotNamed[size_t(slotWord - 1)] = true;
        } else if (matched) {
            m.groupColumn[size_t(matched - 1)] = i;
        } else {
            int free = 0;
            for (int n = 1; n <= variant.slotCount && !free; ++n)
                if (m.slotColumn[size_t(n - 1)] == AbsentColumn) free = n;
            if (free) {
                // A slot beyond those the destination stores gets no caption;
                // its column is listed with those not imported.
                if (free <= variant.storedSlots) m.captions.push_back({variant.captionPrefix + Str(int64_t(free)), h});
                takeSlot(free, i, heading);
            } else {
                notImported[i] = heading;
            }
        }
        YieldToEventLoop();
    }

    // Columns without a heading are named by their places, neighbours as
    // one run; one that holds no value (as after the last heading of a
    // spreadsheet's row) loses nothing.
    const std::vector<int64_t> unnamed = columnsWithValues(grid, withoutHeading, m.column(Name));
    for (size_t k = 0; k < unnamed.size();) {
        size_t last = k;
        while (last + 1 < unnamed.size() && unnamed[last + 1] == unnamed[last] + 1) ++last;
        notImported[unnamed[k]] = last == k ? "column " + Str(unnamed[k] + 1) + " (no heading)"
                                            : "columns " + Str(unnamed[k] + 1) + " to " + Str(unnamed[last] + 1) +
                                                  " (no heading)";
        k = last + 1;
    }
    for (const auto& [column, heading] : notImported) m.unmapped += ", " + heading;
    return m;
}

bool acceptHeadings(const Mapping& map) {
    if (map.column(Name) == AbsentColumn) {
        MsgBox("The program cannot determine which column contains the animal name. Open your CSV file and make "
               "sure your first row contains the column headers. Rename the animal name column -   NAME" +
               EndOfLine + "See Help for more details.");
        return false;
    }

    publicVariables::noSexColumn = map.noSexColumn();
    publicVariables::noPS = map.noPS();
    publicVariables::noPd = map.noPd();

    if (!map.unmapped.empty()) {
        const String question = "The column(s) " + map.unmapped.substr(1) +
                                " will not be imported unless you assign an existing Brevolan field name (see Help "
                                "for list) or a custom field heading to the column " +
                                "ie. customfield1, customfield2 ...customfield6." + EndOfLine +
                                "Do you want to continue?";
        if (MsgBox(question, MsgBoxYesNoQuestion, "Before you begin!") != AnswerYes) return false;
    }
    return true;
}

}  // namespace csvHeadingAliases
