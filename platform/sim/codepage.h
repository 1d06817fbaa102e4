#pragma once
// Text conversions of the simulated platform. Its ANSI code page is Windows
// code page 1252; host file names are UTF-8.

#include <string>
#include <string_view>

namespace sim {

inline constexpr unsigned kAnsiCodePage = 1252;

std::u16string AnsiToUtf16(std::string_view ansi);
// Characters without a 1252 form become '?'; usedDefault reports whether any did.
std::string Utf16ToAnsi(std::u16string_view text, bool* usedDefault = nullptr);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view utf8);

std::string AnsiToUtf8(std::string_view ansi);
void AppendAnsiAsUtf8(std::string& out, std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);

// Upper-casing as NTFS compares names: ASCII and Latin-1 letters.
char16_t UpCase(char16_t c);

}  // namespace sim
