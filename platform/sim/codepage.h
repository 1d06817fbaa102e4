#pragma once
// Text conversions of the simulated platform. The process code page (the
// "ANSI" code page of the A calls) is UTF-8, as an application manifest with
// activeCodePage UTF-8 makes it; tests may switch it to the legacy Windows
// code page 1252, which is also the system locale's default ANSI code page.
// Host file names are UTF-8.

#include <string>
#include <string_view>

namespace sim {

inline constexpr unsigned kUtf8CodePage = 65001;
inline constexpr unsigned kLegacyCodePage = 1252;

unsigned AnsiCodePage();
// For tests: kUtf8CodePage or kLegacyCodePage.
void SetAnsiCodePage(unsigned codePage);

// Conversions in the process code page. Characters without a form in it
// become '?' (1252) or U+FFFD (UTF-8); `lossy` reports whether any did.
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text, bool* lossy = nullptr);

// Code page 1252. bestFit maps a few letters to look-alikes (L for Ł), as
// WideCharToMultiByte does without WC_NO_BEST_FIT_CHARS; other characters
// without a form become `defaultChar`.
std::u16string Cp1252ToUtf16(std::string_view text);
std::string Utf16ToCp1252(std::u16string_view text, bool bestFit, char defaultChar, bool* usedDefault);

// UTF-8. Ill-formed input (bytes, lone surrogates) becomes U+FFFD; `invalid`
// reports whether any did.
std::string Utf16ToUtf8(std::u16string_view text, bool* invalid = nullptr);
std::u16string Utf8ToUtf16(std::string_view utf8, bool* invalid = nullptr);

// Host names (UTF-8) and the process code page.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// The UTF-16 code units of well-formed UTF-8 text, as Windows counts a
// name's length.
std::size_t Utf16Length(std::string_view utf8);

// Upper-casing as NTFS compares names: ASCII, Latin-1 and Latin Extended-A,
// Greek and Cyrillic letters.
char16_t UpCase(char16_t c);

}  // namespace sim
