// The shipped Tarsio.exe holds no test hook: its bytes contain none of the
// hooks' marks, which the test build Tarsio-test.exe does contain.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/wine/test_hooks.h"

namespace tarsio {
namespace {

// A host path as Wine reads it: Z: is /.
std::string ReadBytes(const std::string& hostPath) {
    std::ifstream in("Z:" + hostPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Holds(const std::string& bytes, const std::string& mark) {
    return std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end()) != bytes.end();
}

TEST(ShippedExe, HoldsNoTestHook) {
    const unsigned long request = kTestHookRequest;
    std::string requestBytes(4, '\0');
    for (int i = 0; i < 4; ++i) requestBytes[i] = static_cast<char>((request >> (8 * i)) & 0xFF);
    const struct {
        const char* what;
        std::string mark;
    } marks[] = {
        {"the request id the hooks compare", requestBytes},
        {"the menu line format", kMenuLineFormat},
        {"the hooks' environment name", "TARSIO_TEST_HOOKS"},
    };
    const std::string shipped = ReadBytes(TARSIO_EXE), testBuild = ReadBytes(TARSIO_TEST_EXE);
    ASSERT_GT(shipped.size(), 100000u) << TARSIO_EXE;
    ASSERT_GT(testBuild.size(), 100000u) << TARSIO_TEST_EXE;
    for (const auto& m : marks) {
        EXPECT_FALSE(Holds(shipped, m.mark)) << "Tarsio.exe holds " << m.what;
    }
    // The marks are found where they are: the test build carries the first two.
    EXPECT_TRUE(Holds(testBuild, marks[0].mark));
    EXPECT_TRUE(Holds(testBuild, marks[1].mark));
}

}  // namespace
}  // namespace tarsio
