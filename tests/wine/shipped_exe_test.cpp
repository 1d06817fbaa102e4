// The shipped Tarsio.exe as a file: it holds no test hook, and it imports
// only libraries that Windows never looks for beside it; and run from a
// folder holding stand-ins for the libraries it loads later, it loads none.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/scratch.h"
#include "tests/wine/run_tarsio.h"
#include "tests/wine/test_hooks.h"
#include "tests/wine/window_steps.h"

namespace tarsio {
namespace {

// A host path as Wine reads it: Z: is /.
std::string ReadBytes(const std::string& hostPath) {
    std::ifstream in("Z:" + hostPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Holds(const std::string& bytes, const std::string& mark) {
    return std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end()) != bytes.end();
}

TEST(ShippedExe, HoldsNoTestHook) {
    const unsigned long request = kTestHookRequest;
    std::string requestBytes(4, '\0');
    for (int i = 0; i < 4; ++i) requestBytes[i] = static_cast<char>((request >> (8 * i)) & 0xFF);
    const struct {
        const char* what;
        std::string mark;
    } marks[] = {
        {"the request id the hooks compare", requestBytes},
        {"the menu line format", kMenuLineFormat},
        {"the hooks' environment name", "TARSIO_TEST_HOOKS"},
    };
    const std::string shipped = ReadBytes(TARSIO_EXE), testBuild = ReadBytes(TARSIO_TEST_EXE);
    ASSERT_GT(shipped.size(), 100000u) << TARSIO_EXE;
    ASSERT_GT(testBuild.size(), 100000u) << TARSIO_TEST_EXE;
    for (const auto& m : marks) {
        EXPECT_FALSE(Holds(shipped, m.mark)) << "Tarsio.exe holds " << m.what;
    }
    // The marks are found where they are: the test build carries the first two.
    EXPECT_TRUE(Holds(testBuild, marks[0].mark));
    EXPECT_TRUE(Holds(testBuild, marks[1].mark));
}

// The libraries a PE image imports, at load time and delay-loaded, in lower
// case; nothing when the image is not a well-formed 64-bit one.
std::optional<std::set<std::string>> ImportedLibraries(const std::string& image) {
    auto read = [&](std::size_t offset, auto& value) {
        if (offset > image.size() || image.size() - offset < sizeof value) return false;
        std::memcpy(&value, image.data() + offset, sizeof value);
        return true;
    };
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS64 nt;
    if (!read(0, dos) || !read(dos.e_lfanew, nt) || nt.Signature != IMAGE_NT_SIGNATURE ||
        nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return std::nullopt;
    const std::size_t sections = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                 nt.FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva) -> std::optional<std::size_t> {
        IMAGE_SECTION_HEADER section;
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections && read(sections + i * sizeof section, section); ++i)
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.SizeOfRawData)
                return section.PointerToRawData + (rva - section.VirtualAddress);
        return std::nullopt;
    };
    std::set<std::string> names;
    auto addName = [&](DWORD rva) {
        std::optional<std::size_t> at = fileOffset(rva);
        if (!at || *at >= image.size()) return false;
        std::string name = image.c_str() + *at;
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        return names.insert(name), true;
    };
    // Both directories are arrays that end in an entry of zeros.
    const IMAGE_DATA_DIRECTORY* directories = nt.OptionalHeader.DataDirectory;
    if (std::optional<std::size_t> at = fileOffset(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress)) {
        IMAGE_IMPORT_DESCRIPTOR entry;
        for (; read(*at, entry) && entry.Name; *at += sizeof entry)
            if (!addName(entry.Name)) return std::nullopt;
    }
    if (std::optional<std::size_t> at = fileOffset(directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress)) {
        IMAGE_DELAYLOAD_DESCRIPTOR entry;
        for (; read(*at, entry) && entry.DllNameRVA; *at += sizeof entry)
            if (!addName(entry.DllNameRVA)) return std::nullopt;
    }
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
        std::optional<std::set<std::string>> imports = ImportedLibraries(ReadBytes(exe));
        ASSERT_TRUE(imports) << exe << " is no 64-bit PE image";
        EXPECT_TRUE(imports->count("kernel32.dll")) << exe;
        for (const std::string& name : *imports) EXPECT_TRUE(allowed.count(name)) << exe << " imports " << name;
    }
}

// Wine's load order for libraries in the processes named Tarsio.exe, until
// the test ends: "native,builtin" looks beside the program first, as Windows
// does; "" loads none. (WINEDLLOVERRIDES set here would not reach a child: it
// inherits this process's Unix environment.)
class TarsioLoadOrder {
public:
    ~TarsioLoadOrder() { RegDeleteTreeA(HKEY_CURRENT_USER, kProgramKey); }

    bool Set(const std::vector<std::string>& libraries, const std::string& order) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (kProgramKey + std::string("\\DllOverrides")).c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        bool set = true;
        // Wine names a library by its file name, without ".dll".
        for (std::string name : libraries) {
            if (name.ends_with(".dll")) name.resize(name.size() - 4);
            set = set && RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order.c_str()),
                                        static_cast<DWORD>(order.size() + 1)) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
        return set;
    }

private:
    static constexpr const char* kProgramKey = "Software\\Wine\\AppDefaults\\Tarsio.exe";
};

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
    test::Scratch dir;
    // Not this process's current folder, which Windows searches too.
    SetCurrentDirectoryA("C:\\");
    const std::string exe = driver::TarsioExe(), built = exe.substr(0, exe.find_last_of('\\') + 1);
    std::string standIn = "Z:" TARSIO_PLANTED_DLL;
    std::replace(standIn.begin(), standIn.end(), '/', '\\');
    ASSERT_TRUE(CopyFileA(exe.c_str(), dir.Path("Tarsio.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((built + "Tarsio.chm").c_str(), dir.Path("Tarsio.chm").c_str(), FALSE));
    for (const std::string& name : planted)
        ASSERT_TRUE(CopyFileA(standIn.c_str(), dir.Path(name).c_str(), FALSE)) << name;
    dir.WriteFile("empty.trs", "");
    TarsioLoadOrder order;
    ASSERT_TRUE(order.Set(planted, "native,builtin"));
    // The stand-ins' markers left since the last look, which takes them away.
    auto loaded = [&] {
        std::vector<std::string> markers;
        for (const std::string& name : dir.Names())
            if (name.size() > 7 && name.ends_with(".loaded")) markers.push_back(name);
        for (const std::string& name : markers) DeleteFileA(dir.Path(name).c_str());
        return markers;
    };

    test::Outcome run = test::RunTarsio(L"-import \"" + test::Wide(dir.Path("empty.trs")) + L"\"",
                                        test::Wide(dir.Path("Tarsio.exe")));
    EXPECT_EQ(run.out, "Import successfully\r\n");
    EXPECT_EQ(loaded(), std::vector<std::string>{}) << "console import";
    {
        driver::Tarsio app("", dir.Path(), dir.Path("Tarsio.exe"));
        HWND main = app.StartMainWindow();
        ASSERT_TRUE(main);
        EXPECT_EQ(loaded(), std::vector<std::string>{}) << "window start";
        steps::ExpectHelpViewerOnF1(app, main);
        EXPECT_EQ(loaded(), std::vector<std::string>{}) << "F1";
    }

    ASSERT_TRUE(order.Set({"hhctrl.ocx"}, ""));
    driver::Tarsio app("", dir.Path(), dir.Path("Tarsio.exe"));
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
