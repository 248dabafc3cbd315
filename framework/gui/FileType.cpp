#include "framework/gui/FileType.h"

#include <algorithm>

namespace {

// Every FileType in existence, oldest first. Used on the GUI thread only.
// Never destroyed: file types held by other static objects unregister
// themselves during the program's exit, in no set order.
std::vector<const FileType*>& registry() {
    static auto* types = new std::vector<const FileType*>;
    return *types;
}

}  // namespace

FileType::FileType() { registry().push_back(this); }

FileType::~FileType() {
    auto& types = registry();
    types.erase(std::remove(types.begin(), types.end(), this), types.end());
}

std::vector<String> FileType::ExtensionList() const {
    std::vector<String> out;
    size_t start = 0;
    while (start <= Extensions.size()) {
        size_t end = Extensions.find(';', start);
        if (end == String::npos) end = Extensions.size();
        String ext = Trim(Extensions.substr(start, end - start));
        while (!ext.empty() && (ext.front() == '.' || ext.front() == '*')) ext.erase(0, 1);
        if (!ext.empty()) out.push_back(Lowercase(ext));
        start = end + 1;
    }
    return out;
}

const FileType* FindFileType(const String& name) {
    const auto& types = registry();
    for (auto it = types.rbegin(); it != types.rend(); ++it)
        if (TextEquals((*it)->Name, name)) return *it;
    return nullptr;
}
