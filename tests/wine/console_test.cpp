// The real Tarsio.exe under Wine: the console import from end to end.
// Wine refuses to set reparse points (error 50), so pending entries fail.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/paths.h"
#include "tests/support/scratch.h"
#include "tests/wine/run_tarsio.h"

namespace tarsio {
namespace {

using test::Outcome;
using test::RunTarsio;
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

TEST(TarsioExe, DoneEntriesPrintImportSuccessfullyAndAreRewrittenWithCrLf) {
    Scratch fs;
    fs.WriteFile("done list.trs", "C:\\a->C:\\b\nplain text\n\nC:\\c->C:\\d");
    Outcome run = RunTarsio("-IMPORT \"" + fs.Path("done list.trs") + "\"");
    EXPECT_EQ(run.out, "Import successfully\r\n");
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(fs.ReadFile("done list.trs"), "C:\\a->C:\\b\r\nplain text\r\n\r\nC:\\c->C:\\d\r\n");
}

TEST(TarsioExe, MissingListPrintsImportHadErrors) {
    Scratch fs;
    Outcome run = RunTarsio("-import " + fs.Path("none.trs"));
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
}

TEST(TarsioExe, TwoParametersWithAnotherKeywordPrintNothing) {
    Scratch fs;
    fs.WriteFile("list.trs", "+C:\\x->C:\\y\n");
    for (const char* keyword : {"/import", "-export", "import"}) {
        Outcome run = RunTarsio(std::string(keyword) + " " + fs.Path("list.trs"));
        EXPECT_EQ(run.out, "") << keyword;
        EXPECT_EQ(run.status, 0u) << keyword;
    }
    EXPECT_EQ(fs.ReadFile("list.trs"), "+C:\\x->C:\\y\n");
}

TEST(TarsioExe, CtrlZAndCrOnlyListsKeepEveryLine) {
    Scratch fs;
    struct Case {
        std::string in, out;
    } cases[] = {
        {"C:\\a->C:\\b\r\n\x1a"
         "C:\\c->C:\\d\r\n+C:\\e->C:\\f\r\n",
         "C:\\a->C:\\b\r\n\x1a"
         "C:\\c->C:\\d\r\n+C:\\e->C:\\f\r\n"},
        {"C:\\a->C:\\b\rplain\r\rC:\\c->C:\\d\r", "C:\\a->C:\\b\r\nplain\r\n\r\nC:\\c->C:\\d\r\n"},
    };
    for (const Case& c : cases) {
        fs.WriteFile("list.trs", c.in);
        Outcome run = RunTarsio("-import " + fs.Path("list.trs"));
        EXPECT_EQ(run.out, "Import successfully\r\n");
        EXPECT_EQ(run.status, 0u);
        EXPECT_EQ(fs.ReadFile("list.trs"), c.out);
    }
}

TEST(TarsioExe, DeepPathFailsQuicklyWithNothingMade) {
    Scratch fs;
    fs.MakeDir("data");
    std::string deep = fs.Path("a");
    for (int i = 1; i < 30000; ++i) deep += "\\a";
    const std::string text = "+" + deep + "->" + fs.Path("data") + "\r\n";
    fs.WriteFile("deep.trs", text);
    Outcome run = RunTarsio("-import " + fs.Path("deep.trs"));
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
    EXPECT_LT(run.seconds, 2.0);  // the process with Wine's start; the walk itself is timed in-process
    EXPECT_TRUE(fs.ReadFile("deep.trs") == text);
    EXPECT_EQ(os::GetFileAttributesA(fs.Path("a").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TarsioExe, ListThatIsNoDiskFileGivesItsErrorAtOnce) {
    Scratch fs;
    fs.MakeDir("folder");
    fs.WriteFile("list.trs", "+C:\\x->C:\\y\n");
    struct Case {
        std::string name, reason;
    } cases[] = {
        {"COM1", "Invalid filename (system error 3)"},
        {"CON", "Invalid filename (system error 3)"},
        {"NUL", "Invalid filename (system error 3)"},
        {fs.Path("*.trs"), "Invalid filename (system error 3)"},
        {fs.Path("folder"), "File access denied (system error 5)"},
    };
    for (const Case& c : cases) {
        Outcome run = RunTarsio("-import \"" + c.name + "\"");
        EXPECT_EQ(run.out, "Tarsio: import of " + c.name + " failed: " + c.reason + "\r\n") << c.name;
        EXPECT_EQ(run.status, 1u) << c.name;
        EXPECT_LT(run.seconds, 5.0) << c.name;
    }
    EXPECT_EQ(fs.ReadFile("list.trs"), "+C:\\x->C:\\y\n");
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
