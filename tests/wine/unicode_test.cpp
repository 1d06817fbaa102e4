// The real Tarsio.exe under Wine with names beyond any legacy code page: its
// manifest, the console import of UTF-8 lists and its error line. The test
// itself runs in Wine's legacy code page (1252), so it names files wide.

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tests/wine/run_tarsio.h"

namespace tarsio {
namespace {

using test::Outcome;
using test::RunTarsio;
using test::Scratch;
using test::TarsioExePath;
using test::Wide;

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    char buffer[4096];
    DWORD got;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

// The names in a folder, exactly as the file system holds them.
std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// Removes what a test made below `folder`, wide, since Scratch names 8-bit.
void RemoveWide(const std::wstring& folder) {
    for (const std::wstring& name : Names(folder)) {
        std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveWide(path);
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    }
}

class UnicodeExe : public ::testing::Test {
protected:
    ~UnicodeExe() override { RemoveWide(root); }
    std::wstring Path(const std::string& utf8) const { return root + L"\\" + Wide(utf8); }
    std::string Utf8Path(const std::string& utf8) const {
        std::string p = fs.Path();
        return p.substr(0, p.size() - 1) + "\\" + utf8;
    }

    Scratch fs;
    std::wstring root = Wide(fs.Path().substr(0, fs.Path().size() - 1));
};

TEST_F(UnicodeExe, ManifestAsksForUtf8DetachedConsoleCommonControlsAndLongPaths) {
    HMODULE exe = LoadLibraryExW(TarsioExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const char* data = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(data, SizeofResource(exe, found));
    FreeLibrary(exe);
    for (const char* part : {
             "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>",
             "<consoleAllocationPolicy xmlns=\"http://schemas.microsoft.com/SMI/2024/WindowsSettings\">detached"
             "</consoleAllocationPolicy>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
             "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
         })
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST_F(UnicodeExe, ImportOfAUtf8ListMakesTheFoldersWithExactlyTheirNames) {
    ASSERT_TRUE(CreateDirectoryW(Path("Ωμέγα").c_str(), nullptr));
    const std::string text = "+" + Utf8Path("Łódź\\中文\\Кириллица") + "->" + Utf8Path("Ωμέγα") + "\r\n" + "+" +
                             Utf8Path("中文\\link") + "->" + Utf8Path("Ωμέγα") + "\r\n";
    WriteBytes(Path("list Łódź.trs"), text);
    Outcome run = RunTarsio(L"-import \"" + Path("list Łódź.trs") + L"\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
    // Wine refuses the reparse point, so the lines stay pending as they were.
    EXPECT_EQ(ReadBytes(Path("list Łódź.trs")), text);
    // The parents were made with their exact names; the junction folders were
    // removed again, which happens only once the destination was found.
    std::vector<std::wstring> top = Names(root);
    EXPECT_NE(std::find(top.begin(), top.end(), Wide("Łódź")), top.end());
    EXPECT_NE(std::find(top.begin(), top.end(), Wide("中文")), top.end());
    EXPECT_EQ(Names(Path("Łódź")), std::vector<std::wstring>{Wide("中文")});
    EXPECT_TRUE(Names(Path("Łódź\\中文")).empty());
    EXPECT_TRUE(Names(Path("中文")).empty());
}

TEST_F(UnicodeExe, LegacyListIsReadInTheSystemsAnsiCodePage) {
    // An older version wrote café in code page 1252, Wine's default here.
    ASSERT_TRUE(CreateDirectoryW(Path("data").c_str(), nullptr));
    const std::string text = "+" + Utf8Path("caf\xE9\\j") + "->" + Utf8Path("data") + "\r\n" + "na\xEFve\r\n";
    WriteBytes(Path("old.trs"), text);
    Outcome run = RunTarsio(L"-import \"" + Path("old.trs") + L"\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(ReadBytes(Path("old.trs")), text);
    EXPECT_EQ(Names(Path("café")), std::vector<std::wstring>{});
    std::vector<std::wstring> top = Names(root);
    EXPECT_NE(std::find(top.begin(), top.end(), Wide("café")), top.end());
}

TEST_F(UnicodeExe, ErrorLineNamesTheListInUtf8WhenRedirected) {
    ASSERT_TRUE(CreateDirectoryW(Path("Łódź").c_str(), nullptr));
    WriteBytes(Path("Łódź\\中文.trs"), "+C\n");
    Outcome run = RunTarsio(L"-import \"" + Path("Łódź\\中文.trs") + L"\"");
    EXPECT_EQ(run.out, "Tarsio: import of " + Utf8Path("Łódź\\中文.trs") + " failed: Unable to create directory\r\n");
    EXPECT_EQ(run.status, 1u);
    EXPECT_EQ(ReadBytes(Path("Łódź\\中文.trs")), "+C\n");
}

TEST_F(UnicodeExe, ErrorLineOnAConsoleShowsTheNameExactly) {
    // A console of our own, which Tarsio inherits as cmd's would be.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CreateDirectoryW(Path("Łódź").c_str(), nullptr));
    WriteBytes(Path("Łódź\\Ωμέγα.trs"), "+C\n");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + TarsioExePath() + L"\" -import \"" + Path("Łódź\\Ωμέγα.trs") + L"\"";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The screen's first row holds the line.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    std::wstring cells(static_cast<std::size_t>(info.dwSize.X) * 2, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, cells.data(), static_cast<DWORD>(cells.size()), COORD{0, 0}, &read);
    cells.resize(read);
    CloseHandle(screen);
    FreeConsole();
    const std::wstring expected = L"Tarsio: import of " + Path("Łódź\\Ωμέγα.trs") +
                                  L" failed: Unable to create directory";
    EXPECT_EQ(cells.substr(0, expected.size()), expected);
}

}  // namespace
}  // namespace tarsio
