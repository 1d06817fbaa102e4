// The File menu's import and export, and the drive selection for exports.

#include "app/forms.h"
#include "app/tarsio_form.h"
#include "gui/application.h"
#include "listfile/export.h"
#include "listfile/import.h"
#include "listfile/list_file.h"

void TForm1::mniFileOpenClick() {
    if (gui::RunFileDialog(dlgOpenImport) &&
        gui::MessageDlg("Are you sure importing junctions? Quit now if you do not know what you are doing!",
                        gui::MessageKind::Information, gui::Buttons::OkCancel) == gui::mrOk) {
        tarsio::TImport importer;
        bool hadErrors;
        {
            gui::HourGlass hourGlass;
            hadErrors = importer.Import(dlgOpenImport.fileName);
        }
        if (hadErrors)
            gui::MessageDlg("Errors during the import. Have a look at the file " + dlgOpenImport.fileName + "." +
                                " Values with an " + "\"" + importer.Marker + "\"" + " have not been imported",
                            gui::MessageKind::Information);
    }
    vteSourceTree->Repaint();
}

void TForm1::mniFileSaveAsClick() {
    if (!gui::RunFileDialog(dlgSaveExport)) return;
    tarsio::TExportResult result;
    {
        gui::HourGlass hourGlass;
        ExportLines.clear();
        tarsio::DriveList drives = tarsio::ChooseExportDrives(ExportDrives);
        {
            struct HidePanel {
                gui::Panel* panel;
                ~HidePanel() { panel->SetVisible(false); }
            } hide{pnlWaitInExport};
            pnlWaitInExport->SetVisible(true);
            Repaint();
            // The window keeps answering; the label shows the entry examined
            // last, repainted as often as the eye can follow.
            gui::BusyWork busy(btnCancelExport);
            result = tarsio::ScanJunctions(FindFile4Export, drives,
                                           [&](const std::string& folder, const std::string& name) {
                                               if (busy.Due()) {
                                                   lblExport->SetText(folder + name);
                                                   lblExport->Repaint();
                                                   busy.Answer();
                                               }
                                               return !busy.Cancelled();
                                           });
            ExportLines = result.Lines;
        }
        // Cancelled: nothing is written, and a file chosen keeps its contents.
        if (!result.Cancelled) tarsio::WriteExportFile(dlgSaveExport.fileName, ExportLines);
    }
    if (!result.Cancelled && result.LeftOutAnything())
        gui::MessageDlg(tarsio::LeftOutReport(result), gui::MessageKind::Information);
    vteSourceTree->Repaint();
}

void TForm1::mniSelectDrivetoExportClick() {
    if (ExportDrives.empty()) ExportDrives = tarsio::DefaultExportDrives();
    SelectDriveDlg->Drives = &ExportDrives;
    SelectDriveDlg->Show();
    SelectDriveDlg->BringToFront();
}
