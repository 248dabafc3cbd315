// Builds the files of the rig's data sources: MakeFixture <path> protected|open.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tests/rig/CavFixture.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <path> protected|open\n", argv[0]);
        return 2;
    }
    try {
        std::filesystem::create_directories(std::filesystem::path(argv[1]).parent_path());
        std::filesystem::remove(argv[1]);
        CavFixture::Options options;
        if (std::strcmp(argv[2], "open") == 0) options.password.reset();
        CavFixture::create(argv[1], options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
