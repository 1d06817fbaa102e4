#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tarsio {
namespace {

using Params = std::vector<std::string>;

TEST(SplitCommandLine, Table) {
    struct Case {
        const char* line;
        Params expected;
    } cases[] = {
        {"Tarsio.exe", {"Tarsio.exe"}},
        {"Tarsio.exe -import list.trs", {"Tarsio.exe", "-import", "list.trs"}},
        {"\"C:\\Program Files\\Tarsio.exe\" -import \"C:\\my lists\\a.trs\"",
         {"C:\\Program Files\\Tarsio.exe", "-import", "C:\\my lists\\a.trs"}},
        // Quotes may open and close anywhere inside a parameter.
        {"t -im\"por\"t a\" b\"c", {"t", "-import", "a bc"}},
        // Codes 1 to 32 separate: tab, line feed, other controls.
        {"t\t-import\x01x\ny", {"t", "-import", "x", "y"}},
        // An empty pair where a parameter would begin counts as none...
        {"t -import \"\"", {"t", "-import"}},
        {"t \"\" -import \"\" x", {"t", "-import", "x"}},
        {"t \"\"\"\"  a", {"t", "a"}},
        // ...but inside a parameter it just adds nothing.
        {"t a\"\"b", {"t", "ab"}},
        // An unclosed quote runs to the end.
        {"t \"a b", {"t", "a b"}},
        // A pair is skipped, then a quote opens a stretch.
        {"t \"\"\" x", {"t", " x"}},
        // A lone quote at the end is an empty parameter: the list ends.
        {"t a \"", {"t", "a"}},
        {"  t   ", {"t"}},
        {"", {""}},
        // Bytes above 127 belong to parameters.
        {"t \xe9t\xe9", {"t", "\xe9t\xe9"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << "line: " << c.line;
}

TEST(ChooseRunMode, ModeTable) {
    struct Case {
        Params params;
        RunMode mode;
        std::string file;
    } cases[] = {
        {{"-import", "C:\\a b.trs"}, RunMode::ConsoleImport, "C:\\a b.trs"},
        {{"-IMPORT", "List.TRS"}, RunMode::ConsoleImport, "List.TRS"},
        {{"-ImPoRt", "x"}, RunMode::ConsoleImport, "x"},
        {{"/import", "x"}, RunMode::Quit, ""},
        {{"-export", "x"}, RunMode::Quit, ""},
        {{}, RunMode::Window, ""},
        {{"-import"}, RunMode::Window, ""},  // also "-import \"\"", as split above
        {{"-import", "x", "y"}, RunMode::Window, ""},
    };
    for (const Case& c : cases) {
        ModeChoice choice = ChooseRunMode(c.params);
        EXPECT_EQ(choice.mode, c.mode);
        EXPECT_EQ(choice.listFile, c.file);
    }
}

TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
    Params args = {"tarsio-sim", "-import", "C:\\my lists\\a.trs", "tab\there"};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
}

}  // namespace
}  // namespace tarsio
