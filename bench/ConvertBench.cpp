// Times the CSV to RSD/CAX import and the RSD/CAX to CSV export beside their
// anchors: the same work done the plainest fast way by small C programs on
// the program's own SQLite (bench/anchor/import_anchor.c and
// export_anchor.c) in the same run and on the same herd. For herds of 10,000 and 99,000 animals, with a sex
// column and without one (the sex is then derived from parenthood), each
// run measures
//
//   import, offscreen   Convert pressed in the converter window, the
//                       progress window live, with the offscreen platform
//   import, xcb         the same on an X server: the display that DISPLAY
//                       names, or an Xvfb that the bench starts itself
//   export              RSD/CAX to CSV through the converter window, offscreen
//   peak memory         of the processes that converted
//
// each in a new process that starts as the program does (plug-ins, file
// types, application object, converter window). It prints the median and
// the range of the runs, the ratio to the anchor and the target, then the
// growth from the smallest to the largest herd. Every run also checks that
// the anchor is faithful: its file dumps (sqlite3 tool) exactly as the
// converter's files, and its CSV has the converter's bytes.
//
//   convert_bench                       10,000 and 99,000 animals, both herds, 3 runs
//   convert_bench 20000 nosex runs 5    one size, the herd without a sex column, 5 runs
//
// Every argument is optional: sizes (numbers), "sex" and "nosex" (the
// herds), "runs N".

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QtGlobal>

#include "bench/BenchProcess.h"
#include "bench/BenchSupport.h"
#include "framework/gui/Runtime.h"
#include "framework/plugin/PluginHost.h"
#include "services/appSystem.h"
#include "tests/convert/MainWindow.h"
#include "ui/Startup.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

const std::string AnchorDir = BENCH_ANCHOR_DIR;
const std::string ImportAnchor = BENCH_IMPORT_ANCHOR;
const std::string ExportAnchor = BENCH_EXPORT_ANCHOR;

// ---- one run of the converter, in a child process --------------------------------

// This process's peak resident memory in kilobytes (VmHWM: of this program
// alone, not of the process that started it, which ru_maxrss would include).
long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Starts as the program does up to its converter window, presses Convert on
// folder/herd.csv (CSV to RSD/CAX) and, when asked, on the new file (RSD/CAX
// to CSV); writes both times in seconds and the peak memory to folder/times.
int convertInChild(const std::string& folder, bool alsoExport) {
    static int argc = 1;
    static char name[] = "convert_bench";
    static char* argv[] = {name, nullptr};
    InitGuiRuntime(argc, argv);
    // The offscreen platform says at every Show that it cannot raise a
    // window; the benchmark's output is its timings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    YesToEverything answers;
    SetInteractionHandler(&answers);
    SetPluginSearchPath(BREVOLAN_LIBS_DIR);
    _EarlyStartup();
    frmMain.Get();
    // The window is mapped and painted before the clock starts.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }

    const std::string csv = folder + "/herd.csv";
    auto start = std::chrono::steady_clock::now();
    pressConvert("csv", "rsd", csv);
    const double import = seconds(start);
    double exported = 0;
    if (alsoExport) {
        start = std::chrono::steady_clock::now();
        pressConvert("rsd", "csv", appSystem::getNewName(csv, ".cax"));
        exported = seconds(start);
    }
    std::ofstream(folder + "/times") << import << ' ' << exported << ' ' << peakKilobytes() << '\n';
    SetInteractionHandler(nullptr);
    return 0;
}

// ---- the parent: herds, runs, anchors, checks ------------------------------------

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The dumps and CSV files of the largest herds are tens of megabytes: they
// are compared and counted piece by piece.

bool sameBytes(const std::string& a, const std::string& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    if (!x || !y) return false;
    std::vector<char> p(1 << 16), q(1 << 16);
    while (x && y) {
        x.read(p.data(), std::streamsize(p.size()));
        y.read(q.data(), std::streamsize(q.size()));
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin())) return false;
    }
    return x.eof() && y.eof();
}

// The number of lines of the file that start with `start`.
int countLines(const std::string& path, const std::string& start) {
    std::ifstream in(path, std::ios::binary);
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.rfind(start, 0) == 0;
    return n;
}

std::string md5Of(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "?";
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result().toHex().toStdString();
}

struct Herd {
    int animals;
    bool withSex;
    std::string csv;  // written once, linked into each run's folders
};

std::string describe(const Herd& herd) {
    return std::to_string(herd.animals) + " animals, " + (herd.withSex ? "with a sex column" : "no sex column (sex derived)");
}

// A folder of its own for one side of one run, holding the herd as herd.csv.
std::string runFolder(const fs::path& root, const Herd& herd, const std::string& name) {
    const fs::path folder = root / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::create_hard_link(herd.csv, folder / "herd.csv");
    return folder.string();
}

// One run of the anchor.
struct Anchored {
    bool ok = false;
    double seconds = 0;
    long peakKilobytes = 0;
};

// An anchor program run in `folder` under GNU time, which tells its own
// peak memory.
Anchored runAnchor(const std::string& folder, std::vector<std::string> command) {
    ProcessOptions how;
    how.directory = folder;
    how.errors = folder + "/anchor.errors";
    const std::string memory = folder + "/anchor.memory";
    command.insert(command.begin(), {"/usr/bin/time", "-f", "%M", "-o", memory});
    const ProcessResult run = runProcess(command, how);
    Anchored result{run.ok, run.seconds, 0};
    std::ifstream(memory) >> result.peakKilobytes;
    const std::string errors = readFile(how.errors);
    if (!errors.empty()) {
        std::printf("  the anchor reported: %s", errors.c_str());
        result.ok = false;
    }
    return result;
}

// The converter in a child process on folder/herd.csv; its times are read
// back from the folder.
struct Converted {
    bool ok = false;
    double import = 0, exported = 0;
    long peakKilobytes = 0;
};

Converted runConverter(const std::string& folder, const std::string& platform, const std::string& display) {
    ProcessOptions how;
    how.errors = folder + "/converter.errors";
    how.environment = {{"QT_QPA_PLATFORM", platform}};
    if (!display.empty()) how.environment.push_back({"DISPLAY", display});
    const bool alsoExport = platform == "offscreen";
    const ProcessResult run =
        runProcess({fs::read_symlink("/proc/self/exe").string(), "child", folder, alsoExport ? "export" : "import"}, how);
    Converted result;
    std::ifstream times(folder + "/times");
    result.ok = run.ok && (times >> result.import >> result.exported >> result.peakKilobytes);
    if (!result.ok) std::printf("  the converter failed (%s): %s\n", platform.c_str(), readFile(how.errors).c_str());
    return result;
}

// The whole database as the sqlite3 tool dumps it, into a file beside it;
// that file's path.
std::string dump(const std::string& database) {
    ProcessOptions how;
    how.output = database + ".dump";
    runProcess({"sqlite3", database, ".dump"}, how);
    return how.output;
}

// The measures of one herd over its runs.
struct Measures {
    Runs importOffscreen, importXcb, anchorImport;
    Runs exported, anchorExport;
    Runs peakOffscreen, peakXcb, anchorPeak;
    std::vector<std::string> faults;  // what a check found, with the run's folder
};

void measureRun(const fs::path& root, const Herd& herd, int run, const std::string& display, Measures& m) {
    const std::string tag = std::to_string(herd.animals) + (herd.withSex ? "-sex-" : "-nosex-") + std::to_string(run);
    bool faithful = true;
    auto fault = [&](const std::string& what) {
        m.faults.push_back(what + " (run " + std::to_string(run) + ", kept in " + (root / tag).string() + ")");
        faithful = false;
    };

    const std::string converter = runFolder(root / tag, herd, "offscreen");
    const Converted offscreen = runConverter(converter, "offscreen", "");

    const std::string anchor = runFolder(root / tag, herd, "anchor");
    const Anchored anchorImport =
        runAnchor(anchor, {ImportAnchor, AnchorDir + "/schema.sql", anchor + "/herd.csv", anchor + "/herd.cax"});
    const std::string anchorTables = dump(anchor + "/herd.cax");

    const std::string programCsv = converter + "/herd( tree ).csv";
    const Anchored anchorExport = runAnchor(anchor, {ExportAnchor, converter + "/herd.cax", anchor + "/export.csv"});

    if (!offscreen.ok || !anchorImport.ok || !anchorExport.ok) fault("a side failed");
    // Two empty results would compare equal: the anchor must have the herd.
    if (countLines(anchorTables, "INSERT INTO tree VALUES(") != herd.animals ||
        countLines(anchor + "/export.csv", "") != herd.animals + 1)
        fault("the anchor did not write every animal");
    if (offscreen.ok && anchorImport.ok && !sameBytes(dump(converter + "/herd.cax"), anchorTables))
        fault("the anchor's file differs from the converter's (offscreen)");
    if (offscreen.ok && anchorExport.ok && !sameBytes(programCsv, anchor + "/export.csv"))
        fault("the anchor's CSV differs from the converter's");
    m.importOffscreen.values.push_back(offscreen.import);
    m.exported.values.push_back(offscreen.exported);
    m.peakOffscreen.values.push_back(offscreen.peakKilobytes / 1024.0);
    m.anchorImport.values.push_back(anchorImport.seconds);
    m.anchorExport.values.push_back(anchorExport.seconds);
    m.anchorPeak.values.push_back(std::max(anchorImport.peakKilobytes, anchorExport.peakKilobytes) / 1024.0);

    if (!display.empty()) {
        const std::string onDisplay = runFolder(root / tag, herd, "xcb");
        const Converted xcb = runConverter(onDisplay, "xcb", display);
        if (!xcb.ok) fault("the converter failed under xcb");
        else if (!sameBytes(dump(onDisplay + "/herd.cax"), anchorTables))
            fault("the anchor's file differs from the converter's (xcb)");
        m.importXcb.values.push_back(xcb.import);
        m.peakXcb.values.push_back(xcb.peakKilobytes / 1024.0);
    }
    if (faithful) fs::remove_all(root / tag);
}

// ---- the report ------------------------------------------------------------------

Runs ratios(const Runs& a, const Runs& b) {
    Runs r;
    for (size_t i = 0; i < a.values.size() && i < b.values.size(); ++i) r.values.push_back(a.values[i] / b.values[i]);
    return r;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

void printRow(const char* what, const std::string& program, const std::string& anchor, const std::string& ratio,
              const std::string& target) {
    std::printf("  %-22s %-24s %-24s %-20s %s\n", what, program.c_str(), anchor.c_str(), ratio.c_str(), target.c_str());
}

void printTime(const char* what, const Runs& program, const Runs& anchor, const char* target, double most) {
    if (program.values.empty()) return;
    const Runs r = ratios(program, anchor);
    printRow(what, program.text(3, " s"), anchor.text(3, " s"), r.text(2, "x"),
             std::string("at most ") + target + ": " + verdict(r.median() <= most));
}

void printMemory(const char* what, const Runs& program, const Runs& anchor) {
    if (program.values.empty()) return;
    printRow(what, program.text(0, " MB"), anchor.text(0, " MB"), ratios(program, anchor).text(1, "x"),
             std::string("under 150 MB, every run: ") + verdict(program.most() < 150));
}

void printHerd(const Herd& herd, const Measures& m, size_t runs) {
    std::printf("\n%s (herd md5 %s)\n", describe(herd).c_str(), md5Of(herd.csv).c_str());
    std::printf("  %zu runs, each figure the median (least-most); a ratio is taken within each run\n", runs);
    printRow("", "converter", "anchor (C)", "ratio", "target (median)");
    printTime("import, offscreen", m.importOffscreen, m.anchorImport, "2x", 2.0);
    printTime("import, xcb", m.importXcb, m.anchorImport, "2x", 2.0);
    // What a display costs: the import under xcb against the same run's
    // import offscreen.
    if (!m.importXcb.values.empty()) {
        const Runs r = ratios(m.importXcb, m.importOffscreen);
        printRow("import, xcb/offscreen", "", "", r.text(2, "x"),
                 std::string("at most 1.2x: ") + verdict(r.median() <= 1.2));
    }
    printTime("export, offscreen", m.exported, m.anchorExport, "1.2x", 1.2);
    printMemory("peak memory, offscreen", m.peakOffscreen, m.anchorPeak);
    printMemory("peak memory, xcb", m.peakXcb, m.anchorPeak);
    if (m.faults.empty()) std::printf("  anchor faithful in every run: the same tables, the same CSV bytes\n");
    for (const std::string& f : m.faults) std::printf("  NOT FAITHFUL: %s\n", f.c_str());
    std::fflush(stdout);
}

void printGrowth(const std::vector<Herd>& herds, const std::vector<Measures>& measures) {
    for (size_t small = 0; small < herds.size(); ++small)
        for (size_t large = 0; large < herds.size(); ++large) {
            const Herd &a = herds[small], &b = herds[large];
            if (a.withSex != b.withSex || a.animals >= b.animals) continue;
            std::printf("\ngrowth %d -> %d animals, %s (medians; target at most 11x)\n", a.animals, b.animals,
                        b.withSex ? "with a sex column" : "no sex column");
            auto line = [](const char* what, const Runs& x, const Runs& y) {
                if (x.values.empty() || y.values.empty()) return;
                const double g = y.median() / x.median();
                std::printf("  %-22s %.1fx: %s\n", what, g, verdict(g <= 11));
            };
            line("import, offscreen", measures[small].importOffscreen, measures[large].importOffscreen);
            line("import, xcb", measures[small].importXcb, measures[large].importXcb);
            line("export, offscreen", measures[small].exported, measures[large].exported);
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "child") return convertInChild(argv[2], std::string(argv[3]) == "export");

    std::vector<int> sizes;
    std::vector<bool> kinds;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "sex" || a == "nosex") kinds.push_back(a == "sex");
        else if (a == "runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else if (std::atoi(a.c_str()) > 0) sizes.push_back(std::atoi(a.c_str()));
        else {
            std::fprintf(stderr, "usage: convert_bench [SIZE...] [sex] [nosex] [runs N]\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {10000, 99000};
    if (kinds.empty()) kinds = {true, false};

    // A display of the bench's own unless one is there.
    std::string display;
    std::unique_ptr<XServer> xvfb;
    if (const char* d = std::getenv("DISPLAY"); d && *d) {
        display = d;
    } else {
        xvfb = std::make_unique<XServer>();
        display = xvfb->display();
        if (display.empty()) std::printf("no X server (%s): the xcb rows are left out\n", xvfb->error().c_str());
    }

    const fs::path root = fs::temp_directory_path() / ("brevolan-convert-bench-" + std::to_string(getpid()));
    fs::create_directories(root);
    std::vector<Herd> herds;
    std::vector<Measures> measures;
    bool faithful = true;
    for (bool withSex : kinds)
        for (int n : sizes) {
            Herd herd{n, withSex, (root / ("herd-" + std::to_string(n) + (withSex ? "-sex.csv" : "-nosex.csv"))).string()};
            writeHerd(herd.csv, n, withSex);
            Measures m;
            for (int run = 1; run <= runs; ++run) measureRun(root, herd, run, display, m);
            printHerd(herd, m, size_t(runs));
            faithful = faithful && m.faults.empty();
            herds.push_back(herd);
            measures.push_back(std::move(m));
        }
    printGrowth(herds, measures);
    for (const Herd& herd : herds) fs::remove(herd.csv);
    if (faithful) fs::remove_all(root);
    return faithful ? 0 : 1;
}
