// tarsio-sim: the product's console entry on the simulated platform, plus
// small tools to look at what it made.
//   tarsio-sim -import FILE      exactly as Tarsio.exe -import FILE
//   tarsio-sim read PATH         the junction's destination, or exit 1
// Paths are Windows paths on the simulated drives (TARSIO_SIM_ROOT).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/entry.h"
#include "engine/junction.h"

namespace {

int Usage() {
    std::fputs("usage: tarsio-sim -import FILE | read PATH\n", stderr);
    return 2;
}

int Read(const std::string& path) {
    std::string destination;
    if (!tarsio::ReadJunctionDestination(path, destination)) return 1;
    // Positions 5 to length - 1: without the native prefix and the terminator.
    std::string plain = destination.size() > 5 ? destination.substr(4, destination.size() - 5) : std::string();
    std::printf("%s\n", plain.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* root = std::getenv("TARSIO_SIM_ROOT");
    if (!root || !*root) {
        std::fputs("tarsio-sim: set TARSIO_SIM_ROOT to the folder that holds the simulated drives\n", stderr);
        return 2;
    }
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() >= 2 && args[1] == "read") return args.size() == 3 ? Read(args[2]) : Usage();
    return tarsio::RunTarsio(tarsio::JoinCommandLine(args), [] {
        std::fputs("tarsio-sim: the window mode needs Windows; run Tarsio.exe\n", stderr);
        return 2;
    });
}
