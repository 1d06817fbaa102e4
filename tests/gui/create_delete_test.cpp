// The Create and Delete pages: making and removing junctions from the window,
// on the simulated NTFS, with the source field and the name dialog.

#include <filesystem>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/sim/sim.h"
#include "tests/gui/window_fixture.h"
#include "tests/native/sim_helpers.h"

namespace tarsio::test {
namespace {

const std::string kData = "\\??\\C:\\data", kDir = "dir", kAbsent = "absent";
const Shown kCreated = {{MessageKind::Information, "Junction Created sccessfully"}};
const Shown kNotCreated = {{MessageKind::Error, "Junction not created"}};
const Shown kDeleted = {{MessageKind::Information, "Junction Point succesfully deleted"}};

class CreateDelete : public WindowTest {
protected:
    // Fills the two fields and presses Create. A name dialog is given `name`
    // and OK (or Cancel); `seen` keeps its prompt, name and composed path
    // as shown, and the composed path after the typing.
    void Create(const std::string& source, const std::string& target, const std::string& name = "", bool ok = true) {
        ui.modalPlayers["Form2"] = [this, name, ok](gui::Form&) {
            seen = {Form2->Label1->Text(), Form2->edtTargetDir->Text(), Form2->edtTargetShort->Text()};
            ui.Type(*Form2->edtTargetDir, name);
            seen.push_back(Form2->edtTargetShort->Text());
            ui.Click(ok ? *Form2->btnOK : *Form2->btnCancel);
        };
        Form1->edtSource->SetText(source);
        Form1->edtTarget->SetText(target);
        Form1->btnCreate->SetEnabled(true);
        ui.ClearRecords();
        ui.Click(*Form1->btnCreate);
    }
    void SelectAndDelete(const std::string& path) {
        ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
        ClickPath(path);
        ui.ClearRecords();
        ui.Click(*Form1->btnDelete);
    }
    // What `path` is on the host: absent, a file, a folder or the name its junction stores.
    std::string What(const std::string& path) {
        const std::string host = fs.HostPath(path);
        if (!std::filesystem::is_directory(host)) return std::filesystem::exists(host) ? "file" : kAbsent;
        auto bytes = HostReparse(host);
        if (!bytes) return kDir;
        auto name = reparse::ReadSubstituteName(*bytes);
        return name ? shelltree::ToAnsi(shelltree::WideString(name->begin(), name->end() - 1)) : "<odd>";
    }

    std::vector<std::string> seen;
};

// Every failing check shows its message, in order. A junction field that
// names an existing folder asks for a name and makes the junction inside it
// (nested names make the outer levels, an empty name makes the folder itself
// the junction); else the junction is the field's path, made with its parents.
TEST_F(CreateDelete, CreateChecksTheFieldsAndMakesTheJunctionWhereTheySay) {
    const std::pair<MessageKind, std::string> empty{MessageKind::Plain, "Source cannot be empty"},
        source{MessageKind::Error, "You must select a valid source"},
        target{MessageKind::Error, "You must select a valid target"},
        equal{MessageKind::Error, "Source cannot be equal target"};
    // The fields, the prefix the name dialog shows (nullptr: no dialog comes)
    // and the name it is given, the messages, and what each path is then.
    using After = std::vector<std::pair<std::string, std::string>>;
    // A source whose name no reparse point holds.
    const std::string far = Deep("C:\\far", 8300);
    ASSERT_TRUE(ForceDirectories(far));
    const std::tuple<const char*, const char*, const char*, const char*, Shown, After> cases[] = {
        {"C:\\data", "C:\\new\\web", nullptr, "", kCreated, {{"C:\\new\\web", kData}}},
        {"C:\\data", "C:/links/fwd", nullptr, "", kCreated, {{"C:\\links\\fwd", kData}}},
        // Relative and verbatim sources are stored as the native name of their full path.
        {"data", "C:\\links\\rel", nullptr, "", kCreated, {{"C:\\links\\rel", kData}}},
        {"\\\\?\\C:\\data", "C:\\links\\verbatim", nullptr, "", kCreated, {{"C:\\links\\verbatim", kData}}},
        // Names are case-sensitive on the simulated drives: C:\DATA is new.
        {"C:\\data", "C:\\DATA", nullptr, "", kCreated, {{"C:\\DATA", kData}}},
        {"C:\\data", "C:\\links", "C:\\links\\", "new", kCreated, {{"C:\\links\\new", kData}}},
        {"C:\\data", "C:\\", "C:\\", "a\\b", kCreated, {{"C:\\a\\b", kData}, {"C:\\a", kDir}}},
        // A quoted field, as the tree fills it for paths with blanks, is read unquoted.
        {"C:\\data", "\"C:\\my files\"", "C:\\my files\\", "q", kCreated, {{"C:\\my files\\q", kData}}},
        {"C:\\data", "C:\\empty", "C:\\empty\\", "", kCreated, {{"C:\\empty", kData}}},
        {"C:\\data", "C:\\links", "C:\\links\\", "", kNotCreated, {{"C:\\links", kDir}}},
        // A file as the junction ends it without a word.
        {"C:\\data", "C:\\file.txt", nullptr, "", {}, {{"C:\\file.txt", "file"}}},
        // Where no reparse point can be set, a directory made for it goes, the user's own stays.
        {"C:\\data", "K:\\outer\\j", nullptr, "", kNotCreated, {{"K:\\outer\\j", kAbsent}, {"K:\\outer", kDir}}},
        {"C:\\data", "K:\\emptytarget", "K:\\emptytarget\\", "", kNotCreated, {{"K:\\emptytarget", kDir}}},
        {"C:\\data", "\\\\.\\C:", nullptr, "", {target}, {}},
        {"C:\\data", "C:\\data", nullptr, "", {equal}, {{"C:\\data", kDir}}},
        {far.c_str(), "C:\\links\\far", nullptr, "", kNotCreated, {{"C:\\links\\far", kAbsent}}},
        {"C:\\missing", "C:\\links\\x", nullptr, "", {source}, {{"C:\\links\\x", kAbsent}}},
        {"", "C:\\links\\x", nullptr, "", {empty, source}, {{"C:\\links\\x", kAbsent}}},
        {"", "", nullptr, "", {empty, source, target, equal}, {}},
    };
    for (const auto& [source, target, prefix, name, shown, after] : cases) {
        Create(source, target, name);
        EXPECT_EQ(Messages(), shown) << target;
        EXPECT_EQ(ui.modalShown.size(), prefix ? 1u : 0u) << target;
        if (prefix) {
            const std::string prompt = "Enter the target directory which is linked from C:\\data to:";
            EXPECT_EQ(seen, (std::vector<std::string>{prompt, "", prefix, prefix + std::string(name)}));
        }
        for (const auto& [path, what] : after) EXPECT_EQ(What(path), what) << target;
    }
    // The last case's: the empty source's box has a caption of its own.
    EXPECT_EQ(ui.messages.at(0).request.caption, " Error ");
    EXPECT_EQ(ui.messages.at(0).request.buttons, gui::Buttons::Ok);
    EXPECT_EQ(ui.messages.at(1).request.caption, "Error");
    EXPECT_EQ(fs.ReadFile("file.txt"), "f");
    // The tree was rebuilt, and the new node carries the mark.
    PVirtualNode web = Reveal(tree(), "C:\\new\\web");
    ASSERT_TRUE(web);
    tree().PaintHeadless();  // nodes are initialised when first shown
    EXPECT_EQ(web->CheckType, shelltree::ctButton);
}

TEST_F(CreateDelete, CancelledNameDialogChangesNothing) {
    Form2->Confirmed = true;  // as after a junction made through it
    Create("C:\\data", "C:\\links", "new", /*ok=*/false);
    EXPECT_EQ(ui.modalShown.size(), 1u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(What("C:\\links\\new"), kAbsent);
    EXPECT_FALSE(Form2->Confirmed);
    // Enter and Escape press nothing in this dialog.
    EXPECT_FALSE(Form2->btnOK->isDefault || Form2->btnCancel->isCancel);
}

TEST_F(CreateDelete, JunctionsOfEveryDepthAreMadeMarkedAndDeleted) {
    for (std::size_t depth : kDepths) {
        const std::string junction = Deep("C:\\deep" + std::to_string(depth), depth);
        Create("C:\\data", junction);
        EXPECT_EQ(Messages(), kCreated) << depth;
        EXPECT_TRUE(Form1->ContainsJunction(shelltree::FromAnsi("C:\\deep" + std::to_string(depth)))) << depth;
        SelectAndDelete(junction);  // the button is enabled only on a junction's node
        EXPECT_EQ(Messages(), kDeleted) << depth;
        EXPECT_FALSE(DirectoryExists(junction)) << depth;
    }
}

TEST_F(CreateDelete, DeleteRemovesTheJunctionAndLeavesItsDestinationWhole) {
    SelectAndDelete("C:\\links\\web");
    EXPECT_EQ(Messages(), kDeleted);
    EXPECT_EQ(What("C:\\links\\web"), kAbsent);
    EXPECT_EQ(fs.ReadFile("data\\a.txt"), "payload");
    EXPECT_EQ(fs.ReadFile("data\\sub\\deep.bin"), std::string("\0\1\2\3", 4));
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(fs.HostPath("C:\\data")), {}), 3);
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    // The parent was read again after the directory went.
    EXPECT_FALSE(tree().FindNode("C:\\links\\web"));
    // Pressing again on the vanished entry does nothing.
    ui.ClearRecords();
    ui.Click(*Form1->btnDelete);
    EXPECT_TRUE(ui.messages.empty());
}

// Another user swaps the folder above the junction for a junction to the
// drive's root once the mount point went: what goes is the junction's own
// directory, not the empty C:\Config.Msi that its name now leads to.
TEST_F(CreateDelete, DeleteRemovesTheJunctionsOwnDirectoryWhereverItsNameNowLeads) {
    fs.MakeDir("Config.Msi");
    test::Junction("C:\\pub\\x\\Config.Msi", "C:\\data");
    tree().RefreshTree();
    sim::SwapForJunction("DeviceIoControl", 1, "C:\\pub\\x", "x.old", "C:\\");
    SelectAndDelete("C:\\pub\\x\\Config.Msi");
    EXPECT_EQ(Messages(), kDeleted);
    EXPECT_TRUE(HasReparsePoint("C:\\pub\\x"));
    EXPECT_EQ(What("C:\\Config.Msi"), kDir);
    EXPECT_TRUE(fs.Names("pub\\x.old\\").empty());
}

// The selected node decides, not the field: a plain folder is left alone,
// and so is a reparse point of another kind.
TEST_F(CreateDelete, DeleteRemovesOnlyASelectedJunction) {
    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    ClickPath("C:\\data");
    Form1->edtDelete->SetText("C:\\links\\web");
    Form1->btnDelete->SetEnabled(true);
    ui.Click(*Form1->btnDelete);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(What("C:\\data"), kDir);
    EXPECT_EQ(What("C:\\links\\web"), kData);
    EXPECT_EQ(Form1->edtDelete->Text(), "C:\\links\\web");

    fs.MakeDir("links\\sym");
    HostReparsePoint(fs.HostPath("C:\\links\\sym"), 0xA000000C, Bytes("symbolic link"));
    tree().RefreshTree();
    SelectAndDelete("C:\\links\\sym");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Point not deleted"}}));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\sym"));
}

TEST_F(CreateDelete, SourceFieldLosesItsQuotes) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // typed, shown, Create enabled
        {"\"C:\\data\"", "C:\\data", true},
        {"C:\\data\"", "C:\\data", true},
        {"\"C:\\data", "C:\\data", true},
        // Nested pairs: the outermost run tests its own, still quoted, text last.
        {"\"\"C:\\data\"\"", "C:\\data", false},
        {"C:\\da\"ta", "C:\\da\"ta", false},  // a quote inside stays
        {"\"", "", false},
        {"C:\\missing", "C:\\missing", false},
    };
    for (const auto& [typed, shown, create] : cases) {
        ui.Type(*Form1->edtSource, typed);
        EXPECT_EQ(Form1->edtSource->Text(), shown) << typed;
        EXPECT_EQ(Form1->btnCreate->Enabled(), create) << typed;
    }
    // Clearing the field leaves the button as it was.
    ui.Type(*Form1->edtSource, "C:\\data");
    ui.Type(*Form1->edtSource, "");
    EXPECT_TRUE(Form1->btnCreate->Enabled());
    EXPECT_EQ(EditFocus, 1);
}

}  // namespace
}  // namespace tarsio::test
