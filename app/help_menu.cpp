// The Help menu: the help file's contents and the about box.

#include "app/forms.h"
#include "app/tarsio_form.h"
#include "dialogs/help.h"

void TForm1::mniHelpContentsClick() {
    ShowHelpContents();
    vteSourceTree->Repaint();
}

void TForm1::mniHelpAboutClick() {
    AboutBox->ProductText = about::kProduct;
    AboutBox->VersionText = about::kVersion;
    AboutBox->CopyrightText = about::kCopyright;
    AboutBox->GreetingText = about::kGreeting;
    AboutBox->CommentText = about::kComment;
    AboutBox->ShowModal();
}
