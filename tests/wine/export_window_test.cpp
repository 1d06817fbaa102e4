// A long export from the window of the real Tarsio.exe under Wine, in a
// prefix of its own whose C: holds 30,000 folders (tests/CMakeLists.txt):
// the window answers sent messages throughout, and Cancel or Escape end the
// export with the list file left as it was.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/wine/driver.h"

namespace {

using driver::Tarsio;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The milliseconds the window takes to answer a sent WM_NULL; the limit
// when it does not within it.
DWORD Ping(HWND main, DWORD limit) {
    DWORD start = GetTickCount();
    DWORD_PTR ignored;
    if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, limit, &ignored)) return limit;
    return GetTickCount() - start;
}

TEST(LongExport, AnswersWithinASecondAndCancelLeavesTheListAsItWas) {
    const std::string list = "C:\\tarsio-export.trs";
    const std::string before = "+C:\\kept->C:\\data\r\n";
    {
        std::ofstream out(list, std::ios::binary);
        out << before;
    }
    struct Way {
        const char* name;
        void (*cancel)(HWND main, HWND button);
    } ways[] = {
        {"Cancel",
         [](HWND, HWND button) {
             RECT r;
             GetClientRect(button, &r);
             Tarsio::ClickAt(button, POINT{r.right / 2, r.bottom / 2});
         }},
        {"Escape",
         [](HWND main, HWND) {
             SetForegroundWindow(main);
             Tarsio::PressKey(VK_ESCAPE);
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
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
        Tarsio::Type(Tarsio::Descendant(save, "Edit"), list);
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
        way.cancel(main, cancel);
        EXPECT_TRUE(driver::WaitFor([&] { return !IsWindowVisible(panel); }, 2000));
        EXPECT_LT(Ping(main, 5000), 1000u);
        EXPECT_TRUE(app.Dialogs().empty());
        EXPECT_EQ(ReadAll(list), before);
    }
    DeleteFileA(list.c_str());
}

}  // namespace
