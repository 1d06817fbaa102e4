// Directory listings of the simulated platform. A listing is a snapshot
// taken by FindFirstFileA, in NTFS order (names compared upper-cased), with
// "." and ".." first in every directory but a drive root.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"

namespace sim {
namespace {

std::uint64_t ToFileTime(const struct timespec& ts) {
    constexpr std::uint64_t kEpochDifference = 11644473600ULL;  // 1601-01-01 to 1970-01-01, seconds
    return (static_cast<std::uint64_t>(ts.tv_sec) + kEpochDifference) * 10000000ULL +
           static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

FILETIME Split(std::uint64_t t) { return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}; }

WIN32_FIND_DATAA MakeEntry(const std::string& ansiName, const HostEntry& e) {
    WIN32_FIND_DATAA d{};
    d.dwFileAttributes = e.attributes;
    d.ftCreationTime = Split(ToFileTime(e.st.st_ctim));
    d.ftLastAccessTime = Split(ToFileTime(e.st.st_atim));
    d.ftLastWriteTime = Split(ToFileTime(e.st.st_mtim));
    if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        auto size = static_cast<std::uint64_t>(e.st.st_size);
        d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        d.nFileSizeLow = static_cast<DWORD>(size);
    }
    d.dwReserved0 = e.reparseTag;
    std::size_t n = std::min<std::size_t>(ansiName.size(), MAX_PATH - 1);
    std::memcpy(d.cFileName, ansiName.data(), n);
    d.cFileName[n] = 0;
    return d;
}

bool NameLess(const std::u16string& a, const std::u16string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = UpCase(a[i]), y = UpCase(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

HANDLE Fail(DWORD error) {
    SetError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace
}  // namespace sim

namespace os {

using namespace sim;

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (Enter("FindFirstFileA", pattern ? pattern : "")) return INVALID_HANDLE_VALUE;
    if (!pattern || !data) return Fail(ERROR_INVALID_PARAMETER);
    std::string_view text(pattern);
    if (text.empty()) return Fail(ERROR_PATH_NOT_FOUND);
    std::size_t sep = text.find_last_of("\\/");
    std::string dirPart, name;
    if (sep != std::string_view::npos) {
        dirPart = std::string(text.substr(0, sep + 1));
        name = std::string(text.substr(sep + 1));
    } else if (text.size() >= 2 && text[1] == ':') {
        dirPart = std::string(text.substr(0, 2));
        name = std::string(text.substr(2));
    } else {
        dirPart = ".";
        name = std::string(text);
    }
    if (name.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || std::strchr("<>:\"|", c)) return Fail(ERROR_INVALID_NAME);
    }

    Location dir;
    DWORD e = Locate(dirPart, true, dir);
    if (e != ERROR_SUCCESS) return Fail(e == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : e);
    std::optional<HostEntry> self = Examine(dir.host, dir.isRoot);
    if (!self || !(self->attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_PATH_NOT_FOUND);

    Listing listing;
    if (!HasWildcards(name)) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ') && name != "." && name != "..")
            name.pop_back();
        if (name == "." || name == "..") {
            if (dir.isRoot) return Fail(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(MakeEntry(name, *self));
        } else {
            std::optional<HostEntry> entry = Examine(dir.host + "/" + AnsiToUtf8(name), false);
            if (!entry) return Fail(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(MakeEntry(name, *entry));
        }
    } else {
        DIR* d = ::opendir(dir.host.c_str());
        if (!d) return Fail(ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND));
        std::vector<std::u16string> names;
        while (dirent* ent = ::readdir(d)) {
            if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
            names.push_back(Utf8ToUtf16(ent->d_name));
        }
        ::closedir(d);
        std::sort(names.begin(), names.end(), NameLess);
        std::u16string wanted = AnsiToUtf16(name);
        if (!dir.isRoot) {
            for (const char* dot : {".", ".."})
                if (MatchesPattern(wanted, AnsiToUtf16(dot))) listing.entries.push_back(MakeEntry(dot, *self));
        }
        for (const std::u16string& n : names) {
            if (!MatchesPattern(wanted, n)) continue;
            std::optional<HostEntry> entry = Examine(dir.host + "/" + Utf16ToUtf8(n), false);
            if (entry) listing.entries.push_back(MakeEntry(Utf16ToAnsi(n), *entry));
        }
    }
    if (listing.entries.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    *data = listing.entries[0];
    listing.next = 1;
    return AddListing(std::move(listing));
}

BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data) {
    if (Enter("FindNextFileA")) return FALSE;
    Listing* listing = FindListing(h);
    if (!listing || !data) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (listing->next >= listing->entries.size()) {
        SetError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = listing->entries[listing->next++];
    return TRUE;
}

BOOL FindClose(HANDLE h) {
    if (!RemoveListing(h)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // namespace os
