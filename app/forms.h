#pragma once
// The program's forms: one instance each, made once in this order and kept
// until the process ends.

#include "app/tarsio_form.h"
#include "dialogs/about.h"
#include "dialogs/junction_info_dlg.h"
#include "dialogs/message_entry_box.h"
#include "dialogs/select_drive.h"
#include "dialogs/target_chooser.h"

extern TForm1* Form1;
extern TForm2* Form2;
extern TForm3* Form3;
extern TAboutBox* AboutBox;
extern TJunctionInfoDlg* JunctionInfoDlg;
extern TSelectDriveDlg* SelectDriveDlg;

// The application's title and help file.
void SetUpApplication();
// Creates the six forms, Form1 (the main form) first.
void CreateForms();
