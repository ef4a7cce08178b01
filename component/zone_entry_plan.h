// What the ten information entries of one thermal zone hold, computed from
// its record and the string-table texts, ready to be copied into host
// records. Platform-neutral: the Windows builder turns each plan into BSTRs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "component/thermal_zone_table.h"
#include "component/value_format.h"
#include "contract/resource_ids.h"
#include "contract/status.h"
#include "contract/value_type.h"
#include "contract/zone_entry_table.h"

namespace boardscope {

// A borrowed run of UTF-16 units; a null `data` means "no text".
struct Text16 {
  const Char16* data = nullptr;
  std::uint32_t length = 0;
};

// The entry texts of one call, looked up once and shared by every zone: one
// for each row of kZoneEntryTexts, with null data where it could not be
// loaded, and a last one, always empty, for any other id.
struct ZoneEntryStrings {
  Text16 texts[kZoneEntryTextCount + 1];
  Text16 operator[](unsigned id) const { return texts[ZoneEntryTextIndex(id)]; }
};

struct ZoneEntryPlan {
  Text16 label;     // the name is prefix, zone position, label
  Text16 unit;
  Text16 strValue;  // may point into the zone's ZoneTextScratch
  EntryValueType type;
  std::uint32_t value;
  std::uint32_t divisor;
};

// Each item is at most a tenths text, a space and "; ".
constexpr std::size_t kTripListMax = kMaxActiveTripPoints * (kTenthsTextMax + 3);

// Room for the value texts a zone builds itself; must outlive its plans.
struct ZoneTextScratch {
  Char16 tripList[kTripListMax];
  Char16 current[kTenthsTextMax];
};

// Fills `plans` with the ten entries of `record`, as kZoneEntryRows lists them.
void PlanZoneEntries(const ZoneRecord& record, const ZoneEntryStrings& strings,
                     ZoneTextScratch& scratch, ZoneEntryPlan (&plans)[kEntriesPerZone]);

// Length of "prefix, position, label"; the parts that are missing add nothing.
std::size_t EntryNameLength(Text16 prefix, std::size_t position, Text16 label);
// Writes that name to `out` (room for EntryNameLength units); returns the length.
std::size_t ComposeEntryName(Text16 prefix, std::size_t position, Text16 label, Char16* out);

}  // namespace boardscope
