// The program's one pair of conversions, against the simulated platform
// (process code page UTF-8) and under Wine against the real kernel32 (the
// test runs in the legacy code page 1252 there): every text converts exactly
// or is refused, never mapped to a look-alike.

#include "platform/ansi.h"

#include <gtest/gtest.h>

#include "platform/os.h"

namespace tarsio {
namespace {

WideString W(std::u16string_view s) { return WideString(s.begin(), s.end()); }

TEST(Conversions, ExactInTheProcessCodePageOrRefused) {
    const bool utf8 = os::GetACP() == CP_UTF8;
    struct Case {
        const char* what;
        std::u16string text;
        bool in1252;
        bool inUtf8;
    } cases[] = {
        {"ASCII", u"C:\\data", true, true},
        {"Latin-1", u"C:\\café", true, true},
        {"Polish (best fit would give Lodz)", u"C:\\Łódź", false, true},
        {"Cyrillic", u"C:\\Москва", false, true},
        {"Greek", u"C:\\Ωμέγα", false, true},
        {"CJK", u"C:\\中文", false, true},
        {"outside the BMP", u"C:\\𝄞", false, true},
        {"lone surrogate", std::u16string(u"C:\\") + char16_t(0xD800), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        os::SetLastError(0);
        std::optional<std::string> text = WideToAnsi(W(c.text));
        if (utf8 ? c.inUtf8 : c.in1252) {
            ASSERT_TRUE(text);
            EXPECT_EQ(AnsiToWide(*text), W(c.text));
        } else {
            EXPECT_FALSE(text);
            EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
        }
    }
}

TEST(Conversions, Utf8WhateverTheProcessCodePage) {
    EXPECT_EQ(WideToAnsi(W(u"Łódź 中文"), CP_UTF8), "\xC5\x81\xC3\xB3\x64\xC5\xBA \xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(AnsiToWide("\xC5\x81\xC3\xB3\x64\xC5\xBA", CP_UTF8), W(u"Łódź"));
    for (const char* bad : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8"}) {
        os::SetLastError(0);
        EXPECT_FALSE(AnsiToWide(bad, CP_UTF8)) << bad;
        EXPECT_EQ(os::GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    }
    EXPECT_FALSE(WideToAnsi(W(std::u16string(1, char16_t(0xDC00))), CP_UTF8));
    EXPECT_EQ(WideToAnsi(WideString()), "");
    EXPECT_EQ(AnsiToWide(""), WideString());
}

}  // namespace
}  // namespace tarsio
