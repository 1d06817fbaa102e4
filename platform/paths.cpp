#include "platform/paths.h"

#include <vector>

namespace tarsio::paths {
namespace {

// CreateDirectory takes no full name of MAX_PATH - 12 (248) code units or
// more without the prefix, the other calls none of MAX_PATH or more.
constexpr std::size_t kPrefixedFrom = MAX_PATH - 12;

// Whether `name` begins with the ASCII text `prefix`.
bool Begins(WideView name, std::string_view prefix) {
    if (name.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (name[i] != static_cast<WCHAR>(prefix[i])) return false;
    return true;
}

bool IsVerbatim(WideView name) { return Begins(name, "\\\\?\\"); }

WideString Ascii(std::string_view text) { return WideString(text.begin(), text.end()); }

std::optional<WideString> FullPath(const WideString& name) {
    // The full name is the current directory and the name at most.
    WideString full(name.size() + MAX_PATH, 0);
    auto resolve = [&] {
        return os::GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    };
    DWORD n = resolve();
    if (n >= full.size()) {
        full.resize(n);
        n = resolve();
    }
    if (n == 0) return std::nullopt;
    if (n >= full.size()) {
        os::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return std::nullopt;
    }
    full.resize(n);
    return full;
}

// The wide call `call` on WideName(name); `failed` when there is none.
template <typename Result, typename Call>
Result OnName(const std::string& name, Result failed, Call call) {
    std::optional<WideString> wide = WideName(name);
    return wide ? call(wide->c_str()) : failed;
}

}  // namespace

std::optional<WideString> WideName(std::string_view path) {
    std::optional<WideString> name = AnsiToWide(path);
    if (!name || IsVerbatim(*name) || Begins(*name, "\\\\.\\")) return name;
    std::optional<WideString> full = FullPath(*name);
    // GetFullPathNameW names DOS devices ("COM1") in the "\\.\" form.
    if (!full || full->size() < kPrefixedFrom || Begins(*full, "\\\\.\\")) return full;
    if (Begins(*full, "\\\\")) return Ascii("\\\\?\\UNC") + full->substr(1);
    return Ascii("\\\\?\\") + *full;
}

HANDLE CreateFileW(const std::string& name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
    return OnName(name, INVALID_HANDLE_VALUE, [&](LPCWSTR wide) {
        return os::CreateFileW(wide, access, share, sa, disposition, flags, templateFile);
    });
}

DWORD GetFileAttributesW(const std::string& name) {
    return OnName(name, INVALID_FILE_ATTRIBUTES, [](LPCWSTR wide) { return os::GetFileAttributesW(wide); });
}

BOOL SetFileAttributesW(const std::string& name, DWORD attributes) {
    return OnName(name, FALSE, [&](LPCWSTR wide) { return os::SetFileAttributesW(wide, attributes); });
}

BOOL CreateDirectoryW(const std::string& name, LPSECURITY_ATTRIBUTES sa) {
    return OnName(name, FALSE, [&](LPCWSTR wide) { return os::CreateDirectoryW(wide, sa); });
}

BOOL RemoveDirectoryW(const std::string& name) {
    return OnName(name, FALSE, [](LPCWSTR wide) { return os::RemoveDirectoryW(wide); });
}

BOOL DeleteFileW(const std::string& name) {
    return OnName(name, FALSE, [](LPCWSTR wide) { return os::DeleteFileW(wide); });
}

BOOL MoveFileExW(const std::string& from, const std::string& to, DWORD flags) {
    std::optional<WideString> target = WideName(to);
    if (!target) return FALSE;
    return OnName(from, FALSE, [&](LPCWSTR source) { return os::MoveFileExW(source, target->c_str(), flags); });
}

BOOL ReplaceFileW(const std::string& replaced, const std::string& replacement, DWORD flags) {
    std::optional<WideString> with = WideName(replacement);
    if (!with) return FALSE;
    return OnName(replaced, FALSE, [&](LPCWSTR wide) {
        return os::ReplaceFileW(wide, with->c_str(), nullptr, flags, nullptr, nullptr);
    });
}

HANDLE FindFirstFileExW(const std::string& pattern, FINDEX_INFO_LEVELS infoLevel, LPWIN32_FIND_DATAW data,
                        FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter, DWORD flags) {
    return OnName(pattern, INVALID_HANDLE_VALUE, [&](LPCWSTR wide) {
        return os::FindFirstFileExW(wide, infoLevel, data, searchOp, searchFilter, flags);
    });
}

std::optional<std::string> GetFullPathNameW(const std::string& name) {
    std::optional<WideString> wide = AnsiToWide(name);
    if (!wide) return std::nullopt;
    if (IsVerbatim(*wide)) return name;
    std::optional<WideString> full = FullPath(*wide);
    return full ? WideToAnsi(*full) : std::nullopt;
}

std::optional<std::string> GetCurrentDirectoryW() {
    WideString cwd(MAX_PATH, 0);
    DWORD n = os::GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
    if (n >= cwd.size()) {
        cwd.resize(n);
        n = os::GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
    }
    if (n == 0 || n >= cwd.size()) return std::nullopt;
    cwd.resize(n);
    return WideToAnsi(cwd);
}

std::optional<std::string> FinalName(HANDLE file) {
    std::vector<WCHAR> buffer(MAX_PATH);
    DWORD n = os::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    // Wine counts the size it needs without the terminator.
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = os::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    }
    if (n == 0 || n >= buffer.size()) return std::nullopt;
    std::optional<std::string> name = WideToAnsi(WideView(buffer.data(), n));
    if (!name) return std::nullopt;
    if (name->starts_with("\\\\?\\UNC\\")) return name->replace(0, 8, "\\\\");
    if (name->starts_with("\\\\?\\") && name->size() >= 7 && (*name)[5] == ':') return name->substr(4);
    return name;
}

}  // namespace tarsio::paths
