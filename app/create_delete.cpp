// The Create and Delete pages: making a junction from the two fields, and
// removing the junction selected in the tree.

#include <algorithm>

#include "app/forms.h"
#include "app/tarsio_form.h"
#include "engine/junction.h"
#include "engine/volume.h"
#include "gui/application.h"
#include "platform/ansi.h"

namespace {

// The tree quotes paths with blanks when it fills the junction field; the
// field is read without one such pair of quotes.
std::string Unquoted(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return text;
}

void ErrorBox(const char* text) { gui::MessageDlg(text, gui::MessageKind::Error); }

}  // namespace

void TForm1::btnCreateClick() {
    const std::string source = edtSource->Text();
    const std::string target = Unquoted(edtTarget->Text());

    // Every check runs and shows its own message.
    bool failed = false;
    if (source.empty()) {
        gui::PlainMessageBox("Source cannot be empty", " Error ");
        failed = true;
    }
    if (!tarsio::DirectoryExists(source)) {
        ErrorBox("You must select a valid source");
        failed = true;
    }
    if (target.empty() || tarsio::IsDevicePath(target)) {
        ErrorBox("You must select a valid target");
        failed = true;
    }
    if (source == target) {
        ErrorBox("Source cannot be equal target");
        failed = true;
    }
    if (failed) return;

    Form2->SourcePath = source;
    if (tarsio::DirectoryExists(target)) {
        // An existing directory: the junction is made inside it, under a name.
        Form2->TargetPath = tarsio::EndsWithBackslash(target) ? target : target + "\\";
        Form2->Confirmed = false;
        Form2->ShowModal();
    } else {
        Form2->Confirmed = true;
        Form2->TargetPath = target;
    }
    if (!Form2->Confirmed) return;

    std::replace(Form2->TargetPath.begin(), Form2->TargetPath.end(), '/', '\\');
    // A source that no junction can lead to (a share, a name too long for
    // the reparse point) is refused before any directory is made for it;
    // CreateJunction takes the name found here as it is.
    std::string storedName;
    if (!tarsio::CheckJunctionDestination(source, &storedName)) {
        ErrorBox("Junction not created");
        return;
    }
    // A failed junction takes away only a directory made here for it.
    bool created = false;
    tarsio::UniqueHandle made;
    if (!tarsio::ForceDirectories(Form2->TargetPath, &created, &made)) return;
    if (tarsio::CreateJunction(Form2->TargetPath, storedName, created, &made)) {
        gui::MessageDlg("Junction Created sccessfully", gui::MessageKind::Information);
        vteSourceTree->RefreshTree();
    } else {
        ErrorBox("Junction not created");
    }
}

void TForm1::btnBrowseClick() {
    Form3->Confirmed = false;
    Form3->ShowModal();
    if (Form3->Confirmed) edtTarget->SetText(Form3->ChosenPath);
}

void TForm1::btnDeleteClick() {
    shelltree::PVirtualNode node = vteSourceTree->FirstSelectedNode();
    shelltree::TNamespace* ns;
    if (!vteSourceTree->NodeNamespace(node, ns)) return;
    const std::string path = shelltree::ToAnsi(ns->ParsingName());
    if (!ns->FileSystem() || !tarsio::HasReparsePoint(path)) return;
    // The mount point and the directory go together, on one handle: the
    // directory is not looked up by its name again once the mount point is
    // gone. It stays where it cannot go (not empty), and that is no failure.
    if (!tarsio::DeleteJunction(path)) {
        gui::MessageDlg("Junction Point not deleted", gui::MessageKind::Information);
        return;
    }
    vteSourceTree->RefreshNode(node->Parent);
    gui::MessageDlg("Junction Point succesfully deleted", gui::MessageKind::Information);
    vteSourceTree->Repaint();
}
