#pragma once
// Byte layouts of the mount-point reparse buffer and the reparse deletion
// header, built and parsed with explicit little-endian readers and writers.
//
// Mount point (all fields little-endian):
//   0  u32 reparse tag            IO_REPARSE_TAG_MOUNT_POINT
//   4  u16 reparse data length    bytes after this 8-byte header: N + 12
//   6  u16 reserved               0
//   8  u16 substitute-name offset from offset 16: 0
//  10  u16 substitute-name length N, terminator not counted
//  12  u16 print-name offset      N + 2
//  14  u16 print-name length      0
//  16  N   substitute name, UTF-16LE, then two 2-byte terminators
// The buffer handed to the file system is N + 20 bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarsio::reparse {

inline constexpr std::uint32_t kMountPointTag = 0xA0000003;  // IO_REPARSE_TAG_MOUNT_POINT
inline constexpr std::size_t kMaxBufferSize = 16384;         // MAXIMUM_REPARSE_DATA_BUFFER_SIZE

inline constexpr std::size_t kTagOffset = 0;
inline constexpr std::size_t kDataLengthOffset = 4;
inline constexpr std::size_t kReservedOffset = 6;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kSubstituteOffsetOffset = 8;
inline constexpr std::size_t kSubstituteLengthOffset = 10;
inline constexpr std::size_t kPrintOffsetOffset = 12;
inline constexpr std::size_t kPrintLengthOffset = 14;
inline constexpr std::size_t kPathBufferOffset = 16;
inline constexpr std::size_t kDeleteHeaderSize = 24;  // tag, length, reserved, 16-byte GUID

// The published REPARSE_DATA_BUFFER header with its MountPointReparseBuffer,
// used only to check the offsets above; the code never casts onto it.
struct MountPointHeader {
    std::uint32_t ReparseTag;
    std::uint16_t ReparseDataLength;
    std::uint16_t Reserved;
    std::uint16_t SubstituteNameOffset;
    std::uint16_t SubstituteNameLength;
    std::uint16_t PrintNameOffset;
    std::uint16_t PrintNameLength;
};
static_assert(sizeof(MountPointHeader) == kPathBufferOffset);
static_assert(offsetof(MountPointHeader, ReparseTag) == kTagOffset);
static_assert(offsetof(MountPointHeader, ReparseDataLength) == kDataLengthOffset);
static_assert(offsetof(MountPointHeader, Reserved) == kReservedOffset);
static_assert(offsetof(MountPointHeader, SubstituteNameOffset) == kSubstituteOffsetOffset);
static_assert(offsetof(MountPointHeader, SubstituteNameLength) == kSubstituteLengthOffset);
static_assert(offsetof(MountPointHeader, PrintNameOffset) == kPrintOffsetOffset);
static_assert(offsetof(MountPointHeader, PrintNameLength) == kPrintLengthOffset);

struct DeleteHeader {
    std::uint32_t ReparseTag;
    std::uint16_t ReparseDataLength;
    std::uint16_t Reserved;
    std::uint8_t ReparseGuid[16];
};
static_assert(sizeof(DeleteHeader) == kDeleteHeaderSize);
static_assert(offsetof(DeleteHeader, ReparseGuid) == kHeaderSize);

// The largest substitute name (in UTF-16 code units) whose buffer fits.
inline constexpr std::size_t kMaxSubstituteUnits = (kMaxBufferSize - kPathBufferOffset - 4) / 2;

// Builds the N + 20 byte mount point for `substituteName` (native prefix
// included); nullopt when it does not fit the buffer.
std::optional<std::vector<std::uint8_t>> BuildMountPoint(std::u16string_view substituteName);

std::array<std::uint8_t, kDeleteHeaderSize> BuildDeleteHeader(std::uint32_t tag);

std::uint32_t ReadTag(std::span<const std::uint8_t> data);

// The substitute name of a mount point together with the code unit that
// follows it (its terminator): L/2 + 1 code units. nullopt when the data is
// not a mount point, when its reparse data length claims more than `data`
// holds, or when the name and its terminator do not lie within that length.
std::optional<std::u16string> ReadSubstituteName(std::span<const std::uint8_t> data);

}  // namespace tarsio::reparse
