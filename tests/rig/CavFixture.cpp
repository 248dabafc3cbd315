#include "tests/rig/CavFixture.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "tests/rig/CavRigPaths.h"
#include "tests/support/SqliteCli.h"

namespace cav_rig {

std::string connectionText(const std::string& path, const std::string& password) {
    return std::string("DRIVER={") + kDriverName + "};DBQ=" + path + ";UID=;PWD=" + password + ";";
}

}  // namespace cav_rig

namespace {

// Points the driver manager of every process that links the rig at the rig's
// odbcinst.ini and odbc.ini, and at no system or user file, before main runs.
// Variables set by whoever started the process win.
const bool configured = [] {
    setenv("ODBCINSTINI", CAV_RIG_ODBCINST_INI, 0);
    setenv("SYSODBCINSTINI", CAV_RIG_ODBCINST_INI, 0);
    setenv("ODBCINI", CAV_RIG_ODBC_INI, 0);
    setenv("SYSODBCINI", CAV_RIG_ODBC_INI, 0);
    return true;
}();

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Text columns as an Access file has them: Text fields of 255 characters,
// Memo fields for the long ones.
std::string columns(const std::vector<std::string>& names, const char* type = "VARCHAR(255)") {
    std::string out;
    for (const auto& n : names) out += ", " + n + " " + type;
    return out;
}

// Date/Time and Number columns of an Access file refuse an empty text ('')
// with "Data type mismatch": the rig's text columns refuse it likewise, on
// insert and on update, while NULL and any other text pass.
std::string refuseEmptyText(const std::string& table, const std::vector<std::string>& columns) {
    std::string when;
    for (const auto& c : columns) when += (when.empty() ? "NEW." : " OR NEW.") + c + " = ''";
    std::string sql;
    for (const char* event : {"INSERT", "UPDATE"})
        sql += "CREATE TRIGGER cav_rig_" + table + "_" + event + " BEFORE " + event + " ON " + table + " WHEN " +
               when + " BEGIN SELECT RAISE(ABORT, " + quoted(cav_rig::kTypeMismatchMessage) + "); END;";
    return sql;
}

std::vector<std::string> numbered(const std::string& stem, int count) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(stem + std::to_string(i));
    return names;
}

}  // namespace

void CavFixture::create(const std::string& path, const Options& options) {
    if (std::filesystem::exists(path)) throw std::runtime_error("CAV fixture exists already: " + path);
    std::string sql = "BEGIN;";
    sql += "CREATE TABLE tree (id INTEGER PRIMARY KEY" +
           columns({"name", "colour", "breed", "sex", "dob", "oldId", "fatherId", "motherId", "ps", "pd", "tag",
                    "prefix", "suffix"}) +
           columns({"health"}, "MEMO") + columns({"cage"}) + columns({"notes"}, "MEMO") +
           columns(numbered("customfield", 12)) + ");";
    sql += "CREATE TABLE matings (id INTEGER PRIMARY KEY" +
           columns({"Breed", "Boar", "Sow", "Due", "Mated", "Born", "numBoars", "NumSows", "Colour", "Sold",
                    "Unsuccessful", "Stillborn", "numUndefined"}) +
           ");";
    sql += "CREATE TABLE soldStock (id INTEGER PRIMARY KEY" +
           columns({"Dam", "Offspring", "Colour", "DateSold", "SoldTo", "Sire"}) + ");";
    sql += "CREATE TABLE vaccinations (id INTEGER PRIMARY KEY" + columns({"dueDate", "name", "vaccination", "done"}) +
           ");";
    sql += "CREATE TABLE cavyUser (id INTEGER PRIMARY KEY" + columns(numbered("fldCustomName", 12)) + ");";
    sql += refuseEmptyText("tree", {"dob", "oldId", "fatherId", "motherId"});
    sql += refuseEmptyText("matings", {"Due", "Mated", "Born", "numBoars", "NumSows", "Stillborn", "numUndefined"});
    sql += refuseEmptyText("soldStock", {"DateSold"});
    sql += refuseEmptyText("vaccinations", {"dueDate"});
    if (options.cavyUserId) sql += "INSERT INTO cavyUser (id) VALUES (" + std::to_string(*options.cavyUserId) + ");";
    if (options.password) {
        sql += "CREATE TABLE cavRigPassword (password VARCHAR(255));";
        sql += "INSERT INTO cavRigPassword VALUES (" + quoted(*options.password) + ");";
    }
    sql += "COMMIT;";
    const SqliteCli::Result result = SqliteCli::run(path, sql);
    if (!result.ok) throw std::runtime_error("cannot make the CAV fixture " + path + ": " + result.error);
}

