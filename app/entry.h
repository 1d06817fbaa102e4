#pragma once
// The program entry shared by Tarsio.exe and tarsio-sim: decides the run
// mode from the command line and runs the console import itself.

#include <cstdio>
#include <functional>
#include <string_view>

namespace tarsio {

// Runs the program for `commandLine` (program name first) and returns the
// exit status. The window mode is `runWindow`'s. An error raised by the
// import ends the run with a line on `err` and status 1.
int RunTarsio(std::string_view commandLine, const std::function<int()>& runWindow, std::FILE* out = stdout,
              std::FILE* err = stderr);

}  // namespace tarsio
