#include "dialogs/junction_info_dlg.h"

TJunctionInfoDlg::TJunctionInfoDlg() : gui::Form("JunctionInfoDlg", "Junction Information") {
    borderStyle = gui::BorderStyle::Dialog;
    centered = true;
    clientWidth = 313;
    clientHeight = 188;

    Bevel1 = Make<gui::Bevel>("Bevel1", gui::Rect{8, 8, 297, 137});
    Label1 = Make<gui::Label>("Label1", 24, 24, "Source of the link:");
    edtJunctionSource = Make<gui::Edit>("edtJunctionSource", gui::Rect{24, 48, 273, 21});
    edtJunctionSource->tabOrder = 1;
    edtJunctionSource->SetEnabled(false);
    Label2 = Make<gui::Label>("Label2", 24, 80, "is connected with the junction:");
    edtJunctionTarget = Make<gui::Edit>("edtJunctionTarget", gui::Rect{24, 104, 273, 21});
    edtJunctionTarget->tabOrder = 2;
    edtJunctionTarget->SetEnabled(false);
    OKBtn = Make<gui::Button>("OKBtn", gui::Rect{111, 156, 90, 25}, "OK");
    OKBtn->tabOrder = 0;
    OKBtn->isDefault = true;
    OKBtn->modalResult = gui::mrOk;
}
