#include "ui/frmMain.h"

#include "framework/FolderItem.h"
#include "framework/Interaction.h"
#include "services/FileTypeSets.h"
#include "services/appSystemWindows.h"
#include "ui/MenuBar1.h"
#include "ui/Pictures.h"
#include "ui/WebSite.h"
#include "ui/WindowParts.h"
#include "ui/frmSplash.h"
#include "ui/frmWait.h"

namespace {

const Color Black = Color::Hex(0x000000);
const Color Navy = Color::Hex(0x000080);
const Color White = Color::Hex(0xFFFFFF);

// A picture area showing `picture`, which is set before its other properties.
Ref<Canvas> iconCanvas(frmMainWindow& w, const String& name, const Ref<Picture>& picture, int left, int tabIndex) {
    Ref<Canvas> canvas = w.AddControl<Canvas>(name);
    canvas->SetBackdrop(picture);
    placeControl(canvas, left, 139, 32, 32, tabIndex);
    canvas->EraseBackground = true;
    canvas->UseFocusRing = false;
    canvas->Transparent = true;
    canvas->SetTabStop(false);
    return canvas;
}

Ref<RadioButton> radio(frmMainWindow& w, const String& name, const Ref<GroupBox>& group, const String& caption,
                       int left, int top, int width, int height, int tabIndex) {
    Ref<RadioButton> button = placeControl(w.AddControl<RadioButton>(name, group), left, top, width, height, tabIndex);
    button->SetTextSize(11);
    button->SetCaption(caption);
    button->SetValue(false);
    return button;
}

Ref<Label> label(frmMainWindow& w, const String& name, const String& text, int left, int top, int width, int height,
                 double textSize, const Color& color) {
    Ref<Label> l = placeControl(w.AddControl<Label>(name), left, top, width, height, 0);
    l->SetTextSize(textSize);
    l->SetMultiline(false);
    l->SetTextAlign(TextAlignment::Left);
    l->SetSelectable(false);
    l->SetTextColor(color);
    l->SetText(text);
    return l;
}

Ref<PushButton> commandButton(frmMainWindow& w, const String& name, const String& caption, int left, int top,
                       int tabIndex) {
    Ref<PushButton> b = addPushButton(w, name, caption, left, top, 80, 22, tabIndex);
    b->SetTextSize(11);
    return b;
}

Ref<GroupBox> group(frmMainWindow& w, const String& name, const String& caption, int left, int tabIndex) {
    Ref<GroupBox> g = placeControl(w.AddControl<GroupBox>(name), left, 14, 279, 119, tabIndex);
    g->SetBold(true);
    g->SetCaption(caption);
    return g;
}

// The menu item called `name` anywhere in the menu tree under `menu`.
Ref<MenuItem> findItem(const Ref<MenuItem>& menu, const String& name) {
    if (!menu) return nullptr;
    for (int i = 0; i < menu->Count(); ++i) {
        Ref<MenuItem> item = menu->Item(i);
        if (TextEquals(item->Name, name)) return item;
        if (Ref<MenuItem> inner = findItem(item, name)) return inner;
    }
    return nullptr;
}

}  // namespace

void frmMainWindow::Layout() {
    SetMenuBar(MenuBar1);
    setWindowFrame(*this, "Brevolan File Converter", 594, 250);
    Frame = FrameType::Document;
    Placement = WindowPlacement::MainScreen;
    HasBackColor = true;
    BackColor = Color::Hex(0xDBE7F2);
}

void frmMainWindow::CreateControls() { _CreateControls0(); }

void frmMainWindow::_CreateControls0() {
    cmdBrowse = commandButton(*this, "cmdBrowse", "Browse", 503, 180, 7);
    cmdBrowse->Action = [this] { cmdBrowse_Action(cmdBrowse); };

    fmeOptions = group(*this, "fmeOptions", "From", 10, 0);
    optFromCsv = radio(*this, "optFromCsv", fmeOptions, "CSV (Comma Seperated Values)", 26, 37, 242, 20, 0);
    optFromCsv->Action = [this] { optFromCsv_Action(optFromCsv); };
    optFromRsd = radio(*this, "optFromRsd", fmeOptions, "New Brevolan (Multi-platform)", 26, 63, 242, 20, 1);
    optFromRsd->Action = [this] { optFromRsd_Action(optFromRsd); };
    optFromCav = radio(*this, "optFromCav", fmeOptions, "Old Brevolan Database (.cav)", 26, 86, 242, 26, 2);
    optFromCav->Action = [this] { optFromCav_Action(optFromCav); };

    fmeOptions1 = group(*this, "fmeOptions1", "To", 301, 1);
    optToCav = radio(*this, "optToCav", fmeOptions1, "Old Brevolan Database (.cav)", 314, 63, 213, 20, 5);
    optToCav->Action = [this] { optToCav_Action(optToCav); };
    optToRsd = radio(*this, "optToRsd", fmeOptions1, "New Brevolan (Multi-platform)", 314, 37, 253, 20, 6);
    optToRsd->Action = [this] { optToRsd_Action(optToRsd); };
    optToCsv = radio(*this, "optToCsv", fmeOptions1, "CSV (Comma Seperated Values)", 314, 92, 253, 20, 7);
    optToCsv->Action = [this] { optToCsv_Action(optToCsv); };

    cmdConvert = commandButton(*this, "cmdConvert", "Convert", 503, 208, 8);
    cmdConvert->Action = [this] { cmdConvert_Action(cmdConvert); };

    // Every icon but the arrow starts beyond the window's width, out of sight
    // until a format choice moves it.
    cvFromLinux = iconCanvas(*this, "cvFromLinux", _x_linux(), 727, 9);
    cvFromWindows = iconCanvas(*this, "cvFromWindows", _x_windows(), 692, 5);
    cvFromMac = iconCanvas(*this, "cvFromMac", _x_mac(), 657, 4);
    cvArrow = iconCanvas(*this, "cvArrow", _x_arrow(), 280, 0);
    cvFromCSV = iconCanvas(*this, "cvFromCSV", _x_csv(), 621, 3);
    cvToLinux = iconCanvas(*this, "cvToLinux", _x_linux(), 934, 14);
    cvToWindows = iconCanvas(*this, "cvToWindows", _x_windows(), 899, 13);
    cvToMac = iconCanvas(*this, "cvToMac", _x_mac(), 864, 12);
    cvToCSV = iconCanvas(*this, "cvToCSV", _x_csv(), 828, 11);
    cvFromCav = iconCanvas(*this, "cvFromCav", _x_brevolan(), 764, 10);
    cvToCav = iconCanvas(*this, "cvToCav", _x_brevolan(), 972, 15);

    lblSource = label(*this, "lblSource", "Source:", 10, 164, 69, 18, 11, Black);
    lblDestination = label(*this, "lblDestination", "New File:", 10, 208, 69, 18, 11, Black);
    lblDestination->SetVisible(false);

    txtFilePath = placeControl(AddControl<TextField>("txtFilePath"), 10, 183, 485, 20, 6);
    txtFilePath->SetTextSize(10);
    txtFilePath->SetReadOnly(false);
    txtFilePath->SetLimitText(0);
    txtFilePath->SetHasBorder(true);
    txtFilePath->SetTextColor(Navy);
    txtFilePath->SetBackColor(White);
    txtFilePath->SetTextAlign(TextAlignment::Left);
    txtFilePath->SetTabStop(false);
    txtFilePath->SetText("");

    lblDestinationFilePath = label(*this, "lblDestinationFilePath", "", 15, 226, 476, 16, 10, Navy);
    // A long path is shortened in its middle, so that the new file's name
    // at its end stays in sight.
    lblDestinationFilePath->SetElidesLines(true);
}

void frmMainWindow::cmdBrowse_Action(const Ref<PushButton>&) {
    if (fromFileType == "" || toFileType == "") {
        MsgBox("Please select file type options");
        return;
    }
    OpenDialog dialog;
    if (optFromRsd->Value()) {
        dialog.Title = "Select a Brevolan data file";
        dialog.Filter = DatabaseFiles::All();
    } else if (optFromCav->Value()) {
        dialog.Title = "Select a Brevolan data file";
        dialog.Filter = CAVFiles::All();
    } else if (optFromCsv->Value()) {
        dialog.Title = "Select a csv file";
        dialog.Filter = CSVFiles::All();
    }
    if (Ref<FolderItem> file = dialog.ShowModal()) txtFilePath->SetText(file->AbsolutePath());
}

void frmMainWindow::optFromCsv_Action(const Ref<RadioButton>&) {
    showFromIcons(p3, p0, p0, p0, p0);
    fromFileType = "csv";
}

void frmMainWindow::optFromRsd_Action(const Ref<RadioButton>&) {
    showFromIcons(p0, p1, p2, p3, p0);
    fromFileType = "rsd";
}

void frmMainWindow::optFromCav_Action(const Ref<RadioButton>&) {
    showFromIcons(p0, p0, p0, p0, p3);
    fromFileType = "cav";
}

void frmMainWindow::optToCav_Action(const Ref<RadioButton>&) {
    showToIcons(p0, p0, p0, p0, p4);
    toFileType = "cav";
}

void frmMainWindow::optToRsd_Action(const Ref<RadioButton>&) {
    showToIcons(p0, p4, p5, p6, p0);
    toFileType = "rsd";
}

void frmMainWindow::optToCsv_Action(const Ref<RadioButton>&) {
    showToIcons(p4, p0, p0, p0, p0);
    toFileType = "csv";
}

void frmMainWindow::cmdConvert_Action(const Ref<PushButton>&) {
    if (txtFilePath->Text() == "") {
        MsgBox("Please choose a file to convert.");
        return;
    }
    if (fromFileType == "" || toFileType == "") {
        MsgBox("Please select file type options");
        return;
    }
    dispatchConversion();
}

Ref<MenuItem> frmMainWindow::HelpMenu() const { return findItem(AttachedMenuBar(), "HelpMenu"); }
Ref<MenuItem> frmMainWindow::AboutItem() const { return findItem(AttachedMenuBar(), "AboutItem"); }
Ref<MenuItem> frmMainWindow::HelpFileItem() const { return findItem(AttachedMenuBar(), "HelpFileItem"); }
Ref<MenuItem> frmMainWindow::FileMenu() const { return findItem(AttachedMenuBar(), "FileMenu"); }
Ref<MenuItem> frmMainWindow::FileQuit() const { return findItem(AttachedMenuBar(), "FileQuit"); }

void frmMainWindow::AddMenuHandlers() {
    AddMenuHandler("aboutItem", [this] { return _aboutItem_Action(); });
    AddMenuHandler("HelpFileItem", [this] { return _HelpFileItem_Action(); });
}

void frmMainWindow::Event_Open() {
    appSystem::setFontSize(Self());
    optFromCav->SetCaption("Old Brevolan file" + EndOfLine + "(Run converter in Windows)");
    optFromCav->SetEnabled(false);
    if (appSystem::tallowmirInstalled()) optToCsv->SetVisible(false);
    showFromIcons(p0, p0, p0, p0, p3);
}

void frmMainWindow::Event_Close() {
    if (frmWait.IsOpen()) frmWait->Close();
}

bool frmMainWindow::_aboutItem_Action() {
    frmSplash->Show();
    return true;
}

bool frmMainWindow::_HelpFileItem_Action() {
    try {
        makeHelpPage(ConverterHelpAddress);
    } catch (...) {
        // No help page this time; the program goes on as before the choice.
    }
    return true;
}

void frmMainWindow::showFromIcons(int64_t csvLeft, int64_t windowsLeft, int64_t macLeft, int64_t linuxLeft,
                                  int64_t cavLeft) {
    txtFilePath->SetText("");
    cvFromCSV->SetLeft(int(csvLeft));
    cvFromWindows->SetLeft(int(windowsLeft));
    cvFromMac->SetLeft(int(macLeft));
    cvFromLinux->SetLeft(int(linuxLeft));
    cvFromCav->SetLeft(int(cavLeft));
}

void frmMainWindow::showToIcons(int64_t csvLeft, int64_t windowsLeft, int64_t macLeft, int64_t linuxLeft,
                                int64_t cavLeft) {
    txtFilePath->SetText("");
    cvToCSV->SetLeft(int(csvLeft));
    cvToWindows->SetLeft(int(windowsLeft));
    cvToMac->SetLeft(int(macLeft));
    cvToLinux->SetLeft(int(linuxLeft));
    cvToCav->SetLeft(int(cavLeft));
}

void frmMainWindow::makeHelpPage(const String& address) {
    // Written where the desktop's browser can open it and the program may
    // write, whatever folder the program was started from.
    Ref<FolderItem> file = SpecialFolder::Temporary()->Child("Brevolan Converter Help.htm");
    const String page = "<head>" + String("<meta http-equiv= 'refresh' content='0; URL=") + address + "'>" + "</head>";
    launchWebpage(file, page);
}

void frmMainWindow::launchWebpage(const Ref<FolderItem>& file, const String& page) {
    Ref<TextOutputStream> stream = file->CreateTextFile();
    stream->Write(ConvertEncoding(page, Encoding::SystemDefault));
    stream->Close();
    file->MacType = "TEXT";
    file->MacCreator = "sfri";
    file->Launch();
}
