#include "tests/support/OrdinaryUser.h"

#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace {
const uid_t Nobody = 65534;
const gid_t NoGroup = 65534;
}  // namespace

OrdinaryUser::OrdinaryUser(const std::string& folder) {
    if (::geteuid() != 0) return;
    if (::lchown(folder.c_str(), Nobody, NoGroup) != 0) throw std::runtime_error("cannot hand over " + folder);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (::lchown(entry.path().c_str(), Nobody, NoGroup) != 0)
            throw std::runtime_error("cannot hand over " + entry.path().string());
    if (::setegid(NoGroup) != 0 || ::seteuid(Nobody) != 0) throw std::runtime_error("cannot become nobody");
    switched_ = true;
}

OrdinaryUser::~OrdinaryUser() {
    if (!switched_) return;
    if (::seteuid(0) != 0 || ::setegid(0) != 0) std::terminate();
}
