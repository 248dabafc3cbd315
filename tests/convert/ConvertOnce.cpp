// One conversion in a process of its own, for scripts/kill-during-conversions,
// which kills it at random moments:
//   convert_once import FILE.csv   the CSV file into FILE.cax beside it
//   convert_once export FILE.cax   the RSD/CAX file into "FILE( tree ).csv" beside it
// Every question is answered Yes (an earlier file is overwritten), and every
// box is written to standard error. Exits with 0 when the conversion ended
// with "Operation completed", 1 otherwise, 2 when it was called wrongly.

#include <cstdio>
#include <cstring>

#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCsv.h"
#include "framework/Interaction.h"
#include "services/appSystem.h"

namespace {

class YesToEverything : public InteractionHandler {
public:
    int ShowMessage(const String& text, int buttons, const String&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        completed = completed || text.rfind("Operation completed", 0) == 0;
        return buttons == MsgBoxYesNoQuestion ? AnswerYes : AnswerOK;
    }
    Ref<FolderItem> ChooseFile(const String&, const String&, const Ref<FolderItem>&) override { return nullptr; }
    void Beep() override {}
    void Launch(const FolderItem&) override {}
    bool completed = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "import") != 0 && std::strcmp(argv[1], "export") != 0)) {
        std::fprintf(stderr, "usage: %s import FILE.csv | export FILE.cax\n", argv[0]);
        return 2;
    }
    YesToEverything answers;
    SetInteractionHandler(&answers);
    appSystem::sourceFilepath = argv[2];
    if (std::strcmp(argv[1], "import") == 0) {
        appSystem::destinationFilePath = appSystem::getNewName(argv[2], ".cax");
        convertCsvToRsd::convertCSV();
    } else {
        convertRsdToCsv::runConvertRSDCSV();
    }
    SetInteractionHandler(nullptr);
    return answers.completed ? 0 : 1;
}
