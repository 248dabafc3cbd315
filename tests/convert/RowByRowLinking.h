#pragma once
// The linking of a new RSD/CAX file done row by row, as the Brevolan
// converter first did it: one record-set update per row with parent ids,
// one lookup per name, one update and one commit per parent marked. The
// program links in memory; the tests hold its results and its progress
// reports against these. Each works as its appSystem namesake does with the
// type "rsd" (services/appSystem.h), on the source ids that
// appSystem::keepSourceIds kept.

#include "framework/Database.h"
#include "services/Progress.h"

namespace rowByRow {

bool convertIdRecordToName(const Ref<Database>& database, Progress& progress);
bool convertNameRecordToNewId(const Ref<Database>& database, const String& table, const String& nameColumn,
                              const String& idColumn, Progress& progress);
bool findSex(const Ref<Database>& database, Progress& progress);

// The same with the type "cav": one select of the parent by its source id
// and one update per parent id, and one update and one commit per parent
// marked.
bool cavConvertIdRecordToName(const Ref<Database>& database, Progress& progress);
bool cavFindSex(const Ref<Database>& database, Progress& progress);

}  // namespace rowByRow
