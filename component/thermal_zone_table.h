// The module-wide thermal-zone records and the walk that fills them from a
// WMI WNODE_ALL_DATA result buffer. Platform-neutral: the walk depends on
// nothing but the bytes of the buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "contract/wnode_layout.h"
#include "contract/zone_data_block.h"

namespace boardscope {

// One ACPI thermal zone: the data block of an instance of
// MSAcpi_ThermalZoneTemperature, copied as it is, plus its table position.
struct ZoneRecord : ZoneDataBlock {
  std::int32_t Ordinal;  // 1-based position once filled, 0 never filled
};
static_assert(sizeof(ZoneRecord) == kZoneDataSize + sizeof(std::int32_t), "data block precedes Ordinal");

constexpr std::size_t kMaxThermalZones = 10;

using ThermalZoneTable = std::array<ZoneRecord, kMaxThermalZones>;

// Copies the first instance of each node of the chain in [data, data + size)
// into table records 0, 1, ... (at most ten) with Ordinals 1, 2, ..., clears
// the records after them and returns how many were filled. A node that does
// not fit the buffer, whose first instance lies outside it or is shorter
// than a data block, or that reports no instance, ends the walk; the nodes
// before it count. Nothing outside the buffer is read.
std::size_t WalkThermalZoneChain(const std::uint8_t* data, std::size_t size, ThermalZoneTable& table);

// Number of leading records with a non-zero Ordinal.
std::size_t CountThermalZones(const ThermalZoneTable& table);

}  // namespace boardscope
