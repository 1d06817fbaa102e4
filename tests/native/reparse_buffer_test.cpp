#include "engine/reparse_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarsio::reparse {
namespace {

// \??\C:\data: 11 code units, N = 22, 42 bytes in all.
const std::vector<std::uint8_t> kDataJunction = {
    0x03, 0x00, 0x00, 0xA0,  // tag 0xA0000003
    0x22, 0x00,              // data length 34
    0x00, 0x00,              // reserved
    0x00, 0x00, 0x16, 0x00,  // substitute name: offset 0, length 22
    0x18, 0x00, 0x00, 0x00,  // print name: offset 24, length 0
    '\\', 0,    '?',  0,    '?', 0,   '\\', 0,   'C', 0,    ':',  0,    '\\',
    0,    'd',  0,    'a',  0,   't', 0,    'a', 0,   0x00, 0x00, 0x00, 0x00,  // both terminators
};

TEST(MountPointBuffer, BuildsTheGoldenBytesForCData) {
    auto built = BuildMountPoint(u"\\??\\C:\\data");
    ASSERT_TRUE(built);
    EXPECT_EQ(*built, kDataJunction);
    EXPECT_EQ(built->size(), 42u);
}

TEST(MountPointBuffer, LengthsFollowTheNameLength) {
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
}

TEST(MountPointBuffer, ReadsNameAndTerminator) {
    auto name = ReadSubstituteName(kDataJunction);
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, std::u16string(u"\\??\\C:\\data") + u'\0');
}

TEST(MountPointBuffer, RefusesDataThatDoesNotHoldTheName) {
    // Cut before the terminator: 16 + L + 2 must lie within what was returned.
    std::vector<std::uint8_t> cut(kDataJunction.begin(), kDataJunction.begin() + 16 + 22 + 1);
    EXPECT_FALSE(ReadSubstituteName(cut));
    EXPECT_FALSE(ReadSubstituteName(std::span(kDataJunction.data(), 15)));
    std::vector<std::uint8_t> odd = kDataJunction;
    odd[10] = 0x15;  // odd byte length
    EXPECT_FALSE(ReadSubstituteName(odd));
    std::vector<std::uint8_t> farOffset = kDataJunction;
    farOffset[8] = 0x40;
    EXPECT_FALSE(ReadSubstituteName(farOffset));
}

TEST(MountPointBuffer, HoldsTheNameToTheReparseDataLength) {
    struct Case {
        const char* what;
        std::size_t returned;  // bytes the file system returned
        std::uint16_t length;  // the reparse data length field
        bool reads;
    } cases[] = {
        {"exact", 42, 34, true},
        {"bytes returned beyond the data", 42 + 6, 34, true},
        {"data length claims more than returned", 42, 36, false},
        {"data length cuts the terminator", 42, 31, false},
        {"data length of nothing", 42, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> b = kDataJunction;
        b.resize(c.returned, 0x41);
        b[4] = static_cast<std::uint8_t>(c.length), b[5] = static_cast<std::uint8_t>(c.length >> 8);
        EXPECT_EQ(ReadSubstituteName(b).has_value(), c.reads);
    }
}

TEST(MountPointBuffer, ReadsTheNameWhereItsOffsetSays) {
    // A print name stored before the substitute name, as other tools may write.
    std::vector<std::uint8_t> b(16, 0);
    b[0] = 0x03, b[3] = 0xA0;
    auto put = [&](std::u16string_view s) {
        for (char16_t c : s) b.push_back(static_cast<std::uint8_t>(c)), b.push_back(0);
        b.push_back(0), b.push_back(0);
    };
    put(u"C:\\x");          // print name at 0, 8 bytes + terminator
    put(u"\\??\\D:\\y");    // substitute name at 10
    b[8] = 10, b[10] = 16;  // substitute offset 10, length 16
    b[12] = 0, b[14] = 8;   // print offset 0, length 8
    b[4] = static_cast<std::uint8_t>(b.size() - 8);
    auto name = ReadSubstituteName(b);
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, std::u16string(u"\\??\\D:\\y") + u'\0');
}

TEST(MountPointBuffer, IgnoresOtherReparseTags) {
    std::vector<std::uint8_t> symlink = kDataJunction;
    symlink[0] = 0x0C;  // IO_REPARSE_TAG_SYMLINK 0xA000000C keeps its name at offset 20
    EXPECT_FALSE(ReadSubstituteName(symlink));
}

TEST(DeleteHeader, IsTheTagAndTwentyZeroBytes) {
    auto h = BuildDeleteHeader(0xA0000003);
    std::array<std::uint8_t, 24> expected{};
    expected[0] = 0x03, expected[3] = 0xA0;
    EXPECT_EQ(h, expected);
}

}  // namespace
}  // namespace tarsio::reparse
