#pragma once
// The command line: its split into parameters and the run mode it selects.

#include <string>
#include <string_view>
#include <vector>

namespace tarsio {

// Splits a command line as the program reads its parameters: characters 1
// to 32 separate them, double quotes open and close a quoted stretch and are
// dropped, and an empty pair "" where a parameter would begin is skipped.
// The list ends at the first empty parameter. The first entry is the program
// name.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

enum class RunMode {
    ConsoleImport,  // "-import FILE": import and print one line
    Quit,           // two parameters, another keyword: end at once
    Window,         // any other count
};

struct ModeChoice {
    RunMode mode;
    std::string listFile;
};

// Chooses the run mode from the parameters after the program name.
ModeChoice ChooseRunMode(const std::vector<std::string>& parameters);

// Joins arguments into a command line that SplitCommandLine reads back as
// the same parameters (quoting those with blanks, controls or nothing).
std::string JoinCommandLine(const std::vector<std::string>& arguments);

}  // namespace tarsio
