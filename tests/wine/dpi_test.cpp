// The main window at 150 % (the prefix's LogPixels 144): every position and
// size of the 96-dpi layout is scaled by 1.5, and the fonts with them; on
// WM_DPICHANGED it is laid out again at the new scale.

#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/wine/driver.h"

namespace {

using driver::Tarsio;

// Positions relative to the parent window (pages: the tab's page area).
struct Layout {
    int left, top, width, height;  // width 0: a label sized by its text
};

int At(int dpi, int value) { return MulDiv(value, dpi, 96); }

// Every control of the main window at its design position scaled to `dpi`.
void ExpectLayout(Tarsio& app, HWND main, int dpi) {
    const std::map<std::string, Layout> design = {
        {"Panel1", {8, 0, 361, 289}},
        {"vteSourceTree", {24, 8, 329, 273}},
        {"pclInputAction", {8, 288, 369, 145}},
        {"btnExit", {302, 436, 75, 25}},
        {"lblSource", {0, 0, 0, 0}},
        {"lblSourceLbl", {0, 16, 0, 0}},
        {"edtSource", {48, 16, 289, 21}},
        {"lblTarget", {0, 40, 0, 0}},
        {"edtTarget", {48, 56, 289, 21}},
        {"btnBrowse", {344, 57, 17, 25}},
        {"btnCreate", {48, 88, 75, 25}},
        {"edtDelete", {48, 56, 289, 21}},
        {"btnDelete", {48, 88, 75, 25}},
        {"btnInspect", {40, 40, 129, 25}},
        {"btnReset", {192, 40, 129, 25}},
        {"lblDuration", {16, 8, 0, 0}},
        {"btnCancelExport", {127, 232, 75, 25}},  // in the hidden wait panel
    };
    int checked = 0;
    for (const driver::ControlInfo& c : app.Controls(main)) {
        auto it = design.find(c.name);
        if (it == design.end()) continue;
        const Layout& want = it->second;
        RECT r;
        GetWindowRect(c.hwnd, &r);
        MapWindowPoints(nullptr, GetParent(c.hwnd), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_NEAR(r.left, At(dpi, want.left), 1) << c.name;
        EXPECT_NEAR(r.top, At(dpi, want.top), 1) << c.name;
        if (want.width) {
            EXPECT_NEAR(r.right - r.left, At(dpi, want.width), 1) << c.name;
            EXPECT_NEAR(r.bottom - r.top, At(dpi, want.height), 1) << c.name;
        } else {
            // A label is as tall as its text in the font of that scale.
            EXPECT_GE(r.bottom - r.top, At(dpi, 11)) << c.name;
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(design.size()));
}

TEST(Dpi144, MainWindowIsLaidOutAtOneAndAHalf) {
    // Measured in physical pixels, as the program lays itself out.
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, 144) << "the prefix's LogPixels is not 144";

    Tarsio app;
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    RECT client;
    GetClientRect(main, &client);
    EXPECT_NEAR(client.right, 576, 2);
    EXPECT_NEAR(client.bottom, 700, 2);

    ExpectLayout(app, main, 144);

    // Tree rows of 17 pixels become 25 or 26.
    HWND tree = app.Control(main, "vteSourceTree");
    EXPECT_NEAR(SendMessageA(tree, TVM_GETITEMHEIGHT, 0, 0), 25, 1);

    // Moved to a monitor at 100 %: the window takes the suggested place and
    // every control its 96-dpi position again.
    RECT window;
    GetWindowRect(main, &window);
    RECT suggested{window.left, window.top, window.left + 400, window.top + 520};
    app.SendData(main, WM_DPICHANGED, MAKEWPARAM(96, 96), &suggested, sizeof suggested);
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 384);
    EXPECT_EQ(client.bottom, 467);
    GetWindowRect(main, &window);
    EXPECT_EQ(window.left, suggested.left);
    EXPECT_EQ(window.top, suggested.top);
    ExpectLayout(app, main, 96);
}

}  // namespace
