#include "platform/ansi.h"

namespace tarsio {
namespace {

// Calls f(position, byte) for each single-byte character, skipping the
// trail bytes of double-byte characters.
template <typename F>
void ForEachSingleByteChar(std::string_view s, F f) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(c) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        f(i, s[i]);
    }
}

bool IsUtf8(UINT codePage) { return codePage == CP_UTF8 || (codePage == CP_ACP && AnsiIsUtf8()); }

template <typename T>
std::optional<T> Refuse() {
    os::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return std::nullopt;
}

}  // namespace

bool EndsWithBackslash(std::string_view s) {
    bool last = false;
    ForEachSingleByteChar(s, [&](std::size_t i, char c) { last = c == '\\' && i + 1 == s.size(); });
    return last;
}

std::size_t AfterLastDelimiter(std::string_view s) {
    std::size_t after = 0;
    ForEachSingleByteChar(s, [&](std::size_t i, char c) {
        if (c == '\\' || c == ':') after = i + 1;
    });
    return after;
}

bool AnsiIsUtf8() { return os::GetACP() == CP_UTF8; }

bool IsLeadByte(unsigned char c) { return c >= 0x80 && !AnsiIsUtf8() && os::IsDBCSLeadByte(c); }

std::optional<WideString> AnsiToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return WideString();
    const int count = static_cast<int>(text.size());
    // Bytes that are not valid in the code page fail instead of becoming U+FFFD.
    const DWORD flags = MB_ERR_INVALID_CHARS;
    // No byte gives more than one code unit: one call fills the text.
    WideString wide(text.size(), 0);
    int n = os::MultiByteToWideChar(codePage, flags, text.data(), count, wide.data(), count);
    if (n <= 0) return std::nullopt;
    wide.resize(static_cast<std::size_t>(n));
    return wide;
}

std::optional<std::string> WideToAnsi(WideView wide, UINT codePage) {
    if (wide.empty()) return std::string();
    const int count = static_cast<int>(wide.size());
    // UTF-8 holds every character but a lone surrogate, which
    // WC_ERR_INVALID_CHARS refuses; it takes neither best-fit flags nor a
    // default character (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER). A
    // legacy code page must neither best-fit ("Lodz" for "Łódź") nor default.
    const bool utf8 = IsUtf8(codePage);
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    // No code unit takes more than three bytes (UTF-8; a double-byte code
    // page two): one call fills the text.
    std::string text(3 * wide.size(), '\0');
    int n = os::WideCharToMultiByte(codePage, flags, wide.data(), count, text.data(), static_cast<int>(text.size()),
                                    nullptr, used);
    if (n <= 0) return std::nullopt;
    if (usedDefault) return Refuse<std::string>();
    text.resize(static_cast<std::size_t>(n));
    return text;
}

}  // namespace tarsio
