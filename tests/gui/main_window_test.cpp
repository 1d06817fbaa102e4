// The main window's creation, start-up check and its own handlers.

#include <filesystem>
#include <fstream>

#include "tests/gui/window_fixture.h"

namespace tarsio::test {
namespace {

TEST(AnyVolumeSupportsJunctions, AsksCToYWithTheDriveSpecifier) {
    Scratch fs;
    std::filesystem::remove_all(fs.HostRoot() + "/C");
    EXPECT_FALSE(AnyVolumeSupportsJunctions());  // no drive at all
    fs.AddDrive('Z');
    EXPECT_FALSE(AnyVolumeSupportsJunctions());  // Z: is never asked
    fs.AddDrive('E', "removable FAT32");
    EXPECT_FALSE(AnyVolumeSupportsJunctions());
    fs.AddDrive('Y', "fixed NTFS");
    EXPECT_TRUE(AnyVolumeSupportsJunctions());
}

class NoNtfs : public WindowTest {
protected:
    void Prepare() override {
        std::ofstream(fs.HostRoot() + "/C.drive") << "fixed FAT32\n";
        fs.AddDrive('Z');  // NTFS, but never asked
        ui.answers.push_back(answer);
    }
    int answer = gui::mrYes;
};

TEST_F(NoNtfs, QuestionAnsweredYesOpensTheWindow) {
    ASSERT_EQ(ui.messages.size(), 1u);
    // Its caption, text and Yes/No buttons: MainWindow.StartUpQuestionAndAnswerNo under Wine.
    EXPECT_EQ(ui.messages[0].request.kind, gui::MessageKind::Confirmation);
    EXPECT_FALSE(gui::App().terminated());
    EXPECT_EQ(gui::App().forms().size(), 6u);
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
}

class NoNtfsAnswerNo : public NoNtfs {
protected:
    void Prepare() override {
        answer = gui::mrNo;
        NoNtfs::Prepare();
    }
};

TEST_F(NoNtfsAnswerNo, EndsTheProgramAfterTheRemainingFormsAreMade) {
    EXPECT_TRUE(gui::App().terminated());
    // The other forms are still made, in order, and the loop never runs.
    ASSERT_EQ(gui::App().forms().size(), 6u);
    EXPECT_EQ(gui::App().forms()[5]->name(), "SelectDriveDlg");
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
    gui::App().Run();
    EXPECT_FALSE(ui.running);
}

class MainWindow : public WindowTest {
protected:
    void Prepare() override { fs.MakeDir("data"); }
};

TEST_F(MainWindow, NtfsDriveMeansNoQuestion) {
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(gui::App().terminated());
    EXPECT_EQ(gui::App().mainForm(), Form1);
    EXPECT_EQ(Form1->Text(), "Tarsio");
}

// The captions, shortcuts and states that Windows shows are checked on the
// real exe (MainWindow.CaptionsAndStatesAtStart under Wine); here the rest.
TEST_F(MainWindow, StateAtStart) {
    EXPECT_EQ(Form1->pclInputAction->ActivePageIndex(), 0);
    EXPECT_FALSE(Form1->Inspecting);
    EXPECT_TRUE(Form1->ExportDrives.empty());
    EXPECT_EQ(Form1->mnuOptions->shortCut, "Ctrl+P");
    EXPECT_TRUE(Form1->mnuOptions->Checked());
    EXPECT_FALSE(Form1->mnuOptions->OnClick);  // Ctrl+P does nothing
    EXPECT_EQ(Form1->mniFileOpen->hint,
              "Import links and create junctions automatically. If this item is disabled, goto Options->Enable");
    EXPECT_EQ(Form1->mniFileSaveAs->hint,
              "Export existing junctions to a file. If this item is disabled, goto Options->Enable");
}

TEST_F(MainWindow, SourceFieldLosesItsQuotes) {
    struct Case {
        const char* typed;
        const char* shown;
        bool create;
    } cases[] = {
        {"\"C:\\data\"", "C:\\data", true},
        {"C:\\data\"", "C:\\data", true},
        {"\"C:\\data", "C:\\data", true},
        // Nested pairs: the outermost run tests its own, still quoted, text last.
        {"\"\"C:\\data\"\"", "C:\\data", false},
        {"C:\\da\"ta", "C:\\da\"ta", false},  // a quote inside stays
        {"\"", "", false},
        {"C:\\none", "C:\\none", false},
    };
    for (const Case& c : cases) {
        ui.Type(*Form1->edtSource, c.typed);
        EXPECT_EQ(Form1->edtSource->Text(), c.shown) << c.typed;
        EXPECT_EQ(Form1->btnCreate->Enabled(), c.create) << c.typed;
    }
    // Clearing the field leaves the button as it was.
    ui.Type(*Form1->edtSource, "C:\\data");
    ui.Type(*Form1->edtSource, "");
    EXPECT_TRUE(Form1->btnCreate->Enabled());
    EXPECT_EQ(EditFocus, 1);
}

TEST(CommaText, QuotesWhatNeedsQuoting) {
    EXPECT_EQ(CommaText({}), "");
    EXPECT_EQ(CommaText({"C:\\data"}), "C:\\data");
    EXPECT_EQ(CommaText({"C:\\my files"}), "\"C:\\my files\"");
    EXPECT_EQ(CommaText({"C:\\a,b"}), "\"C:\\a,b\"");
    EXPECT_EQ(CommaText({"C:\\say \"hi\""}), "\"C:\\say \"\"hi\"\"\"");
    EXPECT_EQ(CommaText({"C:\\tab\there"}), "\"C:\\tab\there\"");
    EXPECT_EQ(CommaText({"a", "b c"}), "a,\"b c\"");
}

}  // namespace
}  // namespace tarsio::test
