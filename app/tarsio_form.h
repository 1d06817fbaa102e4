#pragma once
// TForm1, the main window: the folder tree of the drives, the pages to
// create, delete and show junctions, the Exit button and the main menu.

#include <string>
#include <vector>

#include "gui/backend.h"
#include "gui/controls.h"
#include "listfile/find_file.h"
#include "shelltree/explorer_tree.h"

class TForm1 : public gui::Form {
public:
    TForm1();

    // Controls, in drawing order (a later one lies on top).
    gui::Panel* Panel1;
    shelltree::TVirtualExplorerTree* vteSourceTree;
    gui::Panel* pnlWaitInExport;
    gui::Label* lblExport;
    gui::Button* btnCancelExport;
    gui::PageControl* pclInputAction;
    gui::TabSheet* tabCreate;
    gui::Label* lblSource;
    gui::Label* lblSourceLbl;
    gui::Edit* edtSource;
    gui::Label* lblTarget;
    gui::Label* lblTargetLbl;
    gui::Edit* edtTarget;
    gui::Button* btnBrowse;
    gui::Button* btnCreate;
    gui::TabSheet* tabDelete;
    gui::Label* lblDeleteDesc;
    gui::Label* lblDelete;
    gui::Edit* edtDelete;
    gui::Button* btnDelete;
    gui::TabSheet* TabSheet1;
    gui::Label* lblDuration;
    gui::Button* btnInspect;
    gui::Button* btnReset;
    gui::Button* btnExit;

    gui::MenuItem* mnuFile;
    gui::MenuItem* mniFileOpen;
    gui::MenuItem* mniFileSaveAs;
    gui::MenuItem* mniFileExit;
    gui::MenuItem* mnuOptions;
    gui::MenuItem* mniEnableImport;
    gui::MenuItem* mniSelectDrivetoExport;
    gui::MenuItem* mnuHelp;
    gui::MenuItem* mniHelpContents;
    gui::MenuItem* mniHelpAbout;

    tarsio::TFindFile FindFile;
    tarsio::TFindFile FindFile4Export;
    gui::FileDialog dlgSaveExport;
    gui::FileDialog dlgOpenImport;

    // The window's state.
    int LinkMenuItemId = 0;
    bool Inspecting = false;
    bool JunctionFound = false;
    std::vector<std::string> ExportDrives;
    std::vector<std::string> ExportLines;  // of the export under way

    // Handlers.
    void FormCreate();
    void btnExitClick();
    void edtSourceChange();
    void edtSourceEnter();
    void edtTargetEnter();
    void mniEnableImportClick();

    void vteSourceTreeEnumFolder(shelltree::TNamespace& ns, bool& allowAsChild);
    void vteSourceTreeInitNode(shelltree::PVirtualNode node);
    void vteSourceTreePaintText(shelltree::Canvas& canvas, shelltree::PVirtualNode node);
    void vteSourceTreeClick();
    void vteSourceTreeChecking(shelltree::PVirtualNode node);
    void vteSourceTreeContextMenuShow(HMENU menu);
    void vteSourceTreeContextMenuCmd();

    void btnBrowseClick();
    void btnCreateClick();
    void btnDeleteClick();
    void btnInspectClick();
    void btnResetClick();
    bool ContainsJunction(const shelltree::WideString& path);
    bool InspectEntryFound(const std::string& folder, const tarsio::TSearchRec& rec);

    void mniFileOpenClick();
    void mniFileSaveAsClick();
    void mniSelectDrivetoExportClick();
    void mniHelpContentsClick();
    void mniHelpAboutClick();

private:
    void BuildMenu();
    void BindEvents();
};

// Which edit field of the Create page was entered last: 0 none yet,
// 1 edtSource, 2 edtTarget. Never reset.
extern int EditFocus;

// The start-up check: whether any drive from C to Y supports reparse points.
bool AnyVolumeSupportsJunctions();

// The comma text of a list: an entry holding a blank, a control character,
// a double quote or a comma is quoted, with inner quotes doubled.
std::string CommaText(const std::vector<std::string>& items);

inline constexpr const char* kNoVolumeQuestion =
    "Non of your volumes has a NTFS formatted file system that allows using \"junction\" points. "
    "Do you still want to continue?";
