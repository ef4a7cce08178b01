#include "component/thermal_zone_table.h"

#include <cstring>

namespace boardscope {
namespace {

using wnode::LoadU32;

// Offset (from the node) of the node's first data block, or 0 when the node
// has no complete one inside the buffer. `room` is the number of bytes from
// the node's start to the buffer's end, at least wnode::kMinNodeSize.
std::size_t FirstInstanceOffset(const std::uint8_t* node, std::size_t room) {
  if (LoadU32(node + wnode::kInstanceCount) == 0) return 0;
  std::size_t offset;
  std::size_t length;
  if (LoadU32(node + wnode::kFlags) & wnode::kFlagFixedInstanceSize) {
    offset = LoadU32(node + wnode::kDataBlockOffset);
    length = LoadU32(node + wnode::kFixedInstanceSize);
  } else {
    offset = LoadU32(node + wnode::kOffsetInstanceData);
    length = LoadU32(node + wnode::kLengthInstanceData);
  }
  if (offset == 0 || length < kZoneDataSize) return 0;
  if (offset > room || room - offset < kZoneDataSize) return 0;
  return offset;
}

}  // namespace

std::size_t WalkThermalZoneChain(const std::uint8_t* data, std::size_t size, ThermalZoneTable& table) {
  std::size_t filled = 0;
  std::size_t node = 0;
  while (data != nullptr && filled < kMaxThermalZones && wnode::NodeFits(size, node)) {
    const std::uint8_t* at = data + node;
    const std::size_t instance = FirstInstanceOffset(at, size - node);
    if (instance == 0) break;
    ZoneRecord& record = table[filled];
    std::memcpy(&record, at + instance, kZoneDataSize);
    record.Ordinal = static_cast<std::int32_t>(filled + 1);
    ++filled;
    node = wnode::NextNode(data, size, node);
    if (node == 0) break;
  }
  for (std::size_t i = filled; i < kMaxThermalZones; ++i) table[i] = ZoneRecord{};
  return filled;
}

std::size_t CountThermalZones(const ThermalZoneTable& table) {
  std::size_t count = 0;
  while (count < kMaxThermalZones && table[count].Ordinal != 0) ++count;
  return count;
}

}  // namespace boardscope
