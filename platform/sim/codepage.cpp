#include "platform/sim/codepage.h"

#include <algorithm>
#include <array>

#include "platform/sim/core.h"

namespace sim {
namespace {

unsigned g_codePage = kUtf8CodePage;

// 0x80..0x9F of code page 1252. The five unassigned bytes map to the C1
// control of the same value, as MultiByteToWideChar does on Windows.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Some of Windows' best-fit mappings of 1252: Polish letters to their base.
constexpr std::array<std::pair<char16_t, char>, 18> kBestFit = {{
    {0x0104, 'A'},
    {0x0105, 'a'},
    {0x0106, 'C'},
    {0x0107, 'c'},
    {0x0118, 'E'},
    {0x0119, 'e'},
    {0x0141, 'L'},
    {0x0142, 'l'},
    {0x0143, 'N'},
    {0x0144, 'n'},
    {0x015A, 'S'},
    {0x015B, 's'},
    {0x0179, 'Z'},
    {0x017A, 'z'},
    {0x017B, 'Z'},
    {0x017C, 'z'},
    {0x0131, 'i'},
    {0x2215, '/'},
}};

// Whether a high and a low surrogate, one character, start at `i`.
bool PairAt(std::u16string_view text, std::size_t i) {
    return text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

bool To1252(char16_t c, bool bestFit, char& out) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<char>(c);
        return true;
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    }
    if (bestFit) {
        for (const auto& [wide, narrow] : kBestFit) {
            if (wide == c) {
                out = narrow;
                return true;
            }
        }
    }
    return false;
}

void PutUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// One well-formed UTF-8 sequence at `at` (no overlong forms, no surrogates,
// nothing above U+10FFFF); its length, or 0 when it is ill-formed.
std::size_t DecodeOne(std::string_view s, std::size_t at, char32_t& cp) {
    auto b = static_cast<unsigned char>(s[at]);
    std::size_t n;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        cp = b & 0x1F, n = 2, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        cp = b & 0x0F, n = 3, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        cp = b & 0x07, n = 4, min = 0x10000;
    } else {
        return 0;
    }
    if (at + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        auto c = static_cast<unsigned char>(s[at + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// One code point of UTF-16 at `at`; its length, or 0 for a lone surrogate.
std::size_t DecodeUtf16(std::u16string_view s, std::size_t at, char32_t& cp) {
    cp = s[at];
    if (PairAt(s, at)) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (s[at + 1] - 0xDC00);
        return 2;
    }
    return cp >= 0xD800 && cp <= 0xDFFF ? 0 : 1;
}

void PutUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

// Decodes `in` one code point at a time into `Out`, U+FFFD for what is not
// well formed; `invalid` tells whether anything was replaced.
template <typename Out, typename In, typename Decode, typename Encode>
Out Transcode(In in, bool* invalid, Decode decode, Encode encode) {
    Out out;
    out.reserve(in.size());
    bool bad = false;
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp;
        std::size_t n = decode(in, i, cp);
        if (n == 0) {
            cp = 0xFFFD;
            n = 1;
            bad = true;
        }
        i += n;
        encode(out, cp);
    }
    if (invalid) *invalid = bad;
    return out;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

unsigned AnsiCodePage() { return g_codePage; }
void SetAnsiCodePage(unsigned codePage) {
    g_codePage = codePage;
    // What the simulation remembers holds names in the old code page.
    Changed();
}

std::u16string Cp1252ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text, bool bestFit, char defaultChar, bool* usedDefault) {
    std::string out;
    out.reserve(text.size());
    bool defaulted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char a;
        if (!To1252(text[i], bestFit, a)) {
            a = defaultChar;
            defaulted = true;
            // A surrogate pair is one character, one '?'.
            if (PairAt(text, i)) ++i;
        }
        out.push_back(a);
    }
    if (usedDefault) *usedDefault = defaulted;
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text, bool* invalid) {
    return Transcode<std::string>(text, invalid, DecodeUtf16, PutUtf8);
}

std::u16string Utf8ToUtf16(std::string_view utf8, bool* invalid) {
    return Transcode<std::u16string>(utf8, invalid, DecodeOne, PutUtf16);
}

std::u16string AnsiToUtf16(std::string_view ansi) {
    return g_codePage == kUtf8CodePage ? Utf8ToUtf16(ansi) : Cp1252ToUtf16(ansi);
}

std::string Utf16ToAnsi(std::u16string_view text, bool* lossy) {
    return g_codePage == kUtf8CodePage ? Utf16ToUtf8(text, lossy) : Utf16ToCp1252(text, false, '?', lossy);
}

// ASCII is the same in all three encodings, and UTF-8 names are the host's.
std::string AnsiToUtf8(std::string_view ansi) {
    return IsAscii(ansi) || g_codePage == kUtf8CodePage ? std::string(ansi) : Utf16ToUtf8(AnsiToUtf16(ansi));
}
std::string Utf8ToAnsi(std::string_view utf8) {
    return IsAscii(utf8) || g_codePage == kUtf8CodePage ? std::string(utf8) : Utf16ToAnsi(Utf8ToUtf16(utf8));
}

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        // A lead byte starts a code point; one of four bytes takes a surrogate pair.
        if ((b & 0xC0) != 0x80) ++units;
        if (b >= 0xF0) ++units;
    }
    return units;
}

char16_t UpCase(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    // Latin Extended-A pairs: upper case even, lower case odd (0x139..0x148
    // and 0x179..0x17E the other way round); dotless i stays.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;  // Greek, final sigma aside
    if (c >= 0x430 && c <= 0x44F) return c - 32;                // Cyrillic
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

}  // namespace sim
