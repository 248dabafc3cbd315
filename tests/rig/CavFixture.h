#pragma once
// CAV files for tests, and the rig that reaches them through ODBC.
//
// A test executable that links cav_rig reaches the rig through the driver
// manager: at start the library points ODBCINSTINI, ODBCINI, SYSODBCINSTINI
// and SYSODBCINI at the rig's files (unless they are set already).
//
// A CAV file here is an SQLite file with the tables that the conversions
// write (tree, matings, soldStock, vaccinations) and cavyUser, reached
// through iODBC with the driver registered as "Microsoft Access Driver (*.mdb)"
// in the rig's own odbcinst.ini. The file's password lives in the table
// cavRigPassword (column password); the driver refuses any other PWD= with
// SQLSTATE 28000, native error -1905 and the message
// "[Microsoft][ODBC Microsoft Access Driver] Not a valid password.".
// A file without that table takes any password or none.
// A file that another program holds (a write or exclusive lock that stays
// after a short wait for it, as an Access file opened exclusively elsewhere)
// is refused at the connect with SQLSTATE kInUseState, native error
// kInUseNativeError and kInUseMessage. The wait is kLockWaitMilliseconds,
// or as many as the environment variable kLockWaitVariable holds when the
// connect begins (cav_rig::LockWaitFor).
//
// The columns that are Date/Time or Number columns in an Access file (tree:
// dob, oldId, fatherId, motherId; matings: Due, Mated, Born, numBoars,
// NumSows, Stillborn, numUndefined; soldStock: DateSold; vaccinations:
// dueDate) are text columns here, but refuse an empty text ('') as Access
// does, with kTypeMismatchMessage; NULL and any other text pass. A statement
// whose criteria (after WHERE) compare the tree's oldId, fatherId or motherId
// with a quoted literal ("WHERE oldId = '7'") is refused as Access refuses
// it: SQLSTATE kTypeMismatchState, native error kTypeMismatchNativeError and
// kTypeMismatchMessage. Unquoted ("WHERE oldId = 7"), such a number compares
// as text here, by the column's text affinity.
//
// Files are built with the sqlite3 command-line program, and tests read what
// was written with it too (SqliteCli), so that what a test checks never passes
// through the code under test.

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

namespace cav_rig {

inline constexpr const char* kDriverName = "Microsoft Access Driver (*.mdb)";
inline constexpr const char* kPassword = "qe7rtmoxa";  // the password of every CAV file
inline constexpr int kPasswordNativeError = -1905;
inline constexpr const char* kPasswordState = "28000";
inline constexpr const char* kPasswordMessage = "[Microsoft][ODBC Microsoft Access Driver] Not a valid password.";
// What the connect to a file that another program holds answers.
inline constexpr const char* kInUseState = "HY000";
inline constexpr int kInUseNativeError = -1032;
inline constexpr const char* kInUseMessage =
    "[Microsoft][ODBC Microsoft Access Driver] Could not use '(unknown)'; file already in use.";
// How long every statement of a connection waits for another program's
// lock, unless kLockWaitVariable says otherwise at the connect.
inline constexpr int kLockWaitMilliseconds = 2000;
inline constexpr const char* kLockWaitVariable = "CAV_RIG_LOCK_WAIT_MS";

// Sets the wait of the connects made while it lives, and the earlier one
// again when it goes: short where a test waits a lock out.
class LockWaitFor {
public:
    explicit LockWaitFor(std::chrono::milliseconds wait) {
        if (const char* value = std::getenv(kLockWaitVariable)) before_ = value;
        setenv(kLockWaitVariable, std::to_string(wait.count()).c_str(), 1);
    }
    ~LockWaitFor() { before_ ? setenv(kLockWaitVariable, before_->c_str(), 1) : unsetenv(kLockWaitVariable); }
    LockWaitFor(const LockWaitFor&) = delete;
    LockWaitFor& operator=(const LockWaitFor&) = delete;

private:
    std::optional<std::string> before_;
};

// What a Date/Time or Number column answers to an empty text (''), and a
// Number column to a criterion that compares it with a quoted text.
inline constexpr const char* kTypeMismatchMessage =
    "[Microsoft][ODBC Microsoft Access Driver] Data type mismatch in criteria expression.";
inline constexpr const char* kTypeMismatchState = "22018";
inline constexpr int kTypeMismatchNativeError = -3030;

// The data sources of the rig's odbc.ini: the file of "CAV Rig" has the CAV
// password, that of "CAV Rig Open" none. Both files are shared by all tests:
// read them, never write them.
inline constexpr const char* kDataSource = "CAV Rig";
inline constexpr const char* kOpenDataSource = "CAV Rig Open";

// The connection text of a CAV file as the conversions make it:
// "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + path + ";UID=;PWD=" + password + ";".
std::string connectionText(const std::string& path, const std::string& password = kPassword);

}  // namespace cav_rig

class CavFixture {
public:
    struct Options {
        // The id of the one cavyUser row, whose captions are NULL; nullopt
        // for an empty cavyUser.
        std::optional<int> cavyUserId = 1;
        // The password that the file records; nullopt for a file without one.
        std::optional<std::string> password = std::string(cav_rig::kPassword);
    };

    // Makes a new CAV file at `path` (which must not exist yet) with the
    // sqlite3 tool. Throws std::runtime_error with the tool's message when it
    // cannot. Read and seed it with SqliteCli (tests/support/SqliteCli.h).
    static void create(const std::string& path, const Options& options);
    static void create(const std::string& path) { create(path, Options{}); }
};
