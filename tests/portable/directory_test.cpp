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
    EXPECT_FALSE(VolumeSupportsReparsePoints("Q:"));
    EXPECT_FALSE(VolumeSupportsReparsePoints(""));
}

// What ForceDirectories answers and whether it made the directory itself;
// what fails or raises makes nothing.
TEST(ForceDirectories, AnswersAndTellsWhetherItMadeTheDirectory) {
    Scratch fs;
    fs.MakeDir("there");
    fs.WriteFile("file", "x");
    enum Result { No, Yes, Raises };
    struct Case {
        std::string path;
        Result result;
        bool created = false;
        DWORD error = ERROR_SUCCESS;  // checked where it is not ERROR_SUCCESS
    } cases[] = {
        {fs.Path("there"), Yes},
        {fs.Path("there\\"), Yes},
        {fs.Path("new\\a\\b"), Yes, true},
        {fs.Path("new\\a\\b"), Yes},
        {fs.Path("new\\a\\"), Yes},
        {fs.Path("new\\c\\"), Yes, true},
        // Two trailing backslashes: the parent equals the path, nothing is made.
        {fs.Path("twice\\\\"), Yes},
        // One or two characters are taken as there without a look.
        {"ab", Yes},
        {"Q:", Yes},
        {"Q:\\", Yes},
        // A drive that is absent: creating its first level fails; so does
        // anything at or below a file.
        {"Q:\\new", No},
        {fs.Path("file"), No},
        {fs.Path("file\\sub"), No},
        {fs.Path("sub\\a\tb"), No, false, ERROR_INVALID_NAME},
        {fs.Path(std::string("sub\\x\0y", 7)), No, false, ERROR_INVALID_NAME},
        {fs.Path("sub\r"), No, false, ERROR_INVALID_NAME},
        // Empty, or relative down to a level that is no directory.
        {"", Raises},
        {"abc", Raises},
        {"rel\\sub", Raises},
    };
    for (const Case& c : cases) {
        bool created = !c.created;
        Result result = Raises;
        try {
            result = ForceDirectories(c.path, &created) ? Yes : No;
        } catch (const TarsioError& e) {
            EXPECT_STREQ(e.what(), "Unable to create directory");
        }
        const DWORD error = os::GetLastError();
        EXPECT_EQ(result, c.result) << c.path;
        EXPECT_EQ(created, c.created) << c.path;
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(error, c.error) << c.path;
        }
    }
    std::vector<std::string> names = fs.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"file", "new", "there"}));
}

TEST(ForceDirectories, PathsLongerThanAnyNameFailAtOnceWithNothingMade) {
    Scratch fs;
    std::string deep = "a";
    for (int level = 1; level < 30000; ++level) deep += "\\a";
    const std::string paths[] = {
        fs.Path(deep),                             // 30,000 levels
        deep,                                      // relative to the current directory
        "\\\\?\\" + fs.Path(deep),                 // verbatim, 60,000 characters
        fs.Path(std::string(300, 'x')) + "\\sub",  // a level longer than any name
    };
    for (const std::string& path : paths) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(ForceDirectories(path)) << path.size();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0) << path.size();
        EXPECT_TRUE(fs.Names().empty()) << path.size();
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

}  // namespace
}  // namespace tarsio
