// The thermal zones behind a plug-in's entries, as temperatures, and their
// rendering in the Prometheus text exposition format. Platform-neutral.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report.h"
#include "zone_reading.h"

namespace zemhost {

// One zone's temperatures in tenths of a degree Celsius; absent where the
// zone reports nothing meaningful.
struct ThermalZone {
  std::uint32_t position = 0;
  std::optional<std::string> currentText;  // the plug-in's text, as it came
  Reading reading = Reading::kNoReading;   // what the current temperature is
  std::uint32_t unchangedRounds = 0;       // rounds of --watch, when unchanging
  bool placeholder = false;                // a known placeholder, or unchanging: the mark
  std::optional<std::int64_t> current;
  std::optional<std::int64_t> passive;
  std::optional<std::int64_t> critical;
  std::vector<std::optional<std::int64_t>> active;  // by trip-point index
};

// The zones named by the plug-in's entries ("# 0Current Temperature", ...),
// in position order. Each value is read the way the contract's entry carries
// it, not as Value / Divisor: whole degrees for the critical and passive
// points, tenths texts for the current temperature and the active points.
// A value that no thermal zone can report is absent, and so is a current
// temperature that is no reading (zone_reading.h).
std::vector<ThermalZone> ReadThermalZones(const PluginReport& plugin);

}  // namespace zemhost
