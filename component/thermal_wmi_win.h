// The WMI query behind the thermal-zone refresh: one result buffer of the
// MSAcpi_ThermalZoneTemperature data block, fetched from wmi.dll.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace boardscope {

struct FreeDeleter {
  void operator()(void* block) const noexcept { std::free(block); }
};

struct ThermalBlockBuffer {
  std::unique_ptr<std::uint8_t[], FreeDeleter> data;
  std::size_t size = 0;
};

// Opens the block, asks for its size, allocates exactly that, queries into
// it and closes the block, in that order. On success `result` holds the
// WNODE_ALL_DATA chain; on failure nothing is held and false is returned.
bool QueryThermalZoneBlock(ThermalBlockBuffer& result) noexcept;

}  // namespace boardscope
