#include "dialogs/about.h"

#include "resources/resource_ids.h"

TAboutBox::TAboutBox() : gui::Form("AboutBox", "About") {
    borderStyle = gui::BorderStyle::Dialog;
    centered = true;
    clientWidth = 387;
    clientHeight = 243;
    fontName = "MS Sans Serif";
    fontHeight = -11;

    Panel1 = Make<gui::Panel>("Panel1", gui::Rect{8, 8, 369, 185}, "");
    Panel1->tabOrder = 1;  // after OK: the box opens with the focus on OK, and Enter presses it
    Panel1->bevelInner = gui::Panel::Bevel::Raised;
    Panel1->bevelOuter = gui::Panel::Bevel::Lowered;
    ProgramIcon = Panel1->Make<gui::Image>("ProgramIcon", gui::Rect{8, 8, 65, 57}, tarsio::kProgramIcon);
    ProductName = Panel1->Make<gui::Label>("ProductName", 88, 16, "");
    Version = Panel1->Make<gui::Label>("Version", 88, 40, "Version");
    Copyright = Panel1->Make<gui::Label>("Copyright", 8, 64, "Copyright");
    mmoComments = Panel1->Make<gui::Memo>("mmoComments", gui::Rect{8, 80, 353, 105});
    mmoComments->border = false;
    mmoComments->color = gui::clBtnFace;
    mmoComments->verticalScrollBar = true;
    OKButton = Make<gui::Button>("OKButton", gui::Rect{135, 204, 82, 25}, "OK");
    OKButton->isDefault = true;
    OKButton->tabOrder = 0;
    OKButton->modalResult = gui::mrOk;

    OnActivate = [this] { FormActivate(); };
    OnClose = [this] { FormClose(); };
    OKButton->OnClick = [this] { OKButtonClick(); };
}

void TAboutBox::FormActivate() {
    ProductName->SetText(ProductText);
    Version->SetText("Version" + VersionText);
    Copyright->SetText("Copyright" + CopyrightText);
    // Each piece ended by a CR is a line; what follows the last CR of the
    // greeting goes before the comment, and what follows the comment's last
    // CR is not shown.
    std::string carried;
    for (const std::string& text : {GreetingText, CommentText}) {
        std::string rest = carried + text;
        std::size_t start = 0, cr;
        while ((cr = rest.find('\r', start)) != std::string::npos) {
            mmoComments->AddLine(rest.substr(start, cr - start));
            start = cr + 1;
        }
        carried = rest.substr(start);
    }
    mmoComments->SetSelStart(0);
}

void TAboutBox::OKButtonClick() { Close(); }

void TAboutBox::FormClose() {
    mmoComments->Clear();
    ProductText.clear();
    VersionText.clear();
    CopyrightText.clear();
    GreetingText.clear();
    CommentText.clear();
    ProductName->SetText("");
    Version->SetText("Version");
    Copyright->SetText("Copyright");
}
