// Directory listings of the simulated platform. A listing is a snapshot
// taken by FindFirstFile, in NTFS order (names compared upper-cased), with
// "." and ".." first in every directory but a drive root.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <type_traits>
#include <unordered_map>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"

namespace sim {
namespace {

Entry MakeEntry(std::u16string name, const HostEntry& e) {
    Entry d;
    d.attributes = e.attributes;
    d.creation = FileTimeOf(e.st.st_ctim);
    d.access = FileTimeOf(e.st.st_atim);
    d.write = FileTimeOf(e.st.st_mtim);
    if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY)) d.size = static_cast<std::uint64_t>(e.st.st_size);
    d.reparseTag = e.reparseTag;
    d.name = std::move(name);
    return d;
}

// An entry as FindFirstFileA/W hand it out. The A form holds the name in the
// process code page, cut at MAX_PATH - 1 bytes as its buffer cuts it.
template <typename FindData>
void Fill(const Entry& e, FindData& d) {
    d = FindData{};
    d.dwFileAttributes = e.attributes;
    d.ftCreationTime = e.creation;
    d.ftLastAccessTime = e.access;
    d.ftLastWriteTime = e.write;
    d.nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(e.size);
    d.dwReserved0 = e.reparseTag;
    if constexpr (std::is_same_v<FindData, WIN32_FIND_DATAA>) {
        std::string name = Utf16ToAnsi(e.name);
        std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
        std::memcpy(d.cFileName, name.data(), n);
    } else {
        std::copy_n(e.name.begin(), std::min<std::size_t>(e.name.size(), MAX_PATH - 1), d.cFileName);
    }
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

std::nullopt_t Refuse(DWORD error) {
    SetError(error);
    return std::nullopt;
}

// A directory's entry under the name "." or "..".
Entry Renamed(const Entry& self, std::u16string_view dot) {
    Entry d = self;
    d.name = dot;
    return d;
}

template <typename FindData>
HANDLE Open(Listing listing, FindData* data) {
    Fill(listing.entries[0], *data);
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
    std::unordered_map<std::string, Entry, Hash, std::equal_to<>> entries;
};

ListedDirectories& Listed() {
    static ListedDirectories listed;
    if (!Remembering() || listed.generation != Generation()) {
        listed.entries.clear();
        listed.generation = Generation();
    }
    return listed;
}

// FindFirstFile's work, after its call was counted: the listing, or
// nullopt with the last error set.
std::optional<Listing> List(const std::optional<Name>& pattern) {
    if (!pattern) return Refuse(ERROR_INVALID_PARAMETER);
    if (pattern->error != ERROR_SUCCESS) return Refuse(pattern->error);
    std::string_view text(pattern->text);
    if (text.empty()) return Refuse(ERROR_PATH_NOT_FOUND);
    const bool verbatim = text.starts_with("\\\\?\\");
    std::size_t sep = verbatim ? text.find_last_of('\\') : text.find_last_of("\\/");
    std::size_t nameAt = 0;
    if (sep != std::string_view::npos)
        nameAt = sep + 1;
    else if (text.size() >= 2 && text[1] == ':')
        nameAt = 2;
    const Name dirPart{nameAt ? std::string(text.substr(0, nameAt)) : std::string("."), pattern->limit,
                       pattern->verbatimLimit};
    std::string name(text.substr(nameAt));
    if (name.empty()) return Refuse(ERROR_FILE_NOT_FOUND);
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || std::strchr("<>:\"|", c)) return Refuse(ERROR_INVALID_NAME);
    }

    Location dir;
    DWORD e = Locate(dirPart, true, dir);
    if (e != ERROR_SUCCESS) return Refuse(e == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : e);
    // The pattern as a whole is held to the call's limit, as its folder was.
    const std::size_t limit = verbatim ? pattern->verbatimLimit : pattern->limit;
    const bool slash = !dir.full.empty() && dir.full.back() == '\\';
    if (Utf16Length(dir.full) + (slash ? 0 : 1) + Utf16Length(name) >= limit)
        return Refuse(ERROR_FILENAME_EXCED_RANGE);
    bool wildcards = HasWildcards(name);
    if (wildcards) {
        // A folder listed again at once, as a search lists it for its
        // entries and then for its subfolders.
        if (std::optional<Listing> again = TakeClosedListing(dir.host, name)) return again;
    }
    Entry self;
    ListedDirectories& listed = Listed();
    if (const Entry* known = KnownEntry(dir.host)) {
        self = *known;
        listed.entries.erase(dir.host);
    } else {
        std::optional<HostEntry> examined = Examine(dir.host, dir.isRoot);
        if (!examined) return Refuse(ERROR_PATH_NOT_FOUND);
        self = MakeEntry(u".", *examined);
    }
    if (!(self.attributes & FILE_ATTRIBUTE_DIRECTORY)) return Refuse(ERROR_PATH_NOT_FOUND);

    Listing listing;
    listing.hostDir = dir.host;
    listing.pattern = name;
    if (!wildcards) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ') && name != "." && name != "..")
            name.pop_back();
        if (name == "." || name == "..") {
            if (dir.isRoot) return Refuse(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(Renamed(self, Utf8ToUtf16(name)));
            listing.hostNames.emplace_back();
        } else {
            std::optional<HostEntry> entry = Examine(dir.host + "/" + name, false);
            if (!entry) return Refuse(ERROR_FILE_NOT_FOUND);
            listing.entries.push_back(MakeEntry(Utf8ToUtf16(name), *entry));
            listing.hostNames.push_back(std::move(name));
        }
    } else {
        DIR* d = ::opendir(HostArg(dir.host).c_str());
        if (!d) return Refuse(ErrnoToWin32(errno, ERROR_PATH_NOT_FOUND));
        struct Found {
            std::u16string wide;
            std::string host;
        };
        std::vector<Found> names;
        while (dirent* ent = ::readdir(d)) {
            if (std::strcmp(ent->d_name, ".") == 0 || std::strcmp(ent->d_name, "..") == 0) continue;
            names.push_back({Utf8ToUtf16(ent->d_name), ent->d_name});
        }
        std::unique_ptr<DIR, int (*)(DIR*)> open(d, ::closedir);
        std::sort(names.begin(), names.end(),
                  [](const Found& a, const Found& b) { return NameLess(a.wide, b.wide); });
        std::u16string wanted = Utf8ToUtf16(name);
        if (!dir.isRoot) {
            for (std::u16string_view dot : {u".", u".."}) {
                if (MatchesPattern(wanted, dot)) {
                    listing.entries.push_back(Renamed(self, dot));
                    listing.hostNames.emplace_back();
                }
            }
        }
        std::string path = dir.host + "/";
        const std::size_t base = path.size();
        for (Found& n : names) {
            if (!MatchesPattern(wanted, n.wide)) continue;
            path.resize(base);
            path += n.host;
            std::optional<HostEntry> entry = ExamineEntry(::dirfd(d), n.host.c_str(), path);
            if (!entry) continue;
            listing.entries.push_back(MakeEntry(std::move(n.wide), *entry));
            if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) listed.entries.emplace(path, listing.entries.back());
            listing.hostNames.push_back(std::move(n.host));
        }
    }
    if (listing.entries.empty()) return Refuse(ERROR_FILE_NOT_FOUND);
    return listing;
}

// Whether FindFirstFileEx takes these options. Directories only is a hint
// Windows may ignore; device searches and a filter are refused. The flags
// change nothing here: case-sensitive matching is not simulated, and Wine
// lets unknown flags pass too.
bool ExOptions(FINDEX_INFO_LEVELS infoLevel, FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter) {
    return (infoLevel == FindExInfoStandard || infoLevel == FindExInfoBasic) &&
           (searchOp == FindExSearchNameMatch || searchOp == FindExSearchLimitToDirectories) && !searchFilter;
}

// FindFirstFile's and FindFirstFileEx's work; `exOptions` false refuses
// what the Ex call was asked (ExOptions).
template <typename FindData>
HANDLE FindFirst(std::string_view call, const std::optional<Name>& pattern, LPVOID data, bool exOptions = true) {
    if (Enter(call, pattern ? std::string_view(pattern->text) : std::string_view())) return INVALID_HANDLE_VALUE;
    if (!exOptions || !data) return Fail(ERROR_INVALID_PARAMETER);
    std::optional<Listing> listing = List(pattern);
    return listing ? Open(std::move(*listing), static_cast<FindData*>(data)) : INVALID_HANDLE_VALUE;
}

template <typename FindData>
BOOL FindNext(std::string_view call, HANDLE h, FindData* data) {
    if (Enter(call)) return FALSE;
    Listing* listing = FindListing(h);
    if (!listing || !data) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (listing->next >= listing->entries.size()) {
        SetError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(listing->entries[listing->next++], *data);
    return TRUE;
}

}  // namespace

const Entry* ListedDirectory(std::string_view host) {
    ListedDirectories& listed = Listed();
    auto it = listed.entries.find(host);
    return it == listed.entries.end() ? nullptr : &it->second;
}

}  // namespace sim

namespace os {

using namespace sim;

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    return FindFirst<WIN32_FIND_DATAA>("FindFirstFileA", FromAnsi(pattern), data);
}

HANDLE FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS infoLevel, LPVOID data, FINDEX_SEARCH_OPS searchOp,
                        LPVOID searchFilter, DWORD /*flags*/) {
    return FindFirst<WIN32_FIND_DATAA>("FindFirstFileExA", FromAnsi(pattern), data,
                                       ExOptions(infoLevel, searchOp, searchFilter));
}

HANDLE FindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS infoLevel, LPVOID data, FINDEX_SEARCH_OPS searchOp,
                        LPVOID searchFilter, DWORD /*flags*/) {
    return FindFirst<WIN32_FIND_DATAW>("FindFirstFileExW", FromWide(pattern), data,
                                       ExOptions(infoLevel, searchOp, searchFilter));
}

BOOL FindNextFileA(HANDLE h, LPWIN32_FIND_DATAA data) { return FindNext("FindNextFileA", h, data); }

BOOL FindNextFileW(HANDLE h, LPWIN32_FIND_DATAW data) { return FindNext("FindNextFileW", h, data); }

BOOL FindClose(HANDLE h) {
    if (!RemoveListing(h)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // namespace os
