// Times the CSV to RSD/CAX import (with all pedigree linking) and the export
// back to CSV on generated herds of 10,000 and 99,000 animals, through the
// same code the Convert button runs, progress window included. Run it with
// QT_QPA_PLATFORM=offscreen. Each herd size runs in a child process of its
// own, so that the peak resident memory printed is that of one size.
//
//   convert_bench                 both sizes, then the growth ratio
//   convert_bench 99000           one size
//   convert_bench 99000 nosex     one size, a herd without a sex column: the
//                                 sex is then derived from parenthood as well

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QtGlobal>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "framework/Interaction.h"
#include "framework/gui/Runtime.h"
#include "services/appSystem.h"

namespace {

// Answers Yes to every question and prints every box that is not the
// expected completion message.
class YesToEverything : public InteractionHandler {
public:
    int ShowMessage(const String& text, int buttons, const String&) override {
        if (text != "Operation completed") std::printf("  box: %s\n", text.c_str());
        return buttons == MsgBoxYesNoQuestion ? AnswerYes : AnswerOK;
    }
    Ref<FolderItem> ChooseFile(const String&, const String&, const Ref<FolderItem>&) override { return nullptr; }
    void Beep() override {}
    void Launch(const FolderItem&) override {}
};

// A herd in which the first animals are founders and every later one has a
// sire and a dam from the animals born before it, named and numbered.
void writeHerd(const std::string& path, int n, bool withSex) {
    std::mt19937 random(12345);
    std::ofstream out(path);
    out << "name,uid," << (withSex ? "sex," : "")
        << "dob,sireid,damid,sire,dam,colour,breed,notes,Weight,Litter,Show Wins\n";
    const int founders = std::max(20, n / 50);
    std::vector<int> males, females;
    for (int id = 1; id <= n; ++id) {
        const bool male = id % 2 == 1;
        int sire = 0, dam = 0;
        if (id > founders) {
            // Parents come from the most recent few thousand animals.
            auto pick = [&](const std::vector<int>& pool) {
                const size_t recent = std::min<size_t>(pool.size(), 2000);
                return pool[pool.size() - 1 - random() % recent];
            };
            sire = pick(males);
            dam = pick(females);
        }
        out << "Animal " << id << "," << id << "," << (withSex ? (male ? "m," : "f,") : "") << 2000 + id % 24
            << "-0" << 1 + id % 9 << "-1" << id % 10 << "," << (sire ? std::to_string(sire) : "") << ","
            << (dam ? std::to_string(dam) : "") << "," << (sire ? "Animal " + std::to_string(sire) : "") << ","
            << (dam ? "Animal " + std::to_string(dam) : "") << ",agouti,Rex,born in the big shed,"
            << 400 + id % 300 << "g,L" << id / 8 << "," << id % 5 << "\n";
        (male ? males : females).push_back(id);
    }
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Runs one size in this process; prints one result line and returns the
// import's time in seconds.
double runOne(int n, bool withSex) {
    int argc = 1;
    static char name[] = "convert_bench";
    static char* argv[] = {name, nullptr};
    InitGuiRuntime(argc, argv);
    // The offscreen platform says at every Show that it cannot raise a
    // window; the benchmark's output is its timings.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    YesToEverything answers;
    SetInteractionHandler(&answers);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("brevolan-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string csv = (folder / "herd.csv").string();
    writeHerd(csv, n, withSex);

    appSystem::sourceFilepath = csv;
    appSystem::destinationFilePath = appSystem::getNewName(csv, ".cax");
    auto start = std::chrono::steady_clock::now();
    convertCsvToRsd::convertCSV();
    const double import = seconds(start);

    appSystem::sourceFilepath = appSystem::destinationFilePath;
    start = std::chrono::steady_clock::now();
    convertRsdToCsv::runConvertRSDCSV();
    const double exportTime = seconds(start);

    std::printf("%6d animals%s: import %6.2f s, export %5.2f s, peak memory %4ld MB\n", n,
                withSex ? "" : " (sex derived)", import, exportTime, peakMegabytes());
    std::fflush(stdout);
    SetInteractionHandler(nullptr);
    std::filesystem::remove_all(folder);
    return import;
}

// Where a child process leaves its import time for the parent.
std::filesystem::path timeFile(pid_t pid) {
    return std::filesystem::temp_directory_path() / ("brevolan-bench-" + std::to_string(pid) + ".time");
}

// Runs one size in a child process; its import time in seconds, or -1.
double runChild(int n, bool withSex) {
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string size = std::to_string(n);
        execl("/proc/self/exe", "convert_bench", size.c_str(), withSex ? "sex" : "nosex", "child",
              static_cast<char*>(nullptr));
        _exit(255);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    double t = -1;
    std::ifstream(timeFile(pid)) >> t;
    std::filesystem::remove(timeFile(pid));
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[3]) == "child") {
        const int n = std::atoi(argv[1]);
        const bool withSex = std::string(argv[2]) != "nosex";
        const double import = runOne(n, withSex);
        std::ofstream(timeFile(getpid())) << import;
        return 0;
    }
    const bool withSex = !(argc >= 3 && std::string(argv[2]) == "nosex");
    if (argc >= 2) return runChild(std::atoi(argv[1]), withSex) < 0;

    const double small = runChild(10000, withSex);
    const double large = runChild(99000, withSex);
    if (small <= 0 || large <= 0) return 1;
    std::printf("import growth 10,000 -> 99,000 animals: %.1fx (n log n would be %.1fx)\n", large / small,
                99000.0 * std::log(99000.0) / (10000.0 * std::log(10000.0)));
    return 0;
}
