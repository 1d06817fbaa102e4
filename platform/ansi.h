#pragma once
// The program's 8-bit path strings: character-wise scanning in the process
// code page (a trail byte of a double-byte character is never taken for a
// backslash or colon), and the one pair of conversions between them and
// UTF-16 that the whole program uses.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/os.h"

namespace tarsio {

using WideString = std::basic_string<WCHAR>;
using WideView = std::basic_string_view<WCHAR>;

// Whether `c` starts a double-byte character of the process code page. Never
// in UTF-8: there every byte of a multi-byte character is 0x80 or above, so
// no backslash or colon is ever part of one.
bool IsLeadByte(unsigned char c);

// Whether the last character (a whole character) is a backslash.
bool EndsWithBackslash(std::string_view s);

// Position just after the last backslash or colon, or 0 when there is none.
std::size_t AfterLastDelimiter(std::string_view s);

// Conversions that never guess: text that has no exact form in the other
// encoding (a name outside a legacy code page, a lone surrogate, bytes that
// are not valid in the code page) is refused with nullopt and the last error
// ERROR_NO_UNICODE_TRANSLATION, never mapped to a look-alike. The code page
// is the process code page unless given; CP_UTF8 is also accepted.
std::optional<WideString> AnsiToWide(std::string_view text, UINT codePage = CP_ACP);
std::optional<std::string> WideToAnsi(WideView wide, UINT codePage = CP_ACP);

// Whether the process code page is UTF-8 (activeCodePage in the manifest).
bool AnsiIsUtf8();

}  // namespace tarsio
