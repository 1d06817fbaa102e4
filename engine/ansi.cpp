#include "engine/ansi.h"

#include <vector>

#include "platform/os.h"

namespace tarsio {
namespace {

// Calls f(position, byte) for each single-byte character, skipping the
// trail bytes of double-byte characters.
template <typename F>
void ForEachSingleByteChar(std::string_view s, F f) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (os::IsDBCSLeadByte(c) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        f(i, s[i]);
    }
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

std::optional<std::u16string> AnsiToWide(std::string_view ansi) {
    if (ansi.empty()) return std::u16string();
    int n = os::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::vector<WCHAR> wide(static_cast<std::size_t>(n));
    if (os::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n) != n)
        return std::nullopt;
    return std::u16string(wide.begin(), wide.end());
}

std::optional<std::string> WideToAnsi(std::u16string_view wide) {
    if (wide.empty()) return std::string();
    std::vector<WCHAR> units(wide.begin(), wide.end());
    const int count = static_cast<int>(units.size());
    int n = os::WideCharToMultiByte(CP_THREAD_ACP, 0, units.data(), count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(n), '\0');
    if (os::WideCharToMultiByte(CP_THREAD_ACP, 0, units.data(), count, ansi.data(), n, nullptr, nullptr) != n)
        return std::nullopt;
    return ansi;
}

}  // namespace tarsio
