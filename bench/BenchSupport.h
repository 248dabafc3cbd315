#pragma once
// What the benchmarks share: an interaction point that answers every
// question with Yes, the generated herd, the clock and the summary of
// repeated runs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "framework/Interaction.h"

namespace bench {

// Answers Yes to every question and prints every notice that is not the
// expected completion message.
class YesToEverything : public InteractionHandler {
public:
    int ShowMessage(const String& text, int buttons, const String&) override {
        if (buttons == MsgBoxYesNoQuestion) return AnswerYes;
        if (text != "Operation completed") std::printf("  box: %s\n", text.c_str());
        return AnswerOK;
    }
    Ref<FolderItem> ChooseFile(const String&, const String&, const Ref<FolderItem>&) override { return nullptr; }
    void Beep() override {}
    void Launch(const FolderItem&) override {}
};

// The heading line of the generated herd, without its line end.
inline std::string herdHeadings(bool withSex) {
    return std::string("name,uid,") + (withSex ? "sex," : "") +
           "dob,sireid,damid,sire,dam,colour,breed,notes,Weight,Litter,Show Wins";
}

// A herd in which the first animals are founders and every later one has a
// sire and a dam from the animals born before it, named and numbered.
inline void writeHerd(const std::string& path, int n, bool withSex) {
    std::mt19937 random(12345);
    std::ofstream out(path);
    out << herdHeadings(withSex) << "\n";
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

inline double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The values of one measure over repeated runs.
struct Runs {
    std::vector<double> values;

    double median() const {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        if (n == 0) return 0;
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double least() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double most() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }

    // "median unit (least-most)", each with `digits` decimals.
    std::string text(int digits, const char* unit) const {
        char out[96];
        std::snprintf(out, sizeof out, "%.*f%s (%.*f-%.*f)", digits, median(), unit, digits, least(), digits, most());
        return out;
    }
};

}  // namespace bench
