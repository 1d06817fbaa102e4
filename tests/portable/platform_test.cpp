// What the engine relies on from the platform layer, checked against the
// simulated platform natively and against Wine's kernel32 in the Windows
// build: the conversions (the process code page is UTF-8 natively, the legacy
// code page 1252 under Wine: every text converts exactly or is refused, never
// mapped to a look-alike), path resolution, directory creation, listings,
// attributes, and the owning handles, each closed exactly once whatever moves,
// resets and releases happen, without changing the last error.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::ErrorLeft;
using test::Scratch;

WideString Wide(std::u16string_view s) { return WideString(s.begin(), s.end()); }

std::string FullPath(const std::string& name) {
    char buffer[1024];
    DWORD n = os::GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
    if (n == 0 || n >= sizeof buffer) return "<error " + std::to_string(os::GetLastError()) + ">";
    return std::string(buffer, n);
}

std::vector<std::string> List(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    if (!find) {
        if (error) *error = os::GetLastError();
        return names;
    }
    do names.push_back(data.cFileName);
    while (os::FindNextFileA(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

DWORD AttributesError(const std::string& name) {
    return ErrorLeft(os::GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST(Conversions, ExactInTheProcessCodePageOrRefused) {
    const bool utf8 = os::GetACP() == CP_UTF8;
    struct Case {
        const char* what;
        std::u16string text;
        bool in1252;
        bool inUtf8;
    } cases[] = {
        {"ASCII", u"C:\\data", true, true},
        {"Latin-1", u"C:\\café", true, true},
        {"Polish (best fit would give Lodz)", u"C:\\Łódź", false, true},
        {"Cyrillic", u"C:\\Москва", false, true},
        {"Greek", u"C:\\Ωμέγα", false, true},
        {"CJK", u"C:\\中文", false, true},
        {"outside the BMP", u"C:\\𝄞", false, true},
        {"lone surrogate", std::u16string(u"C:\\") + char16_t(0xD800), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        os::SetLastError(0);
        std::optional<std::string> text = WideToAnsi(Wide(c.text));
        if (utf8 ? c.inUtf8 : c.in1252) {
            ASSERT_TRUE(text);
            EXPECT_EQ(AnsiToWide(*text), Wide(c.text));
        } else {
            EXPECT_FALSE(text);
            EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
        }
    }
}

TEST(Conversions, Utf8WhateverTheProcessCodePage) {
    EXPECT_EQ(WideToAnsi(Wide(u"Łódź 中文"), CP_UTF8), "\xC5\x81\xC3\xB3\x64\xC5\xBA \xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(AnsiToWide("\xC5\x81\xC3\xB3\x64\xC5\xBA", CP_UTF8), Wide(u"Łódź"));
    for (const char* bad : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8"}) {
        os::SetLastError(0);
        EXPECT_EQ(ErrorLeft(AnsiToWide(bad, CP_UTF8).has_value()), ERROR_NO_UNICODE_TRANSLATION) << bad;
    }
    EXPECT_FALSE(WideToAnsi(Wide(std::u16string(1, char16_t(0xDC00))), CP_UTF8));
    EXPECT_EQ(WideToAnsi(WideString()), "");
    EXPECT_EQ(AnsiToWide(""), WideString());
}

class PlatformTest : public ::testing::Test {
protected:
    Scratch fs;
    // The area without its trailing backslash, and its drive ("C:").
    std::string W = fs.Path().substr(0, fs.Path().size() - 1);
    std::string D = fs.Path().substr(0, 2);
};

TEST_F(PlatformTest, FullPathNames) {
    struct Case {
        std::string name, expected;
    } cases[] = {
        {"data", W + "\\data"},
        {".\\data", W + "\\data"},
        {"a/b", W + "\\a\\b"},
        {"a\\\\b", W + "\\a\\b"},
        {"a\\", W + "\\a\\"},
        {"a\\.", W + "\\a"},
        {"a\\b\\..", W + "\\a"},
        {"sub\\..\\x", W + "\\x"},
        {"a.", W + "\\a"},
        {"a. .", W + "\\a"},
        {D + "x", W + "\\x"},
        {"\\x", D + "\\x"},
        {D + "\\a\\..\\..\\b", D + "\\b"},
        {D + "/a//b/", D + "\\a\\b\\"},
        {"Q:x", "Q:\\x"},
        {"q:\\y", "q:\\y"},
        {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b"},
        {"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\b"},
        {"\\\\.\\C:\\a\\..\\b", "\\\\.\\C:\\b"},
        {"\\\\.\\C:\\a\\..\\..\\b", "\\\\.\\b"},
    };
    for (const Case& c : cases) EXPECT_EQ(FullPath(c.name), c.expected) << "name: " << c.name;

    char small[4];
    EXPECT_EQ(os::GetFullPathNameA("data", sizeof small, small, nullptr), (W + "\\data").size() + 1);
}

// Names compared as Windows compares file names: code unit by code unit,
// each upper-cased on its own where case is ignored.
TEST(CompareStringOrdinal, ComparesAsFileNamesCompare) {
    struct Case {
        std::u16string a, b;
        BOOL ignoreCase;
        int result;
    } cases[] = {
        {u"C:\\Users\\Me", u"c:\\users\\ME", TRUE, CSTR_EQUAL},
        {u"C:\\Müll\\Łódź", u"C:\\MÜLL\\ŁÓDŹ", TRUE, CSTR_EQUAL},
        {u"Москва", u"МОСКВА", TRUE, CSTR_EQUAL},
        {u"Straße", u"STRASSE", TRUE, CSTR_GREATER_THAN},
        {u"C:\\data", u"C:\\Data", FALSE, CSTR_GREATER_THAN},
        {u"C:\\data", u"C:\\data\\", TRUE, CSTR_LESS_THAN},
    };
    for (const Case& c : cases) {
        const WideString a = Wide(c.a), b = Wide(c.b);
        EXPECT_EQ(os::CompareStringOrdinal(a.c_str(), -1, b.data(), static_cast<int>(b.size()), c.ignoreCase),
                  c.result)
            << a.size() << " " << b.size();
    }
}

TEST_F(PlatformTest, DosDeviceNamesResolveToTheDeviceNamespace) {
    struct Case {
        std::string name, expected;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},      {"com9", "\\\\.\\com9"},
        {"CON", "\\\\.\\CON"},        {"nul", "\\\\.\\nul"},
        {"Aux", "\\\\.\\Aux"},        {"LPT3", "\\\\.\\LPT3"},
        {"NUL.txt", "\\\\.\\NUL"},    {"LPT1:", "\\\\.\\LPT1"},
        {"sub\\nul", "\\\\.\\nul"},   {D + "\\x\\com2.trs", "\\\\.\\com2"},
        {"COM0", W + "\\COM0"},       {"COM10", W + "\\COM10"},
        {"console", W + "\\console"}, {"nul2", W + "\\nul2"},
    };
    for (const Case& c : cases) EXPECT_EQ(FullPath(c.name), c.expected) << "name: " << c.name;
}

TEST_F(PlatformTest, AnsiCallsRefuseNamesOfMaxPathOrMore) {
    for (const std::string& name : {fs.Path(std::string(300, 'x')), "\\\\?\\" + fs.Path(std::string(300, 'x'))}) {
        SCOPED_TRACE(name.substr(0, 8));
        EXPECT_EQ(AttributesError(name), ERROR_FILENAME_EXCED_RANGE);
        EXPECT_EQ(ErrorLeft(os::CreateDirectoryA(name.c_str(), nullptr)), ERROR_FILENAME_EXCED_RANGE);
    }
}

TEST_F(PlatformTest, WideNamesAreFullAndPrefixedWhereTheirLengthNeedsIt) {
    const std::string area = W + "\\";
    const std::string deep = test::Deep("x", 600);
    const std::string edge(MAX_PATH - 12 - area.size(), 'e');  // a full name of 248 characters
    struct Case {
        std::string path, name;
    } cases[] = {
        {"data", area + "data"},
        {"a/b\\", area + "a\\b\\"},
        {D + "x", area + "x"},
        {edge.substr(1), area + edge.substr(1)},
        {edge, "\\\\?\\" + area + edge},
        {deep, "\\\\?\\" + area + deep},
        {deep + "/../.", "\\\\?\\" + area + deep.substr(0, deep.rfind('\\'))},
        {"\\\\server\\share\\" + deep, "\\\\?\\UNC\\server\\share\\" + deep},
        {"\\\\?\\" + area + "a\\..\\b", "\\\\?\\" + area + "a\\..\\b"},  // literal
        {"\\\\.\\COM1", "\\\\.\\COM1"},
        {"COM1", "\\\\.\\COM1"},
    };
    for (const Case& c : cases) {
        std::optional<WideString> name = paths::WideName(c.path);
        ASSERT_TRUE(name) << c.path;
        EXPECT_EQ(WideToAnsi(*name), c.name) << c.path;
    }
}

TEST_F(PlatformTest, VerbatimNamesAreTakenLiterally) {
    const std::string verbatim = "\\\\?\\" + fs.Path();
    struct Case {
        std::string name;
        DWORD error;
    } cases[] = {
        {verbatim + "trailing. ", ERROR_SUCCESS},  // kept, as given
        {verbatim + "a/b", ERROR_INVALID_NAME},
        {verbatim + "a\\..\\b", ERROR_INVALID_NAME},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorLeft(os::CreateDirectoryW(AnsiToWide(c.name)->c_str(), nullptr)), c.error) << c.name;
    EXPECT_EQ(fs.Names(), std::vector<std::string>{"trailing. "});
}

TEST_F(PlatformTest, AttributesAndDirectoriesMadeAndRemovedOneLevelAtATime) {
    fs.MakeDir("dir");
    fs.WriteFile("dir\\f.txt", "x");
    EXPECT_EQ(os::GetFileAttributesA(fs.Path("dir").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os::GetFileAttributesA(fs.Path("dir\\").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os::GetFileAttributesA(fs.Path("dir\\f.txt").c_str()), FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(AttributesError(fs.Path("dir\\none")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(AttributesError(fs.Path("none\\x")), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(os::GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(os::GetFileAttributesA((D + "\\").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    EXPECT_EQ(ErrorLeft(os::CreateDirectoryA(fs.Path("a").c_str(), nullptr)), ERROR_SUCCESS);
    EXPECT_EQ(ErrorLeft(os::CreateDirectoryA(fs.Path("a").c_str(), nullptr)), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ErrorLeft(os::CreateDirectoryA(fs.Path("x\\y").c_str(), nullptr)), ERROR_PATH_NOT_FOUND);
    fs.WriteFile("a\\f", "x");
    EXPECT_EQ(ErrorLeft(os::RemoveDirectoryA(fs.Path("a").c_str())), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(ErrorLeft(os::RemoveDirectoryA(fs.Path("a\\f").c_str())), ERROR_DIRECTORY);
    EXPECT_EQ(ErrorLeft(os::RemoveDirectoryA(fs.Path("none").c_str())), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorLeft(os::DeleteFileA(fs.Path("a").c_str())), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(os::DeleteFileA(fs.Path("a\\f").c_str()));
    EXPECT_TRUE(os::RemoveDirectoryA(fs.Path("a").c_str()));
}

// A directory removed through a handle opened on it: the delete disposition,
// refused at once while it holds anything; the directory goes at the close.
TEST_F(PlatformTest, DirectoryIsRemovedThroughItsHandle) {
    fs.MakeDir("a");
    fs.WriteFile("a\\f", "x");
    auto open = [&](DWORD access) {
        return UniqueHandle(os::CreateFileA(fs.Path("a").c_str(), access, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    FILE_DISPOSITION_INFO remove{TRUE};
    auto removeOnClose = [&](const UniqueHandle& h) {
        return ErrorLeft(os::SetFileInformationByHandle(h.get(), FileDispositionInfo, &remove, sizeof remove));
    };
    EXPECT_EQ(removeOnClose(open(GENERIC_READ | GENERIC_WRITE)), ERROR_ACCESS_DENIED);
    UniqueHandle a = open(GENERIC_READ | DELETE);
    ASSERT_TRUE(a.valid());
    FILE_ATTRIBUTE_TAG_INFO tag{};
    EXPECT_TRUE(os::GetFileInformationByHandleEx(a.get(), FileAttributeTagInfo, &tag, sizeof tag));
    EXPECT_EQ(tag.FileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(tag.ReparseTag, 0u);
    EXPECT_EQ(removeOnClose(a), ERROR_DIR_NOT_EMPTY);
    ASSERT_TRUE(os::DeleteFileA(fs.Path("a\\f").c_str()));
    EXPECT_EQ(removeOnClose(a), ERROR_SUCCESS);
    EXPECT_EQ(fs.Names(), std::vector<std::string>{"a"});
    a.reset();
    EXPECT_TRUE(fs.Names().empty());
}

TEST_F(PlatformTest, ListingsStandardAndBasic) {
    fs.MakeDir("sub");
    fs.WriteFile("sub\\one.txt", "1");
    fs.WriteFile("sub\\two.log", "22");
    fs.MakeDir("sub\\inner");
    EXPECT_EQ(List(fs.Path("sub\\*")), (std::vector<std::string>{".", "..", "inner", "one.txt", "two.log"}));
    EXPECT_EQ(List(fs.Path("sub\\*.*")), (std::vector<std::string>{".", "..", "inner", "one.txt", "two.log"}));
    EXPECT_EQ(List(fs.Path("sub\\*.txt")), (std::vector<std::string>{"one.txt"}));
    EXPECT_EQ(List(fs.Path("sub\\t?o.*")), (std::vector<std::string>{"two.log"}));
    DWORD error = 0;
    EXPECT_TRUE(List(fs.Path("sub\\*.zzz"), &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(List(fs.Path("none\\*"), &error).empty());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);

    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(fs.Path("sub\\two.log").c_str(), &data));
    ASSERT_TRUE(find.valid());
    EXPECT_EQ(data.nFileSizeLow, 2u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(ErrorLeft(os::FindNextFileA(find.get(), &data)), ERROR_NO_MORE_FILES);

    // The basic listing gives what the standard one gives, with no short names.
    auto entries = [](HANDLE h, WIN32_FIND_DATAA* data) {
        UniqueFindHandle listing(h);
        std::vector<std::string> all;
        for (bool more = listing.valid(); more; more = os::FindNextFileA(listing.get(), data))
            all.push_back(std::string(data->cFileName) + "|" + std::to_string(data->dwFileAttributes) + "|" +
                          std::to_string(data->nFileSizeLow) + "|" + data->cAlternateFileName);
        return all;
    };
    const std::string pattern = fs.Path("sub\\*.*");
    std::vector<std::string> basic = entries(os::FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &data,
                                                                  FindExSearchNameMatch, nullptr,
                                                                  FIND_FIRST_EX_LARGE_FETCH),
                                             &data);
    EXPECT_EQ(basic.size(), 5u);
    EXPECT_EQ(basic, entries(os::FindFirstFileA(pattern.c_str(), &data), &data));
    // Other information levels and search operations are refused.
    auto refused = [&](FINDEX_INFO_LEVELS level, FINDEX_SEARCH_OPS op) {
        return ErrorLeft(
            UniqueFindHandle(os::FindFirstFileExA(pattern.c_str(), level, &data, op, nullptr, 0)).valid());
    };
    EXPECT_EQ(refused(FindExInfoMaxInfoLevel, FindExSearchNameMatch), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(refused(FindExInfoBasic, FindExSearchMaxSearchOp), ERROR_INVALID_PARAMETER);
}

// A list held for reading and shared for deletion keeps writers out, and
// can still be replaced; the replacement itself is opened with no sharing.
TEST_F(PlatformTest, AHeldFileKeepsWritersOutAndCanBeReplaced) {
    const std::string list = fs.Path("list.trs"), side = fs.Path("list.new");
    fs.WriteFile("list.trs", "old");
    fs.WriteFile("list.new", "new");
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    auto open = [](const std::string& name, DWORD access, DWORD share) {
        return UniqueHandle(os::CreateFileA(name.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    UniqueHandle held = open(list, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(ErrorLeft(open(list, GENERIC_WRITE, kShareAll).valid()), ERROR_SHARING_VIOLATION);
    WCHAR final[MAX_PATH];
    EXPECT_EQ(os::GetFinalPathNameByHandleW(held.get(), final, MAX_PATH, 0), list.size() + 4);
    EXPECT_EQ(WideToAnsi(final), "\\\\?\\" + list);
    // Only a handle that may write is flushed.
    EXPECT_EQ(ErrorLeft(os::FlushFileBuffers(held.get())), ERROR_ACCESS_DENIED);
    auto replace = [&] {
        return ErrorLeft(
            os::ReplaceFileA(list.c_str(), side.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
    };
    {
        UniqueHandle replacement = open(side, GENERIC_READ, kShareAll);
        EXPECT_EQ(replace(), ERROR_SHARING_VIOLATION);
    }
    ASSERT_EQ(replace(), ERROR_SUCCESS);
    EXPECT_EQ(fs.ReadFile("list.trs"), "new");
    EXPECT_EQ(os::GetFileAttributesA(side.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PlatformTest, HardLinksAreNamesOfOneFile) {
    fs.WriteFile("a.trs", "abc");
    fs.WriteFile("other.trs", "abc");
    ASSERT_TRUE(os::CreateHardLinkA(fs.Path("b.trs").c_str(), fs.Path("a.trs").c_str(), nullptr));
    EXPECT_EQ(ErrorLeft(os::CreateHardLinkA(fs.Path("b.trs").c_str(), fs.Path("other.trs").c_str(), nullptr)),
              ERROR_ALREADY_EXISTS);
    auto info = [this](const char* name) {
        UniqueHandle file(os::CreateFileA(fs.Path(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION i{};
        EXPECT_TRUE(os::GetFileInformationByHandle(file.get(), &i)) << name << " " << os::GetLastError();
        return i;
    };
    const BY_HANDLE_FILE_INFORMATION a = info("a.trs"), b = info("b.trs"), other = info("other.trs");
    EXPECT_EQ(a.nNumberOfLinks, 2u);
    EXPECT_EQ(b.nNumberOfLinks, 2u);
    EXPECT_EQ(other.nNumberOfLinks, 1u);
    EXPECT_EQ(a.nFileSizeLow, 3u);
    EXPECT_EQ(a.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(a.dwVolumeSerialNumber, other.dwVolumeSerialNumber);
    EXPECT_EQ(std::pair(a.nFileIndexHigh, a.nFileIndexLow), std::pair(b.nFileIndexHigh, b.nFileIndexLow));
    EXPECT_NE(std::pair(a.nFileIndexHigh, a.nFileIndexLow), std::pair(other.nFileIndexHigh, other.nFileIndexLow));
}

struct Counted {
    using Type = int;
    static inline std::vector<int> closed;
    static Type Invalid() noexcept { return -1; }
    static void Close(Type h) noexcept {
        closed.push_back(h);
        os::SetLastError(ERROR_INVALID_HANDLE);  // as a failing close would
    }
};
using UniqueCounted = UniqueAny<Counted>;

TEST(UniqueAny, ClosesEachHandleOnceThroughMovesResetsAndReleases) {
    Counted::closed.clear();
    {
        UniqueCounted a(1);
        UniqueCounted b(std::move(a));
        EXPECT_FALSE(a.valid());
        UniqueCounted c(2);
        c = std::move(b);  // closes 2, takes 1
        auto& self = c;
        c = std::move(self);  // a move onto itself keeps the handle
        EXPECT_EQ(c.get(), 1);
        UniqueCounted d(3);
        EXPECT_EQ(d.release(), 3);  // not closed: the caller owns it now
        UniqueCounted e(4);
        *e.put() = 5;  // put() closes 4 first
        e.reset(6);    // closes 5
        os::SetLastError(ERROR_PATH_NOT_FOUND);
        e.reset();  // closes 6; the last error stays
        EXPECT_EQ(os::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        EXPECT_FALSE(e);
    }  // closes 1
    EXPECT_EQ(Counted::closed, (std::vector<int>{2, 4, 5, 6, 1}));
}

}  // namespace
}  // namespace tarsio
