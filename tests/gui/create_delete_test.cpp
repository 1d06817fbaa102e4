// Making and removing junctions from the window, on the simulated NTFS.

#include <filesystem>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/sim/sim.h"
#include "tests/gui/window_fixture.h"
#include "tests/native/sim_helpers.h"

namespace tarsio::test {
namespace {

using gui::MessageKind;

class CreateJunctionTest : public WindowTest {
protected:
    void Prepare() override {
        fs.MakeDir("data");
        fs.WriteFile("data\\a.txt", "payload");
        fs.MakeDir("links");
    }

    // Fills the two fields as the user types them and presses Create.
    void Create(const std::string& source, const std::string& target) {
        ui.Type(*Form1->edtSource, source);
        ui.Type(*Form1->edtTarget, target);
        ui.messages.clear();
        ui.modalShown.clear();
        ui.Click(*Form1->btnCreate);
    }
    // The name dialog answers with `name` and OK, and records its prompt.
    void NameDialogAnswers(const std::string& name) {
        ui.modalPlayers["Form2"] = [this, name](gui::Form&) {
            prompt = Form2->Label1->Text();
            prefix = Form2->edtTargetShort->Text();
            ui.Type(*Form2->edtTargetDir, name);
            composed = Form2->edtTargetShort->Text();
            ui.Click(*Form2->btnOK);
        };
    }
    std::string Stored(const std::string& path) {
        auto bytes = HostReparse(fs.HostPath(path));
        if (!bytes) return "<none>";
        auto name = reparse::ReadSubstituteName(*bytes);
        return name ? shelltree::ToAnsi(shelltree::WideString(name->begin(), name->end() - 1)) : "<odd>";
    }
    using Shown = std::vector<std::pair<MessageKind, std::string>>;
    Shown Messages() {
        Shown out;
        for (const auto& m : ui.messages) out.emplace_back(m.request.kind, m.request.text);
        return out;
    }

    std::string prompt, prefix, composed;
};

TEST_F(CreateJunctionTest, NewJunctionDirectoryIsCreatedWithItsParents) {
    Create("C:\\data", "C:\\new\\web");
    EXPECT_TRUE(ui.modalShown.empty());  // no name dialog
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Created sccessfully"}}));
    EXPECT_EQ(Stored("C:\\new\\web"), "\\??\\C:\\data");
    // The tree was rebuilt, and the new node carries the mark.
    shelltree::PVirtualNode web = Reveal(*Form1->vteSourceTree, "C:\\new\\web");
    ASSERT_TRUE(web);
    Form1->vteSourceTree->PaintHeadless();  // nodes are initialised when first shown
    EXPECT_EQ(web->CheckType, shelltree::ctButton);
}

TEST_F(CreateJunctionTest, ExistingDirectoryAsksForTheName) {
    NameDialogAnswers("web");
    Create("C:\\data", "C:\\links");
    EXPECT_EQ(ui.modalShown, std::vector<std::string>{"Form2"});
    EXPECT_EQ(prompt, "Enter the target directory which is linked from C:\\data to:");
    EXPECT_EQ(prefix, "C:\\links\\");
    EXPECT_EQ(composed, "C:\\links\\web");
    EXPECT_EQ(Stored("C:\\links\\web"), "\\??\\C:\\data");

    // Nested names make the outer levels; a drive root is its own prefix.
    NameDialogAnswers("a\\b");
    Create("C:\\data", "C:\\links");
    EXPECT_TRUE(DirectoryExists("C:\\links\\a"));
    EXPECT_FALSE(HasReparsePoint("C:\\links\\a"));
    EXPECT_EQ(Stored("C:\\links\\a\\b"), "\\??\\C:\\data");
    NameDialogAnswers("root");
    Create("C:\\data", "C:\\");
    EXPECT_EQ(prefix, "C:\\");
    EXPECT_EQ(Stored("C:\\root"), "\\??\\C:\\data");
    // A quoted field, as the tree fills it for paths with blanks, is read unquoted.
    fs.MakeDir("my links");
    NameDialogAnswers("q");
    Create("C:\\data", "\"C:\\my links\"");
    EXPECT_EQ(prefix, "C:\\my links\\");
    EXPECT_EQ(Stored("C:\\my links\\q"), "\\??\\C:\\data");
}

TEST_F(CreateJunctionTest, EmptyNameMakesTheDirectoryItselfTheJunction) {
    fs.WriteFile("links\\keep.txt", "k");
    NameDialogAnswers("");
    Create("C:\\data", "C:\\links");
    EXPECT_EQ(composed, "C:\\links\\");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Error, "Junction not created"}}));
    EXPECT_EQ(fs.ReadFile("links\\keep.txt"), "k");

    fs.MakeDir("empty");
    NameDialogAnswers("");
    Create("C:\\data", "C:\\empty");
    EXPECT_EQ(Stored("C:\\empty"), "\\??\\C:\\data");
}

TEST_F(CreateJunctionTest, CancelledNameDialogChangesNothing) {
    ui.modalPlayers["Form2"] = [this](gui::Form&) {
        ui.Type(*Form2->edtTargetDir, "web");
        ui.Click(*Form2->btnCancel);
    };
    Create("C:\\data", "C:\\links");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(DirectoryExists("C:\\links\\web"));
    EXPECT_FALSE(Form2->Confirmed);
}

TEST_F(CreateJunctionTest, ForwardSlashesAndRelativeSources) {
    Create("C:\\data", "C:/links/new");
    EXPECT_EQ(Stored("C:\\links\\new"), "\\??\\C:\\data");
    // A source relative to the current directory passes; the junction
    // stores its full path, so that it leads somewhere.
    ::setenv("TARSIO_SIM_CWD", "C:\\", 1);
    Create("data", "C:\\links\\rel");
    EXPECT_EQ(Stored("C:\\links\\rel"), "\\??\\C:\\data");
}

TEST_F(CreateJunctionTest, ValidationShowsEveryFailingCheckInOrder) {
    struct Case {
        std::string source, target;
        Shown messages;
    } cases[] = {
        {"",
         "",
         {{MessageKind::Plain, "Source cannot be empty"},
          {MessageKind::Error, "You must select a valid source"},
          {MessageKind::Error, "You must select a valid target"},
          {MessageKind::Error, "Source cannot be equal target"}}},
        {"",
         "C:\\links\\x",
         {{MessageKind::Plain, "Source cannot be empty"}, {MessageKind::Error, "You must select a valid source"}}},
        {"C:\\missing", "C:\\links\\x", {{MessageKind::Error, "You must select a valid source"}}},
        {"C:\\data", "\\\\.\\C:", {{MessageKind::Error, "You must select a valid target"}}},
        {"C:\\data", "C:\\data", {{MessageKind::Error, "Source cannot be equal target"}}},
    };
    for (const Case& c : cases) {
        // The fields are set directly: the source field would drop nothing here.
        Form1->edtSource->SetText(c.source);
        Form1->edtTarget->SetText(c.target);
        Form1->btnCreate->SetEnabled(true);
        ui.messages.clear();
        ui.Click(*Form1->btnCreate);
        EXPECT_EQ(Messages(), c.messages) << c.source << " | " << c.target;
    }
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().request.caption, "Error");
    Form1->edtSource->SetText("");
    ui.messages.clear();
    ui.Click(*Form1->btnCreate);
    EXPECT_EQ(ui.messages.at(0).request.caption, " Error ");
    EXPECT_EQ(ui.messages.at(0).request.buttons, gui::Buttons::Ok);
    EXPECT_FALSE(DirectoryExists("C:\\links\\x"));
}

TEST_F(CreateJunctionTest, SameFolderInOtherLetterCasePassesTheCheck) {
    // Names are case-sensitive on the simulated drives, so C:\DATA is new.
    Create("C:\\data", "C:\\DATA");
    EXPECT_EQ(Stored("C:\\DATA"), "\\??\\C:\\data");
}

TEST_F(CreateJunctionTest, FileAsJunctionFieldEndsWithoutAMessage) {
    fs.WriteFile("file.txt", "f");
    Create("C:\\data", "C:\\file.txt");
    EXPECT_TRUE(ui.modalShown.empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(fs.ReadFile("file.txt"), "f");
}

TEST_F(CreateJunctionTest, RefusedReparsePointRemovesTheNewDirectory) {
    fs.AddDrive('E', "removable FAT32");
    Create("C:\\data", "E:\\outer\\j");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Error, "Junction not created"}}));
    EXPECT_TRUE(DirectoryExists("E:\\outer"));
    EXPECT_FALSE(DirectoryExists("E:\\outer\\j"));
}

TEST_F(CreateJunctionTest, RefusedReparsePointKeepsTheUsersOwnEmptyFolder) {
    fs.AddDrive('E', "removable FAT32");
    ASSERT_TRUE(os::CreateDirectoryA("E:\\emptytarget", nullptr));
    NameDialogAnswers("");
    Create("C:\\data", "E:\\emptytarget");
    EXPECT_EQ(composed, "E:\\emptytarget\\");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Error, "Junction not created"}}));
    EXPECT_TRUE(DirectoryExists("E:\\emptytarget"));
}

TEST_F(CreateJunctionTest, VerbatimSourceIsStoredAsItsNativeName) {
    // A "\\?\" source is stored as the native name it stands for.
    Create("\\\\?\\C:\\data", "C:\\links\\verbatim");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Created sccessfully"}}));
    EXPECT_EQ(Stored("C:\\links\\verbatim"), "\\??\\C:\\data");
}

class DeleteJunctionTest : public CreateJunctionTest {
protected:
    void Prepare() override {
        CreateJunctionTest::Prepare();
        fs.MakeDir("data\\sub");
        fs.WriteFile("data\\sub\\deep.bin", std::string("\0\1\2\3", 4));
        fs.MakeDir("links\\web");
        ASSERT_TRUE(CreateJunction("C:\\links\\web", "C:\\data"));
        fs.MakeDir("plain");
    }
    void SelectAndDelete(const std::string& path) {
        ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
        ClickPath(path);
        ui.messages.clear();
        ui.repaints.clear();
        Form1->btnDelete->SetEnabled(true);
        ui.Click(*Form1->btnDelete);
    }
};

TEST_F(DeleteJunctionTest, RemovesTheJunctionAndLeavesItsDestinationWhole) {
    SelectAndDelete("C:\\links\\web");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Point succesfully deleted"}}));
    EXPECT_FALSE(std::filesystem::exists(fs.HostPath("C:\\links\\web")));
    EXPECT_EQ(fs.ReadFile("data\\a.txt"), "payload");
    EXPECT_EQ(fs.ReadFile("data\\sub\\deep.bin"), std::string("\0\1\2\3", 4));
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(fs.HostPath("C:\\data")), {}), 3);
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    // The parent was read again after the directory went.
    EXPECT_FALSE(Form1->vteSourceTree->FindNode("C:\\links\\web"));
    // Pressing again on the vanished entry does nothing.
    ui.messages.clear();
    ui.Click(*Form1->btnDelete);
    EXPECT_TRUE(ui.messages.empty());
}

// Another user swaps the folder above the junction for a junction to the
// drive's root once the mount point went: what goes is the junction's own
// directory, not the empty C:\Config.Msi that its name now leads to.
TEST_F(DeleteJunctionTest, RemovesTheJunctionsOwnDirectoryWhereverItsNameNowLeads) {
    fs.MakeDir("Config.Msi");
    test::Junction("C:\\pub\\x\\Config.Msi", "C:\\data");
    Form1->vteSourceTree->RefreshTree();
    sim::SwapForJunction("DeviceIoControl", 1, "C:\\pub\\x", "x.old", "C:\\");
    SelectAndDelete("C:\\pub\\x\\Config.Msi");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Point succesfully deleted"}}));
    EXPECT_TRUE(HasReparsePoint("C:\\pub\\x"));
    EXPECT_TRUE(DirectoryExists("C:\\Config.Msi"));
    EXPECT_TRUE(fs.Names("pub\\x.old\\").empty());
}

TEST_F(DeleteJunctionTest, PlainDirectoryIsLeftAlone) {
    SelectAndDelete("C:\\plain");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(DirectoryExists("C:\\plain"));
}

TEST_F(DeleteJunctionTest, SelectionDecidesNotTheField) {
    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    ClickPath("C:\\plain");
    Form1->edtDelete->SetText("C:\\links\\web");
    Form1->btnDelete->SetEnabled(true);
    ui.Click(*Form1->btnDelete);
    EXPECT_TRUE(HasReparsePoint("C:\\links\\web"));
    EXPECT_EQ(Form1->edtDelete->Text(), "C:\\links\\web");
}

TEST_F(DeleteJunctionTest, OtherReparseKindIsNotDeleted) {
    fs.MakeDir("links\\sym");
    std::vector<std::uint8_t> symlink = {0x0C, 0x00, 0x00, 0xA0, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_TRUE(SetReparseData("C:\\links\\sym", symlink.data(), static_cast<std::uint32_t>(symlink.size())));
    Form1->vteSourceTree->RefreshTree();
    SelectAndDelete("C:\\links\\sym");
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Point not deleted"}}));
    EXPECT_TRUE(HasReparsePoint("C:\\links\\sym"));
}

TEST_F(DeleteJunctionTest, JunctionsOfEveryDepthAreMadeMarkedAndDeleted) {
    for (std::size_t depth : kDepths) {
        const std::string junction = Deep("C:\\deep" + std::to_string(depth), depth);
        ui.SelectPage(*Form1->pclInputAction, *Form1->tabCreate);
        Create("C:\\data", junction);
        EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Created sccessfully"}})) << depth;
        ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
        ClickPath(junction);
        EXPECT_TRUE(Form1->btnDelete->Enabled()) << depth;  // the tree's node is a junction
        ui.messages.clear();
        ui.Click(*Form1->btnDelete);
        EXPECT_EQ(Messages(), (Shown{{MessageKind::Information, "Junction Point succesfully deleted"}})) << depth;
        EXPECT_FALSE(DirectoryExists(junction)) << depth;
    }
}

}  // namespace
}  // namespace tarsio::test
