#include "plugins/PluginEntryTable.h"

namespace plugins {

void BindPluginEntries() {
    InitPluginEntrypoints(PluginEntryTable, EntryCount);
    ResolvePluginClasses(PluginEntryTable, EntryCount);
}

void* Bound(Entry entry) { return entry < EntryCount ? PluginEntryTable[entry].bound : nullptr; }

}  // namespace plugins
