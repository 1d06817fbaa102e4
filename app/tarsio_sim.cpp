// tarsio-sim: the product's console entry on the simulated platform, plus
// small tools to look at what it made.
//   tarsio-sim -import FILE      exactly as Tarsio.exe -import FILE
//   tarsio-sim read PATH         the junction's destination, or exit 1
//   tarsio-sim export FILE [LETTERS]
//                                exports the junctions of the drives LETTERS
//                                (e.g. CD; the default drives without) to FILE;
//                                what it left out, and why, goes to stderr
// Paths are Windows paths on the simulated drives (TARSIO_SIM_ROOT).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/entry.h"
#include "engine/error.h"
#include "engine/junction.h"
#include "listfile/export.h"
#include "listfile/find_file.h"

namespace {

int Usage() {
    std::fputs("usage: tarsio-sim -import FILE | read PATH | export FILE [LETTERS]\n", stderr);
    return 2;
}

int Read(const std::string& path) {
    std::string destination;
    if (!tarsio::ReadJunctionDestination(path, destination)) return 1;
    std::printf("%s\n", tarsio::PlainDestination(destination).c_str());
    return 0;
}

// LETTERS as a drive list; false when it holds anything but letters.
bool ParseDrives(const std::string& letters, tarsio::DriveList& drives) {
    for (char c : letters) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') return false;
        drives.emplace_back(1, c);
    }
    return true;
}

// What the export left out goes to stderr, as the window shows it.
int Export(const std::string& fileName, const tarsio::DriveList& drives) {
    tarsio::TFindFile finder;
    tarsio::SetUpFinder(finder);
    try {
        std::string report = tarsio::LeftOutReport(tarsio::ExportJunctions(finder, drives, fileName));
        if (!report.empty()) std::fprintf(stderr, "tarsio-sim: %s\n", report.c_str());
        return 0;
    } catch (const tarsio::TarsioError& e) {
        std::fprintf(stderr, "tarsio-sim: export failed: %s (system error %lu)\n", e.what(), e.code());
    }
    return 1;
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
    if (args.size() >= 2 && args[1] == "export") {
        tarsio::DriveList drives;
        if (args.size() < 3 || args.size() > 4 || (args.size() == 4 && !ParseDrives(args[3], drives))) return Usage();
        return Export(args[2], drives);
    }
    return tarsio::RunTarsio(tarsio::JoinCommandLine(args), [] {
        std::fputs("tarsio-sim: the window mode needs Windows; run Tarsio.exe\n", stderr);
        return 2;
    });
}
