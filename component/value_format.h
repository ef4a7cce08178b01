// Temperature conversion and the numeric texts of the zone entries.
// Platform-neutral: texts are UTF-16 code units without a terminator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/status.h"
#include "contract/zone_data_block.h"

namespace boardscope {

// Tenths of a kelvin to tenths of a degree Celsius; a raw 0 stays 0.
constexpr std::int32_t CelsiusTenths(std::uint32_t raw) {
  return raw == 0 ? 0 : static_cast<std::int32_t>(raw - kZeroCelsius);
}

// Longest FormatTenths text: "-214748364.8".
constexpr std::size_t kTenthsTextMax = 12;

// Writes t / 10 "." t mod 10, with a leading '-' for negative t, to `out`
// (room for kTenthsTextMax units) and returns the number of units written.
std::size_t FormatTenths(std::int32_t tenths, Char16* out);

// Writes the decimal digits of `value` (at most 10 units) and returns their count.
std::size_t FormatDecimal(std::uint32_t value, Char16* out);

// Entry values that the zone record does not carry as they are.
constexpr std::uint32_t PassiveTripPointValue(std::uint32_t raw) {
  return (raw == 0 || raw == 2731 || raw == 0x1999A334u) ? 0 : (raw - kZeroCelsius) / 10u;
}
constexpr std::uint32_t SamplingPeriodValue(std::uint32_t raw) {
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(raw) / 10);
}
constexpr std::uint32_t CriticalTemperatureValue(std::uint32_t raw) {
  return raw == 0 ? 0 : (raw - kZeroCelsius) / 10u;
}

}  // namespace boardscope
