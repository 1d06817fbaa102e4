#include "tests/wine/run_tarsio.h"

namespace tarsio::test {
namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

}  // namespace

std::wstring Wide(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }

std::wstring TarsioExePath() {
    std::wstring path = L"Z:";
    for (char c : std::string(TARSIO_EXE)) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return path;
}

Outcome RunTarsio(const std::wstring& arguments, const std::wstring& exe) {
    Outcome run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    ULONGLONG start = GetTickCount64();
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        // The program writes one line at most: it fits the pipe, so waiting
        // first cannot block it. One that hangs is ended here.
        if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 0xDEAD);
        run.seconds = static_cast<double>(GetTickCount64() - start) / 1000;
        char buffer[4096];
        DWORD got;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got) run.out.append(buffer, got);
        GetExitCodeProcess(pi.hProcess, &run.status);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

Outcome RunTarsio(const std::string& arguments) { return RunTarsio(ToWide(CP_ACP, arguments)); }

}  // namespace tarsio::test
