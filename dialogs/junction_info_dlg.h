#pragma once
// TJunctionInfoDlg: where a junction leads. The caller fills both fields
// and shows it; OK closes it.

#include "gui/controls.h"

class TJunctionInfoDlg : public gui::Form {
public:
    TJunctionInfoDlg();

    gui::Bevel* Bevel1;
    gui::Label* Label1;
    gui::Edit* edtJunctionSource;  // the destination, without the native prefix
    gui::Label* Label2;
    gui::Edit* edtJunctionTarget;  // the junction's own path
    gui::Button* OKBtn;
};
