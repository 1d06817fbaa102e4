#pragma once
// The program entry shared by Tarsio.exe and tarsio-sim: decides the run
// mode from the command line and runs the console import itself.

#include <functional>
#include <string_view>

namespace tarsio {

// Where the console import writes its line (`out`) and an error (`err`):
// text in the process code page, lines ending in "\n".
struct ConsoleText {
    std::function<void(std::string_view)> out;
    std::function<void(std::string_view)> err;
};

// Standard output and error of the C library, as they are.
ConsoleText StdioText();

// Runs the program for `commandLine` (program name first) and returns the
// exit status. The window mode is `runWindow`'s. An error raised by the
// import ends the run with a line on `err` naming the list file, and status 1.
int RunTarsio(std::string_view commandLine, const std::function<int()>& runWindow,
              const ConsoleText& text = StdioText());

}  // namespace tarsio
