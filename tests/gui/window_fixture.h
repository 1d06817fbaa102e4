#pragma once
// The program's forms on the headless backend over the simulated drives.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/forms.h"
#include "gui/application.h"
#include "gui/headless.h"
#include "shelltree/headless_view.h"
#include "tests/support/scratch.h"

namespace tarsio::test {

using gui::MessageKind;
using shelltree::PVirtualNode;
// Message dialogs as kind and text.
using Shown = std::vector<std::pair<MessageKind, std::string>>;

// The folders on C: of the world most tests share, in the tree's order.
inline const std::vector<std::string> kFoldersOfC = {"cycle", "data",     "deep", "direct", "empty", "hidden",
                                                     "links", "my files", "none", "Łódź",   "中文"};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs before the forms are created and makes the drives and folders.
    // By default the world most tests share: beside C:, the drives A: and B:
    // (FAT12 floppies), those of AddDriveOfEachKind, H: (a RAM disk) and K:
    // (removable, holding an empty folder emptytarget); on C: the folders of
    // kFoldersOfC and junctions in some of them (window_fixture.cpp).
    virtual void Prepare();
    // Beside C:, a drive of each other kind: D: fixed NTFS, E: removable with
    // no medium, F: remote, G: CD-ROM.
    void AddDriveOfEachKind();

    shelltree::TVirtualExplorerTree& tree() { return *Form1->vteSourceTree; }
    // Expands a tree down to `path` and returns its node.
    PVirtualNode Reveal(shelltree::TVirtualExplorerTree& in, const std::string& path);
    // A left click on the node of `path` in the source tree.
    void ClickPath(const std::string& path);
    shelltree::HeadlessTreeView& View(shelltree::TVirtualExplorerTree& in);
    // The nodes' captions, or their paths.
    std::vector<std::string> Captions(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes,
                                      bool paths = false);
    std::vector<std::string> Paths(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes) {
        return Captions(nodes, true);
    }
    // The message dialogs shown since the records were last cleared.
    Shown Messages();

    Scratch fs;
    gui::HeadlessBackend ui;
};

}  // namespace tarsio::test
