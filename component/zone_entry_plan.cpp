#include "component/zone_entry_plan.h"

#include <algorithm>
#include <cstring>

namespace boardscope {
namespace {

Char16* Append(Char16* out, Text16 text) {
  if (text.data == nullptr || text.length == 0) return out;
  std::memcpy(out, text.data, text.length * sizeof(Char16));
  return out + text.length;
}

std::size_t DecimalLength(std::size_t value) {
  std::size_t length = 1;
  while (value >= 10) {
    value /= 10;
    ++length;
  }
  return length;
}

// Writes the active trip points of `record` as "90.0 ; 60.0 " to `out` (room
// for kTripListMax units) and returns the length; at most ten items, 0 when
// there are none.
std::size_t FormatTripPointList(const ZoneRecord& record, Char16* out) {
  const std::size_t count =
      std::min<std::size_t>(record.ActiveTripPointCount & 0xFFu, kMaxActiveTripPoints);
  Char16* at = out;
  for (std::size_t j = 0; j < count; ++j) {
    at += FormatTenths(CelsiusTenths(record.ActiveTripPoint[j]), at);
    *at++ = u' ';
    if (j + 1 < count) {
      *at++ = u';';
      *at++ = u' ';
    }
  }
  return static_cast<std::size_t>(at - out);
}

// Each row's label and unit by position in kZoneEntryTexts, found at compile time.
#define BOARDSCOPE_ROW_TEXTS(labelId, label, unitId, ...) {ZoneEntryTextIndex(labelId), ZoneEntryTextIndex(unitId)},
constexpr std::size_t kRowTexts[][2] = {BOARDSCOPE_ZONE_ENTRIES(BOARDSCOPE_ROW_TEXTS)};

}  // namespace

void PlanZoneEntries(const ZoneRecord& record, const ZoneEntryStrings& strings,
                     ZoneTextScratch& scratch, ZoneEntryPlan (&plans)[kEntriesPerZone]) {
  const Text16 none = strings[IDS_UNIT_NONE];
  for (std::size_t k = 0; k < kEntriesPerZone; ++k) {
    const ZoneEntryRow& row = kZoneEntryRows[k];
    const ZoneDataBlock& block = record;
    std::uint32_t field;  // the value as the data block holds it
    std::memcpy(&field, reinterpret_cast<const std::uint8_t*>(&block) + row.field, sizeof field);
    ZoneEntryPlan& plan = plans[k];
    plan = {strings.texts[kRowTexts[k][0]], strings.texts[kRowTexts[k][1]], none, row.type, field, row.divisor};
    switch (row.field) {
      case offsetof(ZoneDataBlock, ActiveTripPointCount): plan.value = field & 0xFFu; break;
      case offsetof(ZoneDataBlock, ActiveTripPoint):
        plan.value = 0;
        if (const std::size_t length = FormatTripPointList(record, scratch.tripList); length != 0)
          plan.strValue = {scratch.tripList, static_cast<std::uint32_t>(length)};
        break;
      case offsetof(ZoneDataBlock, PassiveTripPoint): plan.value = PassiveTripPointValue(field); break;
      case offsetof(ZoneDataBlock, SamplingPeriod): plan.value = SamplingPeriodValue(field); break;
      case offsetof(ZoneDataBlock, CriticalTripPoint): plan.value = CriticalTemperatureValue(field); break;
      case offsetof(ZoneDataBlock, CurrentTemperature):
        plan.strValue = {scratch.current,
                         static_cast<std::uint32_t>(FormatTenths(CelsiusTenths(field), scratch.current))};
        plan.value = 1;
        break;
    }
  }
}

std::size_t EntryNameLength(Text16 prefix, std::size_t position, Text16 label) {
  return (prefix.data ? prefix.length : 0) + DecimalLength(position) + (label.data ? label.length : 0);
}

std::size_t ComposeEntryName(Text16 prefix, std::size_t position, Text16 label, Char16* out) {
  Char16* at = Append(out, prefix);
  at += FormatDecimal(static_cast<std::uint32_t>(position), at);
  at = Append(at, label);
  return static_cast<std::size_t>(at - out);
}

}  // namespace boardscope
