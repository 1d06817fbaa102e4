// The real Tarsio.exe under Wine: the console import from end to end.
// Wine refuses to set reparse points (error 50), so pending entries fail.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/os.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

// TARSIO_EXE is the host path of the build's Tarsio.exe; Wine's Z: is /.
std::string TarsioExe() {
    std::string path = "Z:";
    for (char c : std::string(TARSIO_EXE)) path.push_back(c == '/' ? '\\' : c);
    return path;
}

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string out;
};

Outcome RunTarsio(const std::string& arguments) {
    Outcome run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + TarsioExe() + "\" " + arguments;
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) run.out.append(buffer, got);
        WaitForSingleObject(pi.hProcess, 30000);
        GetExitCodeProcess(pi.hProcess, &run.status);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

TEST(TarsioExe, PendingEntryPrintsImportHadErrorsAndKeepsTheMarker) {
    Scratch fs;
    fs.MakeDir("data");
    const std::string text = "+" + fs.Path("links\\web") + "->" + fs.Path("data") + "\r\n";
    fs.WriteFile("list.trs", text);
    Outcome run = RunTarsio("-import \"" + fs.Path("list.trs") + "\"");
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(fs.ReadFile("list.trs"), text);
    // Setting the reparse point failed, so the new, empty directory is gone.
    EXPECT_EQ(os::GetFileAttributesA(fs.Path("links\\web").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(os::GetFileAttributesA(fs.Path("links").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TarsioExe, DoneEntriesPrintImportSuccessfullyAndAreRewrittenWithCrLf) {
    Scratch fs;
    fs.WriteFile("done list.trs", "C:\\a->C:\\b\nplain text\n\nC:\\c->C:\\d");
    Outcome run = RunTarsio("-IMPORT \"" + fs.Path("done list.trs") + "\"");
    EXPECT_EQ(run.out, "Import successfully\r\n");
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(fs.ReadFile("done list.trs"), "C:\\a->C:\\b\r\nplain text\r\n\r\nC:\\c->C:\\d\r\n");
}

TEST(TarsioExe, MissingListPrintsImportHadErrors) {
    Scratch fs;
    Outcome run = RunTarsio("-import " + fs.Path("none.trs"));
    EXPECT_EQ(run.out, "Import had errors\r\n");
    EXPECT_EQ(run.status, 0u);
}

TEST(TarsioExe, TwoParametersWithAnotherKeywordPrintNothing) {
    Scratch fs;
    fs.WriteFile("list.trs", "+C:\\x->C:\\y\n");
    for (const char* keyword : {"/import", "-export", "import"}) {
        Outcome run = RunTarsio(std::string(keyword) + " " + fs.Path("list.trs"));
        EXPECT_EQ(run.out, "") << keyword;
        EXPECT_EQ(run.status, 0u) << keyword;
    }
    EXPECT_EQ(fs.ReadFile("list.trs"), "+C:\\x->C:\\y\n");
}

TEST(TarsioExe, ImportErrorIsOneLineAndANonZeroStatus) {
    Scratch fs;
    fs.WriteFile("broken.trs", "+C\n");
    Outcome run = RunTarsio("-import " + fs.Path("broken.trs"));
    EXPECT_EQ(run.out, "Tarsio: import of " + fs.Path("broken.trs") + " failed: Unable to create directory\r\n");
    EXPECT_EQ(run.status, 1u);
    EXPECT_EQ(fs.ReadFile("broken.trs"), "+C\n");
}

}  // namespace
}  // namespace tarsio
