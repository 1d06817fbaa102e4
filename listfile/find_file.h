#pragma once
// The recursive file finder: searches a folder, and optionally every folder
// below it, for entries whose names match a pattern and whose attributes
// match a set, collecting their full paths and calling a handler for each.
// The exporter scans whole drives with it; the inspection mode searches a
// folder for its first junction.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/os.h"

namespace tarsio {

enum TFileAttrKind : std::uint8_t {
    ffaReadOnly = 0,   // 0x01
    ffaHidden = 1,     // 0x02
    ffaSysFile = 2,    // 0x04
    ffaVolumeID = 3,   // 0x08
    ffaDirectory = 4,  // 0x10
    ffaArchive = 5,    // 0x20
    ffaAnyFile = 6,    // 0x3F, all six above
};

// A set of TFileAttrKind in one byte: bit n holds the member of ordinal n.
class TFileAttr {
public:
    constexpr TFileAttr() = default;
    constexpr TFileAttr(std::initializer_list<TFileAttrKind> kinds) {
        for (TFileAttrKind kind : kinds) Include(kind);
    }

    constexpr bool Contains(TFileAttrKind kind) const { return bits_ & Bit(kind); }
    constexpr TFileAttr& Include(TFileAttrKind kind) {
        bits_ = static_cast<std::uint8_t>(bits_ | Bit(kind));
        return *this;
    }
    constexpr TFileAttr& Exclude(TFileAttrKind kind) {
        bits_ = static_cast<std::uint8_t>(bits_ & ~Bit(kind));
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }

    // The file attribute bits the members stand for, or-ed; 0 for the empty set.
    constexpr DWORD Mask() const {
        DWORD mask = 0;
        for (int kind = ffaReadOnly; kind <= ffaArchive; ++kind)
            if (Contains(static_cast<TFileAttrKind>(kind))) mask |= DWORD{1} << kind;
        if (Contains(ffaAnyFile)) mask |= 0x3F;
        return mask;
    }

    friend constexpr bool operator==(TFileAttr, TFileAttr) = default;

private:
    static constexpr std::uint8_t Bit(TFileAttrKind kind) { return static_cast<std::uint8_t>(1u << kind); }
    std::uint8_t bits_ = 0;
};
static_assert(sizeof(TFileAttr) == 1);
static_assert(TFileAttr{ffaAnyFile}.Mask() == 0x3F);
static_assert(TFileAttr{ffaReadOnly, ffaHidden, ffaSysFile, ffaDirectory, ffaArchive}.Mask() == 0x37);

// One directory entry as the listing gives it.
struct TSearchRec {
    std::string Name;  // without folder
    DWORD Attr = 0;    // every bit the file system reports (0x400 reparse point, 0x80 normal)
    std::uint64_t Size = 0;
    FILETIME Time{};       // last write time
    DWORD ReparseTag = 0;  // the reparse point's kind where Attr has 0x400, else 0

    // `name` is the entry's name in the 8-bit form of paths.
    static TSearchRec FromFindData(const WIN32_FIND_DATAW& data, std::string name);
};

// Called for each entry found with its folder (ending with a backslash) and
// its search record; false ends the whole search.
using TFileFoundEvent = std::function<bool(const std::string& folder, const TSearchRec& rec)>;

class TFindFile {
public:
    // Path starts as the current directory; the other defaults are below.
    TFindFile();

    TFileAttr FileAttr{ffaAnyFile};
    bool InSubFolders = false;
    std::string FileMask = "*.*";
    bool StrictMatchOfAttr = false;
    bool NotifyWhenFound = false;
    // Whether FoundFiles keeps the path of every entry reported. A caller
    // that only reads the handler's calls (a whole-drive export) turns it
    // off, so that a search's memory does not grow with the entries it finds.
    bool KeepFoundFiles = true;
    TFileFoundEvent OnFileFound;

    // Always ends with a backslash once set.
    const std::string& Path() const { return path_; }
    // Takes an existing directory that differs from Path, appending a
    // backslash where it has none; ignores anything else silently.
    void SetPath(const std::string& value);

    // Full paths of the entries found by the last search, in the order found
    // (none while KeepFoundFiles is off).
    const std::vector<std::string>& FoundFiles() const { return foundFiles_; }
    // The entries found by the last search, kept or not.
    int FoundCount() const { return foundCount_; }
    // The folders of the last search whose listing the file system refused
    // (access denied, say): nothing in them was reported. The first of them,
    // with its trailing backslash, or empty.
    int UnlistedCount() const { return unlistedCount_; }
    const std::string& FirstUnlisted() const { return firstUnlisted_; }

    // Runs one search from Path, also calling OnFileFound when
    // NotifyWhenFound is set, and returns FoundFiles. An exception from the
    // handler ends the search and reaches the caller, with every listing
    // closed.
    const std::vector<std::string>& Execute();

private:
    // False when the handler ended the search.
    bool SearchFolder(const std::string& folder, const TFileFoundEvent* handler);

    // Counts a folder whose listing the file system refused.
    void Unlisted(const std::string& folder);

    std::string path_;
    std::vector<std::string> foundFiles_;
    int foundCount_ = 0;
    int unlistedCount_ = 0;
    std::string firstUnlisted_;
};

// Sets up a finder as the main window's two finders are set up (and
// tarsio-sim's export, as the window's): every attribute but the volume
// label, every subfolder, Path the root of the current drive, every name,
// overlapping match, the handler called. The handler itself is left alone.
void SetUpFinder(TFindFile& finder);

}  // namespace tarsio
