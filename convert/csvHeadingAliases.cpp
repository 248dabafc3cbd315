#include "convert/csvHeadingAliases.h"

#include "framework/EventLoop.h"
#include "framework/Exceptions.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"
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

String cell(int64_t row, int64_t column) {
    if (column < 0 || column >= AbsentColumn || row < 0 || row > CsvGrid::LastRow) return String();
    return appSystem::CSVa(row, column);
}

Mapping mapHeadings(const TableVariant& variant, const CaptionWriter& saveCaption) {
    const std::vector<Group>& groups = Groups();
    Mapping m;
    m.groupColumn.assign(size_t(variant.groupCount), AbsentColumn);
    m.slotColumn.assign(size_t(variant.slotCount), AbsentColumn);

    // A heading that lands in a slot without a column in the destination is
    // not imported, and the user is told so with the other such headings.
    auto takeSlot = [&](int n, int64_t column, const String& heading) {
        m.slotColumn[size_t(n - 1)] = column;
        if (n > variant.storedSlots) m.unmapped += ", " + heading;
    };

    for (int64_t i = 0; i < AbsentColumn; ++i) {
        const String heading = cell(0, i);
        if (heading.empty()) break;
        const String h = Lowercase(heading);

        int matched = 0;
        for (int g = 1; g <= variant.groupCount && !matched; ++g)
            for (const String& word : groups[size_t(g - 1)].words)
                if (TextEquals(word, h)) {
                    matched = g;
                    break;
                }

        if (matched && groups[size_t(matched - 1)].slot) {
            // An explicit slot word takes its slot, free or not.
            takeSlot(groups[size_t(matched - 1)].slot, i, heading);
        } else if (matched) {
            m.groupColumn[size_t(matched - 1)] = i;
        } else {
            int free = 0;
            for (int n = 1; n <= variant.slotCount && !free; ++n)
                if (m.slotColumn[size_t(n - 1)] == AbsentColumn) free = n;
            if (free) {
                saveCaption(variant.captionPrefix + Str(int64_t(free)), h);
                takeSlot(free, i, heading);
            } else {
                m.unmapped += ", " + heading;
            }
        }
        YieldToEventLoop();
    }

    if (m.column(Name) == AbsentColumn) {
        MsgBox("The program cannot determine which column contains the animal name. Open your CSV file and make "
               "sure your first row contains the column headers. Rename the animal name column -   NAME" +
               EndOfLine + "See Help for more details.");
        return m;
    }

    publicVariables::noSexColumn = m.column(Sex) == AbsentColumn;
    publicVariables::noPS = m.column(Ps) == AbsentColumn;
    publicVariables::noPd = m.column(Pd) == AbsentColumn;

    if (!m.unmapped.empty()) {
        const String question = "The column(s) " + m.unmapped.substr(1) +
                                " will not be imported unless you assign an existing Brevolan field name (see Help "
                                "for list) or a custom field heading to the column " +
                                "ie. customfield1, customfield2 ...customfield6." + EndOfLine +
                                "Do you want to continue?";
        if (MsgBox(question, MsgBoxYesNoQuestion, "Before you begin!") != AnswerYes) return m;
    }
    m.proceed = true;
    return m;
}

}  // namespace csvHeadingAliases
