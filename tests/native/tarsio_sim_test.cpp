// tarsio-sim run as a separate process, the way outside checks use it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "tests/native/sim_helpers.h"

namespace tarsio {
namespace {

struct Result {
    int status;
    std::string out;
};

// Runs tarsio-sim with `args`; `streams` picks what is captured.
Result RunSim(const std::string& args, const char* streams = " 2>/dev/null") {
    std::string command = std::string(TARSIO_SIM_EXE) + " " + args + streams;
    Result r{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe)) r.out += buffer.data();
    int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Each command twice: once for its output, once for its error lines.
void Expect(const std::string& args, const std::string& out, const std::string& err, int status) {
    Result r = RunSim(args);
    EXPECT_EQ(r.status, status) << args;
    EXPECT_EQ(r.out, out) << args;
    EXPECT_EQ(RunSim(args, " 2>&1 >/dev/null").out, err) << args;
}

TEST(TarsioSim, ImportReadModesStatusAndErrorLines) {
    test::Scratch fs;
    fs.MakeDir("data");
    fs.MakeDir("folder");
    fs.MakeDir("lists");
    fs.WriteFile("lists\\my list.trs", "+C:\\links\\web->C:\\data\n");
    fs.WriteFile("fails.trs", "+C:\\n->C:\\data\\none\n");
    fs.WriteFile("bad.trs", "+x\n");
    struct Case {
        std::string args, out, err;
        int status;
    } cases[] = {
        {"-import 'C:\\lists\\my list.trs'", "Import successfully\n", "", 0},
        {"read 'C:\\links\\web'", "C:\\data\n", "", 0},
        {"read 'C:\\data'", "", "", 1},
        {"-import 'C:\\fails.trs'", "Import had errors\n", "", 0},
        {"-IMPORT 'C:\\missing.trs'", "Import had errors\n", "", 0},
        {"/import 'C:\\missing.trs'", "", "", 0},  // another keyword: quietly nothing
        {"-import 'C:\\bad.trs'", "", "Tarsio: import of C:\\bad.trs failed: Unable to create directory\n", 1},
        {"-import 'C:\\*.trs'", "", "Tarsio: import of C:\\*.trs failed: Invalid filename (system error 3)\n", 1},
        {"-import 'C:\\folder'", "", "Tarsio: import of C:\\folder failed: File access denied (system error 5)\n", 1},
        {"", "", "tarsio-sim: the window mode needs Windows; run Tarsio.exe\n", 2},
    };
    for (const Case& c : cases) Expect(c.args, c.out, c.err, c.status);
    EXPECT_EQ(test::HostReparse(fs.HostPath("C:\\links\\web")), test::MountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(fs.ReadFile("lists\\my list.trs"), "C:\\links\\web->C:\\data\r\n");
    EXPECT_EQ(fs.ReadFile("bad.trs"), "+x\n");
}

TEST(TarsioSim, ExportsTheJunctionsOfTheDrivesNamed) {
    test::Scratch fs;
    fs.AddDrive('D');
    fs.MakeDir("data");
    fs.WriteFile("list.trs", "+C:\\links\\web->C:\\data\n+D:\\j->C:\\data\n");
    ASSERT_EQ(RunSim("-import 'C:\\list.trs'").out, "Import successfully\n");
    // The drive letters given, and the lines written.
    for (auto [letters, expected] : {std::pair{"dC", "+D:\\j->C:\\data\r\n+C:\\links\\web->C:\\data\r\n"},
                                     {"C", "+C:\\links\\web->C:\\data\r\n"},
                                     // The default drives.
                                     {"", "+C:\\links\\web->C:\\data\r\n+D:\\j->C:\\data\r\n"}}) {
        Expect("export 'C:\\out file.trs' " + std::string(letters), "", "", 0);
        EXPECT_EQ(fs.ReadFile("out file.trs"), expected) << letters;
    }
    Expect("export 'C:\\missing\\out.trs'", "", "tarsio-sim: export failed: Invalid filename (system error 3)\n", 1);
    EXPECT_EQ(RunSim("export 'C:\\out.trs' C:").status, 2);
    EXPECT_EQ(RunSim("export").status, 2);

    // What it left out goes to stderr, as the window shows it.
    fs.MakeDir("share");
    test::HostMountPoint(fs.HostPath("C:\\share"), u"\\??\\UNC\\server\\share");
    Expect("export 'C:\\out.trs' C", "",
           "tarsio-sim: Exported 1 junction. Left out:\n- junctions that an import would not make again from "
           "their line (a network destination, or a name that Windows reads otherwise): 1 (C:\\share)\n",
           0);
}

}  // namespace
}  // namespace tarsio
