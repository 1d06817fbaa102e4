// The main window's layout, creation and its own small handlers.

#include "app/tarsio_form.h"

#include "engine/junction.h"
#include "engine/volume.h"
#include "gui/application.h"
#include "resources/resource_ids.h"

using gui::Rect;
using shelltree::TVirtualExplorerTree;

int EditFocus = 0;

namespace {

std::unique_ptr<gui::MenuItem> Entry(const char* name, const char* caption, const char* shortCut = "",
                                     bool enabled = true, const char* hint = "") {
    auto item = std::make_unique<gui::MenuItem>(name, caption);
    item->shortCut = shortCut;
    item->SetEnabled(enabled);
    item->hint = hint;
    return item;
}

}  // namespace

TForm1::TForm1() : gui::Form("Form1", "Tarsio") {
    left = 307;
    top = 141;
    clientWidth = 384;
    clientHeight = 467;
    borderStyle = gui::BorderStyle::Single;
    minimizeBox = true;
    fontName = "MS Sans Serif";
    fontHeight = -11;

    Panel1 = Make<gui::Panel>("Panel1", Rect{8, 0, 361, 289}, "Panel1");
    Panel1->tabOrder = 3;
    vteSourceTree = Make<TVirtualExplorerTree>("vteSourceTree", Rect{24, 8, 329, 273});
    vteSourceTree->tabOrder = 2;
    vteSourceTree->toHideRootFolder = true;
    vteSourceTree->FileObjects = shelltree::kEnumFolders | shelltree::kEnumNonFolders | shelltree::kEnumHidden;
    vteSourceTree->toRightClickSelect = true;
    vteSourceTree->toAnimatedToggle = true;
    pnlWaitInExport = Make<gui::Panel>("pnlWaitInExport", Rect{24, 8, 329, 273},
                                       "Please wait. Tarsio is exporting your links...");
    pnlWaitInExport->tabOrder = 4;
    lblExport = pnlWaitInExport->Make<gui::Label>("lblExport", 16, 152, "");
    // Escape presses it too while an export runs (gui::BusyWork).
    btnCancelExport = pnlWaitInExport->Make<gui::Button>("btnCancelExport", Rect{127, 232, 75, 25}, "Cancel");
    btnCancelExport->isCancel = true;

    pclInputAction = Make<gui::PageControl>("pclInputAction", Rect{8, 288, 369, 145});
    pclInputAction->tabOrder = 0;
    tabCreate = pclInputAction->Make<gui::TabSheet>("tabCreate", "C&reate Junction ");
    lblSource = tabCreate->Make<gui::Label>("lblSource", 0, 0, "Link from:");
    lblSourceLbl = tabCreate->Make<gui::Label>("lblSourceLbl", 0, 16, "Source");
    edtSource = tabCreate->Make<gui::Edit>("edtSource", Rect{48, 16, 289, 21});
    edtSource->tabOrder = 2;
    lblTarget = tabCreate->Make<gui::Label>("lblTarget", 0, 40, "Link to:");
    lblTargetLbl = tabCreate->Make<gui::Label>("lblTargetLbl", 0, 56, "Junction");
    edtTarget = tabCreate->Make<gui::Edit>("edtTarget", Rect{48, 56, 289, 21});
    edtTarget->tabOrder = 3;
    btnBrowse = tabCreate->Make<gui::Button>("btnBrowse", Rect{344, 57, 17, 25}, "...");
    btnBrowse->tabOrder = 0;
    btnCreate = tabCreate->Make<gui::Button>("btnCreate", Rect{48, 88, 75, 25}, "&Create...");
    btnCreate->tabOrder = 1;
    btnCreate->SetEnabled(false);

    tabDelete = pclInputAction->Make<gui::TabSheet>("tabDelete", "D&elete Junction");
    lblDeleteDesc = tabDelete->Make<gui::Label>("lblDeleteDesc", 8, 32, "Junction to");
    lblDelete = tabDelete->Make<gui::Label>("lblDelete", 8, 56, "Delete");
    edtDelete = tabDelete->Make<gui::Edit>("edtDelete", Rect{48, 56, 289, 21});
    edtDelete->tabOrder = 1;
    btnDelete = tabDelete->Make<gui::Button>("btnDelete", Rect{48, 88, 75, 25}, "&Delete...");
    btnDelete->tabOrder = 0;
    btnDelete->SetEnabled(false);

    TabSheet1 = pclInputAction->Make<gui::TabSheet>("TabSheet1", "Show Junctions");
    lblDuration = TabSheet1->Make<gui::Label>("lblDuration", 16, 8, "This operation might take some minutes...");
    btnInspect = TabSheet1->Make<gui::Button>("btnInspect", Rect{40, 40, 129, 25}, "I&nspect");
    btnInspect->tabOrder = 0;
    btnReset = TabSheet1->Make<gui::Button>("btnReset", Rect{192, 40, 129, 25}, "Rese&t");
    btnReset->tabOrder = 1;
    pclInputAction->SetActivePage(tabCreate);

    btnExit = Make<gui::Button>("btnExit", Rect{302, 436, 75, 25}, "E&xit");
    btnExit->tabOrder = 1;

    tarsio::SetUpFinder(FindFile);
    FindFile.KeepFoundFiles = false;  // inspection asks only whether a folder holds a junction
    tarsio::SetUpFinder(FindFile4Export);
    dlgSaveExport.save = true;
    dlgSaveExport.fileName = "TRExport1.trs";
    dlgSaveExport.filter = "Tarsio|*.trs|All Files|*.*";
    dlgSaveExport.overwritePrompt = true;
    dlgOpenImport.fileName = "TRExport1.trs";
    dlgOpenImport.filter = "Tarsio|*.trs|All Files|*.*";

    BuildMenu();
    BindEvents();
}

void TForm1::BuildMenu() {
    menu = std::make_unique<gui::MenuItem>("MainMenu", "");
    mnuFile = menu->Add(Entry("mnuFile", "&File"));
    mniFileOpen = mnuFile->Add(
        Entry("mniFileOpen", "&Import junction...", "Ctrl+O", false,
              "Import links and create junctions automatically. If this item is disabled, goto Options->Enable"));
    mniFileSaveAs = mnuFile->Add(
        Entry("mniFileSaveAs", "&Export Junction...", "Ctrl+S", false,
              "Export existing junctions to a file. If this item is disabled, goto Options->Enable"));
    mnuFile->Add(Entry("N2", "-"))->separator = true;
    mniFileExit = mnuFile->Add(Entry("mniFileExit", "E&xit", "Alt+F4"));
    mniFileExit->image = IDB_MENU_EXIT;

    // Ctrl+P is the Options entry's shortcut; nothing is bound to it.
    mnuOptions = menu->Add(Entry("mnuOptions", "&Options", "Ctrl+P"));
    mnuOptions->SetChecked(true);
    mniEnableImport = mnuOptions->Add(Entry("mniEnableImport", "Enable Import/Export"));
    mniEnableImport->autoCheck = true;
    mniSelectDrivetoExport = mnuOptions->Add(
        Entry("mniSelectDrivetoExport", "Select Drive to Export ...", "", false));

    mnuHelp = menu->Add(Entry("mnuHelp", "&Help"));
    mniHelpContents = mnuHelp->Add(Entry("mniHelpContents", "&Contents", "F1"));
    mniHelpContents->image = IDB_MENU_HELP;
    mniHelpAbout = mnuHelp->Add(Entry("mniHelpAbout", "&About..."));
    mniHelpAbout->image = IDB_MENU_ABOUT;
    AssignCommands(100);
}

void TForm1::BindEvents() {
    OnCreate = [this] { FormCreate(); };
    btnExit->OnClick = [this] { btnExitClick(); };
    mniFileExit->OnClick = [this] { btnExitClick(); };
    edtSource->OnChange = [this] { edtSourceChange(); };
    edtSource->OnEnter = [this] { edtSourceEnter(); };
    edtTarget->OnEnter = [this] { edtTargetEnter(); };
    mniEnableImport->OnClick = [this] { mniEnableImportClick(); };
    btnBrowse->OnClick = [this] { btnBrowseClick(); };
    btnCreate->OnClick = [this] { btnCreateClick(); };
    btnDelete->OnClick = [this] { btnDeleteClick(); };
    btnInspect->OnClick = [this] { btnInspectClick(); };
    btnReset->OnClick = [this] { btnResetClick(); };
    mniFileOpen->OnClick = [this] { mniFileOpenClick(); };
    mniFileSaveAs->OnClick = [this] { mniFileSaveAsClick(); };
    mniSelectDrivetoExport->OnClick = [this] { mniSelectDrivetoExportClick(); };
    mniHelpContents->OnClick = [this] { mniHelpContentsClick(); };
    mniHelpAbout->OnClick = [this] { mniHelpAboutClick(); };

    auto& tree = *vteSourceTree;
    tree.OnEnumFolder = [this](TVirtualExplorerTree&, shelltree::TNamespace& ns, bool& allow) {
        vteSourceTreeEnumFolder(ns, allow);
    };
    tree.OnInitNode = [this](TVirtualExplorerTree&, shelltree::PVirtualNode, shelltree::PVirtualNode node) {
        vteSourceTreeInitNode(node);
    };
    tree.OnPaintText = [this](TVirtualExplorerTree&, shelltree::Canvas& canvas, shelltree::PVirtualNode node) {
        vteSourceTreePaintText(canvas, node);
    };
    tree.OnClick = [this] { vteSourceTreeClick(); };
    tree.OnChecking = [this](TVirtualExplorerTree&, shelltree::PVirtualNode node, shelltree::CheckState&, bool&) {
        vteSourceTreeChecking(node);
    };
    tree.OnContextMenuShow = [this](TVirtualExplorerTree&, shelltree::TNamespace&, HMENU menu, bool&) {
        vteSourceTreeContextMenuShow(menu);
    };
    tree.OnContextMenuCmd = [this](TVirtualExplorerTree&, shelltree::TNamespace&, const std::string&, int, bool&) {
        vteSourceTreeContextMenuCmd();
    };
}

bool AnyVolumeSupportsJunctions() {
    for (char letter = 'C'; letter <= 'Y'; ++letter)
        if (tarsio::VolumeSupportsReparsePoints(std::string(1, letter) + ":")) return true;
    return false;
}

void TForm1::FormCreate() {
    Inspecting = false;
    ExportDrives.clear();
    if (!AnyVolumeSupportsJunctions() &&
        gui::MessageDlg(kNoVolumeQuestion, gui::MessageKind::Confirmation, gui::Buttons::YesNo) == gui::mrNo)
        gui::App().Terminate();
    pnlWaitInExport->SetVisible(false);
}

void TForm1::btnExitClick() { gui::App().Terminate(); }

void TForm1::edtSourceChange() {
    std::string text = edtSource->Text();
    if (text.empty()) return;
    if (text.front() == '"') text.erase(0, 1);
    if (!text.empty() && text.back() == '"') text.pop_back();
    // Writing back runs this handler again, nested, when the text changed.
    edtSource->SetText(text);
    btnCreate->SetEnabled(tarsio::DirectoryExists(text));
}

void TForm1::edtSourceEnter() { EditFocus = 1; }

void TForm1::edtTargetEnter() { EditFocus = 2; }

void TForm1::mniEnableImportClick() {
    bool on = mniEnableImport->Checked();
    mniFileOpen->SetEnabled(on);
    mniFileSaveAs->SetEnabled(on);
    mniSelectDrivetoExport->SetEnabled(on);
}

std::string CommaText(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        bool quote = item.find_first_of("\",") != std::string::npos;
        for (char c : item)
            if (static_cast<unsigned char>(c) <= ' ') quote = true;
        if (i) text += ',';
        if (!quote) {
            text += item;
            continue;
        }
        text += '"';
        for (char c : item) {
            if (c == '"') text += '"';
            text += c;
        }
        text += '"';
    }
    return text;
}
