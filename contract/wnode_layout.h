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
}  // namespace wnode

}  // namespace boardscope
