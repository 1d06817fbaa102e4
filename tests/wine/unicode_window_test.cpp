// The window of the real Tarsio.exe under Wine with names beyond the legacy
// code page: the tree shows them and a click puts them into the Source field
// exactly (read back as wide text); the help file is found beside the program
// from any working directory.

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/driver.h"
#include "tests/wine/run_tarsio.h"
#include "tests/wine/window_steps.h"

namespace {

using driver::Tarsio;
using tarsio::test::Wide;

std::wstring WideText(HWND hwnd) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

// The captions of an item's children, read wide from the program's memory.
std::vector<std::wstring> WideChildren(DWORD pid, HWND tree, HTREEITEM parent) {
    std::vector<std::wstring> captions;
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TVITEMW) + 1024, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(parent)));
    while (item) {
        TVITEMW tv{};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
        tv.cchTextMax = 500;
        WriteProcessMemory(process, remote, &tv, sizeof tv, nullptr);
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote));
        wchar_t text[512] = {};
        ReadProcessMemory(process, remote + sizeof(TVITEMW), text, 500 * sizeof(wchar_t), nullptr);
        captions.push_back(text);
        item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item)));
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return captions;
}

TEST(UnicodeWindow, TreeShowsLodzAndAClickPutsExactlyItIntoTheSourceField) {
    const std::string name = "tarsio-unicode-" + std::to_string(GetCurrentProcessId());
    const std::wstring folder = L"C:\\" + Wide(name);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\" + Wide("Łódź")).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\" + Wide("中文")).c_str(), nullptr));
    {
        Tarsio app;
        steps::FolderShown shown;
        ASSERT_TRUE(steps::ShowFolderOnC(app, name, shown));
        auto [main, tree, ours] = shown;
        app.Expand(tree, ours.item);
        EXPECT_EQ(WideChildren(app.pid(), tree, ours.item), (std::vector<std::wstring>{Wide("Łódź"), Wide("中文")}));

        HTREEITEM lodz = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(ours.item)));
        app.ClickItem(tree, lodz);
        HWND source = app.Control(main, "edtSource");
        const std::wstring expected = folder + L"\\" + Wide("Łódź");
        EXPECT_TRUE(driver::WaitFor([&] { return WideText(source) == expected; }, 5000));
        EXPECT_EQ(WideText(source), expected);
        EXPECT_TRUE(IsWindowEnabled(app.Control(main, "btnCreate")));
    }
    RemoveDirectoryW((folder + L"\\" + Wide("Łódź")).c_str());
    RemoveDirectoryW((folder + L"\\" + Wide("中文")).c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(UnicodeWindow, F1FromAnotherWorkingDirectoryOpensTheHelpBesideTheProgram) {
    // Installed in a folder whose name needs more than the legacy code page.
    const std::wstring dir = L"C:\\" + Wide("tarsio-help-Łódź-" + std::to_string(GetCurrentProcessId()));
    const std::string exe = driver::TarsioExe();
    const std::wstring built = Wide(exe.substr(0, exe.find_last_of('\\')));
    ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW((built + L"\\Tarsio.exe").c_str(), (dir + L"\\Tarsio.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((built + L"\\Tarsio.chm").c_str(), (dir + L"\\Tarsio.chm").c_str(), FALSE))
        << "build Tarsio.chm first";
    // The driver starts programs by 8-bit name: give it the short form.
    wchar_t shortName[MAX_PATH] = {};
    GetShortPathNameW((dir + L"\\Tarsio.exe").c_str(), shortName, MAX_PATH);
    char shortAnsi[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, shortName, -1, shortAnsi, MAX_PATH, nullptr, nullptr);
    {
        Tarsio app("", "C:\\windows", shortAnsi);
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main);
        steps::ExpectHelpViewerOnF1(app, main);
    }
    DeleteFileW((dir + L"\\Tarsio.exe").c_str());
    DeleteFileW((dir + L"\\Tarsio.chm").c_str());
    RemoveDirectoryW(dir.c_str());
}

}  // namespace
