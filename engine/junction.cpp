#include "engine/junction.h"

#include <vector>

#include "engine/ansi.h"
#include "engine/error.h"
#include "engine/reparse_buffer.h"
#include "platform/os.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

// Opens the directory itself, not what it leads to, with no sharing: while
// another handle is open on it the open fails at once.
constexpr DWORD kReparseOpenFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
static_assert(kReparseOpenFlags == 0x02200000);

// The native name and the resolved full path are held in 1024 characters.
constexpr std::size_t kNameLimit = 1024;

UniqueHandle OpenForReparse(const std::string& path, DWORD access) {
    return UniqueHandle(
        os::CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, kReparseOpenFlags, nullptr));
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
    std::optional<std::u16string> wide = AnsiToWide(name);
    if (!wide) return false;
    std::optional<std::vector<std::uint8_t>> buffer = reparse::BuildMountPoint(*wide);
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
    if (!HasReparsePoint(junctionDir)) return false;
    UniqueHandle dir = OpenForReparse(junctionDir, GENERIC_READ);
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
    std::optional<std::string> text = WideToAnsi(*name);
    if (!text) return false;
    destination = std::move(*text);
    return true;
}

}  // namespace tarsio
