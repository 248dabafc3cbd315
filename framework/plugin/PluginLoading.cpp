// Loading of plug-in libraries along the search path, and the binding of a
// program's plug-in entry table to what they registered.

#include <dlfcn.h>
#include <unistd.h>

#include <map>

#include "framework/plugin/PluginHost.h"

namespace {

struct LoadedLibrary {
    void* handle = nullptr;  // none until loaded; kept to the end of the process
    String error;            // why the last attempt failed
};

std::map<String, LoadedLibrary>& libraries() {
    static auto* loaded = new std::map<String, LoadedLibrary>;  // lives to the end of the process
    return *loaded;
}

// The folders searched, separated by ":"; "$ORIGIN" is the executable's.
String& searchPath() {
    static auto* path = new String("$ORIGIN/Libs");
    return *path;
}

void* resolverEntry(const char* name) { return PluginHostResolve(name); }

String executableFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    String path(buffer, size_t(n));
    const size_t slash = path.rfind('/');
    return slash == String::npos ? String(".") : path.substr(0, slash);
}

std::vector<String> searchFolders() {
    std::vector<String> folders;
    const String origin = executableFolder();
    String path = searchPath();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == String::npos) end = path.size();
        String folder = path.substr(start, end - start);
        for (size_t at = folder.find("$ORIGIN"); at != String::npos; at = folder.find("$ORIGIN"))
            folder.replace(at, 7, origin);
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

// Loads a library once per process. One that could not be loaded is looked
// for again at the next call: the search path may have changed, or the file
// been put in place.
void loadLibrary(const String& fileName) {
    LoadedLibrary& library = libraries()[fileName];
    if (library.handle) return;
    library.error.clear();
    String looked;
    for (const String& folder : searchFolders()) {
        const String candidate = folder + "/" + fileName;
        looked += (looked.empty() ? "" : ", ") + folder;
        if (access(candidate.c_str(), F_OK) != 0) continue;
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            library.error = "cannot load " + candidate + ": " + (why ? why : "unknown error");
            return;
        }
        auto main = reinterpret_cast<PluginMainFunction>(dlsym(handle, PLUGIN_MAIN_SYMBOL));
        if (!main) {
            library.error = candidate + " has no " PLUGIN_MAIN_SYMBOL;
            dlclose(handle);
            return;
        }
        library.handle = handle;
        main(&resolverEntry);
        return;
    }
    library.error = fileName + " not found in " + (looked.empty() ? String("no folder") : looked);
}

}  // namespace

String PluginSearchPath() { return searchPath(); }
void SetPluginSearchPath(const String& path) { searchPath() = path; }

void InitPluginEntrypoints(PluginEntry* table, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (table[i].library) loadLibrary(table[i].library);
}

void ResolvePluginClasses(PluginEntry* table, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        PluginEntry& entry = table[i];
        entry.bound = nullptr;
        if (!entry.declaration) continue;
        const String declaration = entry.declaration;
        const size_t dot = declaration.find('.');
        if (dot == String::npos) continue;
        ClassDefinition* cls = FindPluginClass(declaration.substr(0, dot));
        if (!cls) continue;
        const String member = declaration.substr(dot + 1);
        if (member == "__init") {
            entry.bound = reinterpret_cast<void*>(cls->constructor);
        } else if (member == "__exit") {
            entry.bound = reinterpret_cast<void*>(cls->destructor);
        } else {
            for (intptr_t m = 0; m < cls->methodCount; ++m) {
                const MethodDefinition& method = cls->methods[m];
                if (method.declaration && member == method.declaration) {
                    entry.bound = method.function;
                    break;
                }
            }
        }
    }
}

bool PluginLibraryLoaded(const String& fileName) {
    auto it = libraries().find(fileName);
    return it != libraries().end() && it->second.handle;
}

String PluginLoadError(const String& fileName) {
    auto it = libraries().find(fileName);
    if (it == libraries().end()) return fileName + " was not loaded";
    return it->second.error;
}
