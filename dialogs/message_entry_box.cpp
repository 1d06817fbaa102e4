#include "dialogs/message_entry_box.h"

TForm2::TForm2() : gui::Form("Form2", "Name for the target link") {
    borderStyle = gui::BorderStyle::Dialog;
    left = 292;
    top = 438;
    clientWidth = 416;
    clientHeight = 137;

    Label1 = Make<gui::Label>("Label1", 16, 8, kPrompt, 401, 33);
    Label1->wordWrap = true;
    edtTargetShort = Make<gui::Edit>("edtTargetShort", gui::Rect{16, 48, 385, 21});
    edtTargetShort->tabOrder = 0;
    edtTargetShort->SetEnabled(false);
    edtTargetShort->color = gui::clBtnFace;
    edtTargetDir = Make<gui::Edit>("edtTargetDir", gui::Rect{16, 80, 385, 21});
    edtTargetDir->tabOrder = 1;
    // Neither button is the default or the cancel button: Enter and Escape do not press them.
    btnOK = Make<gui::Button>("btnOK", gui::Rect{240, 104, 75, 25}, "&OK");
    btnOK->tabOrder = 2;
    btnCancel = Make<gui::Button>("btnCancel", gui::Rect{328, 104, 75, 25}, "&Cancel");
    btnCancel->tabOrder = 3;

    OnShow = [this] { FormShow(); };
    edtTargetDir->OnChange = [this] { edtTargetDirChange(); };
    btnOK->OnClick = [this] { btnOkClick(); };
    btnCancel->OnClick = [this] { btnCancelClick(); };
}

void TForm2::FormShow() {
    Label1->SetText(std::string(kPrompt) + SourcePath + " to:");
    edtTargetDir->SetText("");
    edtTargetShort->SetText(TargetPath);
}

void TForm2::edtTargetDirChange() {
    // A quoted prefix keeps its closing quote after the name.
    if (TargetPath.size() >= 2 && TargetPath.back() == '"')
        edtTargetShort->SetText(TargetPath.substr(0, TargetPath.size() - 1) + edtTargetDir->Text() + "\"");
    else
        edtTargetShort->SetText(TargetPath + edtTargetDir->Text());
}

void TForm2::btnOkClick() {
    Confirmed = true;
    TargetPath = edtTargetShort->Text();
    edtTargetDir->SetText("");
    Close();
}

void TForm2::btnCancelClick() {
    Confirmed = false;
    Close();
}
