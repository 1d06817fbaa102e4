#include "engine/reparse_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarsio::reparse {
namespace {

using Bytes = std::vector<std::uint8_t>;

// \??\C:\data: 11 code units, N = 22, 42 bytes in all.
const Bytes kDataJunction = {
    0x03, 0x00, 0x00, 0xA0,  // tag 0xA0000003
    0x22, 0x00,              // data length 34
    0x00, 0x00,              // reserved
    0x00, 0x00, 0x16, 0x00,  // substitute name: offset 0, length 22
    0x18, 0x00, 0x00, 0x00,  // print name: offset 24, length 0
    '\\', 0,    '?',  0,    '?', 0,   '\\', 0,   'C', 0,    ':',  0,    '\\',
    0,    'd',  0,    'a',  0,   't', 0,    'a', 0,   0x00, 0x00, 0x00, 0x00,  // both terminators
};

TEST(MountPointBuffer, BuildsTheGoldenBytesAndLengthsThatFollowTheName) {
    EXPECT_EQ(BuildMountPoint(u"\\??\\C:\\data"), kDataJunction);
    for (std::u16string name : {std::u16string(u"\\??\\C:\\"), std::u16string(600, u'x')}) {
        auto b = BuildMountPoint(name);
        ASSERT_TRUE(b);
        const std::size_t n = name.size() * 2;
        EXPECT_EQ(b->size(), n + 20);
        EXPECT_EQ(b->at(4) | (b->at(5) << 8), n + 12);
        EXPECT_EQ(b->at(10) | (b->at(11) << 8), n);
        EXPECT_EQ(b->at(12) | (b->at(13) << 8), n + 2);
    }
    EXPECT_TRUE(BuildMountPoint(std::u16string(kMaxSubstituteUnits, u'x')));
    EXPECT_FALSE(BuildMountPoint(std::u16string(kMaxSubstituteUnits + 1, u'x')));
    // The deletion header: the tag and twenty zero bytes.
    EXPECT_EQ(BuildDeleteHeader(0xA0000003), (std::array<std::uint8_t, 24>{0x03, 0x00, 0x00, 0xA0}));
}

// The name with its terminator, only from a mount point whose lengths and
// offsets lie within the reparse data length and the bytes returned.
TEST(MountPointBuffer, ReadsTheNameOnlyFromDataThatHoldsIt) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> change;
        bool reads;
    } cases[] = {
        {"as built", [](Bytes&) {}, true},
        {"bytes returned beyond the data", [](Bytes& b) { b.resize(42 + 6, 0x41); }, true},
        {"cut before the terminator", [](Bytes& b) { b.resize(16 + 22 + 1); }, false},
        {"cut in the header", [](Bytes& b) { b.resize(15); }, false},
        {"odd name length", [](Bytes& b) { b[10] = 0x15; }, false},
        {"name offset past the end", [](Bytes& b) { b[8] = 0x40; }, false},
        {"data length claims more than returned", [](Bytes& b) { b[4] = 36; }, false},
        {"data length cuts the terminator", [](Bytes& b) { b[4] = 31; }, false},
        {"data length of nothing", [](Bytes& b) { b[4] = 0; }, false},
        // IO_REPARSE_TAG_SYMLINK 0xA000000C keeps its name at offset 20.
        {"a symbolic link's tag", [](Bytes& b) { b[0] = 0x0C; }, false},
    };
    for (const Case& c : cases) {
        Bytes b = kDataJunction;
        c.change(b);
        EXPECT_EQ(ReadSubstituteName(b),
                  c.reads ? std::optional(std::u16string(u"\\??\\C:\\data") + u'\0') : std::nullopt)
            << c.what;
    }

    // A print name stored before the substitute name, as other tools may write.
    Bytes b(16, 0);
    b[0] = 0x03, b[3] = 0xA0;
    for (std::u16string_view s : {u"C:\\x", u"\\??\\D:\\y"}) {  // at 0, 8 bytes; at 10, 16 bytes
        for (char16_t c : s) b.push_back(static_cast<std::uint8_t>(c)), b.push_back(0);
        b.push_back(0), b.push_back(0);
    }
    b[8] = 10, b[10] = 16, b[14] = 8;
    b[4] = static_cast<std::uint8_t>(b.size() - 8);
    EXPECT_EQ(ReadSubstituteName(b), std::u16string(u"\\??\\D:\\y") + u'\0');
}

}  // namespace
}  // namespace tarsio::reparse
