// The WMI query behind the thermal-zone refresh: one result buffer of the
// MSAcpi_ThermalZoneTemperature data block, fetched from wmi.dll.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/owners_win.h"

namespace boardscope {

struct ThermalBlockBuffer {
  UniqueMalloc<std::uint8_t> data;
  std::size_t size = 0;
};

// Opens the block, asks for its size, allocates exactly that, queries into
// it and closes the block, in that order. On success `result` holds the
// WNODE_ALL_DATA chain; on failure nothing is held and false is returned.
[[nodiscard]] bool QueryThermalZoneBlock(ThermalBlockBuffer& result) noexcept;

}  // namespace boardscope
