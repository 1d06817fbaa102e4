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
    const auto& m = ui.messages[0].request;
    EXPECT_EQ(m.kind, gui::MessageKind::Confirmation);
    EXPECT_EQ(m.caption, "Confirm");
    EXPECT_EQ(m.buttons, gui::Buttons::YesNo);
    EXPECT_EQ(m.text,
              "Non of your volumes has a NTFS formatted file system that allows using \"junction\" points. "
              "Do you still want to continue?");
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

TEST_F(MainWindow, LayoutAtStart) {
    struct Case {
        gui::Control* control;
        const char* text;
        bool enabled;
    } cases[] = {
        {Form1->btnCreate, "&Create...", false},
        {Form1->btnDelete, "&Delete...", false},
        {Form1->btnBrowse, "...", true},
        {Form1->btnInspect, "I&nspect", true},
        {Form1->btnReset, "Rese&t", true},
        {Form1->btnExit, "E&xit", true},
        {Form1->tabCreate, "C&reate Junction ", true},
        {Form1->tabDelete, "D&elete Junction", true},
        {Form1->TabSheet1, "Show Junctions", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.control->Text(), c.text) << c.control->name();
        EXPECT_EQ(c.control->Enabled(), c.enabled) << c.control->name();
    }
    EXPECT_EQ(Form1->pclInputAction->ActivePageIndex(), 0);
    EXPECT_FALSE(Form1->Inspecting);
    EXPECT_TRUE(Form1->ExportDrives.empty());

    struct Entry {
        gui::MenuItem* item;
        const char* caption;
        const char* shortCut;
        bool enabled;
        bool checked;
    } entries[] = {
        {Form1->mniFileOpen, "&Import junction...", "Ctrl+O", false, false},
        {Form1->mniFileSaveAs, "&Export Junction...", "Ctrl+S", false, false},
        {Form1->mniFileExit, "E&xit", "Alt+F4", true, false},
        {Form1->mnuOptions, "&Options", "Ctrl+P", true, true},
        {Form1->mniEnableImport, "Enable Import/Export", "", true, false},
        {Form1->mniSelectDrivetoExport, "Select Drive to Export ...", "", false, false},
        {Form1->mniHelpContents, "&Contents", "F1", true, false},
        {Form1->mniHelpAbout, "&About...", "", true, false},
    };
    for (const Entry& e : entries) {
        EXPECT_EQ(e.item->Caption(), e.caption);
        EXPECT_EQ(e.item->shortCut, e.shortCut) << e.caption;
        EXPECT_EQ(e.item->Enabled(), e.enabled) << e.caption;
        EXPECT_EQ(e.item->Checked(), e.checked) << e.caption;
    }
    EXPECT_EQ(Form1->mniFileOpen->hint,
              "Import links and create junctions automatically. If this item is disabled, goto Options->Enable");
    EXPECT_EQ(Form1->mniFileSaveAs->hint,
              "Export existing junctions to a file. If this item is disabled, goto Options->Enable");
    EXPECT_FALSE(Form1->mnuOptions->OnClick);  // Ctrl+P does nothing
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

TEST_F(MainWindow, EnableImportSwitchesThreeEntries) {
    ui.Choose(*Form1->mniEnableImport);
    EXPECT_TRUE(Form1->mniEnableImport->Checked());
    EXPECT_TRUE(Form1->mniFileOpen->Enabled());
    EXPECT_TRUE(Form1->mniFileSaveAs->Enabled());
    EXPECT_TRUE(Form1->mniSelectDrivetoExport->Enabled());
    ui.Choose(*Form1->mniEnableImport);
    EXPECT_FALSE(Form1->mniEnableImport->Checked());
    EXPECT_FALSE(Form1->mniFileOpen->Enabled());
    EXPECT_FALSE(Form1->mniFileSaveAs->Enabled());
    EXPECT_FALSE(Form1->mniSelectDrivetoExport->Enabled());
}

TEST_F(MainWindow, ExitButtonMenuAndCloseBoxEndWithoutAQuestion) {
    ui.Click(*Form1->btnExit);
    EXPECT_TRUE(gui::App().terminated());
    EXPECT_TRUE(ui.messages.empty());
    gui::App().Reset();
    gui::App().SetBackend(&ui);
    CreateForms();
    ui.Choose(*Form1->mniFileExit);
    EXPECT_TRUE(gui::App().terminated());
    gui::App().Reset();
    gui::App().SetBackend(&ui);
    CreateForms();
    ui.CloseWindow(*Form1);
    EXPECT_TRUE(gui::App().terminated());
    EXPECT_TRUE(ui.messages.empty());
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
