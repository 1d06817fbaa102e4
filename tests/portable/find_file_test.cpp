// The file finder on plain folders: defaults, the Path setter, the order of
// reports, what is kept, attribute filtering, names with a leading full stop
// and the handler ending the search.

#include "listfile/find_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "platform/os.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;
using Names = std::vector<std::string>;

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

    void MakeFile(const std::string& relative, DWORD attributes = 0) {
        fs.WriteFile(relative, "x");
        if (attributes) {
            ASSERT_TRUE(os::SetFileAttributesA(fs.Path(relative).c_str(), attributes));
        }
    }

    Scratch fs;
    TFindFile finder;
    Names reported;
    std::size_t stopAt = 0;  // 1-based report that answers false; 0 never
};

TEST_F(FindFileTest, DefaultsAndPathSetter) {
    TFindFile fresh;
    EXPECT_EQ(fresh.FileAttr, TFileAttr{ffaAnyFile});
    EXPECT_FALSE(fresh.InSubFolders);
    EXPECT_EQ(fresh.FileMask, "*.*");
    EXPECT_FALSE(fresh.StrictMatchOfAttr);
    EXPECT_FALSE(fresh.NotifyWhenFound);
    EXPECT_EQ(fresh.FoundCount(), 0);
    // The scratch area is the current directory.
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

TEST_F(FindFileTest, FolderEntriesComeBeforeSubfoldersDepthFirst) {
    fs.MakeDir("A");
    fs.MakeDir("A\\Sub");
    fs.MakeDir("c");
    fs.MakeDir("empty");
    MakeFile("b.txt");
    MakeFile("z.txt");
    MakeFile("A\\a.txt");
    MakeFile("A\\Sub\\s.txt");
    MakeFile("c\\c.txt");
    const Names expected = {"A", "b.txt", "c", "empty", "z.txt", "A\\a.txt", "A\\Sub", "A\\Sub\\s.txt", "c\\c.txt"};

    const std::vector<std::string>& found = Finder().Execute();
    EXPECT_EQ(&found, &finder.FoundFiles());
    EXPECT_EQ(Relative(found), expected);
    EXPECT_EQ(reported, expected);
    EXPECT_EQ(finder.FoundCount(), 9);
    // Not kept, every entry is still reported and counted.
    reported.clear();
    finder.KeepFoundFiles = false;
    EXPECT_TRUE(finder.Execute().empty());
    EXPECT_EQ(reported, expected);
    EXPECT_EQ(finder.FoundCount(), 9);
    finder.KeepFoundFiles = true;

    // A second search starts from an empty list; without subfolders only the
    // folder's own entries; without NotifyWhenFound no handler is called.
    reported.clear();
    finder.InSubFolders = false;
    finder.NotifyWhenFound = false;
    EXPECT_EQ(Relative(finder.Execute()), Names(expected.begin(), expected.begin() + 5));
    EXPECT_TRUE(reported.empty());
    // NotifyWhenFound without a handler: everything still goes to the list.
    finder.NotifyWhenFound = true;
    finder.OnFileFound = nullptr;
    EXPECT_EQ(finder.Execute().size(), 5u);

    finder.SetPath(fs.Path("empty"));
    EXPECT_TRUE(finder.Execute().empty());
    EXPECT_EQ(finder.FoundCount(), 0);
}

TEST_F(FindFileTest, HandlerFalseEndsTheSearchAtEveryLevel) {
    fs.MakeDir("A");
    fs.MakeDir("A\\B");
    fs.MakeDir("A\\B\\C");
    fs.MakeDir("D");
    MakeFile("A\\B\\C\\deep.txt");
    MakeFile("A\\B\\b.txt");
    MakeFile("D\\d.txt");
    MakeFile("top.txt");
    const Names order = {"A", "D", "top.txt", "A\\B", "A\\B\\b.txt", "A\\B\\C", "A\\B\\C\\deep.txt", "D\\d.txt"};
    // Stopping at each report in turn: that entry is not added, nothing after
    // it is reported, here or in any folder above.
    for (std::size_t stop = 1; stop <= order.size(); ++stop) {
        reported.clear();
        stopAt = stop;
        Names found = Relative(Finder().Execute());
        EXPECT_EQ(reported, Names(order.begin(), order.begin() + stop)) << "stop at " << stop;
        EXPECT_EQ(found, Names(order.begin(), order.begin() + stop - 1)) << "stop at " << stop;
        EXPECT_EQ(finder.FoundCount(), static_cast<int>(stop - 1));
    }
}

TEST_F(FindFileTest, AttributeSetAndMatchMode) {
    MakeFile("arch.txt");                                                                        // 0x20
    MakeFile("ro.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);                        // 0x21
    MakeFile("hs.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);  // 0x26
    fs.MakeDir("dir");                                                                           // 0x10
    fs.MakeDir("hdir");
    ASSERT_TRUE(os::SetFileAttributesA(fs.Path("hdir").c_str(), FILE_ATTRIBUTE_HIDDEN));  // 0x12
    MakeFile("hdir\\inner.txt");

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

TEST_F(FindFileTest, MaskAppliesToEntriesNotToTheFoldersSearched) {
    fs.MakeDir("docs");
    fs.MakeDir("docs\\old");
    MakeFile("a.txt");
    MakeFile("a.log");
    MakeFile("docs\\b.TXT");
    MakeFile("docs\\old\\c.txt");
    MakeFile("docs\\old\\c.txt.bak");
    Finder().FileMask = "*.txt";
    EXPECT_EQ(Relative(finder.Execute()), (Names{"a.txt", "docs\\b.TXT", "docs\\old\\c.txt"}));
}

TEST_F(FindFileTest, EveryNameButDotAndDotDotIsReported) {
    fs.MakeDir(".cache");
    fs.MakeDir(".cache\\sub");
    fs.MakeDir("..x");
    MakeFile(".profile");
    MakeFile(".cache\\kept.txt");
    MakeFile(".cache\\.hidden");
    MakeFile("..x\\y.txt");
    MakeFile("plain.txt");
    // "..x" sorts before ".cache".
    EXPECT_EQ(Relative(Finder().Execute()), (Names{"..x", ".cache", ".profile", "plain.txt", "..x\\y.txt",
                                                   ".cache\\.hidden", ".cache\\kept.txt", ".cache\\sub"}));
}

TEST_F(FindFileTest, FoldersOfEveryDepthAreFound) {
    Names files;
    std::size_t entries = 0;
    for (std::size_t depth : test::kDepths) {
        const std::string folder = test::Deep(fs.Path("d" + std::to_string(depth)), depth);
        ASSERT_TRUE(ForceDirectories(folder)) << depth << " error " << os::GetLastError();
        test::WriteFileAt(folder + "\\f.txt", "x");
        files.push_back(Relative(folder + "\\f.txt"));
        // Every level on the way is an entry, and so is the file.
        entries += static_cast<std::size_t>(std::count(files.back().begin(), files.back().end(), '\\')) + 1;
    }
    Names found = Relative(Finder().Execute());
    EXPECT_EQ(found.size(), entries);
    EXPECT_EQ(reported, found);
    for (const std::string& file : files)
        EXPECT_NE(std::find(found.begin(), found.end(), file), found.end()) << file.size();
}

}  // namespace
}  // namespace tarsio
