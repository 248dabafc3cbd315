#pragma once
// The converter window. The user chooses the source format ("From") and the
// target format ("To"), each shown by small icons, picks the source file with
// Browse or types its path, and presses Convert. `frmMain` builds the window
// on first use (it shows at once) and returns the same window until it is
// closed.
//
// What the conversions use: `frmMain->txtFilePath` (the source path),
// `frmMain->lblDestination` ("New File:", hidden until a conversion was
// asked for) and `frmMain->lblDestinationFilePath` (the output path).
//
// Convert: cmdConvert_Action checks for a path and both formats here, then
// hands over to dispatchConversion, which (with makeCavFile and
// launchBrevolan) lives in ui/frmMainConvert.cpp beside the conversions.

#include <cstdint>

#include "framework/FolderItem.h"
#include "framework/Ref.h"
#include "framework/Text.h"
#include "framework/gui/Controls.h"
#include "framework/gui/Menu.h"
#include "framework/gui/Window.h"

class frmMainWindow : public Window {
public:
    // The chosen formats: "csv", "rsd" (RSD/CAX) or "cav"; "" until chosen.
    String fromFileType;
    String toFileType;
    // Icon places, left coordinates: three on the From side, three on the
    // To side, and p0 left of the window's edge for a hidden icon.
    int64_t p1 = 166;
    int64_t p2 = 201;
    int64_t p3 = 236;
    int64_t p4 = 334;
    int64_t p5 = 369;
    int64_t p6 = 404;
    int64_t p0 = -50;

    // The controls, in creation order.
    Ref<PushButton> cmdBrowse;
    Ref<GroupBox> fmeOptions;
    Ref<RadioButton> optFromCsv;
    Ref<RadioButton> optFromRsd;
    Ref<RadioButton> optFromCav;
    Ref<GroupBox> fmeOptions1;
    Ref<RadioButton> optToCav;
    Ref<RadioButton> optToRsd;
    Ref<RadioButton> optToCsv;
    Ref<PushButton> cmdConvert;
    Ref<Canvas> cvFromLinux;
    Ref<Canvas> cvFromWindows;
    Ref<Canvas> cvFromMac;
    Ref<Canvas> cvArrow;
    Ref<Canvas> cvFromCSV;
    Ref<Canvas> cvToLinux;
    Ref<Canvas> cvToWindows;
    Ref<Canvas> cvToMac;
    Ref<Canvas> cvToCSV;
    Ref<Canvas> cvFromCav;
    Ref<Canvas> cvToCav;
    Ref<Label> lblSource;
    Ref<Label> lblDestination;
    Ref<TextField> txtFilePath;
    Ref<Label> lblDestinationFilePath;

    // Attaches MenuBar1 and applies the window's properties.
    void Layout() override;
    void CreateControls() override;
    void _CreateControls0();

    // Browse: asks for both formats first, then offers the files of the
    // source format; a picked file's path goes into txtFilePath.
    void cmdBrowse_Action(const Ref<PushButton>& button);
    // The format choices: each places its side's icons (emptying the path)
    // and stores the type text.
    void optFromCsv_Action(const Ref<RadioButton>& button);
    void optFromRsd_Action(const Ref<RadioButton>& button);
    void optFromCav_Action(const Ref<RadioButton>& button);
    void optToCav_Action(const Ref<RadioButton>& button);
    void optToRsd_Action(const Ref<RadioButton>& button);
    void optToCsv_Action(const Ref<RadioButton>& button);
    // Convert: "Please choose a file to convert." without a path, "Please
    // select file type options" without both formats, else dispatchConversion.
    void cmdConvert_Action(const Ref<PushButton>& button);
    // Everything Convert does once its checks passed: the source path into
    // appSystem, exactly one conversion (or the box saying why none), then
    // "New File:" with appSystem::destinationFilePath.
    void dispatchConversion();
    // The conversion from `path` that the two file types name. A conversion
    // that runs out of memory ends in dispatchConversion, with a message.
    void dispatchTo(const String& path);

    // The menu items of the attached menu bar, found by name; nil when the
    // window has no menu bar or no such item.
    Ref<MenuItem> HelpMenu() const;
    Ref<MenuItem> AboutItem() const;
    Ref<MenuItem> HelpFileItem() const;
    Ref<MenuItem> FileMenu() const;
    Ref<MenuItem> FileQuit() const;

    // Registers the About and Help File handlers ("aboutItem", "HelpFileItem").
    void AddMenuHandlers() override;
    // Text size, the disabled CAV source, the CSV target hidden when the other
    // breeding program is installed, and the From side's CAV icon in sight.
    void Event_Open() override;
    // Closes an open progress window with this window.
    void Event_Close() override;
    // About: shows the splash window; true.
    bool _aboutItem_Action();
    // Help File: writes the help page and opens it; true, also on failure.
    bool _HelpFileItem_Action();

    // Empty the path field, then set the left positions of that side's CSV,
    // Windows, Mac, Linux and CAV icons, in this order.
    void showFromIcons(int64_t csv, int64_t windows, int64_t mac, int64_t linux, int64_t cav);
    void showToIcons(int64_t csv, int64_t windows, int64_t mac, int64_t linux, int64_t cav);

    // Starts the Brevolan program from beside the converter or from the
    // applications folder; false when it is in neither place or any step fails.
    bool launchBrevolan();
    // Builds the help page "Brevolan Converter Help.htm", which forwards to
    // `address`, in SpecialFolder::Temporary and hands it on; raises when
    // there is no such folder.
    void makeHelpPage(const String& address);
    // Writes `page` into `file` (replacing it) and opens it; raises on failure.
    void launchWebpage(const Ref<FolderItem>& file, const String& page);
    // Asks for an existing empty CAV database (or starts the Brevolan program
    // to make one); its absolute path, or "".
    String makeCavFile();
};

inline ImplicitInstance<frmMainWindow> frmMain;
