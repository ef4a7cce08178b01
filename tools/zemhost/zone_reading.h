// What zemhost knows about a zone's current temperature: a reading, a
// value firmware answers without a sensor, no reading at all, or a value
// no thermal zone can report; and, under --watch, a reading that never
// moves. Platform-neutral.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "report.h"

namespace zemhost {

enum class Reading { kMeasured, kPlaceholder, kNoReading, kOutOfRange, kUnchanging };

// "measured", "placeholder", "no-reading", "out-of-range", "unchanging".
const char* ReadingName(Reading reading);

// Tenths of a degree Celsius that a thermal zone can report at all.
bool TemperatureInRange(std::int64_t tenths);
// The largest whole degree whose every raw value is in range.
std::int64_t MostWholeDegrees();

// A current temperature, as the plug-in's text gives it in tenths of a
// degree (absent when the text is no number): its reading, and the tenths
// to export (absent for no reading and for values out of range), and
// whether it is one of the values firmware answers without a sensor.
struct CurrentTemperature {
  Reading reading = Reading::kNoReading;
  std::optional<std::int64_t> tenths;
  bool knownPlaceholder = false;
};
CurrentTemperature ClassifyCurrent(std::optional<std::int64_t> tenths);

// Follows each zone's current-temperature text across the rounds of
// --watch and marks, in each round's report, the zones whose text has not
// changed in any round so far and in at least `rounds` of them.
class UnchangingReadings {
 public:
  explicit UnchangingReadings(std::uint32_t rounds) : rounds_(rounds) {}
  void Observe(Report& report);

 private:
  struct History {
    std::string text;
    std::uint32_t rounds = 0;
    bool moved = false;
  };
  std::uint32_t rounds_;
  std::map<std::pair<std::string, std::uint32_t>, History> zones_;  // by plug-in and position
};

}  // namespace zemhost
