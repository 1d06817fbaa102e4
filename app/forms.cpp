#include "app/forms.h"

#include "gui/application.h"

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TAboutBox* AboutBox = nullptr;
TJunctionInfoDlg* JunctionInfoDlg = nullptr;
TSelectDriveDlg* SelectDriveDlg = nullptr;

void SetUpApplication() {
    gui::App().title = "Tarsio";
    gui::App().helpFile = "Tarsio.chm";
}

void CreateForms() {
    gui::Application& app = gui::App();
    app.CreateForm(Form1);
    app.CreateForm(Form2);
    app.CreateForm(Form3);
    app.CreateForm(AboutBox);
    app.CreateForm(JunctionInfoDlg);
    app.CreateForm(SelectDriveDlg);
}
