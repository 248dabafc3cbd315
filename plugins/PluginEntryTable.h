#pragma once
// The program's table of bound plug-in methods: the connector's entries, in
// the order the connector registers them (PluginEntries.list). The framework
// binds them at start (BindPluginEntries); an entry whose library is missing
// stays unbound.

#include <cstddef>
#include <type_traits>

#include "framework/plugin/PluginHost.h"
#include "plugins/PluginEntries.h"

extern "C" PluginEntry PluginEntryTable[];

namespace plugins {

// Loads the plug-in libraries and binds the table (the start-up's plug-in
// step). Safe to call again: libraries load once, entries are bound anew.
void BindPluginEntries();

// The bound entry, or nullptr when it is not bound.
void* Bound(Entry entry);

// Calls a bound method with the object first, holding a reference to the
// object for the call and raising afterwards any exception the framework
// kept meanwhile. An unbound entry is not called: the result is R{}.
template <class R, class... Args>
R CallBound(Entry entry, HostObject object, Args... args) {
    void* function = Bound(entry);
    if (!function || !object) return R{};
    PluginObjectRef hold = PluginObjectRef::Share(object);
    if constexpr (std::is_void_v<R>) {
        reinterpret_cast<void (*)(HostObject, Args...)>(function)(object, args...);
        RethrowPendingPluginException();
    } else {
        R result = reinterpret_cast<R (*)(HostObject, Args...)>(function)(object, args...);
        RethrowPendingPluginException();
        return result;
    }
}

}  // namespace plugins
