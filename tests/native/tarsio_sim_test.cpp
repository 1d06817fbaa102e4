// tarsio-sim run as a separate process, the way outside checks use it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "engine/reparse_buffer.h"
#include "tests/native/sim_helpers.h"
#include "tests/support/scratch.h"

namespace tarsio {
namespace {

using test::Scratch;

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

TEST(TarsioSim, ImportsThenReadsBack) {
    Scratch fs;
    fs.MakeDir("data");
    fs.MakeDir("lists");
    fs.WriteFile("lists\\my list.trs", "+C:\\links\\web->C:\\data\n");

    Result r = RunSim("-import 'C:\\lists\\my list.trs'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Import successfully\n");
    EXPECT_EQ(test::HostReparse(fs.HostPath("C:\\links\\web")), *reparse::BuildMountPoint(u"\\??\\C:\\data"));
    EXPECT_EQ(fs.ReadFile("lists\\my list.trs"), "C:\\links\\web->C:\\data\r\n");

    r = RunSim("read 'C:\\links\\web'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "C:\\data\n");
    EXPECT_EQ(RunSim("read 'C:\\data'").status, 1);
}

TEST(TarsioSim, ModesStatusAndErrorLines) {
    Scratch fs;
    fs.MakeDir("data");
    fs.MakeDir("folder");
    fs.WriteFile("ctrlz.trs", "+C:\\j->C:\\data\r\n\x1a+C:\\k->C:\\data\r\n");
    fs.WriteFile("cr.trs", "C:\\a->C:\\b\r+C:\\m->C:\\data\r");
    fs.WriteFile("fails.trs", "+C:\\n->C:\\data\\none\n");
    fs.WriteFile("bad.trs", "+x\n");
    struct Case {
        std::string args, out, err;
        int status;
    } cases[] = {
        {"-import 'C:\\ctrlz.trs'", "Import successfully\n", "", 0},
        {"-import 'C:\\cr.trs'", "Import successfully\n", "", 0},
        {"-import 'C:\\fails.trs'", "Import had errors\n", "", 0},
        {"-IMPORT 'C:\\missing.trs'", "Import had errors\n", "", 0},
        {"/import 'C:\\missing.trs'", "", "", 0},  // another keyword: quietly nothing
        {"-import 'C:\\bad.trs'", "", "Tarsio: import of C:\\bad.trs failed: Unable to create directory\n", 1},
        {"-import COM1", "", "Tarsio: import of COM1 failed: Invalid filename (system error 3)\n", 1},
        {"-import NUL", "", "Tarsio: import of NUL failed: Invalid filename (system error 3)\n", 1},
        {"-import 'C:\\*.trs'", "", "Tarsio: import of C:\\*.trs failed: Invalid filename (system error 3)\n", 1},
        {"-import 'C:\\folder'", "", "Tarsio: import of C:\\folder failed: File access denied (system error 5)\n", 1},
        {"", "", "tarsio-sim: the window mode needs Windows; run Tarsio.exe\n", 2},
    };
    for (const Case& c : cases) {
        Result out = RunSim(c.args);
        EXPECT_EQ(out.status, c.status) << c.args;
        EXPECT_EQ(out.out, c.out) << c.args;
        EXPECT_EQ(RunSim(c.args, " 2>&1 >/dev/null").out, c.err) << c.args;
    }
    EXPECT_EQ(fs.ReadFile("ctrlz.trs"), "C:\\j->C:\\data\r\n\x1a+C:\\k->C:\\data\r\n");
    EXPECT_EQ(fs.ReadFile("cr.trs"), "C:\\a->C:\\b\r\nC:\\m->C:\\data\r\n");
    EXPECT_EQ(fs.ReadFile("bad.trs"), "+x\n");
}

TEST(TarsioSim, ExportsTheJunctionsOfTheDrivesNamed) {
    Scratch fs;
    fs.AddDrive('D');
    fs.MakeDir("data");
    fs.WriteFile("list.trs", "+C:\\links\\web->C:\\data\n+D:\\j->C:\\data\n");
    ASSERT_EQ(RunSim("-import 'C:\\list.trs'").out, "Import successfully\n");

    struct Case {
        std::string letters;
        std::string expected;
    } cases[] = {
        {"dC", "+D:\\j->C:\\data\r\n+C:\\links\\web->C:\\data\r\n"},
        {"C", "+C:\\links\\web->C:\\data\r\n"},
        {"", "+C:\\links\\web->C:\\data\r\n+D:\\j->C:\\data\r\n"},  // the default drives
    };
    for (const Case& c : cases) {
        Result r = RunSim("export 'C:\\out file.trs' " + c.letters, " 2>&1");
        EXPECT_EQ(r.status, 0) << c.letters;
        EXPECT_EQ(r.out, "") << c.letters;
        EXPECT_EQ(fs.ReadFile("out file.trs"), c.expected) << c.letters;
    }

    // What it left out goes to stderr, as the window shows it.
    fs.MakeDir("share");
    std::vector<std::uint8_t> share = *reparse::BuildMountPoint(u"\\??\\UNC\\server\\share");
    ASSERT_TRUE(SetReparseData("C:\\share", share.data(), static_cast<std::uint32_t>(share.size())));
    Result left = RunSim("export 'C:\\out.trs' C", " 2>&1 >/dev/null");
    EXPECT_EQ(left.status, 0);
    EXPECT_EQ(left.out,
              "tarsio-sim: Exported 1 junction. Left out:\n- junctions that an import would not make again from "
              "their line (a network destination, or a name that Windows reads otherwise): 1 (C:\\share)\n");

    Result failed = RunSim("export 'C:\\missing\\out.trs'", " 2>&1 >/dev/null");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "tarsio-sim: export failed: Invalid filename (system error 3)\n");
    EXPECT_EQ(RunSim("export 'C:\\out.trs' C:").status, 2);
    EXPECT_EQ(RunSim("export").status, 2);
}

}  // namespace
}  // namespace tarsio
