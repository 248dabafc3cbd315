#pragma once
// Lets file permissions count in a test that runs as root (CI runs as root,
// and root may write anywhere): while an OrdinaryUser lives, the process
// acts as the user "nobody", and `folder` (with what is in it) belongs to
// that user. For a test run by an ordinary user nothing changes.

#include <string>

class OrdinaryUser {
public:
    explicit OrdinaryUser(const std::string& folder);
    ~OrdinaryUser();  // root again; the folder is left to the user (TempDir removes it as root)
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

private:
    bool switched_ = false;
};
