#pragma once
// Runs the build's Tarsio.exe as a console program under Wine and collects
// what it prints, for the tests that drive the exe from outside.

#include <windows.h>

#include <string>

namespace tarsio::test {

std::wstring Wide(const std::string& utf8);

// Windows path of the exe under test: TARSIO_EXE is its host path, and
// Wine's Z: is /.
std::wstring TarsioExePath();

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string out;     // standard output and error, as bytes
    double seconds = 0;  // from start to end of the process
};

// Runs the exe (the build's, or `exe`) with `arguments` after its quoted
// name; one that is not done after 20 seconds is ended.
Outcome RunTarsio(const std::wstring& arguments, const std::wstring& exe = TarsioExePath());
// The same with the arguments in the ANSI code page.
Outcome RunTarsio(const std::string& arguments);

}  // namespace tarsio::test
