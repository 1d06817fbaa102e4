// DirectoryExists, ForceDirectories and HasReparsePoint on plain folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/junction.h"
#include "engine/volume.h"
#include "platform/os.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

TEST(DirectoryExists, Answers) {
    Scratch fs;
    fs.MakeDir("dir");
    fs.WriteFile("file.txt", "x");
    struct Case {
        std::string path;
        bool exists;
    } cases[] = {
        {"", false},
        {fs.Path("dir"), true},
        {fs.Path("dir\\"), true},
        {fs.Path().substr(0, 3), true},
        {fs.Path("file.txt"), false},
        {fs.Path("none"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(DirectoryExists(c.path), c.exists) << c.path;
    for (const char* plain : {"none", "dir"}) EXPECT_FALSE(HasReparsePoint(fs.Path(plain))) << plain;
}

TEST(ForceDirectories, StringRules) {
    Scratch fs;
    // Two trailing backslashes: the parent equals the path, nothing is made.
    EXPECT_TRUE(ForceDirectories(fs.Path("twice\\\\")));
    EXPECT_FALSE(DirectoryExists(fs.Path("twice")));
    // One or two characters are taken as there without a look.
    EXPECT_TRUE(ForceDirectories("ab"));
    EXPECT_TRUE(ForceDirectories("Q:"));
    EXPECT_TRUE(ForceDirectories("Q:\\"));
    EXPECT_FALSE(DirectoryExists(fs.Path("ab")));
    // A drive that is absent: creating its first level fails.
    EXPECT_FALSE(ForceDirectories("Q:\\new"));
    // Below an existing file the directory cannot be made.
    fs.WriteFile("file", "x");
    EXPECT_FALSE(ForceDirectories(fs.Path("file")));
    EXPECT_FALSE(ForceDirectories(fs.Path("file\\sub")));
}

TEST(ForceDirectories, EmptyPathRaises) {
    Scratch fs;
    for (const char* path : {"", "abc", "rel\\sub"}) {
        try {
            ForceDirectories(path);
            ADD_FAILURE() << "no error for '" << path << "'";
        } catch (const TarsioError& e) {
            EXPECT_STREQ(e.what(), "Unable to create directory");
        }
    }
    EXPECT_FALSE(DirectoryExists(fs.Path("rel")));
}

std::string Levels(std::size_t count, std::string_view level) {
    std::string path;
    path.reserve(count * (level.size() + 1));
    for (std::size_t i = 0; i < count; ++i) path.append(level).push_back('\\');
    path.pop_back();
    return path;
}

TEST(ForceDirectories, PathsLongerThanAnyNameFailAtOnceWithNothingMade) {
    Scratch fs;
    const std::string deep = Levels(30000, "a");
    const std::string paths[] = {
        fs.Path(deep),                                        // 30,000 levels
        deep,                                                 // relative to the current directory
        "\\\\?\\" + fs.Path(Levels(20000, "ab")),             // verbatim, 60,000 characters
        fs.Path(Levels(1, std::string(300, 'x'))) + "\\sub",  // a level longer than any name
    };
    for (const std::string& path : paths) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(ForceDirectories(path)) << path.size();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0) << path.size();
        EXPECT_TRUE(fs.Names().empty()) << path.size();
    }
}

TEST(ForceDirectories, MakesPathsOfEveryDepth) {
    Scratch fs;
    for (std::size_t depth : test::kDepths) {
        const std::string path = test::Deep(fs.Path("d" + std::to_string(depth)), depth);
        bool created = false;
        ASSERT_TRUE(ForceDirectories(path, &created)) << depth << " error " << os::GetLastError();
        EXPECT_TRUE(created) << depth;
        EXPECT_TRUE(DirectoryExists(path)) << depth;
        EXPECT_FALSE(HasReparsePoint(path)) << depth;
        // Relative, with "/" and a trailing backslash, as a user may type it.
        std::string typed = path.substr(fs.Path().size()) + "\\";
        std::replace(typed.begin(), typed.begin() + static_cast<std::ptrdiff_t>(typed.size() / 2), '\\', '/');
        EXPECT_TRUE(ForceDirectories(typed, &created)) << depth;
        EXPECT_FALSE(created) << depth;
    }
}

TEST(ForceDirectories, ControlCharactersAreRefusedWithNothingMade) {
    Scratch fs;
    for (const std::string& path : {fs.Path("sub\\a\tb"), fs.Path(std::string("sub\\x\0y", 7)), fs.Path("sub\r")}) {
        EXPECT_FALSE(ForceDirectories(path));
        EXPECT_EQ(os::GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    }
    EXPECT_TRUE(fs.Names().empty());
}

TEST(ForceDirectories, TellsWhetherItMadeTheDirectoryItself) {
    Scratch fs;
    fs.MakeDir("there");
    struct Case {
        const char* path;
        bool result, created;
    } cases[] = {
        {"there", true, false},    {"there\\", true, false}, {"new\\a\\b", true, true},  {"new\\a\\b", true, false},
        {"new\\a\\", true, false}, {"new\\c\\", true, true}, {"twice\\\\", true, false},
    };
    for (const Case& c : cases) {
        bool created = !c.created;
        EXPECT_EQ(ForceDirectories(fs.Path(c.path), &created), c.result) << c.path;
        EXPECT_EQ(created, c.created) << c.path;
    }
}

TEST(IsDevicePath, PrefixRule) {
    EXPECT_TRUE(IsDevicePath("\\\\.\\PhysicalDrive0"));
    EXPECT_TRUE(IsDevicePath("\\\\.\\C:"));
    EXPECT_FALSE(IsDevicePath("\\\\server\\share"));
    EXPECT_FALSE(IsDevicePath("\\\\?\\C:\\x"));
    EXPECT_FALSE(IsDevicePath("\\\\."));
    EXPECT_FALSE(IsDevicePath(""));
}

TEST(VolumeSupportsReparsePoints, FalseWithoutAVolume) {
    Scratch fs;
    EXPECT_FALSE(VolumeSupportsReparsePoints("Q:"));
    EXPECT_FALSE(VolumeSupportsReparsePoints(""));
}

}  // namespace
}  // namespace tarsio
