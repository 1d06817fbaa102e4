#include "engine/reparse_buffer.h"

namespace tarsio::reparse {
namespace {

void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

template <typename Bytes>
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t Get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

std::optional<std::vector<std::uint8_t>> BuildMountPoint(std::u16string_view substituteName) {
    if (substituteName.size() > kMaxSubstituteUnits) return std::nullopt;
    const auto n = static_cast<std::uint16_t>(substituteName.size() * 2);
    std::vector<std::uint8_t> b(kPathBufferOffset + n + 4, 0);
    Put32(b, kTagOffset, kMountPointTag);
    Put16(b, kDataLengthOffset, static_cast<std::uint16_t>(n + 12));
    Put16(b, kSubstituteOffsetOffset, 0);
    Put16(b, kSubstituteLengthOffset, n);
    Put16(b, kPrintOffsetOffset, static_cast<std::uint16_t>(n + 2));
    Put16(b, kPrintLengthOffset, 0);
    for (std::size_t i = 0; i < substituteName.size(); ++i)
        Put16(b, kPathBufferOffset + 2 * i, static_cast<std::uint16_t>(substituteName[i]));
    return b;
}

std::array<std::uint8_t, kDeleteHeaderSize> BuildDeleteHeader(std::uint32_t tag) {
    std::array<std::uint8_t, kDeleteHeaderSize> h{};
    Put32(h, kTagOffset, tag);
    return h;
}

std::uint32_t ReadTag(std::span<const std::uint8_t> data) {
    if (data.size() < 4) return 0;
    return data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
}

std::optional<std::u16string> ReadSubstituteName(std::span<const std::uint8_t> data) {
    if (data.size() < kPathBufferOffset || ReadTag(data) != kMountPointTag) return std::nullopt;
    // The reparse data length must agree with the bytes returned, and the name
    // with its terminator must lie within that data.
    const std::size_t dataLength = Get16(data, kDataLengthOffset);
    if (kHeaderSize + dataLength > data.size()) return std::nullopt;
    data = data.first(kHeaderSize + dataLength);
    const std::size_t offset = Get16(data, kSubstituteOffsetOffset);
    const std::size_t length = Get16(data, kSubstituteLengthOffset);
    const std::size_t start = kPathBufferOffset + offset;
    if (length % 2 != 0 || start + length + 2 > data.size()) return std::nullopt;
    std::u16string name;
    name.reserve(length / 2 + 1);
    for (std::size_t at = start; at < start + length + 2; at += 2) name.push_back(Get16(data, at));
    return name;
}

}  // namespace tarsio::reparse
