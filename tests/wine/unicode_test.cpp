// The real Tarsio.exe under Wine with names beyond any legacy code page: its
// manifest, the console import of UTF-8 lists and its error line. The test
// itself runs in Wine's legacy code page (1252), so it names files wide.

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wine/driver.h"
#include "tests/wine/window_steps.h"

namespace tarsio {
namespace {

using driver::Outcome;
using driver::RunTarsio;
using driver::Wide;
using Names = std::vector<std::string>;

class UnicodeExe : public ::testing::Test {
protected:
    steps::Place place{"tarsio-unicode-"};
};

TEST_F(UnicodeExe, ManifestAsksForUtf8DetachedConsoleCommonControlsAndLongPaths) {
    HMODULE exe = LoadLibraryExW(Wide(driver::TarsioExe()).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
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

// The folders made with exactly their names; and the error line of a list
// that stops the import names it in UTF-8, redirected.
TEST_F(UnicodeExe, ImportOfAUtf8ListMakesTheFoldersWithExactlyTheirNames) {
    std::filesystem::create_directory(place.At("Ωμέγα"));
    const std::string text = "+" + place.Path("Łódź\\中文\\Кириллица") + "->" + place.Path("Ωμέγα") + "\r\n" + "+" +
                             place.Path("中文\\link") + "->" + place.Path("Ωμέγα") + "\r\n";
    place.Write("list Łódź.trs", text);
    Outcome run = RunTarsio("-import \"" + place.Path("list Łódź.trs") + "\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
    // Wine refuses the reparse point, so the lines stay pending as they were.
    EXPECT_EQ(place.Read("list Łódź.trs"), text);
    // The parents were made with their exact names; the junction folders were
    // removed again, which happens only once the destination was found.
    EXPECT_EQ(place.Names(), (Names{"list Łódź.trs", "Łódź", "Ωμέγα", "中文"}));
    EXPECT_EQ(place.Names("Łódź"), Names{"中文"});
    EXPECT_EQ(place.Names("Łódź\\中文"), Names{});
    EXPECT_EQ(place.Names("中文"), Names{});

    place.Write("Łódź\\中文.trs", "+C\n");
    run = RunTarsio("-import \"" + place.Path("Łódź\\中文.trs") + "\"");
    EXPECT_EQ(run.out,
              "Tarsio: import of " + place.Path("Łódź\\中文.trs") + " failed: Unable to create directory\r\n");
    EXPECT_EQ(run.status, 1u);
    EXPECT_EQ(place.Read("Łódź\\中文.trs"), "+C\n");
}

TEST_F(UnicodeExe, LegacyListIsReadInTheSystemsAnsiCodePage) {
    // An older version wrote café in code page 1252, Wine's default here.
    std::filesystem::create_directory(place.At("data"));
    const std::string text = "+" + place.Path("caf\xE9\\j") + "->" + place.Path("data") + "\r\n" + "na\xEFve\r\n";
    place.Write("old.trs", text);
    Outcome run = RunTarsio("-import \"" + place.Path("old.trs") + "\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(place.Read("old.trs"), text);
    EXPECT_EQ(place.Names(), (Names{"café", "data", "old.trs"}));
    EXPECT_EQ(place.Names("café"), Names{});
}

TEST_F(UnicodeExe, ErrorLineOnAConsoleShowsTheNameExactly) {
    // A console of our own, which Tarsio inherits as cmd's would be.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    std::filesystem::create_directory(place.At("Łódź"));
    place.Write("Łódź\\Ωμέγα.trs", "+C\n");
    EXPECT_EQ(RunTarsio("-import \"" + place.Path("Łódź\\Ωμέγα.trs") + "\"", driver::TarsioExe(), true).status, 1u);
    // The screen's first row holds the line.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    std::wstring cells(static_cast<std::size_t>(info.dwSize.X) * 2, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, cells.data(), static_cast<DWORD>(cells.size()), COORD{0, 0}, &read);
    cells.resize(read);
    CloseHandle(screen);
    FreeConsole();
    const std::wstring expected = Wide("Tarsio: import of " + place.Path("Łódź\\Ωμέγα.trs") +
                                       " failed: Unable to create directory");
    EXPECT_EQ(cells.substr(0, expected.size()), expected);
}

}  // namespace
}  // namespace tarsio
