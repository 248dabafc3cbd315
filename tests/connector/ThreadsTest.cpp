// Another thread of the framework closes a database while a statement of its
// connection runs with its thread detached: before the driver call, as it
// enters the driver, while it waits inside the driver for a lock that
// another program holds, and after the driver has returned. The statement's
// thread stops at that moment until the close has returned (as the
// framework lets one thread run at a time, the one that closes runs only
// while the other is detached). Against the SQLite ODBC driver and the CAV
// rig; the file is read with the sqlite3 tool.
//
// The test executable stands between the connector and the driver manager
// (SQLExecDirectW) and between the SQLite driver and the C library
// (nanosleep, with which the driver waits for a lock): ThreadsTest.dynlist
// exports both.

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "connector/source/ODBCDatabase.h"
#include "plugins/ODBCDatabase.h"
#include "tests/connector/ConnectorSupport.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/OtherProgram.h"
#include "tests/support/SqliteCli.h"
#include "tests/support/TempDir.h"

using namespace connector_test;

// The driver manager keeps process-wide tables that it never frees.
extern "C" const char* __lsan_default_suppressions() { return "leak:libiodbc.so.2\n"; }

namespace {

enum class Moment { AtDetach, EnteringTheDriver, WaitingInTheDriver, AfterTheDriver };

// How long a test waits for what must come before it calls it a failure
// (a close that waits for the statement would never come): never reached
// when all is well, whatever the machine's load.
constexpr auto kDeadline = std::chrono::seconds(60);

// The statement's thread stops once, at the moment it was armed for, until
// the test lets it go on.
class Stop {
public:
    // Before the statement's thread starts.
    void prepare(Moment moment) {
        std::lock_guard lock(mutex_);
        moment_ = moment;
        stopped_ = goOn_ = false;
    }
    // On the statement's thread.
    void armHere() {
        std::lock_guard lock(mutex_);
        thread_ = std::this_thread::get_id();
        armed_ = true;
    }
    void disarm() {
        std::lock_guard lock(mutex_);
        armed_ = false;
    }

    // Called at every moment on every thread.
    void at(Moment moment) {
        if (!armed_) return;
        std::unique_lock lock(mutex_);
        if (!armed_ || moment != moment_ || std::this_thread::get_id() != thread_) return;
        armed_ = false;
        stopped_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, kDeadline, [&] { return goOn_; });
    }

    bool waitUntilStopped() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kDeadline, [&] { return stopped_; });
    }
    void letGoOn() {
        std::lock_guard lock(mutex_);
        goOn_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> armed_{false};
    Moment moment_ = Moment::AtDetach;
    std::thread::id thread_;
    bool stopped_ = false;
    bool goOn_ = false;
};

Stop& stop() {
    static Stop* s = new Stop;  // used by the C library's nanosleep to the end
    return *s;
}

}  // namespace

extern "C" SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    using Call = SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER);
    // The driver manager's own, from the library that the connector loaded.
    static const auto driverManager = reinterpret_cast<Call>(
        dlsym(dlopen("libiodbc.so.2", RTLD_NOW | RTLD_NOLOAD), "SQLExecDirectW"));
    stop().at(Moment::EnteringTheDriver);
    const SQLRETURN rc = driverManager(statement, text, length);
    stop().at(Moment::AfterTheDriver);
    return rc;
}

extern "C" int nanosleep(const struct timespec* duration, struct timespec* rest) {
    stop().at(Moment::WaitingInTheDriver);
    return int(syscall(SYS_nanosleep, duration, rest));
}

namespace {

struct Backend {
    const char* name;
    std::function<void(const std::string& path)> create;
    std::function<std::string(const std::string& path)> connectionText;
};

const Backend kBackends[] = {
    {"SqliteDriver",
     [](const std::string& path) {
         Sqlite(path, "CREATE TABLE tree (id integer primary key, name varchar(50));"
                      "INSERT INTO tree VALUES (1, 'Apple'), (2, 'Basil');");
     },
     // A lock is waited for 100 ms here, not the driver's 100 seconds.
     [](const std::string& path) { return SqliteConnectionText(path) + "Timeout=100;"; }},
    {"CavRig",
     [](const std::string& path) {
         CavFixture::create(path);
         SqliteCli::query(path, "INSERT INTO tree (id, name) VALUES (1, 'Apple'), (2, 'Basil');");
     },
     [](const std::string& path) { return cav_rig::connectionText(path); }},
};

void PrintTo(const Backend& backend, std::ostream* os) { *os << backend.name; }

enum class Lock {
    None,
    ReleasedFirst,  // the other program lets the file go before the statement goes on
    Kept,           // until the statement has ended
};

// What the statement reports.
enum class Outcome {
    NotConnected,  // 1 "Not connected.": nothing of it reached the file
    Ran,           // no error: an execute's row is in the file
    DriverError,   // the driver's error (cancelled, or the lock stayed): nothing stored
};

struct Case {
    const char* what;
    Moment moment;
    bool select;
    Lock lock;
    Outcome outcome;
    bool reconnect;  // the closing thread connects again at once
};

const Case kCases[] = {
    {"execute, closed before the driver call", Moment::AtDetach, false, Lock::None, Outcome::NotConnected, false},
    {"select, closed before the driver call", Moment::AtDetach, true, Lock::None, Outcome::NotConnected, false},
    // The cancel comes before the driver has begun: the statement runs.
    {"execute, closed as it enters the driver", Moment::EnteringTheDriver, false, Lock::None, Outcome::Ran, false},
    {"select, closed as it enters the driver", Moment::EnteringTheDriver, true, Lock::None, Outcome::NotConnected,
     false},
    // The cancel stops the statement once it has the lock.
    {"execute, closed while it waits for a lock that then goes", Moment::WaitingInTheDriver, false,
     Lock::ReleasedFirst, Outcome::DriverError, false},
    {"select, closed while it waits for a lock that then goes", Moment::WaitingInTheDriver, true,
     Lock::ReleasedFirst, Outcome::DriverError, false},
    {"execute, closed while it waits for a lock that stays", Moment::WaitingInTheDriver, false, Lock::Kept,
     Outcome::DriverError, false},
    {"select, closed while it waits for a lock that stays", Moment::WaitingInTheDriver, true, Lock::Kept,
     Outcome::DriverError, false},
    {"execute, closed after the driver call", Moment::AfterTheDriver, false, Lock::None, Outcome::Ran, false},
    {"select, closed after the driver call", Moment::AfterTheDriver, true, Lock::None, Outcome::NotConnected, false},
    {"execute, closed and connected again after the driver call", Moment::AfterTheDriver, false, Lock::None,
     Outcome::Ran, true},
};

// What the statement's thread saw.
struct Report {
    bool gotRecordSet = false;
    int64_t code = 0;
    String message;
};

class ClosedWhileBusy : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadConnector()) << PluginLoadError("Corvane64.so");
        SetPluginDetachHook([](void*) { stop().at(Moment::AtDetach); }, nullptr);
    }
    void TearDown() override {
        SetPluginDetachHook(nullptr, nullptr);
        stop().disarm();
    }

    void run(const Case& c) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string file = dir.file("herd.cav");
        GetParam().create(file);
        ODBCDatabase db;
        db.SetDataSource(GetParam().connectionText(file));
        ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
        std::optional<OtherProgram> other;
        if (c.lock != Lock::None) other.emplace(file, "BEGIN EXCLUSIVE;");

        Report report;
        stop().prepare(c.moment);
        std::thread statement([&] {
            stop().armHere();
            if (c.select) {
                report.gotRecordSet = !db.SQLSelect("SELECT id, name FROM tree ORDER BY id").IsNil();
            } else {
                db.SQLExecute("INSERT INTO tree (id, name) VALUES (99, 'Dill')");
            }
            report.code = db.ErrorCode();
            report.message = db.ErrorMessage();
        });
        const bool stopped = stop().waitUntilStopped();
        EXPECT_TRUE(stopped) << "the statement never came to its moment";

        // The other thread closes (and may connect again) while the
        // statement's thread is detached; the close must not wait for the
        // statement.
        std::mutex mutex;
        std::condition_variable done;
        bool closed = false;
        bool reconnected = false;
        std::thread closer([&] {
            if (stopped) {
                db.Close();
                if (c.reconnect) reconnected = db.Connect();
            }
            std::lock_guard lock(mutex);
            closed = true;
            done.notify_all();
        });
        {
            std::unique_lock lock(mutex);
            EXPECT_TRUE(done.wait_for(lock, kDeadline, [&] { return closed; }))
                << "the close waited for the statement";
        }
        if (c.lock == Lock::ReleasedFirst) other->release();
        stop().letGoOn();
        closer.join();
        statement.join();
        other.reset();

        EXPECT_FALSE(report.gotRecordSet) << "a closed connection gives no record set";
        switch (c.outcome) {
        case Outcome::NotConnected:
            EXPECT_EQ(report.code, 1);
            EXPECT_EQ(report.message, "Not connected.");
            break;
        case Outcome::Ran:
            EXPECT_EQ(report.code, 0) << report.message;
            break;
        case Outcome::DriverError:
            EXPECT_NE(report.code, 0);
            EXPECT_NE(report.message, "Not connected.");
            EXPECT_FALSE(report.message.empty());
            break;
        }
        EXPECT_FALSE(PluginThreadDetached()) << "the statement's thread is attached again";
        EXPECT_EQ(Sqlite(file, "SELECT name FROM tree WHERE id = 99"),
                  !c.select && c.outcome == Outcome::Ran ? "Dill\n" : "");

        // The connection is whole again: connected anew (or still, with the
        // handle that the closing thread made), free for the next statement.
        if (c.reconnect) {
            EXPECT_TRUE(reconnected) << db.ErrorMessage();
            EXPECT_NE(ConnectionOf(db)->hdbc, nullptr) << "the statement's end left the new connection alone";
        } else {
            EXPECT_EQ(ConnectionOf(db)->hdbc, nullptr);
            ASSERT_TRUE(db.Connect()) << db.ErrorMessage();
        }
        Ref<RecordSet> rs = db.SQLSelect("SELECT count(*) AS n FROM tree");
        ASSERT_FALSE(rs.IsNil()) << db.ErrorCode() << " " << db.ErrorMessage();
        EXPECT_EQ(rs->Field("n")->IntegerValue(), c.outcome == Outcome::Ran && !c.select ? 3 : 2);
    }
};

TEST_P(ClosedWhileBusy, StatementReportsItsOutcomeAndTouchesNothingFreed) {
    for (const Case& c : kCases) run(c);
}

INSTANTIATE_TEST_SUITE_P(Drivers, ClosedWhileBusy, ::testing::ValuesIn(kBackends),
                         [](const ::testing::TestParamInfo<Backend>& info) { return std::string(info.param.name); });

}  // namespace
