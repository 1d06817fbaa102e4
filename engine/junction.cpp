#include "engine/junction.h"

#include <vector>

#include "engine/ansi.h"
#include "engine/error.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
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

// The native name and the resolved full path are held in 1024 characters.
constexpr std::size_t kNameLimit = 1024;

// Setting and deleting open for read and write with no sharing: while
// another handle is open on the directory the open fails at once.
UniqueHandle OpenForReparse(const std::string& path, DWORD access, DWORD share = 0) {
    return UniqueHandle(
        os::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, kReparseOpenFlags, nullptr));
}

bool Fail(DWORD error) {
    os::SetLastError(error);
    return false;
}

// The destination resolved against the current directory, if it exists.
bool ResolveExisting(const std::string& destination, std::string& full) {
    std::vector<char> buffer(kNameLimit);
    DWORD n = os::GetFullPathNameA(destination.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0 || n >= buffer.size()) return false;
    full.assign(buffer.data(), n);
    return os::GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool HasReparsePoint(const std::string& path) {
    DWORD attributes = os::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DirectoryExists(const std::string& path) {
    DWORD attributes = os::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::string path) {
    if (path.empty()) throw TarsioError("Unable to create directory");
    if (EndsWithBackslash(path)) path.pop_back();
    // Drive designators ("C:") and one- or two-character names are taken as there.
    if (path.size() < 3) return true;
    if (DirectoryExists(path)) return true;
    std::string parent = path.substr(0, AfterLastDelimiter(path));
    if (parent == path) return true;
    if (!ForceDirectories(parent)) return false;
    return os::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool SetReparseData(const std::string& path, const std::uint8_t* buffer, std::uint32_t size) {
    UniqueHandle dir = OpenForReparse(path, GENERIC_READ | GENERIC_WRITE);
    if (!dir) return false;
    DWORD returned = 0;
    return os::DeviceIoControl(dir.get(), FSCTL_SET_REPARSE_POINT, const_cast<std::uint8_t*>(buffer), size,
                               nullptr, 0, &returned, nullptr) != FALSE;
}

bool DeleteReparseData(const std::string& path, std::uint32_t tag) {
    UniqueHandle dir = OpenForReparse(path, GENERIC_READ | GENERIC_WRITE);
    if (!dir) return false;
    auto header = reparse::BuildDeleteHeader(tag);
    DWORD returned = 0;
    return os::DeviceIoControl(dir.get(), FSCTL_DELETE_REPARSE_POINT, header.data(),
                               static_cast<DWORD>(header.size()), nullptr, 0, &returned, nullptr) != FALSE;
}

bool DeleteJunction(const std::string& junctionDir) {
    return DeleteReparseData(junctionDir, reparse::kMountPointTag);
}

bool CreateJunction(const std::string& junctionDir, const std::string& destination) {
    std::string name;
    if (destination.compare(0, 3, "\\??") == 0) {
        name = destination;
    } else {
        std::string full;
        if (!ResolveExisting(destination, full)) return Fail(ERROR_PATH_NOT_FOUND);
        // The full path, not the text as given: "\??\data" would lead nowhere.
        name = "\\??\\" + full;
    }
    if (name.size() > kNameLimit) return Fail(ERROR_FILENAME_EXCED_RANGE);
    std::optional<WideString> wide = AnsiToWide(name);
    if (!wide) return false;
    std::optional<std::vector<std::uint8_t>> buffer =
        reparse::BuildMountPoint(std::u16string(wide->begin(), wide->end()));
    if (!buffer) return Fail(ERROR_FILENAME_EXCED_RANGE);
    if (!SetReparseData(junctionDir, buffer->data(), static_cast<std::uint32_t>(buffer->size()))) {
        // Removes the directory only if it is empty; its result does not matter.
        DWORD reason = os::GetLastError();
        os::RemoveDirectoryA(junctionDir.c_str());
        return Fail(reason);
    }
    return true;
}

std::string PlainDestination(const std::string& read) {
    return read.size() > 5 ? read.substr(4, read.size() - 5) : std::string();
}

bool ReadJunctionDestination(const std::string& junctionDir, std::string& destination) {
    DWORD attributes = os::GetFileAttributesA(junctionDir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return Fail(ERROR_NOT_A_REPARSE_POINT);
    UniqueHandle dir = OpenForReparse(junctionDir, kReadAccess, kShareAll);
    if (!dir) return false;
    std::vector<std::uint8_t> buffer(reparse::kMaxBufferSize);
    DWORD returned = 0;
    if (!os::DeviceIoControl(dir.get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                             static_cast<DWORD>(buffer.size()), &returned, nullptr))
        return false;
    // Only a mount point has this layout; a symbolic link's name lies elsewhere.
    std::optional<std::u16string> name =
        reparse::ReadSubstituteName(std::span<const std::uint8_t>(buffer.data(), returned));
    if (!name) return Fail(ERROR_INVALID_REPARSE_DATA);
    // The code page of the file calls, so that the text names the same folder.
    std::optional<std::string> text = WideToAnsi(WideString(name->begin(), name->end()));
    if (!text) return false;
    destination = std::move(*text);
    return true;
}

}  // namespace tarsio
