// Convert, once its checks have passed: the dispatch to one conversion, the
// choice of an empty CAV database and the start of the Brevolan program.

#include <new>

#include "convert/convertCavToCsv.h"
#include "convert/convertCavToRsd.h"
#include "convert/convertCsvToCav.h"
#include "convert/convertCsvToRsd.h"
#include "convert/convertRsdToCav.h"
#include "convert/convertRsdToCsv.h"
#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "framework/SqlFileDatabase.h"
#include "services/Progress.h"
#include "services/FileTypeSets.h"
#include "services/appSystem.h"
#include "ui/App.h"
#include "ui/WebSite.h"
#include "ui/frmMain.h"

namespace {

// True while a conversion runs. A conversion yields to the event loop at
// every step, and while no progress window is up the converter window takes
// clicks: a second Convert must not start a conversion inside the first.
bool g_converting = false;

class ConversionRunning {
public:
    ConversionRunning() { g_converting = true; }
    ~ConversionRunning() { g_converting = false; }
    ConversionRunning(const ConversionRunning&) = delete;
    ConversionRunning& operator=(const ConversionRunning&) = delete;
};

}  // namespace

void frmMainWindow::dispatchConversion() {
    if (g_converting) {
        MsgBox("A conversion is running. Wait until it has finished, then try again.");
        return;
    }
    ConversionRunning running;

    const String path = txtFilePath->Text();
    appSystem::sourceFilepath = path;
    try {
        dispatchTo(path);
    } catch (const std::bad_alloc&) {
        // The unwinding has given back what the conversion held and taken
        // away its unfinished file; the source is only ever read.
        if (appSystem::db) appSystem::db->Close();
        CurrentProgress().Close();
        MsgBox("There is not enough memory to finish the conversion, so it was stopped." + EndOfLine +
               "The source file is unchanged, and no new file was made.");
    }

    lblDestination->SetVisible(true);
    lblDestinationFilePath->SetText(appSystem::destinationFilePath);
}

void frmMainWindow::dispatchTo(const String& path) {

    if (fromFileType == "csv") {
        if (toFileType == "rsd") {
            appSystem::destinationFilePath = appSystem::getNewName(path, ".cax");
            convertCsvToRsd::convertCSV();
        } else if (toFileType == "csv") {
            MsgBox("File is already in selected format (csv)");
        } else if (toFileType == "cav") {
            appSystem::destinationFilePath = makeCavFile();
            if (!appSystem::destinationFilePath.empty()) convertCsvToCav::runconvertCSVtoCav();
        }
    } else if (fromFileType == "rsd") {
        if (toFileType == "rsd") {
            MsgBox("File is already in selected format (rsd/cax)");
        } else if (toFileType == "csv") {
            convertRsdToCsv::runConvertRSDCSV();
        } else if (toFileType == "cav") {
            appSystem::destinationFilePath = makeCavFile();
            if (!appSystem::destinationFilePath.empty()) convertRsdToCav::runConvertRsdToCav();
        }
    } else if (fromFileType == "cav") {
        if (toFileType == "rsd") {
            appSystem::destinationFilePath = appSystem::getNewName(path, ".cax");
            convertCavToRsd::runConvertCavToRsd();
        } else if (toFileType == "csv") {
            convertCavToCsv::runconvertcavToCsv();
        } else if (toFileType == "cav") {
            MsgBox("File is already in selected format (cav)");
        }
    }
}

String frmMainWindow::makeCavFile() {
    const int answer = MsgBox(
        "The converter cannot create a Brevolan database. Use your Brevolan program to create a new empty database "
        "(don't worry about entering settings). " +
            EndOfLine +
            "If you have already done this click YES to continue. Click NO to launch Brevolan and create a new "
            "database file.",
        MsgBoxYesNoQuestion, "Find database");
    if (answer == AnswerYes) {
        OpenDialog dialog;
        if (Ref<FolderItem> documents = SpecialFolder::Documents())
            dialog.InitialDirectory = GetFolderItem(documents->AbsolutePath() + "Brevolan");
        dialog.Title = "Select a Brevolan data file";
        dialog.Filter = CAVFiles::All();
        Ref<FolderItem> chosen = dialog.ShowModal();
        return chosen ? chosen->AbsolutePath() : String();
    }
    if (!launchBrevolan())
        MsgBox("Unable to find Brevolan program on this computer." + EndOfLine + "Install Brevolan from " +
               BrevolanWebSite + " and try again.");
    return String();
}

bool frmMainWindow::launchBrevolan() {
    try {
        Ref<FolderItem> besideConverter = GetFolderItem(App->ExecutableFile()->Parent()->AbsolutePath() + "brevolan.exe");
        Ref<FolderItem> inApplications =
            GetFolderItem(SpecialFolder::Applications()->AbsolutePath() + "brevolan\\brevolan.exe");
        for (const Ref<FolderItem>& program : {besideConverter, inApplications}) {
            if (program->Exists()) {
                program->Launch();
                return true;
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}
