#pragma once
// Host-side looks at the simulated file system, for native tests.

#include <sys/xattr.h>

#include <optional>
#include <string>
#include <vector>

namespace tarsio::test {

// The bytes stored as a directory's reparse data, or nullopt.
inline std::optional<std::vector<std::uint8_t>> HostReparse(const std::string& host) {
    std::vector<std::uint8_t> buffer(16384);
    ssize_t n = ::lgetxattr(host.c_str(), "user.reparse", buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

inline std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

}  // namespace tarsio::test
