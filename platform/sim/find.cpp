// Directory listings of the simulated platform. A listing is a snapshot
// taken by FindFirstFileA, in NTFS order (names compared upper-cased), with
// "." and ".." first in every directory but a drive root.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"

namespace sim {
namespace {

WIN32_FIND_DATAA MakeEntry(const std::string& ansiName, const HostEntry& e) {
    WIN32_FIND_DATAA d{};
    d.dwFileAttributes = e.attributes;
    d.ftCreationTime = FileTimeOf(e.st.st_ctim);
    d.ftLastAccessTime = FileTimeOf(e.st.st_atim);
    d.ftLastWriteTime = FileTimeOf(e.st.st_mtim);
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

// A directory's entry under the name "." or "..".
WIN32_FIND_DATAA Renamed(const WIN32_FIND_DATAA& self, std::string_view dot) {
    WIN32_FIND_DATAA d = self;
    std::memset(d.cFileName, 0, sizeof d.cFileName);
    std::memset(d.cAlternateFileName, 0, sizeof d.cAlternateFileName);
    std::memcpy(d.cFileName, dot.data(), dot.size());
    return d;
}

HANDLE Open(Listing listing, LPWIN32_FIND_DATAA data) {
    *data = listing.entries[0];
    listing.next = 1;
    listing.generation = Generation();
    return AddListing(std::move(listing));
}

// The directories that listings reported, by host path, while listings
// stayed open and the drives did not change: a folder listed while its
// parent's listing is open is described from there instead of being
// examined again. Each is used once, as a search enters each folder once.
struct ListedDirectories {
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::uint64_t generation = 0;
    std::unordered_map<std::string, WIN32_FIND_DATAA, Hash, std::equal_to<>> entries;
};

ListedDirectories& Listed() {
    static ListedDirectories listed;
    if (!Remembering() || listed.generation != Generation()) {
        listed.entries.clear();
        listed.generation = Generation();
    }
    return listed;
}

// FindFirstFileA's work, after its call was counted.
HANDLE List(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
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
    bool wildcards = HasWildcards(name);
    if (wildcards) {
        // A folder listed again at once, as a search lists it for its
        // entries and then for its subfolders.
        if (std::optional<Listing> again = TakeClosedListing(dir.host, name)) return Open(std::move(*again), data);
    }
    WIN32_FIND_DATAA self;
    ListedDirectories& listed = Listed();
    if (const WIN32_FIND_DATAA* known = KnownEntry(dir.host)) {
        self = *known;
        listed.entries.erase(dir.host);
    } else {
        std::optional<HostEntry> examined = Examine(dir.host, dir.isRoot);
        if (!examined) return Fail(ERROR_PATH_NOT_FOUND);
        self = MakeEntry(".", *examined);
    }
    if (!(self.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_PATH_NOT_FOUND);

    Listing listing;
    listing.hostDir = dir.host;
    listing.pattern = name;
    if (!wildcards) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ') && name != "." && name != "..")
            name.pop_back();
        if (name == "." || name == "..") {
            if (dir.isRoot) return Fail(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(Renamed(self, name));
            listing.hostNames.emplace_back();
        } else {
            std::string hostName = AnsiToUtf8(name);
            std::optional<HostEntry> entry = Examine(dir.host + "/" + hostName, false);
            if (!entry) return Fail(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(MakeEntry(name, *entry));
            listing.hostNames.push_back(std::move(hostName));
        }
    } else {
        DIR* d = ::opendir(dir.host.c_str());
        if (!d) return Fail(ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND));
        struct Name {
            std::u16string wide;
            std::string host;
        };
        std::vector<Name> names;
        while (dirent* ent = ::readdir(d)) {
            if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
            names.push_back({Utf8ToUtf16(ent->d_name), ent->d_name});
        }
        std::unique_ptr<DIR, int (*)(DIR*)> open(d, ::closedir);
        std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return NameLess(a.wide, b.wide); });
        std::u16string wanted = AnsiToUtf16(name);
        if (!dir.isRoot) {
            for (const char* dot : {".", ".."}) {
                if (MatchesPattern(wanted, AnsiToUtf16(dot))) {
                    listing.entries.push_back(Renamed(self, dot));
                    listing.hostNames.emplace_back();
                }
            }
        }
        std::string path = dir.host + "/";
        const std::size_t base = path.size();
        for (Name& n : names) {
            if (!MatchesPattern(wanted, n.wide)) continue;
            path.resize(base);
            path += n.host;
            std::optional<HostEntry> entry = ExamineEntry(::dirfd(d), n.host.c_str(), path);
            if (!entry) continue;
            listing.entries.push_back(MakeEntry(Utf16ToAnsi(n.wide), *entry));
            if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) listed.entries.emplace(path, listing.entries.back());
            listing.hostNames.push_back(std::move(n.host));
        }
    }
    if (listing.entries.empty()) return Fail(ERROR_FILE_NOT_FOUND);
    return Open(std::move(listing), data);
}

}  // namespace

const WIN32_FIND_DATAA* ListedDirectory(std::string_view host) {
    ListedDirectories& listed = Listed();
    auto it = listed.entries.find(host);
    return it == listed.entries.end() ? nullptr : &it->second;
}

}  // namespace sim

namespace os {

using namespace sim;

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (Enter("FindFirstFileA", pattern ? pattern : "")) return INVALID_HANDLE_VALUE;
    return List(pattern, data);
}

HANDLE FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS infoLevel, LPVOID data, FINDEX_SEARCH_OPS searchOp,
                        LPVOID searchFilter, DWORD /*flags*/) {
    if (Enter("FindFirstFileExA", pattern ? pattern : "")) return INVALID_HANDLE_VALUE;
    // Directories only is a hint Windows may ignore; device searches and a
    // filter are refused. The flags change nothing here: case-sensitive
    // matching is not simulated, and Wine lets unknown flags pass too.
    if ((infoLevel != FindExInfoStandard && infoLevel != FindExInfoBasic) ||
        (searchOp != FindExSearchNameMatch && searchOp != FindExSearchLimitToDirectories) || searchFilter)
        return Fail(ERROR_INVALID_PARAMETER);
    return List(pattern, static_cast<LPWIN32_FIND_DATAA>(data));
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
