#pragma once
// The heading words that the CSV imports accept, and the mapping of a CSV
// file's heading line (row 0 of the import's cell grid) to the columns that
// feed each animal field. Headings that no group knows take numbered custom
// slots, the first free one first; their lower-cased heading is the slot's
// caption, which the import writes.
//
// One table serves both imports: the import into RSD/CAX uses all 35 groups
// and 15 custom slots, the import into CAV the first 17 groups and 12 slots.

#include <cstdint>
#include <vector>

#include "framework/Text.h"
#include "services/CsvGrid.h"

namespace csvHeadingAliases {

// The column that every field whose heading the file lacks is read from. It
// reads "" in every row, also on lines long enough to reach it.
inline constexpr int64_t AbsentColumn = CsvGrid::LastColumn;

// How the RSD/CAX import turns a cell into the value it writes.
enum class Conversion {
    Unchanged,
    Apostrophes,  // appSystem::rma
    Sex,          // appSystem::convertSex
    Date,         // appSystem::convDisplayDateToSql
    ParentId,     // unchanged, but a cell of exactly "1" is not written (see hasAnimalOne)
    NotImported,  // recognised and left out (the call name)
};

// The groups by number, in the order they are tested. Groups 21 to 35 are
// the explicit words of custom slots 1 to 15.
enum GroupNumber : int {
    Name = 1, Colour, Breed, Sex, DOB, OldId, FatherId, MotherId, Ps, Pd, Tag, Prefix, Suffix, Health, Cage,
    CallName, Notes, DateBought, BoughtFrom, PurchasePrice, FirstSlotGroup
};

struct Group {
    std::vector<String> words;  // compared with the lower-cased heading, case ignored
    String column;              // the tree column it feeds ("" for the call name)
    Conversion conversion;
    int slot;                   // for groups 21 to 35 the custom slot; 0 otherwise
};

// All 35 groups; Groups()[n - 1] is group n.
const std::vector<Group>& Groups();

// One import's use of the table.
struct TableVariant {
    int groupCount;         // the first groupCount groups take part
    int slotCount;          // custom slots 1 to slotCount
    int storedSlots;        // slots after this one have no column in the destination
    String captionPrefix;   // the caption column is this prefix and the slot number
};
extern const TableVariant RsdVariant;  // 35 groups, 15 slots, 12 stored, "CustomName"
extern const TableVariant CavVariant;  // 17 groups, 12 slots, 12 stored, "fldCustomName"

// A custom slot's caption: the caption column (the variant's prefix and the
// slot number) and the lower-cased heading.
struct Caption {
    String column;
    String heading;
    bool operator==(const Caption&) const = default;
};

struct Mapping {
    std::vector<int64_t> groupColumn;  // by group number - 1; AbsentColumn when the file lacks it
    std::vector<int64_t> slotColumn;   // by slot - 1; AbsentColumn while the slot is free
    std::vector<Caption> captions;     // in the order the headings took their slots
    String unmapped;                   // ", " before each heading that will not be imported

    // The column of group `group` (of slot `n`); AbsentColumn also for a
    // group or slot that the variant does not have.
    int64_t column(int group) const {
        return group >= 1 && size_t(group) <= groupColumn.size() ? groupColumn[size_t(group - 1)] : AbsentColumn;
    }
    int64_t slot(int n) const {
        return n >= 1 && size_t(n) <= slotColumn.size() ? slotColumn[size_t(n - 1)] : AbsentColumn;
    }
    // The heading row has no column for the animal's sex (the sire's name,
    // the dam's name).
    bool noSexColumn() const { return column(Sex) == AbsentColumn; }
    bool noPS() const { return column(Ps) == AbsentColumn; }
    bool noPd() const { return column(Pd) == AbsentColumn; }
};

// Maps the heading row of `grid`: reads every heading of columns 0
// to 69 (an empty one ends nothing; the absent column is never a heading),
// assigns groups and custom slots, notes the captions of the custom slots
// that the destination stores (also of a slot named by its own word, such
// as "customfield1", so that an export names it), which the import writes,
// and yields after every heading. The first column of a group (of a slot
// word) keeps it; a later heading of the same group takes a free slot as an
// unknown heading. Listed as not imported, with the unknown headings for
// which no slot is free, are: headings that land in a slot the destination
// cannot store, a heading whose slot a later slot word takes, and columns
// without a heading that hold a value in a data row.
Mapping mapHeadings(const CsvGrid& grid, const TableVariant& variant);

// The checks after the mapping, once the import has written its captions:
// the box about a missing name column (false), then the three
// publicVariables flags set from the mapping, then the question "Before you
// begin!" about the columns that will not be imported (No: false). True
// when the import goes on to the rows.
bool acceptHeadings(const Mapping& map);

// True when an animal of the file (a data row before the rows' end) has the
// id exactly "1". A parent id of exactly "1" then names that animal; in a
// file without one it stands for no parent.
bool hasAnimalOne(const CsvGrid& grid, const Mapping& map);

}  // namespace csvHeadingAliases
