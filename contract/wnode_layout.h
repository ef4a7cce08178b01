// Layout of the WNODE_ALL_DATA members that the thermal-zone reader, the WMI
// test double and zemhost read: byte offsets from the start of a node.
// Platform-neutral.
#pragma once

#include <cstddef>
#include <cstdint>

namespace boardscope {

namespace wnode {
constexpr std::size_t kLinkage = 12;
constexpr std::size_t kFlags = 44;
constexpr std::size_t kDataBlockOffset = 48;
constexpr std::size_t kInstanceCount = 52;
constexpr std::size_t kFixedInstanceSize = 60;  // same slot as OffsetInstanceData
constexpr std::size_t kOffsetInstanceData = 60;
constexpr std::size_t kLengthInstanceData = 64;
constexpr std::size_t kMinNodeSize = 68;  // header, counts and the first offset/length pair
constexpr std::uint32_t kFlagFixedInstanceSize = 0x00000010;

// A little-endian 32-bit field of the buffer (unaligned).
inline std::uint32_t LoadU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

// Whether a node header starting at `node` lies whole inside `size` bytes.
inline bool NodeFits(std::size_t size, std::size_t node) { return node <= size && size - node >= kMinNodeSize; }

// Offset (from the node) of the node's first data block, or 0 when the node
// reports no instance or has no block of at least `minLength` bytes lying
// whole inside the `room` bytes from the node's start to the buffer's end
// (room >= kMinNodeSize).
inline std::size_t FirstBlockOffset(const std::uint8_t* node, std::size_t room, std::size_t minLength) {
  if (LoadU32(node + kInstanceCount) == 0) return 0;
  const bool fixed = (LoadU32(node + kFlags) & kFlagFixedInstanceSize) != 0;
  const std::size_t offset = LoadU32(node + (fixed ? kDataBlockOffset : kOffsetInstanceData));
  const std::size_t length = LoadU32(node + (fixed ? kFixedInstanceSize : kLengthInstanceData));
  if (offset == 0 || length < minLength) return 0;
  if (offset > room || room - offset < minLength) return 0;
  return offset;
}

// The offset of the node after the fitting node at `node`, or 0 when the
// chain ends there: a zero link, or one that would leave the buffer. Sums
// never wrap and links only point forward, so no node is visited twice;
// walkers cap their node count too.
inline std::size_t NextNode(const std::uint8_t* data, std::size_t size, std::size_t node) {
  const std::uint32_t linkage = LoadU32(data + node + kLinkage);
  if (linkage == 0 || linkage > size - node) return 0;
  return node + linkage;
}
}  // namespace wnode

}  // namespace boardscope
