#include "listfile/list_encoding.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ansi.h"

namespace tarsio {
namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsUtf8Text(const std::string& line) { return IsAscii(line) || AnsiToWide(line, CP_UTF8).has_value(); }

// Whether text in `codePage` is already text of the process code page.
bool IsProcessCodePage(UINT codePage) { return codePage == (AnsiIsUtf8() ? CP_UTF8 : os::GetACP()); }

}  // namespace

UINT LegacyAnsiCodePage() {
    char text[8] = {};
    if (!os::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text)) return 0;
    const UINT codePage = static_cast<UINT>(std::strtoul(text, nullptr, 10));
    return codePage == CP_UTF8 ? 0 : codePage;
}

std::optional<std::string> ListTextToAnsi(const std::string& line) {
    if (IsAscii(line)) return line;
    const UINT codePage = IsUtf8Text(line) ? CP_UTF8 : LegacyAnsiCodePage();
    if (IsProcessCodePage(codePage)) return line;
    if (codePage == 0) {
        os::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return std::nullopt;
    }
    std::optional<WideString> wide = AnsiToWide(line, codePage);
    if (!wide) return std::nullopt;
    return WideToAnsi(*wide);
}

std::optional<std::string> AnsiToListText(const std::string& text) {
    if (IsAscii(text) || AnsiIsUtf8()) return text;
    std::optional<WideString> wide = AnsiToWide(text);
    if (!wide) return std::nullopt;
    return WideToAnsi(*wide, CP_UTF8);
}

}  // namespace tarsio
