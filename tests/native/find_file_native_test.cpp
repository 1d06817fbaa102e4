// The file finder where it needs the simulated NTFS: attribute words that
// Wine cannot store, junctions and their cycles, folders that cannot be
// listed, and the listings closed when the handler throws.

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "listfile/find_file.h"
#include "platform/os.h"
#include "platform/sim/sim.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Junction;
using test::Scratch;
using Names = std::vector<std::string>;

class FindFileNative : public ::testing::Test {
protected:
    void TearDown() override { sim::ClearFaults(); }

    TFindFile& WholeDrive() {
        finder.SetPath("C:\\");
        finder.InSubFolders = true;
        return finder;
    }

    Scratch fs;
    TFindFile finder;
};

TEST_F(FindFileNative, AttributeWordsInBothMatchModes) {
    fs.WriteFile("normal.txt", "x");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\normal.txt", FILE_ATTRIBUTE_NORMAL));
    fs.MakeDir("archdir");
    ASSERT_TRUE(os::SetFileAttributesA("C:\\archdir", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE));
    fs.MakeDir("plain");
    fs.MakeDir("target");
    Junction("C:\\junction", "C:\\target");
    ASSERT_EQ(os::GetFileAttributesA("C:\\normal.txt"), 0x80u);
    ASSERT_EQ(os::GetFileAttributesA("C:\\archdir"), 0x30u);
    ASSERT_EQ(os::GetFileAttributesA("C:\\junction"), 0x410u);

    struct Case {
        TFileAttr attr;
        bool strict;
        Names expected;
    } cases[] = {
        // 0x80 shares no bit with any set, so it is never reported.
        {{ffaAnyFile}, false, {"C:\\archdir", "C:\\junction", "C:\\plain", "C:\\target"}},
        {{ffaAnyFile}, true, {}},
        {{ffaDirectory}, false, {"C:\\archdir", "C:\\junction", "C:\\plain", "C:\\target"}},
        {{ffaDirectory}, true, {"C:\\plain", "C:\\target"}},
        {{ffaDirectory, ffaArchive}, true, {"C:\\archdir"}},
        {{ffaArchive}, false, {}},
        {{}, true, {}},
    };
    for (const Case& c : cases) {
        finder.SetPath("C:\\");
        finder.FileAttr = c.attr;
        finder.StrictMatchOfAttr = c.strict;
        EXPECT_EQ(finder.Execute(), c.expected)
            << "mask 0x" << std::hex << c.attr.Mask() << (c.strict ? " strict" : " loose");
    }
    // The listing tells the kind of a reparse point.
    std::vector<DWORD> tags;
    finder.FileAttr = {ffaAnyFile};
    finder.StrictMatchOfAttr = false;
    finder.NotifyWhenFound = true;
    finder.OnFileFound = [&](const std::string&, const TSearchRec& rec) {
        return tags.push_back(rec.ReparseTag), true;
    };
    finder.Execute();
    EXPECT_EQ(tags, (std::vector<DWORD>{0, 0xA0000003, 0, 0}));
}

TEST_F(FindFileNative, FolderThatCannotBeListedIsPassedOverAndCounted) {
    for (const char* dir : {"a", "b", "b\\inner", "c", "d"}) fs.MakeDir(dir);
    fs.WriteFile("a\\x.txt", "x");
    fs.WriteFile("b\\y.txt", "y");
    fs.WriteFile("c\\z.txt", "z");
    fs.WriteFile("d\\z.txt", "z");
    sim::FailCallOnPath("FindFirstFileExW", "C:\\b\\", ERROR_ACCESS_DENIED);
    sim::FailCallOnPath("FindFirstFileExW", "C:\\d\\", ERROR_PATH_NOT_FOUND);  // gone since its parent was listed
    EXPECT_EQ(WholeDrive().Execute(), (Names{"C:\\a", "C:\\b", "C:\\c", "C:\\d", "C:\\a\\x.txt", "C:\\c\\z.txt"}));
    EXPECT_EQ(finder.UnlistedCount(), 2);
    EXPECT_EQ(finder.FirstUnlisted(), "C:\\b\\");
    EXPECT_EQ(sim::OpenHandleCount(), 0);
    // A mask that matches nothing in a folder is no refusal, and a folder
    // listed twice for it is counted once.
    finder.FileMask = "*.log";
    EXPECT_TRUE(WholeDrive().Execute().empty());
    EXPECT_EQ(finder.UnlistedCount(), 2);
}

TEST_F(FindFileNative, ListingsAreClosedWhenTheHandlerThrowsOrEndsTheSearch) {
    for (const char* dir : {"a", "a\\b", "a\\b\\c", "d"}) fs.MakeDir(dir);
    fs.WriteFile("a\\b\\c\\deep.txt", "x");
    fs.WriteFile("d\\later.txt", "x");
    struct Case {
        const char* last;      // the entry whose report throws or answers false
        std::size_t found;     // the entries found before it
        std::size_t listings;  // the folders listed until then
    } cases[] = {{"C:\\a", 0, 1}, {"C:\\a\\b\\c", 3, 3}, {"C:\\a\\b\\c\\deep.txt", 4, 4}, {"C:\\d\\later.txt", 5, 5}};
    for (const Case& c : cases) {
        for (bool throws : {true, false}) {
            finder.NotifyWhenFound = true;
            finder.OnFileFound = [&](const std::string& folder, const TSearchRec& rec) -> bool {
                if (folder + rec.Name != c.last) return true;
                if (throws) throw std::runtime_error("stop");
                return false;
            };
            sim::ResetCallLog();
            if (throws)
                EXPECT_THROW(WholeDrive().Execute(), std::runtime_error) << c.last;
            else
                EXPECT_EQ(WholeDrive().Execute().size(), c.found) << c.last;
            EXPECT_EQ(sim::CallCount("FindFirstFileExW"), c.listings) << c.last;
            EXPECT_EQ(sim::OpenHandleCount(), 0) << c.last;
        }
    }
    // The finder is usable again, from an empty list.
    finder.OnFileFound = nullptr;
    EXPECT_EQ(finder.Execute().size(), 6u);
}

TEST_F(FindFileNative, JunctionCyclesEndWithEveryDirectoryEnteredOnce) {
    // A junction to the folder that holds it, and two junctions to ancestors
    // in one folder at depth 10.
    fs.MakeDir("top");
    Junction("C:\\top\\loop", "C:\\top");
    std::string deep = "C:\\deep";
    std::vector<std::string> chain = {deep};
    for (int level = 2; level <= 10; ++level) chain.push_back(chain.back() + "\\l" + std::to_string(level));
    ASSERT_TRUE(ForceDirectories(chain.back()));
    fs.WriteFile("deep\\l2\\file.txt", "x");
    Junction(chain.back() + "\\up1", chain[0]);
    Junction(chain.back() + "\\up2", chain[1]);
    // A junction to a folder elsewhere: its contents are found once, under
    // their own path.
    fs.MakeDir("data");
    fs.WriteFile("data\\d.txt", "x");
    Junction("C:\\top\\data", "C:\\data");

    // One listing for the drive root and for each of its 12 directories
    // without a reparse point (data, deep, l2..l10, top); two with a mask
    // that does not match every name, which the file system applies.
    const std::size_t plainDirectories = 12;
    struct Case {
        const char* mask;
        std::size_t listings, found;
    } cases[] = {
        {"*.*", plainDirectories + 1, plainDirectories + 4 + 2},
        {"*", plainDirectories + 1, plainDirectories + 4 + 2},
        {"*.txt", 2 * (plainDirectories + 1), 2},
    };
    for (const Case& c : cases) {
        finder.FileMask = c.mask;
        sim::ResetCallLog();
        EXPECT_EQ(WholeDrive().Execute().size(), c.found) << c.mask;
        EXPECT_EQ(sim::CallCount("FindFirstFileExW"), c.listings) << c.mask;
        EXPECT_EQ(sim::CallCount("FindFirstFileExA"), 0u) << c.mask;
    }

    finder.FileMask = "*.*";
    const std::vector<std::string>& found = WholeDrive().Execute();
    for (const std::string& junction :
         Names{"C:\\top\\loop", "C:\\top\\data", chain.back() + "\\up1", chain.back() + "\\up2"})
        EXPECT_EQ(std::count(found.begin(), found.end(), junction), 1) << junction;
    EXPECT_EQ(std::count(found.begin(), found.end(), "C:\\data\\d.txt"), 1);
    EXPECT_EQ(std::count(found.begin(), found.end(), "C:\\deep\\l2\\file.txt"), 1);
    EXPECT_EQ(found.size(), plainDirectories + 4 + 2);
}

}  // namespace
}  // namespace tarsio
