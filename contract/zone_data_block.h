// The data block of one instance of MSAcpi_ThermalZoneTemperature as WMI
// delivers it: nineteen little-endian unsigned 32-bit values, temperatures in
// tenths of a kelvin. Platform-neutral.
#pragma once

#include <cstddef>
#include <cstdint>

namespace boardscope {

constexpr std::size_t kMaxActiveTripPoints = 10;

struct ZoneDataBlock {
  std::uint32_t ThermalStamp;
  std::uint32_t ThermalConstant1;
  std::uint32_t ThermalConstant2;
  std::uint32_t Reserved;
  std::uint32_t SamplingPeriod;
  std::uint32_t CurrentTemperature;  // tenths of a kelvin
  std::uint32_t PassiveTripPoint;    // tenths of a kelvin
  std::uint32_t CriticalTripPoint;   // tenths of a kelvin
  std::uint32_t ActiveTripPointCount;
  std::uint32_t ActiveTripPoint[kMaxActiveTripPoints];  // tenths of a kelvin
};

constexpr std::size_t kZoneDataSize = sizeof(ZoneDataBlock);
static_assert(kZoneDataSize == 76, "nineteen 32-bit values, no padding");

// 0 degrees Celsius in the block's tenths of a kelvin.
constexpr std::uint32_t kZeroCelsius = 2732;

}  // namespace boardscope
