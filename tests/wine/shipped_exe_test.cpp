// The shipped Tarsio.exe as a file: it holds no test hook, and it imports
// only libraries that Windows never looks for beside it; and run from a
// folder holding stand-ins for the libraries it loads later, it loads none.

#include <windows.h>
#include <dbghelp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/driver.h"
#include "tests/wine/test_hooks.h"
#include "tests/wine/window_steps.h"

namespace tarsio {
namespace {

// A host path as Wine reads it: Z: is /.
std::string ReadBytes(const std::string& hostPath) {
    std::ifstream in("Z:" + hostPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Holds(const std::string& bytes, const std::string& mark) { return bytes.find(mark) != std::string::npos; }

TEST(ShippedExe, HoldsNoTestHook) {
    const std::string request(reinterpret_cast<const char*>(&kTestHookRequest), 4);  // little-endian
    const std::string shipped = ReadBytes(TARSIO_EXE), testBuild = ReadBytes(TARSIO_TEST_EXE);
    ASSERT_GT(shipped.size(), 100000u) << TARSIO_EXE;
    ASSERT_GT(testBuild.size(), 100000u) << TARSIO_TEST_EXE;
    EXPECT_FALSE(Holds(shipped, request)) << "Tarsio.exe holds the request id the hooks compare";
    EXPECT_FALSE(Holds(shipped, kMenuLineFormat)) << "Tarsio.exe holds the menu line format";
    // The marks are found where they are.
    EXPECT_TRUE(Holds(testBuild, request));
    EXPECT_TRUE(Holds(testBuild, kMenuLineFormat));
}

// The libraries a 64-bit PE image imports, at load time and delay-loaded,
// in lower case; nothing when it is no such image. Both directories are
// arrays that end in an entry of zeros.
std::set<std::string> ImportedLibraries(std::string image) {
    std::set<std::string> names;
    PIMAGE_NT_HEADERS nt = ImageNtHeader(image.data());
    if (!nt || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return names;
    auto add = [&](DWORD rva) {
        const char* at = static_cast<const char*>(ImageRvaToVa(nt, image.data(), rva, nullptr));
        std::string name = at ? at : "<outside the image>";
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.insert(name);
    };
    auto directory = [&](USHORT entry) {
        ULONG size;
        return ImageDirectoryEntryToData(image.data(), FALSE, entry, &size);
    };
    for (auto* d = static_cast<IMAGE_IMPORT_DESCRIPTOR*>(directory(IMAGE_DIRECTORY_ENTRY_IMPORT)); d && d->Name; ++d)
        add(d->Name);
    for (auto* d = static_cast<IMAGE_DELAYLOAD_DESCRIPTOR*>(directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT));
         d && d->DllNameRVA; ++d)
        add(d->DllNameRVA);
    return names;
}

// A library that is not one of Windows' known DLLs is looked for in the
// program's folder first, even when imported. Allowed: those known on every
// Windows from 7 to 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session
// Manager\KnownDLLs), and comctl32, which the manifest binds to the system's
// side-by-side assembly.
TEST(ShippedExe, ImportsOnlyKnownDlls) {
    const std::set<std::string> allowed = {"advapi32.dll", "clbcatq.dll",  "comdlg32.dll", "difxapi.dll",
                                           "gdi32.dll",    "imagehlp.dll", "imm32.dll",    "kernel32.dll",
                                           "msctf.dll",    "msvcrt.dll",   "normaliz.dll", "nsi.dll",
                                           "ole32.dll",    "oleaut32.dll", "psapi.dll",    "rpcrt4.dll",
                                           "sechost.dll",  "setupapi.dll", "shell32.dll",  "shlwapi.dll",
                                           "user32.dll",   "wldap32.dll",  "ws2_32.dll",   "comctl32.dll"};
    for (const char* exe : {TARSIO_EXE, TARSIO_TEST_EXE}) {
        std::set<std::string> imports = ImportedLibraries(ReadBytes(exe));
        EXPECT_TRUE(imports.count("kernel32.dll")) << exe << " is no 64-bit PE image importing kernel32";
        for (const std::string& name : imports) EXPECT_TRUE(allowed.count(name)) << exe << " imports " << name;
    }
}

// Wine's load order for these libraries in the processes named Tarsio.exe:
// "native,builtin" looks beside the program first, as Windows does; "" loads
// none. (WINEDLLOVERRIDES set here would not reach a child: it inherits this
// process's Unix environment.)
constexpr const char* kLoadOrderKey = "Software\\Wine\\AppDefaults\\Tarsio.exe";

bool SetLoadOrder(const std::vector<std::string>& libraries, const std::string& order) {
    const std::string key = kLoadOrderKey + std::string("\\DllOverrides");
    bool set = true;
    // Wine names a library by its file name, without ".dll".
    for (std::string name : libraries) {
        if (name.ends_with(".dll")) name.resize(name.size() - 4);
        set = set && RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, order.c_str(),
                                     static_cast<DWORD>(order.size() + 1)) == ERROR_SUCCESS;
    }
    return set;
}

// Stand-ins for hhctrl.ocx and the libraries its viewer loads beside a copy
// of Tarsio.exe, which Wine is told to look for there first, as Windows does:
// the console import, the window's start and F1 load none of them, and F1
// opens the system's viewer. Left out: uxtheme.dll, which Wine's user32 loads
// before the program's entry runs, and msimg32.dll, which Wine's uxtheme
// delay-loads: Wine resolves delay imports in its standard order, whatever
// the process set with SetDefaultDllDirectories. Without the viewer's library
// F1 says so, and the window goes on.
TEST(DllPlanting, NoLibraryBesideTheExeIsLoaded) {
    const std::vector<std::string> planted = {"hhctrl.ocx", "urlmon.dll", "wininet.dll",
                                              "mpr.dll",    "itss.dll",   "ieframe.dll"};
    steps::Place dir("tarsio-planted-");
    // Not this process's current folder, which Windows searches too.
    SetCurrentDirectoryA("C:\\");
    const std::string exe = dir.Install(true);
    const std::string standIn = driver::WindowsPath(TARSIO_PLANTED_DLL);
    for (const std::string& name : planted)
        ASSERT_TRUE(CopyFileA(standIn.c_str(), dir.Path(name).c_str(), FALSE)) << name;
    dir.Write("empty.trs", "");
    struct Cleanup {
        ~Cleanup() { RegDeleteTreeA(HKEY_CURRENT_USER, kLoadOrderKey); }
    } cleanup;
    ASSERT_TRUE(SetLoadOrder(planted, "native,builtin"));
    // The stand-ins' markers left since the last look, which takes them away.
    auto loaded = [&] {
        std::vector<std::string> markers;
        for (const std::string& name : dir.Names())
            if (name.ends_with(".loaded")) markers.push_back(name);
        for (const std::string& name : markers) DeleteFileA(dir.Path(name).c_str());
        return markers;
    };

    EXPECT_EQ(driver::RunTarsio("-import \"" + dir.Path("empty.trs") + "\"", exe).out, "Import successfully\r\n");
    EXPECT_EQ(loaded(), std::vector<std::string>{}) << "console import";
    {
        driver::Tarsio app("", dir.Path(), exe);
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main);
        EXPECT_EQ(loaded(), std::vector<std::string>{}) << "window start";
        steps::ExpectHelpViewerOnF1(app, main);
        EXPECT_EQ(loaded(), std::vector<std::string>{}) << "F1";
    }

    ASSERT_TRUE(SetLoadOrder({"hhctrl.ocx"}, ""));
    driver::Tarsio app("", dir.Path(), exe);
    HWND main = app.StartMainWindow();
    ASSERT_TRUE(main);
    for (int press = 0; press < 2; ++press) {
        steps::PressF1(main);
        HWND box = app.WaitDialog();
        ASSERT_TRUE(box);
        EXPECT_EQ(driver::Tarsio::MessageText(box),
                  "The Help viewer (hhctrl.ocx) could not be loaded from the Windows system folder, so the Help file "
                  "Tarsio.chm cannot be shown.");
        driver::Tarsio::Press(box, IDOK);
        EXPECT_TRUE(driver::WaitFor([&] { return app.Dialogs().empty(); }, 5000));
    }
    EXPECT_FALSE(app.WaitWindow("HH Parent", "", 0));
    EXPECT_FALSE(app.WaitExit(0));
}

}  // namespace
}  // namespace tarsio
