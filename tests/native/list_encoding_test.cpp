// List files in UTF-8, with a byte-order mark, and in the legacy code page
// of older versions: imported, rewritten line by line in the encoding each
// was read in, and exported in UTF-8.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/junction.h"
#include "listfile/export.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

class ListEncoding : public ::testing::Test {
protected:
    void SetUp() override { fs.MakeDir("data"); }
    void TearDown() override { sim::SetAnsiCodePage(sim::kUtf8CodePage); }

    // Imports `bytes` as C:\list.trs; the result and the bytes written back.
    std::pair<bool, std::string> Import(const std::string& bytes) {
        fs.WriteFile("list.trs", bytes);
        bool errors = TImport().Import("C:\\list.trs");
        return {errors, fs.ReadFile("list.trs")};
    }
    bool HostDir(const std::string& utf8) { return std::filesystem::is_directory(fs.HostRoot() + "/C/" + utf8); }
    std::string Shown(const std::string& dir) {
        std::string d;
        return ReadJunctionDestination(dir, d) ? PlainDestination(d) : "<unreadable>";
    }

    Scratch fs;
};

TEST_F(ListEncoding, EachLineIsReadInItsOwnEncodingAndKeepsItsBytes) {
    // Lines written by an older version on a Western system (café in 1252)
    // beside a UTF-8 line: a stray 1252 byte changes only its own line.
    const std::string list =
        "+C:\\caf\xE9\\j->C:\\data\r\n"
        "+C:\\M\xC3\xBCll\\j->C:\\data\r\n"
        "C:\\done caf\xE9->C:\\x\r\n"
        "na\xEFve text\n"
        "+C:\\missing caf\xE9->C:\\nowhere\r\n";
    auto [errors, after] = Import(list);
    EXPECT_TRUE(errors);  // the last entry leads nowhere
    EXPECT_EQ(after,
              "C:\\caf\xE9\\j->C:\\data\r\n"
              "C:\\M\xC3\xBCll\\j->C:\\data\r\n"
              "C:\\done caf\xE9->C:\\x\r\n"
              "na\xEFve text\r\n"
              "+C:\\missing caf\xE9->C:\\nowhere\r\n");
    EXPECT_EQ(Shown("C:\\café\\j"), "C:\\data");
    EXPECT_EQ(Shown("C:\\Müll\\j"), "C:\\data");
    EXPECT_FALSE(HostDir("MÃ¼ll"));
}

TEST_F(ListEncoding, ByteOrderMarkIsSkippedAndKept) {
    struct Case {
        const char* what;
        std::string list;
        std::string after;
    } cases[] = {
        {"before a pending entry", "\xEF\xBB\xBF+C:\\Łódź->C:\\data\r\nplain\r\n",
         "\xEF\xBB\xBF"
         "C:\\Łódź->C:\\data\r\nplain\r\n"},
        {"before other text", "\xEF\xBB\xBF# list\n+C:\\中文->C:\\data\n",
         "\xEF\xBB\xBF# list\r\nC:\\中文->C:\\data\r\n"},
        {"alone", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto [errors, after] = Import(c.list);
        EXPECT_FALSE(errors);
        EXPECT_EQ(after, c.after);
    }
    EXPECT_EQ(Shown("C:\\Łódź"), "C:\\data");
    EXPECT_EQ(Shown("C:\\中文"), "C:\\data");
}

TEST_F(ListEncoding, LegacyProcessTakesUtf8ListsAndRefusesWhatItCannotName) {
    // Before Windows 10 1903 the file calls take code page 1252.
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    const std::string list =
        "+C:\\caf\xC3\xA9->C:\\data\r\n"  // café in UTF-8
        "+C:\\\xC5\x81\xC3\xB3"
        "d\xC5\xBA->C:\\data\r\n";  // Łódź: no 1252 form
    auto [errors, after] = Import(list);
    EXPECT_TRUE(errors);
    EXPECT_EQ(after,
              "C:\\caf\xC3\xA9->C:\\data\r\n+C:\\\xC5\x81\xC3\xB3"
              "d\xC5\xBA->C:\\data\r\n");
    EXPECT_TRUE(HostDir("café"));
    EXPECT_FALSE(HostDir("Lodz"));
    EXPECT_FALSE(HostDir("Łódź"));
}

TEST_F(ListEncoding, ExportWritesUtf8WhateverTheProcessCodePage) {
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    test::Junction("C:\\caf\xE9", "C:\\data");
    TFindFile finder;
    finder.NotifyWhenFound = true;
    ExportJunctions(finder, {"C"}, "C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), "+C:\\caf\xC3\xA9->C:\\data\r\n");
    // Read back in the same process, and in a UTF-8 one.
    ASSERT_TRUE(DeleteJunction("C:\\caf\xE9"));
    EXPECT_FALSE(TImport().Import("C:\\out.trs"));
    EXPECT_EQ(Shown("C:\\caf\xE9"), "C:\\data");
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
    EXPECT_EQ(Shown("C:\\café"), "C:\\data");
}

}  // namespace
}  // namespace tarsio
