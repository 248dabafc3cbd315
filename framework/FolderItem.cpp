#include "framework/FolderItem.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/Interaction.h"

namespace fs = std::filesystem;

namespace {

// The absolute, lexically normal form of a path, without a trailing "/"
// (except for the root itself).
String normalise(const String& path) {
    fs::path p(path);
    if (p.is_relative()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        p = (ec ? fs::path("/") : cwd) / p;
    }
    String s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

FolderItem::FolderItem(String path) : path_(normalise(path)) {}

bool FolderItem::Exists() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

String FolderItem::AbsolutePath() const {
    if (path_ == "/") return path_;
    return Directory() ? path_ + "/" : path_;
}

String FolderItem::Name() const { return fs::path(path_).filename().string(); }

Ref<FolderItem> FolderItem::Parent() const {
    if (path_ == "/") return nullptr;
    return New<FolderItem>(fs::path(path_).parent_path().string());
}

Ref<FolderItem> FolderItem::Child(const String& name) const { return New<FolderItem>(path_ + "/" + name); }

bool FolderItem::Delete() { return ::remove(path_.c_str()) == 0; }

Ref<TextOutputStream> FolderItem::CreateTextFile() {
    if (Directory()) return nullptr;
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) return nullptr;
    return New<TextOutputStream>(f);
}

namespace {

// Why a file of this type is not read; "" for a regular file. A FIFO or a
// device would block the reader or never end.
String notAFile(mode_t mode) {
    if (S_ISREG(mode)) return String();
    if (S_ISFIFO(mode)) return "It is a named pipe (FIFO), not a file.";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "It is a device, not a file.";
    if (S_ISSOCK(mode)) return "It is a socket, not a file.";
    return "It is not a file.";
}

}  // namespace

Ref<TextInputStream> FolderItem::OpenAsTextFile() {
    if (Directory()) return nullptr;
    // Something other than a file is not even opened (opening a device may
    // do something). What is opened is opened without waiting (a FIFO put
    // in the file's place meanwhile would block the open without a writer)
    // and looked at again before anything is read.
    struct stat st;
    if (::stat(path_.c_str(), &st) != 0) return nullptr;
    String why = notAFile(st.st_mode);
    if (!why.empty()) return New<TextInputStream>(TextInputStream::Refusal{why});
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    why = ::fstat(fd, &st) != 0 ? String("Its type cannot be read.") : notAFile(st.st_mode);
    if (why.empty() && st.st_size > TextInputStream::MaxBytes) why = TextInputStream::tooLarge();
    if (!why.empty()) {
        ::close(fd);
        return New<TextInputStream>(TextInputStream::Refusal{why});
    }
    // A regular file never blocks; reading it as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    return New<TextInputStream>(f);
}

void FolderItem::Launch() { CurrentInteraction().Launch(*this); }

Ref<FolderItem> GetFolderItem(const String& path, int pathMode) {
    (void)pathMode;  // only native paths (mode 0) are used
    if (path.empty()) return nullptr;
    return New<FolderItem>(path);
}

namespace SpecialFolder {
namespace {

String home() {
    const char* h = std::getenv("HOME");
    return h && *h ? String(h) : String();
}

// The folder that user-dirs.dirs names for `key` (XDG_DESKTOP_DIR, ...), or
// $HOME/`fallback` when the file does not name it.
Ref<FolderItem> userDir(const char* key, const char* fallback) {
    const String h = home();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const String dirsFile = (config && *config ? String(config) : h + "/.config") + "/user-dirs.dirs";
    std::ifstream in(dirsFile);
    String line;
    const String prefix = String(key) + "=";
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.rfind(prefix, 0) != 0) continue;
        String value = line.substr(prefix.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = h + value.substr(5);
        if (!value.empty() && value.front() == '/') return New<FolderItem>(value);
    }
    if (h.empty()) return nullptr;
    return New<FolderItem>(h + "/" + fallback);
}

}  // namespace

Ref<FolderItem> Desktop() { return userDir("XDG_DESKTOP_DIR", "Desktop"); }

Ref<FolderItem> Documents() { return userDir("XDG_DOCUMENTS_DIR", "Documents"); }

// The system's folder of installed programs' desktop entries.
Ref<FolderItem> Applications() { return New<FolderItem>("/usr/share/applications"); }

Ref<FolderItem> Temporary() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value == '/' ? String(value) : String();
    };
    const String h = home();
    const String cache = !variable("XDG_CACHE_HOME").empty() ? variable("XDG_CACHE_HOME")
                         : h.empty()                         ? String()
                                                             : h + "/.cache";
    const String tmp = !variable("TMPDIR").empty() ? variable("TMPDIR") : String("/tmp");
    for (const String& candidate : {variable("XDG_RUNTIME_DIR"), cache, tmp}) {
        std::error_code ec;
        if (!candidate.empty() && fs::is_directory(candidate, ec) && ::access(candidate.c_str(), W_OK | X_OK) == 0)
            return New<FolderItem>(normalise(candidate));
    }
    return nullptr;
}

}  // namespace SpecialFolder
