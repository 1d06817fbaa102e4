#pragma once
// TForm2, the target name dialog: the name of a new junction directory
// inside an existing one, with the full path composed as the user types.
// Callers set SourcePath, TargetPath (the prefix) and Confirmed (false),
// show it modally and read Confirmed and TargetPath.

#include <string>

#include "gui/controls.h"

class TForm2 : public gui::Form {
public:
    TForm2();

    gui::Label* Label1;
    gui::Edit* edtTargetShort;  // the composed path, not editable
    gui::Edit* edtTargetDir;    // the name typed
    gui::Button* btnOK;
    gui::Button* btnCancel;

    std::string SourcePath;
    std::string TargetPath;
    bool Confirmed = false;

    void FormShow();
    void edtTargetDirChange();
    void btnOkClick();
    void btnCancelClick();

    static constexpr const char* kPrompt = "Enter the target directory which is linked from ";
};
