#include <utility>
#include <vector>

#include "convert/csvHeadingAliases.h"
#include "tests/services/ServicesFixture.h"

using namespace csvHeadingAliases;

namespace {

using Captions = std::vector<Caption>;

// A mapping with the outcome of the checks after it.
struct Mapped : Mapping {
    bool proceed = false;
};

}  // namespace

class HeadingAliases : public ServicesTest {
protected:
    // Maps `headings` (a CSV heading line) with the variant and checks the
    // mapping as the imports do, recording the captions it gives.
    Mapped map(const String& headings, const TableVariant& variant = RsdVariant) {
        appSystem::extractfields(headings, 0, ",");
        Mapped m{mapHeadings(appSystem::CSVa, variant)};
        captions.insert(captions.end(), m.captions.begin(), m.captions.end());
        m.proceed = acceptHeadings(m);
        return m;
    }

    Captions captions;
};

TEST_F(HeadingAliases, EveryWordOfEveryGroupNamesItsColumnInAnyCase) {
    ASSERT_EQ(Groups().size(), 35u);
    for (const TableVariant* variant : {&RsdVariant, &CavVariant}) {
        for (int g = 1; g <= variant->groupCount; ++g) {
            for (const String& word : Groups()[size_t(g - 1)].words) {
                for (const String& spelling : {word, Uppercase(word)}) {
                    SCOPED_TRACE("group " + std::to_string(g) + " \"" + spelling + "\"");
                    appSystem::CSVa.Clear();
                    captions.clear();
                    ui.clear();
                    // Slots 13 to 15 have no column in an RSD/CAX file: the
                    // user is asked whether to go on without them.
                    const int slot = Groups()[size_t(g - 1)].slot;
                    const bool unstored = slot > variant->storedSlots;
                    if (unstored) ui.AnswerYes();
                    // The name's own words stand alone (a second name
                    // column would be a custom one).
                    const Mapped m = map(g == Name ? spelling : "Name," + spelling);
                    EXPECT_TRUE(m.proceed);
                    // A slot named by its own word gets that word as its
                    // caption, so that an export names the column.
                    Captions named;
                    if (slot && !unstored) named.push_back({"CustomName" + std::to_string(slot), Lowercase(spelling)});
                    EXPECT_EQ(captions, named);
                    EXPECT_EQ(ui.boxes().size(), unstored ? 1u : 0u);
                    EXPECT_EQ(slot ? m.slot(slot) : m.column(g), g == Name ? 0 : 1);
                }
            }
        }
    }
}

TEST_F(HeadingAliases, UnknownHeadingsTakeTheFirstFreeSlotWithTheirLowerCasedCaption) {
    const Mapped m = map("Name,Colour,Weight, name,Call Name,Show Wins");
    EXPECT_TRUE(m.proceed);
    EXPECT_EQ(m.column(Name), 0);
    EXPECT_EQ(m.column(Colour), 1);
    EXPECT_EQ(m.slot(1), 2);
    EXPECT_EQ(m.slot(2), 3) << "a leading blank makes a heading unknown";
    EXPECT_EQ(m.slot(3), 5);
    EXPECT_EQ(m.slot(4), AbsentColumn);
    EXPECT_EQ(captions, (Captions{{"CustomName1", "weight"}, {"CustomName2", " name"}, {"CustomName3", "show wins"}}));
    EXPECT_TRUE(ui.boxes().empty()) << "the call name is recognised, not listed";
}

TEST_F(HeadingAliases, ANumberIsASlotWordOnlyInTheRsdVariant) {
    Mapped m = map("name,3,colour");
    EXPECT_EQ(m.slot(3), 1);
    EXPECT_EQ(m.slot(1), AbsentColumn);
    EXPECT_EQ(captions, (Captions{{"CustomName3", "3"}}));

    appSystem::CSVa.Clear();
    captions.clear();
    m = map("name,3,customfield1", CavVariant);
    EXPECT_EQ(m.slot(1), 1);
    EXPECT_EQ(m.slot(2), 2);
    EXPECT_EQ(captions, (Captions{{"fldCustomName1", "3"}, {"fldCustomName2", "customfield1"}}));
}

TEST_F(HeadingAliases, AnExplicitSlotWordTakesItsSlotAndCaptionAndTheHeadingItReplacesIsListed) {
    ui.AnswerYes();
    const Mapped m = map("name,weight,customfield1");
    EXPECT_TRUE(m.proceed);
    EXPECT_EQ(m.slot(1), 2);
    EXPECT_EQ(captions, (Captions{{"CustomName1", "weight"}, {"CustomName1", "customfield1"}}));
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text.substr(0, 30), "The column(s)  weight will not");
}

TEST_F(HeadingAliases, TheFirstColumnOfAFieldKeepsItAndALaterOneIsACustomColumn) {
    struct Case {
        const char* headings;
        const TableVariant* variant;
        int group;                   // keeps column 0; 0 for none
        std::vector<int64_t> slots;  // the columns of slots 1, 2, ...
        Captions captions;
    };
    const Case cases[] = {
        {"sire,name,Father", &RsdVariant, Ps, {2}, {{"CustomName1", "father"}}},
        {"name,Animal Name,NAME", &RsdVariant, Name, {1, 2}, {{"CustomName1", "animal name"}, {"CustomName2", "name"}}},
        {"notes,name,Notes,awards", &CavVariant, Notes, {2, 3},
         {{"fldCustomName1", "notes"}, {"fldCustomName2", "awards"}}},
        {"Call Name,name,pet name", &RsdVariant, CallName, {2}, {{"CustomName1", "pet name"}}},
        // A slot word keeps its slot; the same slot named again takes the
        // first free one.
        {"customfield2,name,user field2", &RsdVariant, 0, {2, 0},
         {{"CustomName2", "customfield2"}, {"CustomName1", "user field2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headings);
        appSystem::CSVa.Clear();
        captions.clear();
        const Mapped m = map(c.headings, *c.variant);
        EXPECT_TRUE(m.proceed);
        EXPECT_TRUE(ui.boxes().empty());
        EXPECT_EQ(captions, c.captions);
        if (c.group) {
            EXPECT_EQ(m.column(c.group), 0);
        }
        for (size_t n = 0; n < c.slots.size(); ++n) EXPECT_EQ(m.slot(int(n + 1)), c.slots[n]) << "slot " << n + 1;
    }

    // Without a free slot the later heading is named with those not imported.
    String headings = "Name";
    for (int n = 1; n <= 12; ++n) headings += ",H" + std::to_string(n);
    ui.AnswerYes();
    appSystem::CSVa.Clear();
    const Mapped m = map(headings + ",Animal Name", CavVariant);
    EXPECT_EQ(m.column(Name), 0);
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].text.substr(0, 40), "The column(s)  Animal Name will not be i");
}

TEST_F(HeadingAliases, HeadingsWithoutAFreeSlotAreListedInTheQuestion) {
    struct Case {
        const TableVariant* variant;
        int unknown;       // unknown headings after "Name"
        String listed;     // what the question lists after "The column(s) " (two blanks before the first)
    };
    // The RSD/CAX file has columns for slots 1 to 12 only: what lands in 13
    // to 15 is listed as well.
    const Case cases[] = {
        {&RsdVariant, 12, ""},
        {&RsdVariant, 13, " H13"},
        {&RsdVariant, 16, " H13, H14, H15, H16"},
        {&CavVariant, 12, ""},
        {&CavVariant, 14, " H13, H14"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.variant->groupCount) + " groups, " + std::to_string(c.unknown) + " unknown");
        appSystem::CSVa.Clear();
        ui.clear();
        captions.clear();
        String headings = "Name";
        for (int n = 1; n <= c.unknown; ++n) headings += ",H" + std::to_string(n);
        if (!c.listed.empty()) ui.AnswerYes();
        const Mapped m = map(headings, *c.variant);
        EXPECT_TRUE(m.proceed);
        // Only the slots that the destination stores get captions.
        Captions stored;
        for (int n = 1; n <= std::min(c.unknown, c.variant->storedSlots); ++n)
            stored.push_back({c.variant->captionPrefix + Str(int64_t(n)), "h" + Str(int64_t(n))});
        EXPECT_EQ(captions, stored);
        if (c.listed.empty()) {
            EXPECT_TRUE(ui.boxes().empty());
            continue;
        }
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].title, "Before you begin!");
        EXPECT_EQ(ui.boxes()[0].text,
                  "The column(s) " + c.listed +
                      " will not be imported unless you assign an existing Brevolan field name (see Help for list) "
                      "or a custom field heading to the column ie. customfield1, customfield2 ...customfield6.\n"
                      "Do you want to continue?");
    }
}

TEST_F(HeadingAliases, NoToTheQuestionEndsTheImportWithTheCaptionsWritten) {
    ui.AnswerNo();
    String headings = "Name";
    for (int n = 1; n <= 16; ++n) headings += ",H" + std::to_string(n);
    EXPECT_FALSE(map(headings).proceed);
    EXPECT_EQ(captions.size(), 12u);
}

TEST_F(HeadingAliases, WithoutANameColumnTheImportEndsWithItsMessage) {
    for (const String& headings : {String(""), String(",colour"), String("colour,sex, name")}) {
        SCOPED_TRACE(headings);
        appSystem::CSVa.Clear();
        ui.clear();
        EXPECT_FALSE(map(headings).proceed);
        EXPECT_EQ(ui.texts(), (std::vector<String>{
                                  "The program cannot determine which column contains the animal name. Open your CSV "
                                  "file and make sure your first row contains the column headers. Rename the animal "
                                  "name column -   NAME\nSee Help for more details."}));
    }
}

TEST_F(HeadingAliases, AnEmptyHeadingEndsNothingAndItsColumnIsListedWhenItHoldsValues) {
    // Only columns 1, 2 and 4 have a heading. Values stand in
    // columns 0, 3, 5 and 6 of the data rows, and in column 7 only after the
    // rows' end (two empty names).
    appSystem::extractfields("1,A,f,x,3kg,,y", 1, ",");
    appSystem::extractfields("2,B,m,,4kg,z,,", 2, ",");
    appSystem::extractfields(",,,,,,,v", 5, ",");
    const struct {
        const char* name;
        int answer;
    } cases[] = {{"Yes", AnswerYes}, {"No", AnswerNo}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.clear();
        captions.clear();
        ui.AnswerNext(c.answer);
        const Mapped m = map(",name,sex,,weight");
        EXPECT_EQ(m.proceed, c.answer == AnswerYes);
        EXPECT_EQ(m.column(Name), 1);
        EXPECT_EQ(m.column(Sex), 2);
        EXPECT_EQ(m.slot(1), 4);
        EXPECT_EQ(captions, (Captions{{"CustomName1", "weight"}}));
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].text.substr(0, ui.boxes()[0].text.find(" will not")),
                  "The column(s)  column 1 (no heading), column 4 (no heading), columns 6 to 7 (no heading)");
    }
}

TEST_F(HeadingAliases, TheFlagsDescribeTheHeadingRowMappedLast) {
    publicVariables::noSexColumn = publicVariables::noPS = publicVariables::noPd = false;
    map("name,colour");
    EXPECT_TRUE(publicVariables::noSexColumn);
    EXPECT_TRUE(publicVariables::noPS);
    EXPECT_TRUE(publicVariables::noPd);

    appSystem::CSVa.Clear();
    map("name,SEX,sire name,Dam");
    EXPECT_FALSE(publicVariables::noSexColumn);
    EXPECT_FALSE(publicVariables::noPS);
    EXPECT_FALSE(publicVariables::noPd);
}

TEST_F(HeadingAliases, TheAbsentColumnReadsEmptyEvenWhereALongLineReachesIt) {
    // A heading line of 72 fields: the 71st lands in the grid's last column,
    // which is the absent column, and is never taken for a heading.
    String headings = "name";
    for (int n = 1; n < 72; ++n) headings += ",c" + std::to_string(n);
    String line = "Bella";
    for (int n = 1; n < 72; ++n) line += ",v" + std::to_string(n);
    appSystem::extractfields(line, 1, ",");
    ui.AnswerYes();  // 57 of the headings find no slot
    const Mapped m = map(headings);
    ASSERT_TRUE(m.proceed);
    EXPECT_EQ(appSystem::CSVa(1, AbsentColumn), "v70") << "the grid itself holds the field";
    EXPECT_EQ(appSystem::CSVa.cell(1, m.column(Colour)), "");
    EXPECT_EQ(appSystem::CSVa.cell(1, m.column(Sex)), "");
    EXPECT_EQ(ui.boxes()[0].text.find("c70"), String::npos) << "the 71st heading is not scanned";
    EXPECT_EQ(appSystem::CSVa.cell(CsvGrid::LastRow + 1, 0), "") << "the rows' look-ahead past the grid reads empty";
}
