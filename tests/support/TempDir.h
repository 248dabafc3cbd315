#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.

#include <set>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to the file `name` and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // The bytes of a file ("" when it cannot be read).
    static std::string read(const std::string& path);
    // The names of everything in a folder.
    static std::set<std::string> namesIn(const std::string& folder);

private:
    std::string path_;
};
