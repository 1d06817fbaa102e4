// The main window's start-up, its File and Help menus: import and export
// from the window, the drive selection, the about box and the help command.

#include <filesystem>
#include <fstream>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/sim/sim.h"
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

// The start-up question comes only where no drive from C: to Y: is NTFS;
// the parameter answers it, or is 0 where C: is NTFS.
class StartUp : public WindowTest, public ::testing::WithParamInterface<int> {
protected:
    void Prepare() override {
        if (GetParam()) std::ofstream(fs.HostRoot() + "/C.drive") << "fixed FAT32\n";
        fs.AddDrive('Z');  // NTFS, but never asked
        ui.answers.push_back(GetParam());
    }
};

// The question's caption, text and Yes/No buttons: MainWindow.StartUpQuestionAndAnswerNo
// under Wine. No ends the program once the other forms are made, in order,
// and the loop never runs.
TEST_P(StartUp, QuestionOnlyWithoutNtfsAndNoEndsTheProgram) {
    EXPECT_EQ(ui.messages.size(), GetParam() ? 1u : 0u);
    for (const auto& m : ui.messages) EXPECT_EQ(m.request.kind, MessageKind::Confirmation);
    EXPECT_EQ(gui::App().terminated(), GetParam() == gui::mrNo);
    ASSERT_EQ(gui::App().forms().size(), 6u);
    EXPECT_EQ(gui::App().forms()[5]->name(), "SelectDriveDlg");
    EXPECT_EQ(gui::App().mainForm(), Form1);
    EXPECT_EQ(Form1->Text(), "Tarsio");
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
    gui::App().Run();
    EXPECT_EQ(ui.running, GetParam() != gui::mrNo);
}

INSTANTIATE_TEST_SUITE_P(NtfsOrAnswer, StartUp, ::testing::Values(0, gui::mrYes, gui::mrNo));

const std::vector<gui::Cursor> kHourGlassThenDefault = {gui::Cursor::HourGlass, gui::Cursor::Default};

auto Answer(const std::string& name) {
    return [name](gui::FileDialog& d) {
        d.fileName = name;
        return true;
    };
}

class FileMenu : public WindowTest {
protected:
    void Prepare() override {
        AddDriveOfEachKind();
        fs.AddDrive('Z');
        for (const char* dir : {"data", "links", "links\\b", "links\\a"}) fs.MakeDir(dir);
        ASSERT_TRUE(os::CreateDirectoryA("D:\\j", nullptr));
        for (const char* junction : {"C:\\links\\b", "C:\\links\\a"})
            ASSERT_TRUE(CreateJunction(junction, "C:\\data"));
        ASSERT_TRUE(CreateJunction("D:\\j", "C:\\links"));
    }
    void SetUp() override {
        WindowTest::SetUp();
        ui.Choose(*Form1->mniEnableImport);
    }
    // Chooses Import: the file dialog answers `file` (nullptr: it is
    // cancelled), the question `confirm`. Export: the dialog answers `file`.
    void Import(const char* file, int confirm = gui::mrOk) {
        if (file) {
            ui.fileDialogs.push_back(Answer(file));
            ui.answers.push_back(confirm);
        }
        ui.ClearRecords();
        ui.Choose(*Form1->mniFileOpen);
    }
    void Export(const std::string& file) {
        ui.fileDialogs.push_back(Answer(file));
        ui.ClearRecords();
        ui.Choose(*Form1->mniFileSaveAs);
    }
};

TEST_F(FileMenu, DialogSettings) {
    ui.Choose(*Form1->mniFileOpen);
    ui.Choose(*Form1->mniFileSaveAs);
    ASSERT_EQ(ui.fileDialogsShown.size(), 2u);
    for (const gui::FileDialog& d : ui.fileDialogsShown) {
        EXPECT_EQ(d.fileName, "TRExport1.trs");
        EXPECT_EQ(d.filter, "Tarsio|*.trs|All Files|*.*");
        EXPECT_TRUE(d.hideReadOnly && d.resizable);
    }
    EXPECT_FALSE(ui.fileDialogsShown[0].save);
    EXPECT_TRUE(ui.fileDialogsShown[1].save && ui.fileDialogsShown[1].overwritePrompt);
}

// The import asks first, names the list and the marker where entries failed,
// and hands an error of the list to the error handler; the tree is repainted
// but after that error.
TEST_F(FileMenu, ImportAsksMakesReportsAndRepaints) {
    fs.WriteFile("good.trs", "+C:\\made\\here->C:\\data\n");
    fs.WriteFile("bad.trs", "+C:\\x->C:\\nowhere\n");
    fs.WriteFile("ro.trs", "+C:\\x->C:\\data\n");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\ro.trs", FILE_ATTRIBUTE_READONLY));
    const std::string question = "Are you sure importing junctions? Quit now if you do not know what you are doing!";
    auto errors = [](const std::string& file) {
        return "Errors during the import. Have a look at the file " + file +
               ". Values with an \"+\" have not been imported";
    };
    const MessageKind info = MessageKind::Information;
    // The file chosen (nullptr: the dialog is cancelled), the answer to the
    // question, the messages, whether the tree was repainted and whether
    // C:\made\here is a junction then.
    const std::tuple<const char*, int, Shown, bool, bool> cases[] = {
        {nullptr, gui::mrOk, {}, true, false},
        {"C:\\good.trs", gui::mrCancel, {{info, question}}, true, false},
        {"C:\\bad.trs", gui::mrOk, {{info, question}, {info, errors("C:\\bad.trs")}}, true, false},
        {"C:\\missing.trs", gui::mrOk, {{info, question}, {info, errors("C:\\missing.trs")}}, true, false},
        {"C:\\good.trs", gui::mrOk, {{info, question}}, true, true},
        {"C:\\ro.trs", gui::mrOk, {{info, question}, {MessageKind::Error, "File access denied"}}, false, true},
    };
    for (const auto& [file, confirm, shown, repainted, made] : cases) {
        Import(file, confirm);
        EXPECT_EQ(Messages(), shown) << file;
        for (const auto& m : ui.messages)
            EXPECT_EQ(m.request.buttons, m.request.text == question ? gui::Buttons::OkCancel : gui::Buttons::Ok);
        EXPECT_EQ(ui.repaints, std::vector<std::string>(repainted, "vteSourceTree")) << file;
        const bool imported = file && confirm == gui::mrOk;
        EXPECT_EQ(ui.cursors, imported ? kHourGlassThenDefault : std::vector<gui::Cursor>{}) << file;
        EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default) << file;
        EXPECT_EQ(HasReparsePoint("C:\\made\\here"), made) << file;
    }
    EXPECT_EQ(ui.messages.at(1).request.caption, "Error");
    // The window goes on.
    ui.Click(*Form1->btnInspect);
    EXPECT_TRUE(Form1->Inspecting);
}

TEST_F(FileMenu, ExportWritesScanOrderLinesAndSaysWhatItLeftOut) {
    const std::string lines = "+C:\\links\\a->C:\\data\r\n+C:\\links\\b->C:\\data\r\n+D:\\j->C:\\links\r\n";
    Export("C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), lines);
    // The default drives were scanned and the list stays empty.
    EXPECT_TRUE(Form1->ExportDrives.empty());
    // The panel was shown and painted before the scan, the label with the
    // first entry (then at most 30 times a second); everything is back at
    // the end, and nothing was left out to tell.
    ASSERT_GE(ui.repaints.size(), 3u);
    EXPECT_EQ(ui.repaints.front(), "Form1");
    EXPECT_EQ(ui.repaints[1], "lblExport");
    EXPECT_EQ(ui.repaints.back(), "vteSourceTree");
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
    EXPECT_EQ(Form1->lblExport->Text(), "C:\\data");
    EXPECT_EQ(ui.cursors, kHourGlassThenDefault);
    EXPECT_TRUE(ui.messages.empty());

    // A junction that an import would not make again is left out, and named.
    fs.MakeDir("share");
    std::vector<std::uint8_t> share = *reparse::BuildMountPoint(u"\\??\\UNC\\server\\share");
    ASSERT_TRUE(SetReparseData("C:\\share", share.data(), static_cast<std::uint32_t>(share.size())));
    Export("C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), lines);
    EXPECT_EQ(Messages(), (Shown{{MessageKind::Information,
                                  "Exported 3 junctions. Left out:\n- junctions that an import would not make again "
                                  "from their line (a network destination, or a name that Windows reads "
                                  "otherwise): 1 (C:\\share)"}}));
}

// An export cancelled or failing leaves the file as it was.
TEST_F(FileMenu, ExportThatEndsEarlyLeavesTheFileAndCleansUp) {
    fs.WriteFile("out.trs", "old");
    ui.ClearRecords();
    ui.Choose(*Form1->mniFileSaveAs);
    EXPECT_EQ(fs.ReadFile("out.trs"), "old");
    EXPECT_TRUE(ui.repaints.empty());
    EXPECT_TRUE(ui.cursors.empty());

    // Under way, the window drops what the user does but Cancel, and closing
    // it cancels too: the scan ends, nothing is written, nothing is said.
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Cancel", [&] { ui.Click(*Form1->btnCancelExport); }},
        {"close box", [&] { ui.CloseWindow(*Form1); }},
    };
    for (const auto& [way, act] : ways) {
        int answers = 0;
        ui.whileBusy = [&](gui::BusyWork& work) {
            ++answers;
            ui.Click(*Form1->btnInspect);
            ui.Choose(*Form1->mniFileOpen);
            EXPECT_FALSE(work.Cancelled()) << way;
            act();
        };
        Export("C:\\out.trs");
        EXPECT_EQ(answers, 1) << way;
        EXPECT_EQ(fs.ReadFile("out.trs"), "old") << way;
        EXPECT_TRUE(ui.messages.empty()) << way;
        EXPECT_TRUE(ui.fileDialogsShown.size() == 1) << way;
        EXPECT_FALSE(Form1->Inspecting) << way;
        EXPECT_FALSE(ui.terminateRequested) << way;
        EXPECT_FALSE(Form1->pnlWaitInExport->Visible()) << way;
        EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default) << way;
        EXPECT_TRUE(Form1->FindFile4Export.KeepFoundFiles && !Form1->FindFile4Export.OnFileFound) << way;
    }

    // A file that cannot be written: the error is said.
    ui.whileBusy = nullptr;
    ASSERT_TRUE(os::SetFileAttributesA("C:\\out.trs", FILE_ATTRIBUTE_READONLY));
    Export("C:\\out.trs");
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"File access denied"});
    EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default);
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
    EXPECT_EQ(fs.ReadFile("out.trs"), "old");
    // A write that fails part way leaves the file as it was, and nothing beside it.
    ASSERT_TRUE(os::SetFileAttributesA("C:\\out.trs", FILE_ATTRIBUTE_NORMAL));
    sim::FailCall("WriteFile", 1, ERROR_DISK_FULL);
    Export("C:\\out.trs");
    sim::ClearFaults();
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"I/O error 112"});
    EXPECT_EQ(fs.ReadFile("out.trs"), "old");
    EXPECT_FALSE(std::filesystem::exists(fs.HostPath("C:\\out.trs.tarsio-new")));
    // Written through a symbolic link: the file it leads to takes the text, the link stays.
    std::filesystem::create_symlink("out.trs", fs.HostPath("C:\\link.trs"));
    Export("C:\\link.trs");
    EXPECT_TRUE(std::filesystem::is_symlink(fs.HostPath("C:\\link.trs")));
    EXPECT_EQ(fs.ReadFile("out.trs").substr(0, 1), "+");
}

TEST_F(FileMenu, DriveSelectionNarrowsTheNextExport) {
    auto& dialog = *SelectDriveDlg;
    auto items = [&] {
        std::vector<std::string> shown;
        for (const auto& item : dialog.cbxChkAvailableDrives->Items())
            shown.push_back(item.text + (item.checked ? "+" : "-"));
        return shown;
    };
    ui.Choose(*Form1->mniSelectDrivetoExport);
    EXPECT_TRUE(dialog.Visible());
    EXPECT_TRUE(ui.modalShown.empty());  // modeless
    EXPECT_EQ(items(), (std::vector<std::string>{"C:\\+", "D:\\+", "E:\\+"}));
    EXPECT_EQ(Form1->ExportDrives, (std::vector<std::string>{"C", "D", "E"}));

    // Cancel after a change keeps the list; the next opening shows it as before.
    ui.Toggle(*dialog.cbxChkAvailableDrives, 0);
    ui.Click(*dialog.CancelBtn);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_EQ(Form1->ExportDrives, (std::vector<std::string>{"C", "D", "E"}));

    // Clearing C and OK: the next export scans D and E (no medium: skipped).
    ui.Choose(*Form1->mniSelectDrivetoExport);
    EXPECT_EQ(items(), (std::vector<std::string>{"C:\\+", "D:\\+", "E:\\+"}));
    ui.Toggle(*dialog.cbxChkAvailableDrives, 0);
    // Choosing the entry again while the dialog is open only brings it forward.
    ui.Choose(*Form1->mniSelectDrivetoExport);
    EXPECT_EQ(items(), (std::vector<std::string>{"C:\\-", "D:\\+", "E:\\+"}));
    EXPECT_EQ(ui.frontRequests.back(), "SelectDriveDlg");
    ui.Click(*dialog.OKBtn);
    EXPECT_EQ(Form1->ExportDrives, (std::vector<std::string>{"D", "E"}));
    Export("C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), "+D:\\j->C:\\links\r\n");
    ui.Choose(*Form1->mniSelectDrivetoExport);
    EXPECT_EQ(items(), (std::vector<std::string>{"D:\\+", "E:\\+"}));

    // Clearing every box: the default drives again, and on the next opening.
    ui.Toggle(*dialog.cbxChkAvailableDrives, 0);
    ui.Toggle(*dialog.cbxChkAvailableDrives, 1);
    ui.Click(*dialog.OKBtn);
    EXPECT_TRUE(Form1->ExportDrives.empty());
    ui.Choose(*Form1->mniSelectDrivetoExport);
    EXPECT_EQ(items(), (std::vector<std::string>{"C:\\+", "D:\\+", "E:\\+"}));
}

class HelpMenu : public WindowTest {};

TEST_F(HelpMenu, AboutBoxComposesTheSameContentEachTime) {
    std::vector<std::vector<std::string>> showings;
    ui.modalPlayers["AboutBox"] = [&](gui::Form&) {
        showings.push_back({AboutBox->ProductName->Text(), AboutBox->Version->Text(), AboutBox->Copyright->Text()});
        for (const std::string& line : AboutBox->mmoComments->Lines()) showings.back().push_back(line);
        ui.Type(*AboutBox->mmoComments, "typed by the user");
        ui.Click(*AboutBox->OKButton);
    };
    ui.Choose(*Form1->mniHelpAbout);
    ui.Choose(*Form1->mniHelpAbout);
    ASSERT_EQ(showings.size(), 2u);
    EXPECT_EQ(showings[0], showings[1]);
    ASSERT_EQ(showings[0].size(), 3u + 6u);
    EXPECT_EQ(showings[0][0], "Tarsio");
    EXPECT_EQ(showings[0][1], "Version 1.1.0, 28JAN2002");
    EXPECT_EQ(showings[0][2].rfind("Copyright ", 0), 0u);
    EXPECT_EQ(showings[0][6], "");   // the empty line before the comment
    EXPECT_NE(showings[0][8], " ");  // the blank after the last CR is not shown
    EXPECT_EQ(AboutBox->Text(), "About");
    // Closed: the box is empty again.
    EXPECT_TRUE(AboutBox->mmoComments->Lines().empty());
    EXPECT_EQ(AboutBox->Version->Text(), "Version");
}

TEST_F(HelpMenu, ContentsOpensTheHelpFileOrSaysWhyItCannot) {
    const std::pair<gui::HelpResult, std::string> cases[] = {
        {gui::HelpResult::Shown, ""},
        {gui::HelpResult::FileNotShown, "The Help file Tarsio.chm could not be found."},
        {gui::HelpResult::NoViewer,
         "The Help viewer (hhctrl.ocx) could not be loaded from the Windows system folder, so "
         "the Help file Tarsio.chm cannot be shown."},
    };
    for (const auto& [result, text] : cases) {
        ui.helpResult = result;
        ui.ClearRecords();
        ui.Choose(*Form1->mniHelpContents);
        // Beside the program, not in the working directory.
        EXPECT_EQ(ui.helpShown, std::vector<std::string>{"C:\\Program Files\\Tarsio\\Tarsio.chm"});
        EXPECT_EQ(Messages(), (text.empty() ? Shown{} : Shown{{MessageKind::Error, text}}));
        EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    }
    EXPECT_EQ(Form1->mniHelpContents->shortCut, "F1");
}

}  // namespace
}  // namespace tarsio::test
