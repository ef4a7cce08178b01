#include "component/thermal_zone_table.h"

#include <cstring>

namespace boardscope {

std::size_t WalkThermalZoneChain(const std::uint8_t* data, std::size_t size, ThermalZoneTable& table) {
  std::size_t filled = 0;
  std::size_t node = 0;
  while (data != nullptr && filled < kMaxThermalZones && wnode::NodeFits(size, node)) {
    const std::uint8_t* at = data + node;
    const std::size_t instance = wnode::FirstBlockOffset(at, size - node, kZoneDataSize);
    if (instance == 0) break;
    ZoneRecord& record = table[filled];
    std::memcpy(static_cast<ZoneDataBlock*>(&record), at + instance, kZoneDataSize);
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
