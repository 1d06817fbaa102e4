// The real Tarsio.exe under Wine: the console import from end to end.
// Wine refuses to set reparse points (error 50), so pending entries fail.
// What the importer does with each line is checked below it, natively and
// under Wine (tests/portable/import_test.cpp); here the exe's own part: its
// command line, the line it prints and its exit status.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/paths.h"
#include "tests/support/scratch.h"
#include "tests/wine/driver.h"

namespace tarsio {
namespace {

using driver::Outcome;
using driver::RunTarsio;
using test::Scratch;

TEST(TarsioExe, PendingEntriesPrintImportHadErrorsAndKeepTheirMarkers) {
    Scratch fs;
    fs.MakeDir("data");
    std::vector<std::string> junctions = {fs.Path("links\\web")};
    for (std::size_t depth : test::kDepths)
        junctions.push_back(test::Deep(fs.Path("deep" + std::to_string(depth)), depth));
    std::string text;
    for (const std::string& junction : junctions) text += "+" + junction + "->" + fs.Path("data") + "\r\n";
    fs.WriteFile("list.trs", text);
    Outcome run = RunTarsio("-import \"" + fs.Path("list.trs") + "\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    // Setting the reparse point failed, so each new, empty directory is gone;
    // the parents made for it stay, at every depth.
    for (const std::string& junction : junctions) {
        EXPECT_EQ(paths::GetFileAttributesW(junction), INVALID_FILE_ATTRIBUTES) << junction.size();
        EXPECT_EQ(paths::GetFileAttributesW(junction.substr(0, junction.rfind('\\'))), FILE_ATTRIBUTE_DIRECTORY)
            << junction.size();
    }
}

// Each command line with the list's text before, the line printed, the exit
// status and the list's text after; a list that is no disk file gives its
// error at once.
TEST(TarsioExe, LineAndStatusOfEachCommandLine) {
    Scratch fs;
    fs.MakeDir("folder");
    const std::string list = "\"" + fs.Path("done list.trs") + "\"", pending = "+C:\\x->C:\\y\n";
    const std::string failed = "Tarsio: import of ";
    struct Case {
        std::string args, before, out;
        DWORD status;
        std::string after;
    } cases[] = {
        {"-IMPORT " + list, "C:\\a->C:\\b\nplain text\n\nC:\\c->C:\\d", "Import successfully\r\n", 0,
         "C:\\a->C:\\b\r\nplain text\r\n\r\nC:\\c->C:\\d\r\n"},
        {"-import " + fs.Path("none.trs"), pending, "Import had errors\r\n", 0, pending},
        // Two parameters with another keyword: nothing.
        {"/import " + list, pending, "", 0, pending},
        {"-export " + list, pending, "", 0, pending},
        {"import " + list, pending, "", 0, pending},
        {"-import COM1", pending, failed + "COM1 failed: Invalid filename (system error 3)\r\n", 1, pending},
        {"-import \"" + fs.Path("folder") + "\"", pending,
         failed + fs.Path("folder") + " failed: File access denied (system error 5)\r\n", 1, pending},
    };
    for (const Case& c : cases) {
        fs.WriteFile("done list.trs", c.before);
        Outcome run = RunTarsio(c.args);
        EXPECT_EQ(run.out, c.out) << c.args;
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_LT(run.seconds, 5.0) << c.args;
        EXPECT_EQ(fs.ReadFile("done list.trs"), c.after) << c.args;
    }
}

// C:\tarsio-lists\list.trs is a host symbolic link to store\list.trs (the
// ctest fixture wine_list_link makes it): the new text reaches the file it
// leads to, which a link replaced by a plain file would not.
TEST(TarsioExe, ListThatIsASymbolicLinkIsRewrittenWhereItLeads) {
    const std::string target = "C:\\tarsio-lists\\store\\list.trs";
    test::WriteFileAt(target, "C:\\a->C:\\b\nfree text");
    Outcome run = RunTarsio("-import C:\\tarsio-lists\\list.trs");
    EXPECT_EQ(run.out, "Import successfully\r\n");
    EXPECT_EQ(test::ReadFileAt(target), "C:\\a->C:\\b\r\nfree text\r\n");
    EXPECT_EQ(test::ReadFileAt("C:\\tarsio-lists\\list.trs"), "C:\\a->C:\\b\r\nfree text\r\n");
}

}  // namespace
}  // namespace tarsio
