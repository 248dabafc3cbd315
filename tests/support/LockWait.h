#pragma once
// Sets how long the SQL database waits for another program's lock
// (SqlFileDatabase::SetLockWait) while it lives, and the program's length
// again when it goes: short where a test waits the lock out, long where
// the test lets the lock go during the wait, so that neither depends on how
// fast the machine is.

#include <chrono>

#include "framework/SqlFileDatabase.h"

class LockWaitFor {
public:
    explicit LockWaitFor(std::chrono::milliseconds wait) { SqlFileDatabase::SetLockWait(wait); }
    ~LockWaitFor() { SqlFileDatabase::SetLockWait(SqlFileDatabase::DefaultLockWait); }
    LockWaitFor(const LockWaitFor&) = delete;
    LockWaitFor& operator=(const LockWaitFor&) = delete;
};
