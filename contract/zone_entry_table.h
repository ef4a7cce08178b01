// The ten information entries of a thermal zone, in the order the host
// receives them, and the string-table texts that name them: one table for
// the string table (resources/strings.rc), the entry plan, and zemhost, which
// recognises the entries by these texts. The resource compiler reads the
// macros only.
#ifndef BOARDSCOPE_CONTRACT_ZONE_ENTRY_TABLE_H
#define BOARDSCOPE_CONTRACT_ZONE_ENTRY_TABLE_H

#include "contract/resource_ids.h"

// X(label id, label, unit id, VALUETYPE, divisor, what Value and StrValue come from)
#define BOARDSCOPE_ZONE_ENTRIES(X)                                                                                 \
  X(IDS_FIRST_ENTRY_LABEL + 0, "List of Active Cooling Devices", IDS_UNIT_NONE, Number, 1, TripPointCount)         \
  X(IDS_FIRST_ENTRY_LABEL + 1, "List of Active Trip Points", IDS_UNIT_DEGREES_CELSIUS, String, 1, TripPointList)   \
  X(IDS_FIRST_ENTRY_LABEL + 2, "Thermal Stamp", IDS_UNIT_NONE, Number, 16, ThermalStamp)                           \
  X(IDS_FIRST_ENTRY_LABEL + 3, "Passive Trip Point", IDS_UNIT_DEGREES_CELSIUS, Number, 16, PassiveTripPoint)       \
  X(IDS_FIRST_ENTRY_LABEL + 4, "ThermalConstant1", IDS_UNIT_NONE, Number, 1, ThermalConstant1)                     \
  X(IDS_FIRST_ENTRY_LABEL + 5, "ThermalConstant2", IDS_UNIT_NONE, Number, 1, ThermalConstant2)                     \
  X(IDS_FIRST_ENTRY_LABEL + 6, "Processor List for passive trip points", IDS_UNIT_NONE, Number, 1, Reserved)       \
  X(IDS_FIRST_ENTRY_LABEL + 7, "Passive Sampling Period", IDS_UNIT_SECONDS, Number, 10, SamplingPeriod)            \
  X(IDS_FIRST_ENTRY_LABEL + 8, "Critical Temperature", IDS_UNIT_DEGREES_CELSIUS, Number, 10, CriticalTripPoint)    \
  X(IDS_FIRST_ENTRY_LABEL + 9, "Current Temperature", IDS_UNIT_DEGREES_CELSIUS, String, 10, CurrentTemperature)

// X(id, text): the name prefix and the units.
#define BOARDSCOPE_ZONE_ENTRY_WORDS(X) \
  X(IDS_ENTRY_NAME_PREFIX, "# ")       \
  X(IDS_UNIT_DEGREES_CELSIUS, "Deg C") \
  X(IDS_UNIT_NONE, "None")             \
  X(IDS_UNIT_SECONDS, "Seconds")

#ifndef RC_INVOKED
#include <cstddef>
#include <cstdint>

#include "contract/value_type.h"

namespace boardscope {

// What an entry's Value and StrValue are made from: a field of the zone's
// data block (contract/zone_data_block.h), as it is where nothing else is
// said, with the StrValue "None".
enum class EntrySource : std::uint8_t {
  TripPointCount,      // ActiveTripPointCount, its low 8 bits
  TripPointList,       // StrValue the active trip points ("90.0 ; 60.0 ", else "None"), Value 0
  ThermalStamp,
  PassiveTripPoint,    // whole degrees Celsius
  ThermalConstant1,
  ThermalConstant2,
  Reserved,
  SamplingPeriod,      // seconds
  CriticalTripPoint,   // whole degrees Celsius
  CurrentTemperature,  // StrValue in degrees Celsius ("28.0"), Value 1
};

struct ZoneEntryRow {
  unsigned labelId;
  unsigned unitId;
  EntryValueType type;
  std::uint32_t divisor;
  EntrySource source;
};

#define BOARDSCOPE_ZONE_ENTRY_ROW(labelId, label, unitId, type, divisor, source) \
  {labelId, unitId, EntryValueType::type, divisor, EntrySource::source},
constexpr ZoneEntryRow kZoneEntryRows[] = {BOARDSCOPE_ZONE_ENTRIES(BOARDSCOPE_ZONE_ENTRY_ROW)};
constexpr std::size_t kEntriesPerZone = sizeof kZoneEntryRows / sizeof kZoneEntryRows[0];

// Every text of the entries with its string-table id: the labels, then the
// name prefix and the units.
struct ZoneEntryText {
  unsigned id;
  const char* text;
};
#define BOARDSCOPE_ZONE_ENTRY_LABEL(labelId, label, ...) {labelId, label},
#define BOARDSCOPE_ZONE_ENTRY_WORD(id, text) {id, text},
constexpr ZoneEntryText kZoneEntryTexts[] = {BOARDSCOPE_ZONE_ENTRIES(BOARDSCOPE_ZONE_ENTRY_LABEL)
                                                 BOARDSCOPE_ZONE_ENTRY_WORDS(BOARDSCOPE_ZONE_ENTRY_WORD)};
#undef BOARDSCOPE_ZONE_ENTRY_ROW
#undef BOARDSCOPE_ZONE_ENTRY_LABEL
#undef BOARDSCOPE_ZONE_ENTRY_WORD
constexpr std::size_t kZoneEntryTextCount = sizeof kZoneEntryTexts / sizeof kZoneEntryTexts[0];

// The position of `id` in kZoneEntryTexts; kZoneEntryTextCount for an id not there.
constexpr std::size_t ZoneEntryTextIndex(unsigned id) {
  std::size_t i = 0;
  while (i < kZoneEntryTextCount && kZoneEntryTexts[i].id != id) ++i;
  return i;
}

// The text of `id`, "" for an id that is not an entry text.
constexpr const char* ZoneEntryText(unsigned id) {
  return ZoneEntryTextIndex(id) < kZoneEntryTextCount ? kZoneEntryTexts[ZoneEntryTextIndex(id)].text : "";
}

}  // namespace boardscope
#endif  // RC_INVOKED

#endif
