// Plain folders: what DirectoryExists, HasReparsePoint and ForceDirectories
// answer and do, and the file finder searching them: the Path setter, the
// order of reports, what is kept, the mask, attribute filtering, names with
// a leading full stop, the handler ending the search, and paths of every
// depth.

#include "listfile/find_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/junction.h"
#include "engine/volume.h"
#include "listfile/import.h"
#include "platform/os.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;
using Names = std::vector<std::string>;

TEST(PlainPaths, DirectoryExistsReparsePointsAndDevicePaths) {
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
    for (const char* device : {"\\\\.\\PhysicalDrive0", "\\\\.\\C:"}) EXPECT_TRUE(IsDevicePath(device)) << device;
    for (const char* other : {"\\\\server\\share", "\\\\?\\C:\\x", "\\\\.", ""})
        EXPECT_FALSE(IsDevicePath(other)) << other;
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

class FindFileTest : public ::testing::Test {
protected:
    // The finder searching the scratch area, with the handler recording what
    // it is handed (relative to the area) and answering from `stopAt`.
    TFindFile& Finder() {
        finder.SetPath(fs.Path());
        finder.InSubFolders = true;
        finder.NotifyWhenFound = true;
        finder.OnFileFound = [this](const std::string& folder, const TSearchRec& rec) {
            EXPECT_EQ(folder.back(), '\\');
            reported.push_back(Relative(folder + rec.Name));
            return reported.size() != stopAt;
        };
        return finder;
    }

    Names Relative(const std::vector<std::string>& paths) const {
        Names names;
        for (const std::string& p : paths) names.push_back(Relative(p));
        return names;
    }
    std::string Relative(const std::string& path) const {
        EXPECT_EQ(path.compare(0, fs.Path().size(), fs.Path()), 0) << path;
        return path.substr(fs.Path().size());
    }

    // Folders three levels deep, names that begin with a full stop ("..x",
    // an empty folder, sorts before ".cache"). kOrder is the order in which a
    // search of every subfolder reports them.
    void MakeTree() {
        for (const char* dir : {"..x", ".cache", ".cache\\sub", ".cache\\sub\\deep", "A"}) fs.MakeDir(dir);
        for (const char* file :
             {".cache\\.hidden", ".cache\\sub\\s.TXT", ".cache\\sub\\deep\\d.txt", "A\\a.txt", "b.txt.bak", "z.txt"})
            fs.WriteFile(file, "x");
    }
    const Names kOrder = {"..x",
                          ".cache",
                          "A",
                          "b.txt.bak",
                          "z.txt",
                          ".cache\\.hidden",
                          ".cache\\sub",
                          ".cache\\sub\\deep",
                          ".cache\\sub\\s.TXT",
                          ".cache\\sub\\deep\\d.txt",
                          "A\\a.txt"};

    Scratch fs;
    TFindFile finder;
    Names reported;
    std::size_t stopAt = 0;  // 1-based report that answers false; 0 never
};

// Path starts as the current directory, the scratch area, and takes only
// an existing directory.
TEST_F(FindFileTest, PathSetter) {
    TFindFile fresh;
    EXPECT_EQ(fresh.Path(), fs.Path());

    fs.MakeDir("Data");
    fs.WriteFile("file.txt", "x");
    struct Case {
        std::string value;
        std::string expected;
    } cases[] = {
        {fs.Path("Data"), fs.Path("Data\\")},
        {fs.Path("Data\\"), fs.Path("Data\\")},
        {fs.Path("missing"), fs.Path("Data\\")},
        {fs.Path("file.txt"), fs.Path("Data\\")},
        {"", fs.Path("Data\\")},
        {fs.Path(), fs.Path()},
    };
    for (const Case& c : cases) {
        fresh.SetPath(c.value);
        EXPECT_EQ(fresh.Path(), c.expected) << "after setting '" << c.value << "'";
    }
}

// A folder's entries come before its subfolders', depth first: every name
// but "." and "..", as the mask picks them.
TEST_F(FindFileTest, FolderEntriesComeBeforeSubfoldersDepthFirst) {
    MakeTree();
    const std::vector<std::string>& found = Finder().Execute();
    EXPECT_EQ(&found, &finder.FoundFiles());
    EXPECT_EQ(Relative(found), kOrder);
    EXPECT_EQ(reported, kOrder);
    EXPECT_EQ(finder.FoundCount(), 11);
    // Not kept, every entry is still reported and counted.
    reported.clear();
    finder.KeepFoundFiles = false;
    EXPECT_TRUE(finder.Execute().empty());
    EXPECT_EQ(reported, kOrder);
    EXPECT_EQ(finder.FoundCount(), 11);
    finder.KeepFoundFiles = true;

    // The mask picks entries, whatever their case, not the folders searched.
    finder.FileMask = "*.txt";
    EXPECT_EQ(Relative(finder.Execute()),
              (Names{"z.txt", ".cache\\sub\\s.TXT", ".cache\\sub\\deep\\d.txt", "A\\a.txt"}));
    finder.FileMask = "*.*";

    // A second search starts from an empty list; without subfolders only the
    // folder's own entries; without NotifyWhenFound no handler is called.
    reported.clear();
    finder.InSubFolders = false;
    finder.NotifyWhenFound = false;
    EXPECT_EQ(Relative(finder.Execute()), Names(kOrder.begin(), kOrder.begin() + 5));
    EXPECT_TRUE(reported.empty());
    // NotifyWhenFound without a handler: everything still goes to the list.
    finder.NotifyWhenFound = true;
    finder.OnFileFound = nullptr;
    EXPECT_EQ(finder.Execute().size(), 5u);

    finder.SetPath(fs.Path("..x"));
    EXPECT_TRUE(finder.Execute().empty());
    EXPECT_EQ(finder.FoundCount(), 0);
}

TEST_F(FindFileTest, HandlerFalseEndsTheSearchAtEveryLevel) {
    MakeTree();
    // Stopping at each report in turn: that entry is not added, nothing after
    // it is reported, here or in any folder above.
    for (std::size_t stop = 1; stop <= kOrder.size(); ++stop) {
        reported.clear();
        stopAt = stop;
        Names found = Relative(Finder().Execute());
        EXPECT_EQ(reported, Names(kOrder.begin(), kOrder.begin() + stop)) << "stop at " << stop;
        EXPECT_EQ(found, Names(kOrder.begin(), kOrder.begin() + stop - 1)) << "stop at " << stop;
        EXPECT_EQ(finder.FoundCount(), static_cast<int>(stop - 1));
    }
}

TEST_F(FindFileTest, AttributeSetAndMatchMode) {
    fs.MakeDir("dir");                                                                                     // 0x10
    fs.MakeDir("hdir");                                                                                    // 0x12
    for (const char* file : {"arch.txt", "ro.txt", "hs.txt", "hdir\\inner.txt"}) fs.WriteFile(file, "x");  // 0x20
    const std::pair<const char*, DWORD> attributes[] = {
        {"ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},                        // 0x21
        {"hs.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},  // 0x26
        {"hdir", FILE_ATTRIBUTE_HIDDEN}};
    for (auto [name, bits] : attributes) ASSERT_TRUE(os::SetFileAttributesA(fs.Path(name).c_str(), bits)) << name;

    struct Case {
        TFileAttr attr;
        bool strict;
        Names expected;
    } cases[] = {
        {{ffaAnyFile}, false, {"arch.txt", "dir", "hdir", "hs.txt", "ro.txt"}},
        // Hidden, system and directory entries are not even seen without their bit.
        {{ffaArchive}, false, {"arch.txt", "ro.txt"}},
        {{ffaReadOnly}, false, {"ro.txt"}},
        {{ffaDirectory}, false, {"dir"}},
        {{ffaDirectory, ffaHidden}, false, {"dir", "hdir"}},
        {{ffaHidden, ffaSysFile, ffaArchive}, false, {"arch.txt", "hs.txt", "ro.txt"}},
        {{ffaDirectory}, true, {"dir"}},
        {{ffaReadOnly, ffaArchive}, true, {"ro.txt"}},
        {{ffaHidden, ffaSysFile, ffaArchive}, true, {"hs.txt"}},
        {{ffaAnyFile}, true, {}},
        {{}, false, {}},
        {{}, true, {}},
    };
    for (const Case& c : cases) {
        finder.SetPath(fs.Path());
        finder.FileAttr = c.attr;
        finder.StrictMatchOfAttr = c.strict;
        EXPECT_EQ(Relative(finder.Execute()), c.expected)
            << "mask 0x" << std::hex << c.attr.Mask() << (c.strict ? " strict" : " loose");
    }

    // The set does not limit which subfolders are searched: the hidden one too.
    finder.FileAttr = {ffaArchive};
    finder.StrictMatchOfAttr = false;
    finder.InSubFolders = true;
    EXPECT_EQ(Relative(finder.Execute()), (Names{"arch.txt", "ro.txt", "hdir\\inner.txt"}));
}

// Paths past MAX_PATH, natively to near the longest name: folders made as
// typed, holding lists that import, are found with every level.
TEST_F(FindFileTest, FoldersOfEveryDepthAreMadeHoldListsThatImportAndAreFound) {
    Names lists;
    std::size_t entries = 0;
    for (std::size_t depth : test::kDepths) {
        const std::string n = std::to_string(depth), folder = test::Deep(fs.Path("d" + n), depth);
        bool created = false;
        ASSERT_TRUE(ForceDirectories(folder, &created)) << depth << " error " << os::GetLastError();
        EXPECT_TRUE(created) << depth;
        EXPECT_TRUE(DirectoryExists(folder)) << depth;
        EXPECT_FALSE(HasReparsePoint(folder)) << depth;
        // Relative, with "/" and a trailing backslash, as a user may type it.
        std::string typed = Relative(folder) + "\\";
        std::replace(typed.begin(), typed.begin() + static_cast<std::ptrdiff_t>(typed.size() / 2), '\\', '/');
        EXPECT_TRUE(ForceDirectories(typed, &created)) << depth;
        EXPECT_FALSE(created) << depth;
        // A pending entry as deep, to nowhere: it stays, and nothing is made for it.
        const std::string pending = "+" + test::Deep(fs.Path("j" + n), depth) + "->" + fs.Path("nowhere");
        test::WriteFileAt(folder + "\\list.trs", pending + "\nC:\\a->C:\\b");
        EXPECT_TRUE(TImport().Import(folder + "\\list.trs")) << depth;
        EXPECT_EQ(test::ReadFileAt(folder + "\\list.trs"), pending + "\r\nC:\\a->C:\\b\r\n") << depth;
        lists.push_back(Relative(folder + "\\list.trs"));
        // Every level on the way is an entry, and so is the list.
        entries += static_cast<std::size_t>(std::count(lists.back().begin(), lists.back().end(), '\\')) + 1;
    }
    Names found = Relative(Finder().Execute());
    EXPECT_EQ(found.size(), entries);
    EXPECT_EQ(reported, found);
    for (const std::string& list : lists)
        EXPECT_NE(std::find(found.begin(), found.end(), list), found.end()) << list.size();
}

}  // namespace
}  // namespace tarsio
