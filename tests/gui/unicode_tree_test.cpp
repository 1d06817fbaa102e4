// The source tree with names beyond any legacy code page: shown, clicked into
// the fields and inspected with exactly their names; a name that the process
// code page cannot hold is never shown or used.

#include "engine/junction.h"
#include "platform/sim/codepage.h"
#include "tests/gui/window_fixture.h"

namespace tarsio::test {
namespace {

using shelltree::PVirtualNode;

class UnicodeTree : public WindowTest {
protected:
    void Prepare() override {
        fs.MakeDir("Łódź");
        fs.MakeDir("Ωμέγα");
        fs.MakeDir("中文");
        ASSERT_TRUE(CreateJunction("C:\\中文", "C:\\Łódź"));
    }
    void TearDown() override {
        sim::SetAnsiCodePage(sim::kUtf8CodePage);
        WindowTest::TearDown();
    }
    shelltree::TVirtualExplorerTree& tree() { return *Form1->vteSourceTree; }
};

TEST_F(UnicodeTree, NamesAreShownClickedAndInspectedExactly) {
    PVirtualNode c = tree().FindNode("C:\\");
    ASSERT_TRUE(tree().Expand(c));
    EXPECT_EQ(Captions(c->children), (std::vector<std::string>{"Łódź", "Ωμέγα", "中文"}));

    ClickPath("C:\\Łódź");
    EXPECT_EQ(Form1->edtSource->Text(), "C:\\Łódź");
    EXPECT_TRUE(Form1->btnCreate->Enabled());

    std::vector<std::string> shown;
    ui.modalPlayers["JunctionInfoDlg"] = [&](gui::Form&) {
        shown = {JunctionInfoDlg->edtJunctionSource->Text(), JunctionInfoDlg->edtJunctionTarget->Text()};
        ui.Click(*JunctionInfoDlg->OKBtn);
    };
    tree().ClickCheck(Reveal(tree(), "C:\\中文"));
    EXPECT_EQ(shown, (std::vector<std::string>{"C:\\Łódź", "C:\\中文"}));

    ui.SelectPage(*Form1->pclInputAction, *Form1->tabDelete);
    ClickPath("C:\\中文");
    EXPECT_EQ(Form1->edtDelete->Text(), "C:\\中文");
    EXPECT_TRUE(Form1->btnDelete->Enabled());
}

TEST_F(UnicodeTree, ALegacyCodePageHidesWhatItCannotName) {
    // Before Windows 10 1903 the process code page is the legacy one.
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    fs.MakeDir("caf\xE9");  // café in 1252
    tree().RefreshTree();
    PVirtualNode c = tree().FindNode("C:\\");
    ASSERT_TRUE(tree().Expand(c));
    EXPECT_EQ(Captions(c->children), std::vector<std::string>{"caf\xE9"});
}

}  // namespace
}  // namespace tarsio::test
