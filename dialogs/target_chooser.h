#pragma once
// TForm3, the target chooser: a second folder tree in which the user picks
// the junction directory. Callers clear Confirmed, show it modally and copy
// ChosenPath when Confirmed is true.

#include <string>

#include "gui/controls.h"
#include "shelltree/explorer_tree.h"

class TForm3 : public gui::Form {
public:
    TForm3();

    gui::Label* lblTreeHeader;
    shelltree::TVirtualExplorerTree* vteTargetTree;
    gui::Button* btnOK;
    gui::Button* btnCancel;

    std::string ChosenPath;  // empty until the first OK
    bool Confirmed = false;

    void vteTargetTreeEnumFolder(shelltree::TNamespace& ns, bool& allowAsChild);
    void vteTargetTreeInitNode(shelltree::PVirtualNode node);
    void vteTargetTreeClick();
    void vteTargetTreeContextMenuShow(HMENU menu);
    void btnOKClick();
    void btnCancelClick();
};
