#pragma once
// The program's forms on the headless backend over the simulated drives.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

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

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs before the forms are created: make drives and folders here.
    virtual void Prepare() {}
    // Beside C:, a drive of each other kind: D: fixed NTFS, E: removable with
    // no medium, F: remote, G: CD-ROM.
    void AddDriveOfEachKind();
    // C:\data and C:\links, and in links each named junction to its target.
    void MakeLinks(std::initializer_list<std::pair<const char*, const char*>> junctions);

    shelltree::TVirtualExplorerTree& tree() { return *Form1->vteSourceTree; }
    // Expands a tree down to `path` and returns its node.
    PVirtualNode Reveal(shelltree::TVirtualExplorerTree& in, const std::string& path);
    // A left click on the node of `path` in the source tree.
    void ClickPath(const std::string& path);
    shelltree::HeadlessTreeView& View(shelltree::TVirtualExplorerTree& in);
    std::vector<std::string> Captions(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes);
    std::vector<std::string> Paths(const std::vector<std::unique_ptr<shelltree::TreeNode>>& nodes);
    // The message dialogs shown since the records were last cleared.
    Shown Messages();

    Scratch fs;
    gui::HeadlessBackend ui;
};

}  // namespace tarsio::test
