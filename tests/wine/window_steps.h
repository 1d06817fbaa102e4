#pragma once
// Steps the tests of the exe take again and again, over the driver.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

namespace steps {

// C:\<stem><process id> with these folders, where the program's trees show
// it, removed with all it holds when the test ends. Names are UTF-8.
class Place {
public:
    explicit Place(const std::string& stem, std::initializer_list<std::string> folders = {})
        : root_("C:\\" + stem + std::to_string(GetCurrentProcessId())) {
        std::filesystem::create_directory(At(""));
        for (const std::string& folder : folders) std::filesystem::create_directories(At(folder));
    }
    ~Place() {
        std::error_code ignored;
        std::filesystem::remove_all(At(""), ignored);
    }
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;

    std::string Path(const std::string& relative = "") const {
        return relative.empty() ? root_ : root_ + "\\" + relative;
    }
    std::string name() const { return root_.substr(3); }
    std::filesystem::path At(const std::string& relative) const { return driver::Wide(Path(relative)); }
    void Write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(At(relative), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& relative) const {
        std::ifstream in(At(relative), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The names in a folder, sorted.
    std::vector<std::string> Names(const std::string& relative = "") const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(At(relative)))
            names.push_back(driver::Utf8(entry.path().filename().wstring()));
        std::sort(names.begin(), names.end());
        return names;
    }
    // A copy of the exe under test named Tarsio.exe, with or without the
    // build's help file beside it; its path.
    std::string Install(bool help) const {
        const std::filesystem::path exe = driver::Wide(driver::TarsioExe());
        const auto overwrite = std::filesystem::copy_options::overwrite_existing;
        std::filesystem::copy_file(exe, At("Tarsio.exe"), overwrite);
        if (help) std::filesystem::copy_file(exe.parent_path() / "Tarsio.chm", At("Tarsio.chm"), overwrite);
        return Path("Tarsio.exe");
    }

private:
    std::string root_;
};

// The node of C:\<name> in a tree of the program, C: expanded on the way
// (a null item when it is not there).
inline driver::TreeItem FindOnC(driver::Tarsio& app, HWND tree, const std::string& name) {
    driver::TreeItem c = app.Find(tree, nullptr, "(C:)");
    app.Expand(tree, c.item);
    return app.Find(tree, c.item, name);
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
