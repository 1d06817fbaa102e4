#include "engine/junction.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/ascii.h"
#include "engine/error.h"
#include "engine/reparse_buffer.h"
#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

// Opens the directory itself, not what it leads to.
constexpr DWORD kReparseOpenFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
static_assert(kReparseOpenFlags == 0x02200000);

// Reading needs no more than FILE_READ_ATTRIBUTES (FSCTL_GET_REPARSE_POINT is
// FILE_ANY_ACCESS) and shares everything, so junctions that deny reading to
// everyone (C:\Documents and Settings) and folders held open by others read.
constexpr DWORD kReadAccess = FILE_READ_ATTRIBUTES;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Setting and deleting open for read and write with no sharing: while
// another handle is open on the directory the open fails at once. Where the
// directory may be removed, the same open asks for DELETE access too.
UniqueHandle OpenForReparse(const std::string& path, DWORD access, DWORD share = 0) {
    return UniqueHandle(paths::CreateFileW(path, access, share, nullptr, OPEN_EXISTING, kReparseOpenFlags, nullptr));
}

bool SetReparseDataOn(const UniqueHandle& dir, const std::uint8_t* buffer, std::uint32_t size) {
    DWORD returned = 0;
    return os::DeviceIoControl(dir.get(), FSCTL_SET_REPARSE_POINT, const_cast<std::uint8_t*>(buffer), size, nullptr,
                               0, &returned, nullptr) != FALSE;
}

bool DeleteReparseDataOn(const UniqueHandle& dir, std::uint32_t tag) {
    auto header = reparse::BuildDeleteHeader(tag);
    DWORD returned = 0;
    return os::DeviceIoControl(dir.get(), FSCTL_DELETE_REPARSE_POINT, header.data(),
                               static_cast<DWORD>(header.size()), nullptr, 0, &returned, nullptr) != FALSE;
}

// The directory the handle holds goes when the handle is closed, wherever
// its name leads by then: no name is looked up again. NTFS refuses this
// while the directory holds anything (ERROR_DIR_NOT_EMPTY).
bool RemoveOnClose(const UniqueHandle& dir) {
    FILE_DISPOSITION_INFO remove{TRUE};
    return os::SetFileInformationByHandle(dir.get(), FileDispositionInfo, &remove, sizeof remove) != FALSE;
}

bool Fail(DWORD error) {
    os::SetLastError(error);
    return false;
}

// Makes the directory `path` (full, its parent there) and opens it for a
// junction. Between the two another user who may write in a folder above it
// could swap that folder for a junction, so that the name led to a directory
// elsewhere (an empty C:\Config.Msi, say). So the parent is held open, and
// the directory opened must be the parent's entry of that name, wherever the
// parent is by then; otherwise it is left untouched and the call fails.
bool MakeAndOpen(const std::string& path, UniqueHandle& made) {
    const std::size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos || cut + 1 == path.size()) return Fail(ERROR_INVALID_NAME);
    std::string parentPath = path.substr(0, cut);
    if (parentPath.ends_with(':')) parentPath.push_back('\\');  // a drive's root directory, not its volume
    UniqueHandle parent(paths::CreateFileW(parentPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!parent || !paths::CreateDirectoryW(path, nullptr)) return false;
    UniqueHandle dir = OpenForReparse(path, GENERIC_READ | GENERIC_WRITE | DELETE);
    if (!dir) return false;
    std::optional<std::string> parentName = paths::FinalName(parent.get()), name = paths::FinalName(dir.get());
    // Where the system names no handle (Wine, for a name past MAX_PATH), the
    // directory is taken as the one made, as it was without the check.
    if (parentName && name) {
        if (!parentName->ends_with('\\')) parentName->push_back('\\');
        std::optional<WideString> expected = AnsiToWide(*parentName + path.substr(cut + 1));
        std::optional<WideString> actual = AnsiToWide(*name);
        if (!expected || !actual ||
            os::CompareStringOrdinal(expected->c_str(), static_cast<int>(expected->size()), actual->c_str(),
                                     static_cast<int>(actual->size()), TRUE) != CSTR_EQUAL)
            return Fail(ERROR_ACCESS_DENIED);
    }
    made = std::move(dir);
    return true;
}

std::nullopt_t Refuse(DWORD error) {
    os::SetLastError(error);
    return std::nullopt;
}

// The longest name any Win32 call takes, in UTF-16 code units.
constexpr std::size_t kLongestName = 32767;

bool LongerThanAnyName(const std::string& path) {
    // Every byte gives at most one code unit: a short text needs no conversion.
    if (path.size() <= kLongestName) return false;
    std::optional<WideString> wide = AnsiToWide(path);
    return !wide || wide->size() > kLongestName;
}

// `prefix` is given in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && LowerAscii(std::string(text.substr(0, prefix.size()))) == prefix;
}

// Which destinations must name an existing local folder: CreateJunction
// stores a native name ("\??\...") unchecked.
enum class MustExist { Nothing, Win32Names, Everything };

// The name CreateJunction stores for `destination`, native prefix included,
// in UTF-16. A "\??" name is stored as given (never a share), and its folder
// is the Win32 form "\\?\..." of a "\??\..." name; any other is resolved to
// its full path, which a "\\?\" path already is behind its prefix. UNC and
// "\\.\" device paths, control characters and names longer than a mount
// point holds are refused, and so is a folder that `mustExist` asks for and
// that is missing or no directory. nullopt with the last error set.
std::optional<WideString> StoredName(const std::string& destination, MustExist mustExist,
                                     std::string* ansiName = nullptr) {
    if (HasControlCharacter(destination)) return Refuse(ERROR_INVALID_NAME);
    std::string name, folder;
    const bool native = destination.compare(0, 3, "\\??") == 0;
    if (native) {
        if (StartsWithNoCase(destination, "\\??\\unc\\")) return Refuse(ERROR_BAD_PATHNAME);
        name = destination;
        if (destination.starts_with("\\??\\")) folder = "\\\\?\\" + destination.substr(4);
    } else {
        std::optional<std::string> resolved = paths::GetFullPathNameW(destination);
        if (!resolved) return Refuse(ERROR_PATH_NOT_FOUND);
        std::string_view local = *resolved;
        if (local.substr(0, 4) == "\\\\?\\") {
            local.remove_prefix(4);
            if (StartsWithNoCase(local, "unc\\")) return Refuse(ERROR_BAD_PATHNAME);
        } else if (local.substr(0, 2) == "\\\\") {
            return Refuse(ERROR_BAD_PATHNAME);
        }
        // The full path, not the text as given: "\??\data" would lead nowhere.
        name = "\\??\\" + std::string(local);
        folder = std::move(*resolved);
    }
    std::optional<WideString> wide = AnsiToWide(name);
    if (!wide) return std::nullopt;
    // The one limit of a destination: what a mount point's buffer holds.
    if (wide->size() > reparse::kMaxSubstituteUnits) return Refuse(ERROR_FILENAME_EXCED_RANGE);
    if (mustExist == MustExist::Everything || (mustExist == MustExist::Win32Names && !native)) {
        DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : paths::GetFileAttributesW(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(ERROR_PATH_NOT_FOUND);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Refuse(ERROR_DIRECTORY);
    }
    if (ansiName) *ansiName = std::move(name);
    return wide;
}

// The substitute name stored in the mount point of `junctionDir`, without its
// terminator. Opens for FILE_READ_ATTRIBUTES only (see kReadAccess).
std::optional<WideString> ReadStoredName(const std::string& junctionDir) {
    DWORD attributes = paths::GetFileAttributesW(junctionDir);
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Refuse(ERROR_NOT_A_REPARSE_POINT);
    UniqueHandle dir = OpenForReparse(junctionDir, kReadAccess, kShareAll);
    if (!dir) return std::nullopt;
    std::vector<std::uint8_t> buffer(reparse::kMaxBufferSize);
    DWORD returned = 0;
    if (!os::DeviceIoControl(dir.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &returned, nullptr))
        return std::nullopt;
    // Only a mount point has this layout; a symbolic link's name lies elsewhere.
    std::optional<std::u16string> name = reparse::ReadSubstituteName(
        std::span<const std::uint8_t>(buffer.data(), returned));
    if (!name) return Refuse(ERROR_INVALID_REPARSE_DATA);
    return WideString(name->begin(), name->end() - 1);
}

// Whether two stored names lead to the same folder, compared as Windows
// compares names: ignoring case, and one trailing backslash, but a volume's
// ("\??\C:\", "\??\Volume{…}\"), which names its root directory.
bool SameStoredName(WideView a, WideView b) {
    constexpr WCHAR kBackslash = '\\';
    auto trim = [](WideView& name) {
        if (name.size() > 5 && name.back() == kBackslash &&
            name.substr(4, name.size() - 5).find(kBackslash) != name.npos)
            name.remove_suffix(1);
    };
    trim(a);
    trim(b);
    return os::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                    TRUE) == CSTR_EQUAL;
}

// Positions of the backslashes and colons that are whole characters.
std::vector<std::size_t> DelimiterPositions(std::string_view path) {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == ':') {
            positions.push_back(i);
        }
    }
    return positions;
}

}  // namespace

bool HasControlCharacter(std::string_view path) {
    return std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool HasReparsePoint(const std::string& path) {
    DWORD attributes = paths::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = paths::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& path, bool* createdIt, UniqueHandle* made) {
    if (createdIt) *createdIt = false;
    if (made) made->reset();
    if (path.empty()) throw TarsioError("Unable to create directory");
    if (HasControlCharacter(path)) return Fail(ERROR_INVALID_NAME);
    // A name that no call takes cannot be made, nor can any level within it
    // be of use: fail before looking at the levels.
    if (LongerThanAnyName(path)) return Fail(ERROR_FILENAME_EXCED_RANGE);

    // Each level is a prefix of the path. Walk outwards to the first level
    // that needs no creating, as a recursion on the parent would, then create
    // the missing ones from the outermost inwards.
    const std::vector<std::size_t> delimiters = DelimiterPositions(path);
    std::size_t below = delimiters.size();  // delimiters[0, below) lie inside the level
    std::vector<std::size_t> missing;       // lengths of the levels to create, innermost first
    std::string level;
    for (std::size_t length = path.size();;) {
        if (length == 0) throw TarsioError("Unable to create directory");
        while (below > 0 && delimiters[below - 1] >= length) --below;
        if (below > 0 && delimiters[below - 1] == length - 1 && path[length - 1] == '\\') {
            --length;
            --below;
        }
        // Drive designators ("C:") and one- or two-character names are taken as there.
        if (length < 3) break;
        level.assign(path, 0, length);
        os::SetLastError(ERROR_SUCCESS);
        if (DirectoryExists(level)) break;
        // The platform refuses the name, for its length or a component's:
        // so would its creation, after the levels above it were made.
        const DWORD looked = os::GetLastError();
        if (missing.empty() && (looked == ERROR_FILENAME_EXCED_RANGE || looked == ERROR_INVALID_NAME)) return false;
        std::size_t parent = below > 0 ? delimiters[below - 1] + 1 : 0;
        if (parent == length) break;
        missing.push_back(length);
        length = parent;
    }
    for (std::size_t i = missing.size(); i-- > 0;) {
        level.assign(path, 0, missing[i]);
        if (i == 0 && made) {
            // Its full name: the parent is found by cutting that.
            std::optional<std::string> full = paths::GetFullPathNameW(level);
            if (!full || !MakeAndOpen(*full, *made)) return false;
        } else if (!paths::CreateDirectoryW(level, nullptr)) {
            return false;
        }
    }
    if (createdIt) *createdIt = !missing.empty();
    return true;
}

bool SetReparseData(const std::string& path, const std::uint8_t* buffer, std::uint32_t size) {
    UniqueHandle dir = OpenForReparse(path, GENERIC_READ | GENERIC_WRITE);
    return dir && SetReparseDataOn(dir, buffer, size);
}

bool DeleteReparseData(const std::string& path, std::uint32_t tag) {
    UniqueHandle dir = OpenForReparse(path, GENERIC_READ | GENERIC_WRITE);
    return dir && DeleteReparseDataOn(dir, tag);
}

bool DeleteJunction(const std::string& junctionDir, bool* removedIt) {
    if (removedIt) *removedIt = false;
    UniqueHandle dir = OpenForReparse(junctionDir, GENERIC_READ | GENERIC_WRITE | DELETE);
    if (!dir || !DeleteReparseDataOn(dir, reparse::kMountPointTag)) return false;
    // What the handle holds now, not what the name leads to.
    FILE_ATTRIBUTE_TAG_INFO now{};
    if (!os::GetFileInformationByHandleEx(dir.get(), FileAttributeTagInfo, &now, sizeof now)) return true;
    if ((now.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
        FILE_ATTRIBUTE_DIRECTORY) {
        os::SetLastError(ERROR_DIRECTORY);
        return true;
    }
    if (RemoveOnClose(dir) && removedIt) *removedIt = true;
    return true;
}

bool CreateJunction(const std::string& junctionDir, const std::string& destination, bool madeForIt,
                    UniqueHandle* made) {
    if (HasControlCharacter(junctionDir)) return Fail(ERROR_INVALID_NAME);
    std::optional<WideString> wide = StoredName(destination, MustExist::Win32Names);
    if (!wide) return false;
    // StoredName held the name to what the buffer holds.
    std::optional<std::vector<std::uint8_t>> buffer = reparse::BuildMountPoint(
        std::u16string(wide->begin(), wide->end()));
    UniqueHandle dir = made && *made
                           ? std::move(*made)
                           : OpenForReparse(junctionDir, GENERIC_READ | GENERIC_WRITE | (madeForIt ? DELETE : 0));
    if (!dir) return false;
    if (!SetReparseDataOn(dir, buffer->data(), static_cast<std::uint32_t>(buffer->size()))) {
        // Only a directory made for this junction goes, through the handle
        // that tried, and only if empty; whether it went does not matter.
        DWORD reason = os::GetLastError();
        if (madeForIt) RemoveOnClose(dir);
        return Fail(reason);
    }
    return true;
}

std::string PlainDestination(const std::string& read) {
    std::string name = read.substr(0, read.empty() ? 0 : read.size() - 1);
    if (!name.starts_with("\\??\\")) return name;
    // "\??\X:\..." is the drive path; another native name, a volume's
    // ("\??\Volume{…}\"), is one for the Win32 calls behind "\\?\".
    const char letter = name.size() >= 6 ? static_cast<char>(name[4] | 0x20) : '\0';
    bool drivePath = letter >= 'a' && letter <= 'z' && name[5] == ':' && (name.size() == 6 || name[6] == '\\');
    return drivePath ? name.substr(4) : "\\\\?\\" + name.substr(4);
}

bool ReadJunctionDestination(const std::string& junctionDir, std::string& destination) {
    std::optional<WideString> name = ReadStoredName(junctionDir);
    if (!name) return false;
    name->push_back(0);
    // The code page of the file calls, so that the text names the same folder.
    std::optional<std::string> text = WideToAnsi(*name);
    if (!text) return false;
    destination = std::move(*text);
    return true;
}

bool CheckJunctionDestination(const std::string& destination, std::string* storedName) {
    return StoredName(destination, MustExist::Everything, storedName).has_value();
}

bool JunctionLeadsTo(const std::string& junctionDir, const std::string& destination) {
    if (HasControlCharacter(junctionDir)) return false;
    std::optional<WideString> stored = ReadStoredName(junctionDir);
    std::optional<WideString> wanted = stored ? StoredName(destination, MustExist::Nothing) : std::nullopt;
    return wanted && SameStoredName(*stored, *wanted);
}

bool IsLinkToFolder(std::uint32_t attributes, std::uint32_t reparseTag) {
    constexpr std::uint32_t kNameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (reparseTag == 0 || (reparseTag & kNameSurrogate));
}

bool IsLinkToFolder(const std::string& path) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle found(paths::FindFirstFileExW(path, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    return found.valid() && IsLinkToFolder(data.dwFileAttributes, data.dwReserved0);
}

}  // namespace tarsio
