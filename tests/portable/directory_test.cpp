// DirectoryExists, ForceDirectories and HasReparsePoint on plain folders.

#include <gtest/gtest.h>

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
    std::string drive = fs.Path().substr(0, 3);
    EXPECT_FALSE(DirectoryExists(""));
    EXPECT_TRUE(DirectoryExists(fs.Path("dir")));
    EXPECT_TRUE(DirectoryExists(fs.Path("dir\\")));
    EXPECT_TRUE(DirectoryExists(drive));
    EXPECT_FALSE(DirectoryExists(fs.Path("file.txt")));
    EXPECT_FALSE(DirectoryExists(fs.Path("none")));
    EXPECT_FALSE(HasReparsePoint(fs.Path("none")));
    EXPECT_FALSE(HasReparsePoint(fs.Path("dir")));
}

TEST(ForceDirectories, CreatesMissingLevelsOutermostFirst) {
    Scratch fs;
    EXPECT_TRUE(ForceDirectories(fs.Path("new\\a\\b")));
    EXPECT_TRUE(DirectoryExists(fs.Path("new\\a\\b")));
    // Existing levels are left alone; a trailing backslash is one character.
    EXPECT_TRUE(ForceDirectories(fs.Path("new\\a\\")));
    EXPECT_TRUE(ForceDirectories(fs.Path("new\\a\\b")));
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
