#pragma once
// Host-side looks at the simulated file system, for native tests.

#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "engine/junction.h"
#include "platform/os.h"
#include "platform/sim/core.h"

namespace tarsio::test {

// The bytes stored as a directory's reparse data, or nullopt.
inline std::optional<std::vector<std::uint8_t>> HostReparse(const std::string& host) {
    std::vector<std::uint8_t> buffer(16384);
    ssize_t n = ::lgetxattr(sim::HostArg(host).c_str(), "user.reparse", buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

// Makes `path` with its parents, then a junction of it to `destination`.
inline void Junction(const std::string& path, const std::string& destination) {
    ASSERT_TRUE(ForceDirectories(path)) << path;
    ASSERT_TRUE(CreateJunction(path, destination)) << path << " error " << os::GetLastError();
}

// A host file's bytes; empty when it is missing.
inline std::string HostText(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

}  // namespace tarsio::test
