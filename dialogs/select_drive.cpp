#include "dialogs/select_drive.h"

TSelectDriveDlg::TSelectDriveDlg() : gui::Form("SelectDriveDlg", "Select Drive to scan for Export") {
    borderStyle = gui::BorderStyle::Dialog;
    centered = true;
    clientWidth = 313;
    clientHeight = 214;

    Bevel1 = Make<gui::Bevel>("Bevel1", gui::Rect{8, 8, 297, 161});
    stxInfo = Make<gui::StaticText>("stxInfo", gui::Rect{16, 24, 189, 17},
                                    "Select the drive included for the export:");
    stxInfo->tabOrder = 3;
    cbxChkAvailableDrives = Make<gui::CheckListBox>("cbxChkAvailableDrives", gui::Rect{56, 40, 121, 113});
    cbxChkAvailableDrives->tabOrder = 2;
    cbxChkAvailableDrives->itemHeight = 13;
    OKBtn = Make<gui::Button>("OKBtn", gui::Rect{79, 180, 75, 25}, "OK");
    OKBtn->tabOrder = 0;
    OKBtn->isDefault = true;
    OKBtn->modalResult = gui::mrOk;
    CancelBtn = Make<gui::Button>("CancelBtn", gui::Rect{159, 180, 75, 25}, "Cancel");
    CancelBtn->tabOrder = 1;
    CancelBtn->isCancel = true;
    CancelBtn->modalResult = gui::mrCancel;

    OnCreate = [this] { FormCreate(); };
    OnShow = [this] { FormShow(); };
    OKBtn->OnClick = [this] { OKBtnClick(); };
    CancelBtn->OnClick = [this] { CancelBtnClick(); };
}

void TSelectDriveDlg::FormCreate() { Drives = &ownDrives_; }

void TSelectDriveDlg::FormShow() {
    cbxChkAvailableDrives->Clear();
    for (const std::string& letter : *Drives) cbxChkAvailableDrives->Add(letter + ":\\", true);
}

void TSelectDriveDlg::OKBtnClick() {
    Drives->clear();
    for (const auto& item : cbxChkAvailableDrives->Items())
        if (item.checked) Drives->push_back(item.text.substr(0, 1));
    Close();
}

void TSelectDriveDlg::CancelBtnClick() { Close(); }
