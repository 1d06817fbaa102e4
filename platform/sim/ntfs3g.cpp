#include "platform/sim/ntfs3g.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>

#include "platform/sim/le.h"

namespace sim::ntfs3g {
namespace {

// The attribute bits NTFS keeps in $STANDARD_INFORMATION and reports.
constexpr DWORD kReported = 0x7FFF;

}  // namespace

std::optional<DWORD> ReadAttributes(const std::string& host) {
    std::uint8_t be[4];
    if (::lgetxattr(HostArg(host).c_str(), kAttribAttr, be, sizeof be) != sizeof be) return std::nullopt;
    return static_cast<DWORD>(be[0]) << 24 | static_cast<DWORD>(be[1]) << 16 | static_cast<DWORD>(be[2]) << 8 | be[3];
}

bool WriteAttributes(const std::string& host, DWORD bits) {
    const std::uint8_t be[4] = {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                                static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)};
    return ::lsetxattr(HostArg(host).c_str(), kAttribAttr, be, sizeof be, 0) == 0;
}

bool IsDirectory(const std::string& host) {
    std::optional<DWORD> bits = ReadAttributes(host);
    return bits && (*bits & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<HostEntry> Describe(const std::string& host, bool, HostEntry entry) {
    std::optional<DWORD> bits = ReadAttributes(host);
    if (!bits) {
        SetError(ErrnoToWin32(errno));
        return std::nullopt;
    }
    // The volume reports its root hidden and system itself.
    entry.attributes = *bits & kReported;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        std::optional<std::vector<std::uint8_t>> data = ReadReparse(host, Backing::Ntfs3g);
        if (data && data->size() >= 4) entry.reparseTag = Le32(data->data());
    }
    if (!entry.attributes) entry.attributes = FILE_ATTRIBUTE_NORMAL;
    return entry;
}

void Settle(const std::string& host) {
    // The first look after the change fails with EIO and makes the kernel
    // drop its stale node; the next one finds the object as it is now.
    struct stat st;
    if (::lstat(HostArg(host).c_str(), &st) != 0 && errno == EIO) ::lstat(HostArg(host).c_str(), &st);
}

}  // namespace sim::ntfs3g
