#pragma once
// Steps the window tests take again and again, over the driver.

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/driver.h"

namespace steps {

// The node of C:\<name> in a tree of the program, C: expanded on the way
// (a null item when it is not there).
inline driver::TreeItem FindOnC(driver::Tarsio& app, HWND tree, const std::string& name) {
    driver::TreeItem c = app.Find(tree, nullptr, "(C:)");
    app.Expand(tree, c.item);
    return app.Find(tree, c.item, name);
}

// The started main window, its source tree and the node of C:\<name> there.
struct FolderShown {
    HWND main = nullptr, tree = nullptr;
    driver::TreeItem folder{};
};

// Starts the main window and finds C:\<name> in its source tree; false when
// either is missing.
inline bool ShowFolderOnC(driver::Tarsio& app, const std::string& name, FolderShown& shown) {
    shown.main = app.StartMainWindow();
    if (!shown.main) return false;
    shown.tree = app.Control(shown.main, "vteSourceTree");
    shown.folder = FindOnC(app, shown.tree, name);
    return shown.folder.item != nullptr;
}

// F1 in the main window, which has to be in front to get the key.
inline void PressF1(HWND main) {
    SetForegroundWindow(main);
    driver::Tarsio::PressKey(VK_F1);
}

// F1 opens the help viewer, with no message on the way.
inline void ExpectHelpViewerOnF1(driver::Tarsio& app, HWND main) {
    PressF1(main);
    EXPECT_TRUE(app.WaitWindow("HH Parent", "", 10000));
    EXPECT_TRUE(app.Dialogs().empty());
}

}  // namespace steps
