// The module-wide thermal-zone records and the walk that fills them from a
// WMI WNODE_ALL_DATA result buffer. Platform-neutral: the walk depends on
// nothing but the bytes of the buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "contract/wnode_layout.h"

namespace boardscope {

// One ACPI thermal zone: the 76-byte data block of an instance of
// MSAcpi_ThermalZoneTemperature, copied as it is, plus its table position.
struct ZoneRecord {
  std::uint32_t ThermalStamp;
  std::uint32_t ThermalConstant1;
  std::uint32_t ThermalConstant2;
  std::uint32_t Reserved;
  std::uint32_t SamplingPeriod;
  std::uint32_t CurrentTemperature;  // tenths of a kelvin
  std::uint32_t PassiveTripPoint;    // tenths of a kelvin
  std::uint32_t CriticalTripPoint;   // tenths of a kelvin
  std::uint32_t ActiveTripPointCount;
  std::uint32_t ActiveTripPoint[10];  // tenths of a kelvin
  std::int32_t Ordinal;               // 1-based position once filled, 0 never filled
};

constexpr std::size_t kMaxThermalZones = 10;
constexpr std::size_t kZoneDataSize = 76;
constexpr std::size_t kMaxActiveTripPoints = 10;
static_assert(offsetof(ZoneRecord, Ordinal) == kZoneDataSize, "data block precedes Ordinal");

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
