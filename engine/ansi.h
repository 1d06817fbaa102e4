#pragma once
// ANSI path strings: character-wise scanning in the system code page (a
// trail byte of a double-byte character is never taken for a backslash or
// colon) and conversion to and from UTF-16.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarsio {

// Whether the last character (a whole character) is a backslash.
bool EndsWithBackslash(std::string_view s);

// Position just after the last backslash or colon, or 0 when there is none.
std::size_t AfterLastDelimiter(std::string_view s);

// Conversions through the platform; nullopt with the last error set on failure.
std::optional<std::u16string> AnsiToWide(std::string_view ansi);
std::optional<std::string> WideToAnsi(std::u16string_view wide);

}  // namespace tarsio
