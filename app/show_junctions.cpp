// "Show Junctions": while inspecting, the source tree lists below the drive
// roots only folders that are, or hold, a junction.

#include "app/tarsio_form.h"
#include "engine/junction.h"
#include "gui/application.h"

void TForm1::btnInspectClick() {
    Inspecting = true;
    btnInspect->SetText("I&nspecting is enabled");
    vteSourceTree->RefreshTree();
}

void TForm1::btnResetClick() {
    Inspecting = false;
    btnInspect->SetText("I&nspecting is disabled");
    vteSourceTree->RefreshTree();
}

bool TForm1::ContainsJunction(const shelltree::WideString& path) {
    gui::HourGlass hourGlass;
    // A search through a large folder keeps the window answering; there is
    // nothing to cancel it with.
    gui::BusyWork busy;
    std::string folder = shelltree::ToAnsi(path);
    FindFile.OnFileFound = [this](const std::string& f, const tarsio::TSearchRec& rec) {
        if (gui::BusyWork* work = gui::App().busyWork(); work && work->Due()) work->Answer();
        return InspectEntryFound(f, rec);
    };
    JunctionFound = false;
    if (tarsio::HasReparsePoint(folder)) {
        // Never searched, whatever its kind: nor does the search enter one.
        JunctionFound = tarsio::IsLinkToFolder(folder);
    } else if (tarsio::DirectoryExists(folder)) {
        // The search ends at the first junction; it does not enter junctions.
        FindFile.SetPath(folder);
        FindFile.Execute();
    }
    return JunctionFound;
}

// The listing tells the reparse point and its kind: asking the file system
// again for every entry would double the search's cost. Only a folder that
// leads to another counts; an app execution alias or a cloud placeholder
// beside it (found in every profile) does not.
bool TForm1::InspectEntryFound(const std::string&, const tarsio::TSearchRec& rec) {
    JunctionFound = tarsio::IsLinkToFolder(rec.Attr, rec.ReparseTag);
    return !JunctionFound;
}
