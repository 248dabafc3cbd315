// Times the conversions into CAV, through the same code the Convert button
// runs (progress window, connector and driver manager included), against a
// plain C loop that sends the same statements through iODBC to the same
// driver, the CAV test rig's: for the export with a commit per row, as the
// export commits; for the import the captions and the rows in one
// transaction, as the import writes them. Run it with
// QT_QPA_PLATFORM=offscreen.
//
//   cav_bench          10,000 animals; the export's source also has 2,000
//                      matings, 2,000 sold-stock rows and 2,000 vaccinations
//   cav_bench N        N animals, and N / 5 of each of the others
//   cav_bench N RUNS   as many runs (5 by default)
//   cav_bench N RUNS imports
//                      the imports only
//
// The import runs on the bench's herd, and again on the herd without the sex
// and the parents' names, which it then fills from the parents' ids and
// derives from parenthood on the file. The loop's statements are made from
// the rows that the conversion wrote (read back with the sqlite3 tool), so
// the loop inserts the same values into the same columns; afterwards the two
// files are compared, in every run. The two sides take turns, and each
// run's ratio compares the conversion with the loop that ran right after
// it; the median and the range of the runs are printed.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <QtGlobal>

#include "bench/BenchSupport.h"
#include "bench/PlainOdbcLoop.h"
#include "convert/cavDatabase.h"
#include "convert/convertCsvToCav.h"
#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCav.h"
#include "framework/SqlFileDatabase.h"
#include "framework/gui/Runtime.h"
#include "plugins/PluginEntryTable.h"
#include "services/appSystem.h"
#include "tests/rig/CavFixture.h"
#include "tests/support/SqliteCli.h"
#include "ui/frmWait.h"

namespace {

using namespace bench;

std::filesystem::path g_folder;
int g_files = 0;

// A new, empty rig CAV file.
std::string freshCav() {
    const std::string path = (g_folder / ("target" + std::to_string(++g_files) + ".cav")).string();
    CavFixture::create(path);
    return path;
}

// The RSD/CAX source of the export: the herd through the CSV import, then
// `others` matings, sold-stock rows and vaccinations between its animals.
// The sold-stock and breeding tables get the parents' and the undefined
// count's columns that files of the Brevolan program have.
std::string makeRsdSource(int animals, int others) {
    const std::string csv = (g_folder / "source.csv").string();
    writeHerd(csv, animals, true);
    appSystem::sourceFilepath = csv;
    appSystem::destinationFilePath = appSystem::getNewName(csv, ".cax");
    convertCsvToRsd::convertCSV();
    const std::string rsd = appSystem::destinationFilePath;

    std::mt19937 random(777);
    auto animal = [&] { return std::to_string(1 + random() % animals); };
    auto date = [&] { return "'20" + std::to_string(10 + random() % 14) + "-0" + std::to_string(1 + random() % 9) + "-1" +
                             std::to_string(random() % 10) + "'"; };
    std::string sql = "ALTER TABLE breeding ADD COLUMN numUndefined varchar;"
                      "ALTER TABLE soldstock ADD COLUMN motherId varchar;"
                      "ALTER TABLE soldstock ADD COLUMN fatherId varchar;";
    for (int i = 0; i < others; ++i) {
        sql += "INSERT INTO breeding(fatherId, motherId, breed, mated, due, born, numBoars, numSows, notes, sold, "
               "unsuccessful, stillBorn, numUndefined) VALUES ('" + animal() + "', '" + animal() + "', 'Rex', " +
               date() + ", " + date() + ", " + date() + ", '2', '3', 'big litter', '" +
               (i % 3 ? "False" : "True") + "', '0', '1', '0');";
        sql += "INSERT INTO soldstock(nameId, motherId, fatherId, DateSold, SoldTo, Notes, Price) VALUES ('" +
               animal() + "', '" + animal() + "', '" + animal() + "', " + date() + ", 'J. Smith''s farm', 'pet', '20');";
        sql += "INSERT INTO vaccinations(nameId, duedate, name, vaccination, done) VALUES ('" + animal() + "', " +
               date() + ", '', 'myxomatosis', 'yes');";
    }
    Ref<SqlFileDatabase> db = New<SqlFileDatabase>();
    db->DatabaseFile = GetFolderItem(rsd);
    if (!db->Connect()) return "";
    db->SQLExecute(sql);
    db->Commit();
    db->Close();
    return rsd;
}

// The generated herd without a sex column and without the parents' names
// (the "sire" and "dam" columns): only their ids.
void writeBareHerd(const std::string& path, int animals) {
    const std::string full = path + ".full";
    writeHerd(full, animals, false);
    std::ifstream in(full);
    std::ofstream out(path);
    for (std::string line; std::getline(in, line);) {
        // name,uid,dob,sireid,damid,sire,dam,...: the sixth and seventh go.
        size_t at = 0;
        for (int comma = 0; comma < 5; ++comma) at = line.find(',', at) + 1;
        const size_t end = line.find(',', line.find(',', at) + 1) + 1;
        out << line.substr(0, at) << line.substr(end) << "\n";
    }
    std::filesystem::remove(full);
}

// The INSERT statements that put the rows of `table` into a CAV file as
// `cav` holds them: the columns after id, every value as its SQL literal.
std::vector<std::string> insertsOf(const std::string& cav, const std::string& table) {
    std::vector<std::string> columns = SqliteCli::columns(cav, table);
    columns.erase(columns.begin());  // id: given by the database
    std::string names, values;
    for (const std::string& c : columns) {
        names += (names.empty() ? "" : ",") + c;
        values += (values.empty() ? "quote(" : " || ',' || quote(") + c + ")";
    }
    std::vector<std::string> statements;
    for (const SqliteCli::Row& row : SqliteCli::query(cav, "SELECT " + values + " FROM " + table + " ORDER BY id"))
        statements.push_back("INSERT INTO " + table + " (" + names + ")VALUES (" + row[0] + ")");
    return statements;
}

// Everything the file holds in the tables, for the comparison.
SqliteCli::Rows contents(const std::string& cav) {
    SqliteCli::Rows all;
    for (const char* table : {"tree", "matings", "soldStock", "vaccinations", "cavyUser"})
        for (SqliteCli::Row& row : SqliteCli::query(cav, std::string("SELECT * FROM ") + table + " ORDER BY id"))
            all.push_back(std::move(row));
    return all;
}

int g_runs = 5;

struct Result {
    Runs conversion, loop, ratio;
    bool same = true;
};

// Runs the conversion and the loop g_runs times each, alternating; the
// loop's steps are made from the first conversion's file.
template <class Convert, class Steps>
Result measure(Convert convert, Steps steps) {
    Result result;
    std::vector<std::string> texts;  // the statements the steps point into
    std::vector<PlainOdbcStep> plan;
    for (int run = 0; run < g_runs; ++run) {
        const std::string converted = freshCav();
        appSystem::destinationFilePath = converted;
        const auto start = std::chrono::steady_clock::now();
        convert();
        const double conversion = seconds(start);
        if (plan.empty()) plan = steps(converted, texts);

        const std::string looped = freshCav();
        const double loop = plain_odbc_run(cavDatabase::connectionText(looped).c_str(), plan.data(), plan.size());
        if (loop < 0) std::exit(1);
        result.conversion.values.push_back(conversion);
        result.loop.values.push_back(loop);
        result.ratio.values.push_back(conversion / loop);
        result.same = result.same && contents(converted) == contents(looped);
        std::filesystem::remove(converted);
        std::filesystem::remove(looped);
    }
    return result;
}

void print(const char* what, const Result& r) {
    std::printf("%s (%zu runs: median (least-most))\n", what, r.ratio.values.size());
    std::printf("  conversion %s   plain iODBC loop %s\n", r.conversion.text(3, " s").c_str(),
                r.loop.text(3, " s").c_str());
    std::printf("  each run (conversion / loop = ratio):");
    for (size_t i = 0; i < r.ratio.values.size(); ++i)
        std::printf(" %.3f/%.3f=%.2f", r.conversion.values[i], r.loop.values[i], r.ratio.values[i]);
    std::printf("\n");
    std::printf("  ratio %s; target at most 1.3x in every run: %s%s\n", r.ratio.text(2, "x").c_str(),
                r.ratio.most() <= 1.3 ? "met" : "MISSED", r.same ? "" : "   FILES DIFFER");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int animals = argc >= 2 ? std::atoi(argv[1]) : 10000;
    const int others = animals / 5;
    if (argc >= 3) g_runs = std::max(1, std::atoi(argv[2]));
    const bool importsOnly = argc >= 4 && std::string(argv[3]) == "imports";
    InitGuiRuntime(argc, argv);
    // The offscreen platform says at every Show that it cannot raise a
    // window; the benchmark's output is its timings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    YesToEverything answers;
    SetInteractionHandler(&answers);
    SetProgress(&progressWindow);
    SetPluginSearchPath(BREVOLAN_LIBS_DIR);
    plugins::BindPluginEntries();
    if (!plugins::Bound(plugins::ODBCDatabaseConnect)) {
        std::fprintf(stderr, "the connector is not bound: %s\n", PluginLoadError(plugins::ConnectorLibrary).c_str());
        return 1;
    }
    g_folder = std::filesystem::temp_directory_path() / ("brevolan-cav-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(g_folder);

    // The export: one statement and one commit per row of each table.
    Result exported;
    if (!importsOnly) {
    const std::string rsd = makeRsdSource(animals, others);
    exported = measure(
        [&] {
            appSystem::sourceFilepath = rsd;
            convertRsdToCav::runConvertRsdToCav();
        },
        [](const std::string& cav, std::vector<std::string>& texts) {
            for (const char* table : {"tree", "matings", "soldStock", "vaccinations"})
                for (std::string& s : insertsOf(cav, table)) texts.push_back(std::move(s));
            std::vector<PlainOdbcStep> plan = {{PLAIN_CONNECT, 0, nullptr}};
            for (const std::string& s : texts) {
                plan.push_back({PLAIN_EXECUTE, 0, s.c_str()});
                plan.push_back({PLAIN_COMMIT, 0, nullptr});
            }
            plan.push_back({PLAIN_DISCONNECT, 0, nullptr});
            return plan;
        });
    print(("RSD/CAX to CAV: " + std::to_string(animals) + " animals, " + std::to_string(others) +
           " matings, sold-stock rows and vaccinations each")
              .c_str(),
          exported);
    }

    // The import: one transaction of the captions (each an update after
    // the select of cavyUser) and one statement per animal, committed after
    // the last; the plain loop sends the same statements in one transaction.
    const std::string csv = (g_folder / "herd.csv").string();
    writeHerd(csv, animals, true);
    auto importSteps = [](const std::string& cav, std::vector<std::string>& texts) {
        texts.push_back("SELECT * FROM cavyUser");
        std::string columns;
        for (int n = 1; n <= 12; ++n)
            columns += (n > 1 ? ", quote(fldCustomName" : "quote(fldCustomName") + std::to_string(n) + ")";
        const SqliteCli::Row captions = SqliteCli::query(cav, "SELECT " + columns + " FROM cavyUser WHERE id = 1")[0];
        for (size_t n = 0; n < captions.size(); ++n)
            if (captions[n] != "NULL")
                texts.push_back("Update cavyUser SET fldCustomName" + std::to_string(n + 1) + " = " + captions[n] +
                                " WHERE id = 1");
        const size_t captionCount = texts.size() - 1;
        for (std::string& s : insertsOf(cav, "tree")) texts.push_back(std::move(s));

        std::vector<PlainOdbcStep> plan = {{PLAIN_CONNECT, 0, nullptr}, {PLAIN_AUTOCOMMIT_OFF, 0, nullptr}};
        for (size_t n = 1; n <= captionCount; ++n) {
            plan.push_back({PLAIN_SELECT, 0, texts[0].c_str()});
            plan.push_back({PLAIN_EXECUTE, 0, texts[n].c_str()});
        }
        for (size_t i = captionCount + 1; i < texts.size(); ++i) plan.push_back({PLAIN_EXECUTE, 0, texts[i].c_str()});
        plan.push_back({PLAIN_COMMIT, 0, nullptr});
        plan.push_back({PLAIN_DISCONNECT, 0, nullptr});
        return plan;
    };
    const Result imported = measure(
        [&] {
            appSystem::sourceFilepath = csv;
            convertCsvToCav::runconvertCSVtoCav();
        },
        importSteps);
    print(("CSV to CAV: " + std::to_string(animals) + " animals").c_str(), imported);

    // The same herd without the parents' names and the sex: after the rows
    // the import fills the names from the parents' ids and derives the sex
    // on the file. The plain loop writes the finished rows as they come out.
    const std::string bare = (g_folder / "bare.csv").string();
    writeBareHerd(bare, animals);
    const Result linked = measure(
        [&] {
            appSystem::sourceFilepath = bare;
            convertCsvToCav::runconvertCSVtoCav();
        },
        importSteps);
    print(("CSV to CAV without the parents' names and the sex (linked and derived on the file): " +
           std::to_string(animals) + " animals")
              .c_str(),
          linked);

    SetInteractionHandler(nullptr);
    std::filesystem::remove_all(g_folder);
    return exported.same && imported.same && linked.same ? 0 : 1;
}
