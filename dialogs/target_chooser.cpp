#include "dialogs/target_chooser.h"

#include "engine/junction.h"
#include "shelltree/menu_ids.h"
#include "shelltree/tree_filters.h"

using shelltree::TVirtualExplorerTree;

TForm3::TForm3() : gui::Form("Form3", "Browse for target link") {
    borderStyle = gui::BorderStyle::Sizeable;
    left = 194;
    top = 107;
    outerWidth = 292;
    outerHeight = 366;

    lblTreeHeader = Make<gui::Label>("lblTreeHeader", 16, 8, "Choose a directory");
    vteTargetTree = Make<TVirtualExplorerTree>("vteTargetTree", gui::Rect{16, 32, 249, 241});
    vteTargetTree->FileObjects = shelltree::kEnumFolders | shelltree::kEnumHidden;
    vteTargetTree->toHideRootFolder = false;
    vteTargetTree->toRightClickSelect = false;
    btnOK = Make<gui::Button>("btnOK", gui::Rect{104, 296, 75, 25}, "OK");
    btnOK->tabOrder = 1;
    btnOK->SetEnabled(false);
    btnCancel = Make<gui::Button>("btnCancel", gui::Rect{192, 296, 75, 25}, "Cancel");
    btnCancel->tabOrder = 2;
    btnCancel->isCancel = true;

    vteTargetTree->OnEnumFolder = [this](TVirtualExplorerTree&, shelltree::TNamespace& ns, bool& allow) {
        vteTargetTreeEnumFolder(ns, allow);
    };
    vteTargetTree->OnInitNode = [this](TVirtualExplorerTree&, shelltree::PVirtualNode, shelltree::PVirtualNode node) {
        vteTargetTreeInitNode(node);
    };
    vteTargetTree->OnClick = [this] { vteTargetTreeClick(); };
    vteTargetTree->OnContextMenuShow = [this](TVirtualExplorerTree&, shelltree::TNamespace&, HMENU menu, bool&) {
        vteTargetTreeContextMenuShow(menu);
    };
    btnOK->OnClick = [this] { btnOKClick(); };
    btnCancel->OnClick = [this] { btnCancelClick(); };
}

void TForm3::vteTargetTreeEnumFolder(shelltree::TNamespace& ns, bool& allowAsChild) {
    if (tarsio::IsDriveItem(ns)) allowAsChild = tarsio::LocalDriveShown(ns);
    if (allowAsChild) allowAsChild = tarsio::DirectoryExists(shelltree::ToAnsi(ns.ParsingName()));
}

void TForm3::vteTargetTreeInitNode(shelltree::PVirtualNode node) {
    node->CheckType = shelltree::ctNone;
    shelltree::TNamespace* ns;
    if (vteTargetTree->NodeNamespace(node, ns) && ns->FileSystem() &&
        tarsio::HasReparsePoint(shelltree::ToAnsi(ns->ParsingName())))
        node->CheckType = shelltree::ctButton;
}

void TForm3::vteTargetTreeClick() {
    btnOK->SetEnabled(true);
    btnOK->SetFocus();
}

void TForm3::vteTargetTreeContextMenuShow(HMENU menu) {
    shelltree::GreyAllEntries(menu);
    // "Create" has no action of its own; the tree does not hand it to the shell.
    shelltree::InsertFirstEntry(menu, "Create", shelltree::FreeMenuItemId(menu));
}

void TForm3::btnOKClick() {
    Confirmed = true;
    shelltree::WideString path;
    vteTargetTree->SelectedPath(path);
    ChosenPath = shelltree::ToAnsi(path);
    Close();
}

void TForm3::btnCancelClick() {
    Close();
    Confirmed = false;
}
