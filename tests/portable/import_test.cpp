// The importer on lists whose outcome does not depend on reparse points
// being settable, so that it runs natively and under Wine alike.

#include "listfile/import.h"
#include "listfile/list_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "engine/error.h"
#include "platform/os.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

class ImportTest : public ::testing::Test {
protected:
    Scratch fs;
};

TEST_F(ImportTest, LinesAreCarriedThroughWithCrLf) {
    std::string longList;
    for (int i = 0; i < 10000; ++i)
        longList += "C:\\folder " + std::to_string(i) + "\\link->D:\\target\\" + std::to_string(i * 7) + "\r\n";
    // A pending entry whose destination is missing stays; nothing is made
    // for it, neither the junction directory nor its parent.
    const std::string pending = "+" + fs.Path("links\\web") + "->" + fs.Path("nowhere") + "\r\n";
    struct Case {
        std::string in, out;
        bool errors = false;
    } cases[] = {
        {"", ""},
        {"C:\\x->D:\\y\r\n", "C:\\x->D:\\y\r\n"},
        {"C:\\x->D:\\y\n\nfree text\n", "C:\\x->D:\\y\r\n\r\nfree text\r\n"},
        {"no line end", "no line end\r\n"},
        {"a\rb\r\nc\r", "a\r\nb\r\nc\r\n"},  // a lone CR ends a line
        {"C:\\x->D:\\y\rC:\\z->D:\\w\r\r", "C:\\x->D:\\y\r\nC:\\z->D:\\w\r\n\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},  // LF then CR: two line ends
        // The bytes from a Ctrl-Z at a line's start on go back as they were,
        // pending entries among them, and are not imported.
        {"a\r\n\032after\r\n", "a\r\n\032after\r\n"},  // \032 is Ctrl-Z too
        {"a\n\x1a\n+sub\\j->sub\r\x1a\r\nz\n", "a\r\n\x1a\n+sub\\j->sub\r\x1a\r\nz\n"},
        {"\x1a", "\x1a"},
        {"a\032b\r\n\x1a", "a\032b\r\n\x1a"},  // inside a line it is text
        {"+\n+1:\\x->e:\\y\n+ C:\\x->D:\\y\n", "+\r\n+1:\\x->e:\\y\r\n+ C:\\x->D:\\y\r\n"},
        {"+{->x\n", "+{->x\r\n"},  // '{' lies above 'z'
        {"\r\n\r\n", "\r\n\r\n"},
        {pending, pending, true},
        {longList, longList},
    };
    for (const Case& c : cases) {
        fs.WriteFile("list.trs", c.in);
        EXPECT_EQ(TImport().Import(fs.Path("list.trs")), c.errors) << c.in.substr(0, 100);
        EXPECT_EQ(fs.ReadFile("list.trs"), c.out) << c.in.substr(0, 100);
    }
    // A missing list is an error result, and nothing happens.
    TImport importer;
    EXPECT_TRUE(importer.Import(fs.Path("none.trs")));
    EXPECT_TRUE(importer.ResultLines.empty());
    EXPECT_EQ(fs.Names(), std::vector<std::string>{"list.trs"});
}

// Each of these lists stops the import with an error at once, before
// anything is made, and is left as it was. A list with a second name (a hard
// link) is refused: its rewrite would give the new text to one name only.
TEST_F(ImportTest, ListsThatRaiseAnErrorStopTheImportAndAreLeftUntouched) {
    fs.MakeDir("folder.trs");
    const std::string text = "+sub\\j->sub\r\n", noArrow = "C:\\done->D:\\x\n+C\nmore\n";
    fs.WriteFile("list.trs", text);
    fs.WriteFile("linked.trs", text);
    fs.WriteFile("no arrow.trs", noArrow);
    ASSERT_TRUE(os::CreateHardLinkA(fs.Path("second.trs").c_str(), fs.Path("linked.trs").c_str(), nullptr));
    struct Case {
        std::vector<std::string> names;
        const char* message;
        unsigned long code;
    } cases[] = {
        {{"COM1", "com2", "CON", "NUL", "aux", "LPT1", "\\\\.\\COM1", "\\\\.\\pipe\\tarsio", fs.Path("*.trs"),
          fs.Path("list.tr?")},
         "Invalid filename",
         3},
        {{fs.Path("folder.trs"), fs.Path("folder.trs\\")}, "File access denied", 5},
        {{fs.Path("linked.trs")},
         "The list has 2 names (hard links), and writing it back would leave the others with the old text. Import "
         "a copy of it",
         0},
        // An entry without its arrow.
        {{fs.Path("no arrow.trs")}, "Unable to create directory", 0},
    };
    for (const Case& c : cases) {
        for (const std::string& name : c.names) {
            auto start = std::chrono::steady_clock::now();
            try {
                TImport().Import(name);
                ADD_FAILURE() << "no error for " << name;
            } catch (const TarsioError& e) {
                EXPECT_STREQ(e.what(), c.message) << name;
                EXPECT_EQ(e.code(), c.code) << name;
            }
            EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0) << name;
        }
    }
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    EXPECT_EQ(fs.ReadFile("second.trs"), text);
    EXPECT_EQ(fs.ReadFile("no arrow.trs"), noArrow);
    std::vector<std::string> names = fs.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"folder.trs", "linked.trs", "list.trs", "no arrow.trs", "second.trs"}));
}

TEST_F(ImportTest, LongListNameIsRewrittenThroughAShortSideFile) {
    // The list's full name has 255 characters: its name with any suffix
    // would reach MAX_PATH.
    const std::string folder(200 - fs.Path().size(), 'f');
    const std::string name = folder + "\\" + std::string(50, 'n') + ".trs";
    ASSERT_EQ(fs.Path(name).size(), 255u);
    fs.MakeDir(folder);
    fs.WriteFile(name, "C:\\a->C:\\b\nfree text\r");
    TImport importer;
    EXPECT_FALSE(importer.Import(fs.Path(name)));
    EXPECT_EQ(fs.ReadFile(name), "C:\\a->C:\\b\r\nfree text\r\n");
    EXPECT_EQ(fs.Names(folder + "\\"), std::vector<std::string>{std::string(50, 'n') + ".trs"});
}

TEST(SplitLine, EndsAtLfCrLfOrLoneCr) {
    struct Case {
        std::string_view bytes;
        std::size_t length, next;
    } cases[] = {
        {"", 0, 0},      {"abc", 3, 3},    {"abc\n", 3, 4}, {"abc\r\n", 3, 5}, {"abc\rd", 3, 4},
        {"abc\r", 3, 4}, {"\r\r\n", 0, 1}, {"\n\r", 0, 1},  {"a\x1a\n", 2, 3}, {"\xe4\x0d\x0a", 1, 3},
    };
    for (const Case& c : cases) {
        LineSpan span = SplitLine(c.bytes);
        EXPECT_EQ(span.length, c.length) << c.bytes;
        EXPECT_EQ(span.next, c.next) << c.bytes;
    }
}

TEST(InOutErrorMessage, Texts) {
    struct Case {
        unsigned long code;
        const char* text;
    } cases[] = {
        {2, "File not found"},          {3, "Invalid filename"},          {4, "Too many open files"},
        {5, "File access denied"},      {100, "Read beyond end of file"}, {101, "Disk full"},
        {106, "Invalid numeric input"}, {112, "I/O error 112"},
    };
    for (const Case& c : cases) EXPECT_EQ(InOutErrorMessage(c.code), c.text);
}

}  // namespace
}  // namespace tarsio
