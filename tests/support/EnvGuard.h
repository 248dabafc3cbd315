#pragma once
// Sets environment variables (LC_ALL, HOME, ...) for one test and puts the
// old values back when it goes.

#include <cstdlib>
#include <string>
#include <vector>

class EnvGuard {
public:
    EnvGuard() = default;
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;
    ~EnvGuard() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->had ? setenv(it->name.c_str(), it->value.c_str(), 1) : unsetenv(it->name.c_str());
    }

    void set(const char* name, const std::string& value) {
        remember(name);
        setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        remember(name);
        unsetenv(name);
    }

private:
    void remember(const char* name) {
        const char* v = std::getenv(name);
        saved_.push_back({name, v ? v : "", v != nullptr});
    }
    struct Saved {
        std::string name, value;
        bool had;
    };
    std::vector<Saved> saved_;
};
