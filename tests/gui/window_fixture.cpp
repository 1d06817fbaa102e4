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
    Form1 = nullptr;
    Form2 = nullptr;
    Form3 = nullptr;
    AboutBox = nullptr;
    JunctionInfoDlg = nullptr;
    SelectDriveDlg = nullptr;
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
}

void WindowTest::AddDriveOfEachKind() {
    fs.AddDrive('D');
    fs.AddDrive('E', "removable FAT32", /*medium=*/false);
    fs.AddDrive('F', "remote NTFS");
    fs.AddDrive('G', "cdrom CDFS");
}

void WindowTest::MakeLinks(std::initializer_list<std::pair<const char*, const char*>> junctions) {
    fs.MakeDir("data");
    fs.MakeDir("links");
    for (const auto& [name, target] : junctions) fs.MakeDir(std::string("links\\") + name);
    for (const auto& [name, target] : junctions)
        ASSERT_TRUE(CreateJunction(std::string("C:\\links\\") + name, target)) << name;
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

std::vector<std::string> WindowTest::Captions(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes) {
    std::vector<std::string> captions;
    for (const auto& node : nodes) captions.push_back(node->ns->DisplayName());
    return captions;
}

std::vector<std::string> WindowTest::Paths(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes) {
    std::vector<std::string> paths;
    for (const auto& node : nodes) paths.push_back(shelltree::ToAnsi(node->ns->ParsingName()));
    return paths;
}

Shown WindowTest::Messages() {
    Shown shown;
    for (const auto& m : ui.messages) shown.emplace_back(m.request.kind, m.request.text);
    return shown;
}

}  // namespace tarsio::test
