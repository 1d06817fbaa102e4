// Lists in UTF-8, with a byte-order mark, and in the legacy code page of
// older versions, in a process whose code page is UTF-8, or 1252 as before
// Windows 10 1903: lines rewritten in the encoding each was read in, names
// without an exact 8-bit form refused, and exports in UTF-8.

#include <gtest/gtest.h>

#include <array>

#include "listfile/export.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using test::Junction;

class ListEncoding : public test::SimTest {
protected:
    void SetUp() override { fs.MakeDir("data"); }
};

// Each line is read in its own encoding: UTF-8 where it is well-formed, the
// legacy code page otherwise, and written back with the bytes it had; a
// byte-order mark is skipped and kept. A legacy process makes what it can
// name, and leaves a line pending whose name has no form in 1252.
TEST_F(ListEncoding, ListLinesAreReadInTheirOwnEncodingAndKeepTheirBytes) {
    struct Case {
        const char* what;
        unsigned codePage;
        std::string list, after;
        std::vector<std::string> junctions;  // their host names
    } cases[] = {
        // Lines written by an older version on a Western system (café in
        // 1252) beside a UTF-8 line: a stray 1252 byte changes only its own line.
        {"1252 and UTF-8 lines",
         sim::kUtf8CodePage,
         "+C:\\caf\xE9\\j->C:\\data\r\n+C:\\M\xC3\xBCll\\j->C:\\data\r\nna\xEFve text\n+C:\\missing "
         "caf\xE9->C:\\nowhere\r\n",
         "C:\\caf\xE9\\j->C:\\data\r\nC:\\M\xC3\xBCll\\j->C:\\data\r\nna\xEFve text\r\n+C:\\missing "
         "caf\xE9->C:\\nowhere\r\n",
         {"café/j", "Müll/j"}},
        {"a byte-order mark before a pending entry, a name outside the BMP",
         sim::kUtf8CodePage,
         "\xEF\xBB\xBF+C:\\Łódź 𝄞->C:\\data\r\nplain\r\n",
         "\xEF\xBB\xBF"
         "C:\\Łódź 𝄞->C:\\data\r\nplain\r\n",
         {"Łódź 𝄞"}},
        {"a byte-order mark alone", sim::kUtf8CodePage, "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n", {}},
        {"a legacy process",
         sim::kLegacyCodePage,
         "+C:\\naïve->C:\\data\r\n+C:\\Gdańsk->C:\\data\r\n",
         "C:\\naïve->C:\\data\r\n+C:\\Gdańsk->C:\\data\r\n",
         {"naïve"}},  // not "Gdansk", a look-alike
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SetAnsiCodePage(c.codePage);
        auto [errors, after] = Import(c.list);
        sim::SetAnsiCodePage(sim::kUtf8CodePage);
        EXPECT_EQ(errors, c.after.find('+') != std::string::npos);  // a line stays pending
        EXPECT_EQ(after, c.after);
        for (const std::string& name : c.junctions)
            EXPECT_EQ(test::HostReparse(fs.HostRoot() + "/C/" + name), test::MountPoint(u"\\??\\C:\\data")) << name;
    }
}

// A process in code page 1252 cannot name C:\Łódź: it reads nothing,
// touches nothing, says why, and leaves the junction out of an export.
// What it exports is UTF-8, and reads back in either code page.
TEST_F(ListEncoding, ExportIsUtf8AndLeavesOutWhatTheProcessCannotName) {
    fs.MakeDir("Łódź");
    Junction("C:\\links\\pl", "C:\\Łódź");
    const auto stored = Stored("C:\\links\\pl");
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    Junction("C:\\caf\xE9", "C:\\data");
    std::string untouched = "unchanged";
    EXPECT_FALSE(ReadJunctionDestination("C:\\links\\pl", untouched));
    EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(untouched, "unchanged");
    TFindFile finder;
    finder.NotifyWhenFound = true;
    // Counted as a junction whose name has no form in the list's text.
    EXPECT_EQ(ExportJunctions(finder, {"C"}, "C:\\out.trs").LeftOut, (std::array<int, kLeftOutKinds>{0, 0, 1, 0}));
    EXPECT_EQ(fs.ReadFile("out.trs"), "+C:\\caf\xC3\xA9->C:\\data\r\n");
    EXPECT_EQ(Stored("C:\\links\\pl"), stored);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    ASSERT_TRUE(DeleteJunction("C:\\caf\xE9"));
    EXPECT_FALSE(TImport().Import("C:\\out.trs"));
    EXPECT_EQ(Shown("C:\\caf\xE9"), "C:\\data");
    // A UTF-8 process exports both.
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
    EXPECT_EQ(Shown("C:\\café"), "C:\\data");
    ExportJunctions(finder, {"C"}, "C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), "+C:\\café->C:\\data\r\n+C:\\links\\pl->C:\\Łódź\r\n");
}

}  // namespace
}  // namespace tarsio
