// The File and Help menus: import and export from the window, the drive
// selection, the about box and the help command.

#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <utility>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "listfile/export.h"
#include "tests/gui/window_fixture.h"

namespace tarsio::test {
namespace {

using gui::HelpResult;
using gui::MessageKind;

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
        MakeLinks({{"b", "C:\\data"}, {"a", "C:\\data"}});
        ASSERT_TRUE(os::CreateDirectoryA("D:\\j", nullptr));
        ASSERT_TRUE(CreateJunction("D:\\j", "C:\\links"));
    }
    void Import(const std::string& file, int confirm = gui::mrOk) {
        ui.fileDialogs.push_back(Answer(file));
        ui.answers.push_back(confirm);
        ui.ClearRecords();
        ui.Choose(*Form1->mniFileOpen);
    }
    void Export(const std::string& file) {
        ui.fileDialogs.push_back(Answer(file));
        ui.ClearRecords();
        ui.Choose(*Form1->mniFileSaveAs);
    }
    void SetUp() override {
        WindowTest::SetUp();
        ui.Choose(*Form1->mniEnableImport);
    }
};

TEST_F(FileMenu, DialogSettings) {
    ui.Choose(*Form1->mniFileOpen);
    ui.Choose(*Form1->mniFileSaveAs);
    ASSERT_EQ(ui.fileDialogsShown.size(), 2u);
    const gui::FileDialog& open = ui.fileDialogsShown[0];
    const gui::FileDialog& save = ui.fileDialogsShown[1];
    for (const gui::FileDialog* d : {&open, &save}) {
        EXPECT_EQ(d->fileName, "TRExport1.trs");
        EXPECT_EQ(d->filter, "Tarsio|*.trs|All Files|*.*");
        EXPECT_TRUE(d->hideReadOnly);
        EXPECT_TRUE(d->resizable);
    }
    EXPECT_FALSE(open.save);
    EXPECT_TRUE(save.save);
    EXPECT_TRUE(save.overwritePrompt);
}

TEST_F(FileMenu, ImportMakesTheJunctionsAndRepaints) {
    fs.WriteFile("list.trs", "+C:\\made\\here->C:\\data\n");
    Import("C:\\list.trs");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].request.text,
              "Are you sure importing junctions? Quit now if you do not know what you are doing!");
    EXPECT_EQ(ui.messages[0].request.kind, MessageKind::Information);
    EXPECT_EQ(ui.messages[0].request.buttons, gui::Buttons::OkCancel);
    EXPECT_TRUE(HasReparsePoint("C:\\made\\here"));
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    EXPECT_EQ(ui.cursors, (std::vector<gui::Cursor>{gui::Cursor::HourGlass, gui::Cursor::Default}));
}

TEST_F(FileMenu, ImportErrorsNameTheFileAndTheMarker) {
    fs.WriteFile("list.trs", "+C:\\x->C:\\nowhere\n");
    for (const char* file : {"C:\\list.trs", "C:\\missing.trs"}) {
        Import(file);
        ASSERT_EQ(ui.messages.size(), 2u) << file;
        EXPECT_EQ(ui.messages[1].request.kind, MessageKind::Information);
        EXPECT_EQ(ui.messages[1].request.buttons, gui::Buttons::Ok);
        EXPECT_EQ(ui.messages[1].request.text, std::string("Errors during the import. Have a look at the file ") +
                                                   file + ". Values with an \"+\" have not been imported");
    }
}

TEST_F(FileMenu, CancelledImportStillRepaints) {
    fs.WriteFile("list.trs", "+C:\\x->C:\\data\n");
    ui.ClearRecords();
    ui.Choose(*Form1->mniFileOpen);  // no answer: the dialog is cancelled
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    Import("C:\\list.trs", gui::mrCancel);
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    EXPECT_FALSE(DirectoryExists("C:\\x"));
}

TEST_F(FileMenu, UnreadableListReachesTheErrorHandler) {
    fs.WriteFile("list.trs", "+C:\\x->C:\\data\n");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\list.trs", FILE_ATTRIBUTE_READONLY));
    Import("C:\\list.trs");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].request.kind, MessageKind::Error);
    EXPECT_EQ(ui.messages[1].request.caption, "Error");
    EXPECT_EQ(ui.messages[1].request.text, "File access denied");
    EXPECT_TRUE(ui.repaints.empty());
    EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default);
    // The window goes on.
    ui.Click(*Form1->btnInspect);
    EXPECT_TRUE(Form1->Inspecting);
}

TEST_F(FileMenu, ExportWritesScanOrderLinesAsTarsioSimDoes) {
    Export("C:\\out.trs");
    const std::string expected = "+C:\\links\\a->C:\\data\r\n+C:\\links\\b->C:\\data\r\n+D:\\j->C:\\links\r\n";
    EXPECT_EQ(fs.ReadFile("out.trs"), expected);
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
    EXPECT_EQ(ui.cursors, (std::vector<gui::Cursor>{gui::Cursor::HourGlass, gui::Cursor::Default}));
    EXPECT_TRUE(ui.messages.empty());

    // The same drives through tarsio-sim give the same bytes.
    std::string command = std::string(TARSIO_SIM_EXE) + " export 'C:\\sim.trs'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs.ReadFile("sim.trs"), expected);
}

TEST_F(FileMenu, CancelledExportChangesNothing) {
    fs.WriteFile("out.trs", "old");
    ui.ClearRecords();
    ui.Choose(*Form1->mniFileSaveAs);
    EXPECT_EQ(fs.ReadFile("out.trs"), "old");
    EXPECT_TRUE(ui.repaints.empty());
    EXPECT_TRUE(ui.cursors.empty());

    // Under way, the window drops what the user does but Cancel, and closing
    // it cancels too: the scan ends, nothing is written, nothing is said.
    struct Way {
        const char* name;
        std::function<void()> act;
    } ways[] = {
        {"Cancel", [&] { ui.Click(*Form1->btnCancelExport); }},
        {"close box", [&] { ui.CloseWindow(*Form1); }},
    };
    for (const Way& way : ways) {
        int answers = 0;
        ui.whileBusy = [&](gui::BusyWork& work) {
            ++answers;
            ui.Click(*Form1->btnInspect);
            ui.Choose(*Form1->mniFileOpen);
            EXPECT_FALSE(work.Cancelled()) << way.name;
            way.act();
        };
        Export("C:\\out.trs");
        EXPECT_EQ(answers, 1) << way.name;
        EXPECT_EQ(fs.ReadFile("out.trs"), "old") << way.name;
        EXPECT_TRUE(ui.messages.empty()) << way.name;
        EXPECT_TRUE(ui.fileDialogsShown.size() == 1) << way.name;
        EXPECT_FALSE(Form1->Inspecting) << way.name;
        EXPECT_FALSE(ui.terminateRequested) << way.name;
        EXPECT_FALSE(Form1->pnlWaitInExport->Visible()) << way.name;
        EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default) << way.name;
        EXPECT_TRUE(Form1->FindFile4Export.KeepFoundFiles && !Form1->FindFile4Export.OnFileFound) << way.name;
    }
}

TEST_F(FileMenu, ExportThatLeftJunctionsOutSaysWhatAndWhy) {
    fs.MakeDir("share");
    std::vector<std::uint8_t> share = *reparse::BuildMountPoint(u"\\??\\UNC\\server\\share");
    ASSERT_TRUE(SetReparseData("C:\\share", share.data(), static_cast<std::uint32_t>(share.size())));
    Export("C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), "+C:\\links\\a->C:\\data\r\n+C:\\links\\b->C:\\data\r\n+D:\\j->C:\\links\r\n");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].request.kind, MessageKind::Information);
    EXPECT_EQ(ui.messages[0].request.text,
              "Exported 3 junctions. Left out:\n- junctions that an import would not make again from their line (a "
              "network destination, or a name that Windows reads otherwise): 1 (C:\\share)");
}

TEST_F(FileMenu, ExportThatCannotWriteReportsAndCleansUp) {
    fs.WriteFile("out.trs", "old");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\out.trs", FILE_ATTRIBUTE_READONLY));
    Export("C:\\out.trs");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].request.text, "File access denied");
    EXPECT_EQ(gui::ScreenCursor(), gui::Cursor::Default);
    EXPECT_FALSE(Form1->pnlWaitInExport->Visible());
    EXPECT_EQ(fs.ReadFile("out.trs"), "old");
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
        std::vector<std::string> seen = {AboutBox->ProductName->Text(), AboutBox->Version->Text(),
                                         AboutBox->Copyright->Text()};
        for (const std::string& line : AboutBox->mmoComments->Lines()) seen.push_back(line);
        showings.push_back(seen);
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
    ui.Choose(*Form1->mniHelpContents);
    // Beside the program, not in the working directory.
    EXPECT_EQ(ui.helpShown, std::vector<std::string>{"C:\\Program Files\\Tarsio\\Tarsio.chm"});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});

    const std::pair<HelpResult, std::string> failures[] = {
        {HelpResult::FileNotShown, "The Help file Tarsio.chm could not be found."},
        {HelpResult::NoViewer,
         "The Help viewer (hhctrl.ocx) could not be loaded from the Windows system folder, so "
         "the Help file Tarsio.chm cannot be shown."},
    };
    for (const auto& [result, text] : failures) {
        ui.helpResult = result;
        ui.ClearRecords();
        ui.Choose(*Form1->mniHelpContents);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].request.kind, MessageKind::Error);
        EXPECT_EQ(ui.messages[0].request.text, text);
        EXPECT_EQ(ui.repaints, std::vector<std::string>{"vteSourceTree"});
    }
    EXPECT_EQ(Form1->mniHelpContents->shortCut, "F1");
}

}  // namespace
}  // namespace tarsio::test
