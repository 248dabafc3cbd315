#pragma once
// Flags that each CSV import sets from its own heading row before it reads
// them: true when that row has no column for the item. False at start.

namespace publicVariables {
extern bool noSexColumn;  // no column for the animal's sex
extern bool noPS;         // no column for the sire's name
extern bool noPd;         // no column for the dam's name
}  // namespace publicVariables
