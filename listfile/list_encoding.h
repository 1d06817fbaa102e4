#pragma once
// The character set of list files. Lists are written in UTF-8 without a
// byte-order mark. Each line is read on its own: a line that is valid UTF-8
// is UTF-8; any other line was written by an older version (or an editor) in
// the system's legacy ANSI code page, and is read in that. One stray byte
// thus changes how its own line reads, not the whole list. Lines keep their
// bytes: only the paths of an entry are converted, to the process code page
// of the file calls.

#include <optional>
#include <string>
#include <string_view>

#include "platform/os.h"

namespace tarsio {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// LOCALE_IDEFAULTANSICODEPAGE of the system locale; 0 when it is unknown or
// UTF-8 itself (then no older list can be in another code page).
UINT LegacyAnsiCodePage();

// A line's text in the process code page, read as UTF-8 when it is valid
// UTF-8 and in the legacy ANSI code page otherwise; nullopt with the last
// error set when it has no exact form there (or that code page is unknown).
std::optional<std::string> ListTextToAnsi(const std::string& line);

// Text of the process code page as a list line: UTF-8.
std::optional<std::string> AnsiToListText(const std::string& text);

}  // namespace tarsio
