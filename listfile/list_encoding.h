#pragma once
// The character set of list files. Lists are written in UTF-8 without a
// byte-order mark. A list is read as UTF-8 when it starts with a UTF-8
// byte-order mark or all its lines are valid UTF-8; otherwise an older
// version wrote it in the system's legacy ANSI code page, and it is read in
// that. Lines keep their bytes: only the paths of an entry are converted, to
// the process code page of the file calls.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace tarsio {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// LOCALE_IDEFAULTANSICODEPAGE of the system locale; 0 when it is unknown or
// UTF-8 itself (then no older list can be in another code page).
UINT LegacyAnsiCodePage();

// CP_UTF8, or the legacy ANSI code page (0 when unknown) for lines that are
// not all UTF-8.
UINT ListCodePage(const std::vector<std::string>& lines, bool byteOrderMark);

// A line's text in the process code page; nullopt with the last error set
// when it has no exact form there (or the list's code page is unknown).
std::optional<std::string> ListTextToAnsi(const std::string& line, UINT codePage);

// Text of the process code page as a list line: UTF-8.
std::optional<std::string> AnsiToListText(const std::string& text);

}  // namespace tarsio
