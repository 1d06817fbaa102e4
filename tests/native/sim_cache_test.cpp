// What the simulated platform remembers between calls must never show a
// state that has changed: not after its own calls change the drives while
// listings are open, and not after the host changes a folder on the way of
// a name resolved before.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
#include "platform/unique_handle.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

// Opens a listing of `pattern` and reads on until it has returned `name`.
UniqueFindHandle ListUpTo(const std::string& pattern, const std::string& name) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    EXPECT_TRUE(find.valid()) << pattern;
    while (find && name != data.cFileName)
        if (!os::FindNextFileA(find.get(), &data)) ADD_FAILURE() << name << " not in " << pattern;
    return find;
}

std::vector<WIN32_FIND_DATAA> Entries(const std::string& pattern) {
    std::vector<WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(os::FindFirstFileA(pattern.c_str(), &data));
    if (!find) return entries;
    do entries.push_back(data);
    while (os::FindNextFileA(find.get(), &data));
    return entries;
}

std::vector<std::string> Names(const std::vector<WIN32_FIND_DATAA>& entries) {
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA& e : entries) names.push_back(e.cFileName);
    return names;
}

void HostJunction(const std::string& host, std::u16string_view destination) {
    auto bytes = *reparse::BuildMountPoint(destination);
    ASSERT_EQ(::lsetxattr(host.c_str(), "user.reparse", bytes.data(), bytes.size(), 0), 0) << host;
}

TEST(SimCache, OwnChangesAreSeenWhileListingsAreOpen) {
    Scratch fs;
    fs.MakeDir("d");
    fs.MakeDir("d\\sub");
    fs.MakeDir("target");
    fs.WriteFile("target\\f.txt", "x");
    {
        UniqueFindHandle outer = ListUpTo("C:\\*", "d");
        UniqueFindHandle inner = ListUpTo("C:\\d\\*", "sub");
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub"), FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub\\f.txt"), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(os::SetFileAttributesA("C:\\d\\sub", FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
        ASSERT_TRUE(CreateJunction("C:\\d\\sub", "C:\\target"));
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub"),
                  FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT);
        // Names through it now lead to the target.
        EXPECT_EQ(os::GetFileAttributesA("C:\\d\\sub\\f.txt"), FILE_ATTRIBUTE_ARCHIVE);
    }
}

TEST(SimCache, AFolderListedAgainShowsWhatChanged) {
    Scratch fs;
    fs.MakeDir("d");
    fs.MakeDir("d\\sub");
    fs.WriteFile("d\\a.txt", "x");
    UniqueFindHandle outer = ListUpTo("C:\\*", "d");
    // Listed twice in a row: the same entries, field for field.
    std::vector<WIN32_FIND_DATAA> first = Entries("C:\\d\\*.*"), again = Entries("C:\\d\\*.*");
    ASSERT_EQ(first.size(), 4u);
    ASSERT_EQ(again.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(std::memcmp(&first[i], &again[i], sizeof first[i]), 0) << first[i].cFileName;
    // Another pattern, then a change between two listings.
    EXPECT_EQ(Names(Entries("C:\\d\\*.txt")), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(Names(Entries("C:\\d\\*.*")), (std::vector<std::string>{".", "..", "a.txt", "sub"}));
    fs.WriteFile("d\\b.txt", "x");
    EXPECT_EQ(Names(Entries("C:\\d\\*.*")), (std::vector<std::string>{".", "..", "a.txt", "b.txt", "sub"}));
    ASSERT_TRUE(os::DeleteFileA("C:\\d\\a.txt"));
    EXPECT_EQ(Names(Entries("C:\\d\\*.*")), (std::vector<std::string>{".", "..", "b.txt", "sub"}));
}

TEST(SimCache, AFolderListedFromItsParentsListingShowsWhatChanged) {
    // A search lists a folder while its parent's listing is open: the folder
    // is known from there until something changes.
    struct Case {
        const char* what;
        bool parentStaysOpen;
        std::function<void(const Scratch&)> change;
        DWORD dotAttributes;  // of "." in the listing of C:\d\sub
        std::vector<std::string> names;
    } cases[] = {
        {"nothing", true, [](const Scratch&) {}, FILE_ATTRIBUTE_DIRECTORY, {".", "..", "s.txt"}},
        {"its attributes, by a call",
         true,
         [](const Scratch&) { ASSERT_TRUE(os::SetFileAttributesA("C:\\d\\sub", FILE_ATTRIBUTE_HIDDEN)); },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN,
         {".", "..", "s.txt"}},
        {"a junction made of it, by a call",
         true,
         [](const Scratch&) {
             ASSERT_TRUE(os::DeleteFileA("C:\\d\\sub\\s.txt"));
             ASSERT_TRUE(CreateJunction("C:\\d\\sub", "C:\\target"));
         },
         FILE_ATTRIBUTE_DIRECTORY,
         {".", "..", "f.txt"}},
        {"its attributes, on the host with no listing open",
         false,
         [](const Scratch& fs) {
             ASSERT_EQ(::lsetxattr(fs.HostPath("C:\\d\\sub").c_str(), "user.attrib", "0x02", 4, 0), 0);
         },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN,
         {".", "..", "s.txt"}},
    };
    for (const Case& c : cases) {
        Scratch fs;
        fs.MakeDir("d");
        fs.MakeDir("d\\sub");
        fs.WriteFile("d\\sub\\s.txt", "x");
        fs.MakeDir("target");
        fs.WriteFile("target\\f.txt", "x");
        UniqueFindHandle outer = ListUpTo("C:\\*", "d");
        UniqueFindHandle parent = ListUpTo("C:\\d\\*.*", "sub");
        if (!c.parentStaysOpen) {
            parent.reset();
            outer.reset();
        }
        c.change(fs);
        std::vector<WIN32_FIND_DATAA> entries = Entries("C:\\d\\sub\\*.*");
        EXPECT_EQ(Names(entries), c.names) << c.what;
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(entries[0].dwFileAttributes, c.dotAttributes) << c.what;
    }
}

TEST(SimCache, HostChangesOnTheWayOfANameAreSeen) {
    struct Case {
        const char* what;
        std::function<void(const Scratch&)> change;
        DWORD attributes;  // of C:\a\b\f.txt afterwards
        DWORD error;
    } cases[] = {
        {"a junction set on a folder on the way",
         [](const Scratch& fs) { HostJunction(fs.HostPath("C:\\a"), u"\\??\\C:\\other"); }, FILE_ATTRIBUTE_ARCHIVE,
         0},
        {"a folder on the way renamed, a junction in its place",
         [](const Scratch& fs) {
             std::filesystem::rename(fs.HostPath("C:\\a"), fs.HostPath("C:\\old"));
             std::filesystem::create_directory(fs.HostPath("C:\\a"));
             HostJunction(fs.HostPath("C:\\a"), u"\\??\\C:\\other");
         },
         FILE_ATTRIBUTE_ARCHIVE, 0},
        {"a folder on the way removed", [](const Scratch& fs) { std::filesystem::remove_all(fs.HostPath("C:\\a")); },
         INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
        {"the drive's root renamed away",
         [](const Scratch& fs) { std::filesystem::rename(fs.HostRoot() + "/C", fs.HostRoot() + "/old"); },
         INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        Scratch fs;
        fs.MakeDir("a");
        fs.MakeDir("a\\b");
        fs.MakeDir("other");
        fs.MakeDir("other\\b");
        fs.WriteFile("other\\b\\f.txt", "x");
        // Twice: the second time from what the first one met on the way.
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(os::GetFileAttributesA("C:\\a\\b\\f.txt"), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(os::GetLastError(), ERROR_FILE_NOT_FOUND);
        }
        c.change(fs);
        EXPECT_EQ(os::GetFileAttributesA("C:\\a\\b\\f.txt"), c.attributes) << c.what;
        if (c.error) {
            EXPECT_EQ(os::GetLastError(), c.error) << c.what;
        }
    }
}

}  // namespace
}  // namespace tarsio
