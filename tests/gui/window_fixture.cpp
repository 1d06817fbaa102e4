#include "tests/gui/window_fixture.h"

#include "engine/junction.h"
#include "platform/sim/codepage.h"

namespace tarsio::test {

void WindowTest::SetUp() {
    gui::App().Reset();
    gui::App().SetBackend(&ui);
    shelltree::ResetDrivesFolder();
    EditFocus = 0;
    Prepare();
    SetUpApplication();
    CreateForms();
}

void WindowTest::TearDown() {
    gui::App().Reset();
    gui::App().SetBackend(nullptr);
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
}

void WindowTest::Prepare() {
    fs.AddDrive('A', "removable FAT12");
    fs.AddDrive('B', "removable FAT12");
    AddDriveOfEachKind();
    fs.AddDrive('H', "ramdisk FAT32");
    fs.AddDrive('K', "removable FAT32");
    ASSERT_TRUE(os::CreateDirectoryA("K:\\emptytarget", nullptr));
    // Folders and files, then the junctions.
    for (const char* dir : {"data", "data\\sub", "empty", "my files", "Łódź", "links", "deep", "deep\\a",
                            "deep\\a\\b", "none", "none\\x", "hidden", "hidden\\inner", "cycle", "cycle\\one"})
        fs.MakeDir(dir);
    fs.WriteFile("file.txt", "f");
    fs.WriteFile("data\\a.txt", "payload");
    fs.WriteFile("data\\sub\\deep.bin", std::string("\0\1\2\3", 4));
    // Junctions: "hidden" holds only one named ".dot"; two lead back to
    // their own ancestors; one is a volume mount point.
    const std::pair<const char*, const char*> junctions[] = {
        {"links\\web", "C:\\data"},
        {"links\\b", "C:\\links"},
        {"links\\vol", "\\??\\Volume{0c6fd6e2-63c4-4f6c-9e4d-2b1c3a5d7e90}\\"},
        {"中文", "C:\\Łódź"},
        {"direct", "C:\\data"},
        {"deep\\a\\b\\c", "C:\\data"},
        {"hidden\\inner\\.dot", "C:\\data"},
        {"cycle\\one\\up", "C:\\cycle"},
        {"cycle\\one\\root", "C:\\"},
    };
    for (const auto& [junction, target] : junctions) {
        fs.MakeDir(junction);
        ASSERT_TRUE(CreateJunction(std::string("C:\\") + junction, target)) << junction;
    }
}

void WindowTest::AddDriveOfEachKind() {
    fs.AddDrive('D');
    fs.AddDrive('E', "removable FAT32", /*medium=*/false);
    fs.AddDrive('F', "remote NTFS");
    fs.AddDrive('G', "cdrom CDFS");
}

PVirtualNode WindowTest::Reveal(shelltree::TVirtualExplorerTree& in, const std::string& path) {
    // Every prefix ending before a backslash is a folder on the way.
    PVirtualNode node = in.FindNode(path.substr(0, 3));
    for (std::size_t at = 3; node && at < path.size(); ++at) {
        if (path[at] != '\\' && at + 1 != path.size()) continue;
        in.Expand(node);
        node = in.FindNode(path.substr(0, path[at] == '\\' ? at : at + 1));
    }
    return node;
}

void WindowTest::ClickPath(const std::string& path) {
    PVirtualNode node = Reveal(tree(), path);
    ASSERT_TRUE(node) << path;
    gui::App().Dispatch([&] { tree().ClickNode(node); });
}

shelltree::HeadlessTreeView& WindowTest::View(shelltree::TVirtualExplorerTree& in) {
    return static_cast<shelltree::HeadlessTreeView&>(*in.view());
}

std::vector<std::string> WindowTest::Captions(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes,
                                              bool paths) {
    std::vector<std::string> captions;
    for (const auto& node : nodes)
        captions.push_back(paths ? shelltree::ToAnsi(node->ns->ParsingName()) : node->ns->DisplayName());
    return captions;
}

Shown WindowTest::Messages() {
    Shown shown;
    for (const auto& m : ui.messages) shown.emplace_back(m.request.kind, m.request.text);
    return shown;
}

}  // namespace tarsio::test
