#pragma once
// TSelectDriveDlg: which drives the next export scans. Shown modeless; it
// shows the shared drive list Drives with every box checked, and OK puts
// the checked letters back into that list.

#include <string>
#include <vector>

#include "gui/controls.h"

class TSelectDriveDlg : public gui::Form {
public:
    TSelectDriveDlg();

    gui::Bevel* Bevel1;
    gui::StaticText* stxInfo;
    gui::CheckListBox* cbxChkAvailableDrives;
    gui::Button* OKBtn;
    gui::Button* CancelBtn;

    // The drive letters; the main window points it at its own list.
    std::vector<std::string>* Drives = nullptr;

    void FormCreate();
    void FormShow();
    void OKBtnClick();
    void CancelBtnClick();

private:
    std::vector<std::string> ownDrives_;
};
