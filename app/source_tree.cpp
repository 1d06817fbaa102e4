// The main window's handlers of the source tree's events: which items it
// lists, how junctions are marked, what clicks, the check button and the
// context menu do.

#include "app/forms.h"
#include "app/tarsio_form.h"
#include "engine/junction.h"
#include "platform/unique_handle.h"
#include "shelltree/menu_ids.h"
#include "shelltree/tree_filters.h"

using shelltree::PVirtualNode;
using shelltree::TNamespace;
using shelltree::ToAnsi;

namespace {

// The 8-bit path of a node's namespace, and whether it has a reparse point.
bool NodeHasReparsePoint(TNamespace& ns) { return tarsio::HasReparsePoint(ToAnsi(ns.ParsingName())); }

// The context-menu image: loaded once, valid while menus are shown.
HBITMAP OpenBitmap() {
    static const tarsio::UniqueBitmap bitmap(os::LoadBitmapA("OPEN"));
    return bitmap.get();
}

}  // namespace

void TForm1::vteSourceTreeEnumFolder(TNamespace& ns, bool& allowAsChild) {
    if (tarsio::IsDriveItem(ns)) allowAsChild = tarsio::LocalDriveShown(ns);
    std::string path = ToAnsi(ns.ParsingName());
    allowAsChild = allowAsChild && tarsio::DirectoryExists(path);
    if (!Inspecting) return;
    // Inspection: only drive roots and folders that are or hold junctions.
    if (!ns.FileSystem())
        allowAsChild = false;
    else if (path.size() > 3 && ns.Folder())
        allowAsChild = ContainsJunction(ns.ParsingName());
}

void TForm1::vteSourceTreeInitNode(PVirtualNode node) {
    node->CheckType = shelltree::ctNone;
    TNamespace* ns;
    if (vteSourceTree->NodeNamespace(node, ns) && NodeHasReparsePoint(*ns)) node->CheckType = shelltree::ctButton;
}

void TForm1::vteSourceTreePaintText(shelltree::Canvas& canvas, PVirtualNode node) {
    TNamespace* ns;
    if (vteSourceTree->NodeNamespace(node, ns) && ns->FileSystem() && NodeHasReparsePoint(*ns))
        canvas.fontColor = gui::clFuchsia;
}

void TForm1::vteSourceTreeClick() {
    std::string paths = CommaText(vteSourceTree->SelectedPaths());
    TNamespace* ns;
    switch (pclInputAction->ActivePageIndex()) {
        case 0:
            if (EditFocus == 0 || EditFocus == 1)
                edtSource->SetText(paths);
            else if (EditFocus == 2)
                edtTarget->SetText(paths);
            btnCreate->SetEnabled(false);
            if (vteSourceTree->NodeNamespace(vteSourceTree->FirstSelectedNode(), ns) && ns->FileSystem())
                btnCreate->SetEnabled(!NodeHasReparsePoint(*ns));
            break;
        case 1:
            edtDelete->SetText(paths);
            btnDelete->SetEnabled(false);
            if (vteSourceTree->NodeNamespace(vteSourceTree->FirstSelectedNode(), ns) && ns->FileSystem())
                btnDelete->SetEnabled(NodeHasReparsePoint(*ns));
            break;
        default: break;
    }
}

void TForm1::vteSourceTreeChecking(PVirtualNode node) {
    TNamespace* ns;
    if (!vteSourceTree->NodeNamespace(node, ns)) return;
    std::string path = ToAnsi(ns->ParsingName());
    std::string destination;
    if (!tarsio::ReadJunctionDestination(path, destination)) return;
    JunctionInfoDlg->edtJunctionSource->SetText(tarsio::PlainDestination(destination));
    JunctionInfoDlg->edtJunctionTarget->SetText(path);
    JunctionInfoDlg->ShowModal();
}

void TForm1::vteSourceTreeContextMenuShow(HMENU menu) {
    shelltree::GreyAllEntries(menu);
    HBITMAP image = OpenBitmap();
    LinkMenuItemId = static_cast<int>(shelltree::FreeMenuItemId(menu));
    shelltree::InsertFirstEntry(menu, "Link this directory to...", static_cast<UINT>(LinkMenuItemId));
    os::SetMenuItemBitmaps(menu, 0, MF_BYPOSITION, image, image);
}

void TForm1::vteSourceTreeContextMenuCmd() {
    Form3->Confirmed = false;
    Form3->ShowModal();
    if (Form3->Confirmed) edtTarget->SetText(Form3->ChosenPath);
}
