// Reports the resident memory of a process that holds the conversion
// services: with the CSV grid in place but empty, after filling part of it
// as an import would, and while a select of a full-size tree table is held.
// Run: build/bench/services_memory  (not part of the test suite)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "services/appSystem.h"

namespace {

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    std::printf("services loaded, grid empty:        %7.1f MB (target: under 20 MB)\n", residentMegabytes());
    // Reading the far corner touches the grid without writing it.
    if (!appSystem::CSVa(CsvGrid::LastRow, CsvGrid::LastColumn).empty()) return 1;
    std::printf("after reading the grid's last cell: %7.1f MB\n", residentMegabytes());

    // 10,000 lines of 30 fields, split as the CSV imports split them.
    String line;
    for (int c = 0; c < 30; ++c) line += (c ? "," : "") + String("field") + std::to_string(c);
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r <= 10000; ++r) appSystem::extractfields(appSystem::clean(line), r, ",");
    std::printf("10,001 rows x 30 cells written:     %7.1f MB (%.3f s)\n", residentMegabytes(), secondsSince(start));
    appSystem::CSVa.Clear();
    std::printf("after CSVa.Clear():                 %7.1f MB\n", residentMegabytes());

    // A full-size tree: 99,000 rows of the 46-column table, then one select of all.
    const std::string path = (std::filesystem::temp_directory_path() / "brevolan-bench-tree.cax").string();
    std::filesystem::remove(path);
    {
        auto db = New<SqlFileDatabase>();
        db->DatabaseFile = GetFolderItem(path);
        if (!db->CreateDatabaseFile()) return 1;
        appSystem::makeRSDfields(db);
        start = std::chrono::steady_clock::now();
        for (int r = 1; r <= 99000; ++r) {
            DatabaseRecord row;
            const String n = std::to_string(r);
            row.Column("name", "Animal number " + n);
            row.Column("colour", "brown and white");
            row.Column("breed", "Abyssinian");
            row.Column("sex", r % 2 ? "male" : "female");
            row.Column("DOB", "2020-03-04");
            row.Column("oldId", n);
            row.Column("fatherId", std::to_string(r / 2));
            row.Column("motherId", std::to_string(r / 3));
            row.Column("ps", "Animal number " + std::to_string(r / 2));
            row.Column("pd", "Animal number " + std::to_string(r / 3));
            row.Column("notes", "A short note about this animal");
            for (int c = 1; c <= 12; ++c) row.Column("customfield" + std::to_string(c), "custom " + n);
            db->InsertRecord("tree", row);
        }
        db->Commit();
        std::printf("99,000 tree rows inserted:          %7.1f MB (%.3f s)\n", residentMegabytes(),
                    secondsSince(start));
    }
    appSystem::dataPath = path;
    start = std::chrono::steady_clock::now();
    Ref<RecordSet> rs = appSystem::GetRecordset("Select * From tree");
    if (!rs) return 1;
    std::printf("select of all %lld rows held:      %7.1f MB (%.3f s)\n", static_cast<long long>(rs->RecordCount()),
                residentMegabytes(), secondsSince(start));
    rs = nullptr;
    appSystem::db = nullptr;
    std::filesystem::remove(path);
    return 0;
}
