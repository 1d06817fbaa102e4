// Names beyond any legacy code page on the simulated NTFS, and lists in
// UTF-8, with a byte-order mark, and in the legacy code page of older
// versions. The process code page is UTF-8, or 1252 as before Windows 10
// 1903: junctions made, read and deleted with Polish, Cyrillic, Greek and
// CJK names, names without an exact 8-bit form refused, lines rewritten in
// the encoding each was read in, and exports in UTF-8.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <array>
#include <filesystem>

#include "listfile/export.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

using test::Junction;

// The mount point bytes of `substitute`, spelled out here: tag, data length,
// the four offset and length words, UTF-16LE code units, two terminators.
std::vector<std::uint8_t> Expected(std::u16string_view substitute) {
    const unsigned n = static_cast<unsigned>(substitute.size() * 2);
    std::vector<std::uint8_t> b = {0x03, 0x00, 0x00, 0xA0};
    auto word = [&b](unsigned w) { b.insert(b.end(), {std::uint8_t(w), std::uint8_t(w >> 8)}); };
    for (unsigned w : {n + 12, 0u, 0u, n, n + 2, 0u}) word(w);
    for (char16_t c : substitute) word(c);
    word(0), word(0);
    return b;
}

class UnicodeNames : public test::SimTest {
protected:
    void SetUp() override { fs.MakeDir("data"); }
};

TEST_F(UnicodeNames, MadeReadAndDeletedAsJunctionAndAsDestination) {
    struct Name {
        const char* utf8;
        std::u16string utf16;
    } names[] = {{"Łódź", u"Łódź"},
                 {"Москва", u"Москва"},
                 {"Ωμέγα", u"Ωμέγα"},
                 {"中文目录", u"中文目录"},
                 {"𝄞 music", u"𝄞 music"}};
    for (const Name& name : names) {
        SCOPED_TRACE(name.utf8);
        const std::string dir = std::string("C:\\") + name.utf8;
        fs.MakeDir(name.utf8);
        // On the host the folder has exactly its name.
        EXPECT_TRUE(std::filesystem::is_directory(fs.HostRoot() + "/C/" + name.utf8));

        // As destination: the substitute name holds its UTF-16 code units.
        Junction("C:\\to " + std::string(name.utf8), dir);
        EXPECT_EQ(Stored("C:\\to " + std::string(name.utf8)), Expected(u"\\??\\C:\\" + name.utf16));
        EXPECT_EQ(Shown("C:\\to " + std::string(name.utf8)), dir);

        // As junction directory, inside a folder of the same name.
        const std::string junction = dir + "\\" + name.utf8;
        Junction(junction, "C:\\data");
        EXPECT_EQ(Stored(junction), Expected(u"\\??\\C:\\data"));
        EXPECT_EQ(Shown(junction), "C:\\data");
        ASSERT_TRUE(DeleteJunction(junction));
        EXPECT_FALSE(DirectoryExists(junction));
    }
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

// Each line is read in its own encoding: UTF-8 where it is well-formed, the
// legacy code page otherwise, and written back with the bytes it had; a
// byte-order mark is skipped and kept. A legacy process makes what it can
// name, and leaves a line pending whose name has no form in 1252.
TEST_F(UnicodeNames, ListLinesAreReadInTheirOwnEncodingAndKeepTheirBytes) {
    struct Case {
        const char* what;
        unsigned codePage;
        std::string list;
        bool errors;
        std::string after;
        std::vector<std::string> junctions, absent;  // host names
    } cases[] = {
        // Lines written by an older version on a Western system (café in
        // 1252) beside a UTF-8 line: a stray 1252 byte changes only its own line.
        {"1252 and UTF-8 lines",
         sim::kUtf8CodePage,
         "+C:\\caf\xE9\\j->C:\\data\r\n+C:\\M\xC3\xBCll\\j->C:\\data\r\nC:\\done caf\xE9->C:\\x\r\nna\xEFve text\n"
         "+C:\\missing caf\xE9->C:\\nowhere\r\n",
         true,
         "C:\\caf\xE9\\j->C:\\data\r\nC:\\M\xC3\xBCll\\j->C:\\data\r\nC:\\done caf\xE9->C:\\x\r\nna\xEFve text\r\n"
         "+C:\\missing caf\xE9->C:\\nowhere\r\n",
         {"café/j", "Müll/j"},
         {"MÃ¼ll"}},
        {"a byte-order mark before a pending entry",
         sim::kUtf8CodePage,
         "\xEF\xBB\xBF+C:\\Łódź->C:\\data\r\nplain\r\n",
         false,
         "\xEF\xBB\xBF"
         "C:\\Łódź->C:\\data\r\nplain\r\n",
         {"Łódź"},
         {}},
        {"a byte-order mark before other text",
         sim::kUtf8CodePage,
         "\xEF\xBB\xBF# list\n+C:\\中文->C:\\data\n",
         false,
         "\xEF\xBB\xBF# list\r\nC:\\中文->C:\\data\r\n",
         {"中文"},
         {}},
        {"a byte-order mark alone", sim::kUtf8CodePage, "\xEF\xBB\xBF", false, "\xEF\xBB\xBF\r\n", {}, {}},
        {"a legacy process",
         sim::kLegacyCodePage,
         "+C:\\naïve->C:\\data\r\n+C:\\Gdańsk->C:\\data\r\n",
         true,
         "C:\\naïve->C:\\data\r\n+C:\\Gdańsk->C:\\data\r\n",
         {"naïve"},
         {"Gdansk", "Gdańsk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::SetAnsiCodePage(c.codePage);
        auto [errors, after] = Import(c.list);
        sim::SetAnsiCodePage(sim::kUtf8CodePage);
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(after, c.after);
        for (const std::string& name : c.junctions)
            EXPECT_EQ(test::HostReparse(fs.HostRoot() + "/C/" + name), Expected(u"\\??\\C:\\data")) << name;
        for (const std::string& name : c.absent) EXPECT_FALSE(std::filesystem::exists(fs.HostRoot() + "/C/" + name));
    }
}

// A process in code page 1252 cannot name C:\Łódź: it reads nothing,
// touches nothing, says why, and leaves the junction out of an export.
// What it exports is UTF-8, and reads back in either code page.
TEST_F(UnicodeNames, ExportIsUtf8AndLeavesOutWhatTheProcessCannotName) {
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

TEST_F(UnicodeNames, ProtectedAndBusyJunctionsRead) {
    Junction("C:\\Documents and Settings", "C:\\data");
    // Reading is denied to everyone, as on Windows' compatibility junctions.
    const std::string host = fs.HostPath("C:\\Documents and Settings");
    ASSERT_EQ(::lsetxattr(host.c_str(), "user.deny", "read", 4, 0), 0);
    EXPECT_EQ(os::CreateFileA("C:\\Documents and Settings", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Shown("C:\\Documents and Settings"), "C:\\data");

    // Held open without sharing by another program: reads, but is not deleted.
    Junction("C:\\busy", "C:\\data");
    UniqueHandle other(os::CreateFileA("C:\\busy", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(other.valid());
    EXPECT_EQ(Shown("C:\\busy"), "C:\\data");
    EXPECT_FALSE(DeleteJunction("C:\\busy"));
    EXPECT_EQ(os::GetLastError(), ERROR_SHARING_VIOLATION);
}

}  // namespace
}  // namespace tarsio
