// The ten information entries of a thermal zone, in the order the host
// receives them, and their texts: one table for the string table, the entry
// plan (component/zone_entry_plan.cpp says how each value is made from its
// field) and zemhost. The resource compiler reads the macros only.
#ifndef BOARDSCOPE_CONTRACT_ZONE_ENTRY_TABLE_H
#define BOARDSCOPE_CONTRACT_ZONE_ENTRY_TABLE_H

#include "contract/resource_ids.h"

// X(label id, label, unit id, VALUETYPE, divisor, the data block's field the value comes from)
#define BOARDSCOPE_ZONE_ENTRIES(X)                                                                                   \
  X(IDS_FIRST_ENTRY_LABEL + 0, "List of Active Cooling Devices", IDS_UNIT_NONE, Number, 1, ActiveTripPointCount)     \
  X(IDS_FIRST_ENTRY_LABEL + 1, "List of Active Trip Points", IDS_UNIT_DEGREES_CELSIUS, String, 1, ActiveTripPoint)   \
  X(IDS_FIRST_ENTRY_LABEL + 2, "Thermal Stamp", IDS_UNIT_NONE, Number, 16, ThermalStamp)                             \
  X(IDS_FIRST_ENTRY_LABEL + 3, "Passive Trip Point", IDS_UNIT_DEGREES_CELSIUS, Number, 16, PassiveTripPoint)         \
  X(IDS_FIRST_ENTRY_LABEL + 4, "ThermalConstant1", IDS_UNIT_NONE, Number, 1, ThermalConstant1)                       \
  X(IDS_FIRST_ENTRY_LABEL + 5, "ThermalConstant2", IDS_UNIT_NONE, Number, 1, ThermalConstant2)                       \
  X(IDS_FIRST_ENTRY_LABEL + 6, "Processor List for passive trip points", IDS_UNIT_NONE, Number, 1, Reserved)         \
  X(IDS_FIRST_ENTRY_LABEL + 7, "Passive Sampling Period", IDS_UNIT_SECONDS, Number, 10, SamplingPeriod)              \
  X(IDS_FIRST_ENTRY_LABEL + 8, "Critical Temperature", IDS_UNIT_DEGREES_CELSIUS, Number, 10, CriticalTripPoint)      \
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
#include "contract/zone_data_block.h"

namespace boardscope {

struct ZoneEntryRow {
  unsigned labelId, unitId;
  EntryValueType type;
  std::uint32_t divisor;
  std::size_t field;  // offset in ZoneDataBlock of the field Value and StrValue are made from
};
#define BOARDSCOPE_ZONE_ENTRY_ROW(labelId, label, unitId, type, divisor, field) \
  {labelId, unitId, EntryValueType::type, divisor, offsetof(ZoneDataBlock, field)},
constexpr ZoneEntryRow kZoneEntryRows[] = {BOARDSCOPE_ZONE_ENTRIES(BOARDSCOPE_ZONE_ENTRY_ROW)};
constexpr std::size_t kEntriesPerZone = sizeof kZoneEntryRows / sizeof kZoneEntryRows[0];

// Every text with its id: the labels, then the name prefix and the units.
struct ZoneEntryText {
  unsigned id;
  const char* text;
};
#define BOARDSCOPE_ZONE_ENTRY_LABEL(labelId, label, ...) {labelId, label},
#define BOARDSCOPE_ZONE_ENTRY_WORD(id, text) {id, text},
constexpr ZoneEntryText kZoneEntryTexts[] = {BOARDSCOPE_ZONE_ENTRIES(BOARDSCOPE_ZONE_ENTRY_LABEL)
                                                 BOARDSCOPE_ZONE_ENTRY_WORDS(BOARDSCOPE_ZONE_ENTRY_WORD)};
constexpr std::size_t kZoneEntryTextCount = sizeof kZoneEntryTexts / sizeof kZoneEntryTexts[0];

// The position of `id` in kZoneEntryTexts; kZoneEntryTextCount when it is not there.
constexpr std::size_t ZoneEntryTextIndex(unsigned id) {
  std::size_t i = 0;
  while (i < kZoneEntryTextCount && kZoneEntryTexts[i].id != id) ++i;
  return i;
}
// The text of `id`; "" when it is none.
constexpr const char* ZoneEntryText(unsigned id) {
  return ZoneEntryTextIndex(id) < kZoneEntryTextCount ? kZoneEntryTexts[ZoneEntryTextIndex(id)].text : "";
}

}  // namespace boardscope
#endif  // RC_INVOKED
#endif
