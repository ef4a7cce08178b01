#include "zone_reading.h"

#include "prometheus.h"

#include "contract/zone_data_block.h"

namespace zemhost {
namespace {

using boardscope::kZeroCelsius;  // tenths of a kelvin

// Current temperatures, in tenths of a kelvin, that ACPI firmware answers
// forever from a thermal zone with no sensor behind it. Users post them
// from real machines: 3010 (27.8 °C) above all, also 3030 (29.8 °C), 2732
// (0.0 °C) and 0 (systeminformation issues 40, 76, 135, 662 and 863,
// MeshCentral issue 2304, sysinfo issue 546; RunCat365 pull request 323
// filters 3010 by hand). 27.8 °C and 29.8 °C may also be true readings, so
// they stay as temperatures; 0.0 °C and 0 are no reading.
struct FirmwarePlaceholder {
  std::int64_t raw;
  bool mayBeReal;
};
constexpr FirmwarePlaceholder kFirmwarePlaceholders[] = {{3010, true}, {3030, true}, {kZeroCelsius, false}, {0, false}};

// ACPI's thermal objects (_TMP, _CRT, _PSV, _ACx) return an Integer in
// tenths of a kelvin, so nothing lies below 0 K (-273.2 °C). The Integer of
// a 32-bit AML table and the uint32 fields of MSAcpi_ThermalZoneTemperature
// are 32 bits wide, and the plug-in decodes them as signed: a raw value from
// 2^31 on is a wrapped number, not a temperature.
constexpr std::int64_t kLowestTenths = -std::int64_t{kZeroCelsius};
constexpr std::int64_t kHighestTenths = 0x7FFFFFFF - std::int64_t{kZeroCelsius};

}  // namespace

const char* ReadingName(Reading reading) {
  switch (reading) {
    case Reading::kMeasured: return "measured";
    case Reading::kPlaceholder: return "placeholder";
    case Reading::kNoReading: return "no-reading";
    case Reading::kOutOfRange: return "out-of-range";
    case Reading::kUnchanging: return "unchanging";
  }
  return "measured";
}

bool TemperatureInRange(std::int64_t tenths) { return tenths >= kLowestTenths && tenths <= kHighestTenths; }

// Whole degrees come from (raw - 2732) / 10 rounded down, so degree d stands
// for tenths 10d to 10d + 9.
std::int64_t MostWholeDegrees() { return (kHighestTenths - 9) / 10; }

CurrentTemperature ClassifyCurrent(std::optional<std::int64_t> tenths) {
  CurrentTemperature current;
  if (!tenths) return current;  // no number: no reading
  if (!TemperatureInRange(*tenths)) {
    current.reading = Reading::kOutOfRange;
    return current;
  }
  for (const FirmwarePlaceholder& p : kFirmwarePlaceholders) {
    // The plug-in shows raw 0 as 0.0 °C, the same as raw 2732.
    if ((p.raw == 0 ? 0 : p.raw - kZeroCelsius) != *tenths) continue;
    current.reading = p.mayBeReal ? Reading::kPlaceholder : Reading::kNoReading;
    current.knownPlaceholder = true;
    if (p.mayBeReal) current.tenths = tenths;
    return current;
  }
  current.reading = Reading::kMeasured;
  current.tenths = tenths;
  return current;
}

void UnchangingReadings::Observe(Report& report) {
  for (PluginReport& p : report.plugins) {
    for (const ThermalZone& zone : ReadThermalZones(p)) {
      if (!zone.currentText) continue;
      History& h = zones_[{p.valueName, zone.position}];
      if (h.rounds != 0 && h.text != *zone.currentText) h.moved = true;
      h.text = *zone.currentText;
      ++h.rounds;
      if (!h.moved && h.rounds >= rounds_) p.unchangedRounds[zone.position] = h.rounds;
    }
  }
}

}  // namespace zemhost
