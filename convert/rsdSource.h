#pragma once
// What the two exports from an RSD/CAX file share: the names of its animals
// by tree id, and the message for a source that gives no animals.

#include <cstdint>
#include <unordered_map>

#include "framework/Database.h"
#include "framework/Ref.h"
#include "framework/Text.h"

namespace rsdSource {

// The names of the tree rows by id, read once from a record set of the whole
// tree (which is left on its first row): a parent's or an animal's name is
// then found without a select per link, and also after a Cancel has closed
// the shared database.
class NamesById {
public:
    explicit NamesById(const Ref<RecordSet>& tree);

    // The name of the row whose id the link holds, as the select
    // "SELECT name FROM tree WHERE id =" + link finds it: the link must be a
    // number equal to the id, and the id an integer; "" otherwise.
    String operator()(const String& link) const;

private:
    String find(int64_t id) const;

    std::unordered_map<int64_t, String> names_;
};

// The box for a source whose tree cannot be read (not an RSD/CAX file, or
// one without a tree table).
String unreadableMessage(const String& path);

// True when the open source has something other than a table of its own
// under the name of a table that the exports read (tree, settings,
// breeding, soldStock, vaccinations): a view, or a virtual table, whose
// select would run the code or queries of whoever made the file. Such a
// source is no RSD/CAX file. False when the schema cannot be read (the
// selects that follow tell that).
bool hasStandInTable(const Ref<Database>& db);

}  // namespace rsdSource
