// Names beyond any legacy code page on the simulated NTFS, whose process code
// page is UTF-8: junctions made, read, deleted, imported and exported with
// Polish, Cyrillic, Greek and CJK names; names without an exact 8-bit form
// refused; junctions that deny reading or are held open still read.

#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <array>

#include <filesystem>

#include "engine/junction.h"
#include "listfile/export.h"
#include "listfile/import.h"
#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/sim.h"
#include "platform/unique_handle.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::HostReparse;
using test::Junction;
using test::Scratch;

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

struct Name {
    const char* language;
    const char* utf8;
    const char16_t* utf16;
};
const Name kNames[] = {
    {"Polish", "Łódź", u"Łódź"},      {"Cyrillic", "Москва", u"Москва"},          {"Greek", "Ωμέγα", u"Ωμέγα"},
    {"CJK", "中文目录", u"中文目录"}, {"outside the BMP", "𝄞 music", u"𝄞 music"},
};

class UnicodeNames : public ::testing::Test {
protected:
    void TearDown() override { sim::SetAnsiCodePage(sim::kUtf8CodePage); }

    std::string Shown(const std::string& dir) {
        std::string d;
        return ReadJunctionDestination(dir, d) ? PlainDestination(d) : "<unreadable>";
    }
    std::u16string Wide(const char16_t* text) { return std::u16string(u"\\??\\C:\\") + text; }

    Scratch fs;
};

TEST_F(UnicodeNames, MadeReadAndDeletedAsJunctionAndAsDestination) {
    fs.MakeDir("data");
    for (const Name& name : kNames) {
        SCOPED_TRACE(name.language);
        const std::string dir = std::string("C:\\") + name.utf8;
        fs.MakeDir(name.utf8);
        // On the host the folder has exactly its name.
        EXPECT_TRUE(std::filesystem::is_directory(fs.HostRoot() + "/C/" + name.utf8));

        // As destination: the substitute name holds its UTF-16 code units.
        Junction("C:\\to " + std::string(name.utf8), dir);
        EXPECT_EQ(HostReparse(fs.HostPath("C:\\to " + std::string(name.utf8))), Expected(Wide(name.utf16)));
        EXPECT_EQ(Shown("C:\\to " + std::string(name.utf8)), dir);

        // As junction directory, inside a folder of the same name.
        const std::string junction = dir + "\\" + name.utf8;
        Junction(junction, "C:\\data");
        EXPECT_EQ(HostReparse(fs.HostPath(junction)), Expected(u"\\??\\C:\\data"));
        EXPECT_EQ(Shown(junction), "C:\\data");
        ASSERT_TRUE(DeleteJunction(junction));
        EXPECT_FALSE(DirectoryExists(junction));
    }
    EXPECT_EQ(sim::OpenHandleCount(), 0);
}

TEST_F(UnicodeNames, ImportMakesEveryEntryAndExportWritesItBack) {
    std::string list, done;
    fs.MakeDir("to");
    for (const Name& name : kNames) {
        fs.MakeDir(std::string("to\\") + name.utf8);
        const std::string entry = std::string("C:\\links\\") + name.utf8 + "\\j->C:\\to\\" + name.utf8 + "\r\n";
        list += "+" + entry;
        done += entry;
    }
    fs.WriteFile("list.trs", list);
    EXPECT_FALSE(TImport().Import("C:\\list.trs"));
    // Each made line lost its marker and nothing else.
    EXPECT_EQ(fs.ReadFile("list.trs"), done);
    for (const Name& name : kNames)
        EXPECT_EQ(HostReparse(fs.HostPath(std::string("C:\\links\\") + name.utf8 + "\\j")),
                  Expected(std::u16string(u"\\??\\C:\\to\\") + name.utf16))
            << name.language;

    // Exported, removed and imported again: the same junctions.
    TFindFile finder;
    finder.FileAttr = {ffaReadOnly, ffaHidden, ffaSysFile, ffaDirectory, ffaArchive};
    finder.NotifyWhenFound = true;
    ExportJunctions(finder, {"C"}, "C:\\out.trs");
    const std::string exported = fs.ReadFile("out.trs");
    for (const Name& name : kNames) {
        const std::string line = std::string("+C:\\links\\") + name.utf8 + "\\j->C:\\to\\" + name.utf8 + "\r\n";
        EXPECT_NE(exported.find(line), std::string::npos) << name.language;
        const std::string junction = std::string("C:\\links\\") + name.utf8 + "\\j";
        ASSERT_TRUE(DeleteJunction(junction));
    }
    EXPECT_FALSE(TImport().Import("C:\\out.trs"));
    for (const Name& name : kNames)
        EXPECT_EQ(Shown(std::string("C:\\links\\") + name.utf8 + "\\j"), std::string("C:\\to\\") + name.utf8);
}

TEST_F(UnicodeNames, NamesWithoutAnExactFormAreRefused) {
    // Not in 1252, where best fit would give C:\Lodz (a lone surrogate in
    // UTF-8: Conversions.ExactInTheProcessCodePageOrRefused).
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    for (const char16_t* wide : {u"C:\\Łódź", u"C:\\中文"}) {
        os::SetLastError(0);
        EXPECT_FALSE(WideToAnsi(WideString(wide)));
        EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    }
    EXPECT_EQ(WideToAnsi(u"C:\\café"), "C:\\caf\xE9");
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
    EXPECT_EQ(WideToAnsi(u"C:\\café"), "C:\\caf\xC3\xA9");
    // Bytes that are not UTF-8 do not become U+FFFD.
    EXPECT_FALSE(AnsiToWide("C:\\caf\xE9"));
    EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST_F(UnicodeNames, DestinationWithoutAnExactFormIsNeitherShownNorExported) {
    fs.MakeDir("Łódź");
    Junction("C:\\links\\pl", "C:\\Łódź");
    const auto stored = HostReparse(fs.HostPath("C:\\links\\pl"));
    // A process in code page 1252 cannot name C:\Łódź: it reads nothing,
    // touches nothing, and says why.
    sim::SetAnsiCodePage(sim::kLegacyCodePage);
    std::string untouched = "unchanged";
    EXPECT_FALSE(ReadJunctionDestination("C:\\links\\pl", untouched));
    EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(untouched, "unchanged");
    TFindFile finder;
    finder.NotifyWhenFound = true;
    // Counted as a junction whose name has no form in the list's text.
    EXPECT_EQ(ExportJunctions(finder, {"C"}, "C:\\out.trs").LeftOut, (std::array<int, kLeftOutKinds>{0, 0, 1, 0}));
    EXPECT_EQ(fs.ReadFile("out.trs"), "");
    EXPECT_EQ(HostReparse(fs.HostPath("C:\\links\\pl")), stored);
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    // A UTF-8 process exports it.
    sim::SetAnsiCodePage(sim::kUtf8CodePage);
    ExportJunctions(finder, {"C"}, "C:\\out.trs");
    EXPECT_EQ(fs.ReadFile("out.trs"), "+C:\\links\\pl->C:\\Łódź\r\n");
}

TEST_F(UnicodeNames, ProtectedAndBusyJunctionsRead) {
    fs.MakeDir("data");
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
