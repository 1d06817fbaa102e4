// A long export from the window of the real Tarsio.exe under Wine, in a
// prefix of its own whose C: holds 30,000 folders (tests/CMakeLists.txt):
// the window answers sent messages throughout, and Cancel or Escape end the
// export with the list file left as it was.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;

// The milliseconds the window takes to answer a sent WM_NULL; the limit
// when it does not within it.
DWORD Ping(HWND main, DWORD limit) {
    DWORD start = GetTickCount();
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, limit, &ignored)) return limit;
    return GetTickCount() - start;
}

TEST(LongExport, AnswersWithinASecondAndCancelLeavesTheListAsItWas) {
    steps::Place place("tarsio-export-");
    const std::string before = "+C:\\kept->C:\\data\r\n";
    place.Write("list.trs", before);
    for (bool button : {true, false}) {
        SCOPED_TRACE(button ? "Cancel" : "Escape");
        Tarsio app;
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main);
        // Looked up before the export: reading a control's text waits for the window.
        HWND panel = app.Control(main, "pnlWaitInExport");
        HWND cancel = app.Control(main, "btnCancelExport");
        ASSERT_TRUE(panel);
        app.Command(main, 103);  // Options > Enable Import/Export; C: is the one default drive

        // File > Export to the existing list, replacing it.
        app.Command(main, 101);
        HWND save = app.WaitDialog();
        ASSERT_TRUE(save);
        Tarsio::Type(Tarsio::Descendant(save, "Edit"), place.Path("list.trs"));
        PostMessageA(GetDlgItem(save, IDOK), BM_CLICK, 0, 0);
        HWND replace = nullptr;
        driver::WaitFor([&] {
            for (HWND d : app.Dialogs())
                if (d != save) replace = d;
            return replace != nullptr;
        });
        ASSERT_TRUE(replace) << "no question before replacing the list";
        Tarsio::Press(replace, IDYES);
        ASSERT_TRUE(driver::WaitFor([&] { return IsWindowVisible(panel) != FALSE; }, 10000));

        DWORD longest = 0;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 1500;) {
            longest = std::max(longest, Ping(main, 5000));
            Sleep(20);
        }
        EXPECT_LT(longest, 1000u);
        ASSERT_TRUE(IsWindowVisible(panel)) << "the export ended before it could be cancelled";
        ASSERT_TRUE(cancel);
        if (button) {
            Tarsio::ClickAt(cancel, POINT{4, 4});
        } else {
            SetForegroundWindow(main);
            Tarsio::PressKey(VK_ESCAPE);
        }
        EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(panel); }, 2000));
        EXPECT_LT(Ping(main, 5000), 1000u);
        EXPECT_TRUE(app.Dialogs().empty());
        EXPECT_EQ(place.Read("list.trs"), before);
    }
}

}  // namespace
