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

}  // namespace

void PlanZoneEntries(const ZoneRecord& record, const ZoneEntryStrings& strings,
                     ZoneTextScratch& scratch, ZoneEntryPlan (&plans)[kEntriesPerZone]) {
  using T = EntryValueType;
  const Text16 none = strings.none;
  const Text16 degrees = strings.degreesCelsius;

  Text16 tripList = none;
  if (const std::size_t length = FormatTripPointList(record, scratch.tripList); length != 0)
    tripList = Text16{scratch.tripList, static_cast<std::uint32_t>(length)};
  const Text16 current{scratch.current, static_cast<std::uint32_t>(FormatTenths(
                                            CelsiusTenths(record.CurrentTemperature), scratch.current))};

  const auto& l = strings.labels;
  plans[0] = {l[0], none, none, T::Number, record.ActiveTripPointCount & 0xFFu, 1};
  plans[1] = {l[1], degrees, tripList, T::String, 0, 1};
  plans[2] = {l[2], none, none, T::Number, record.ThermalStamp, 16};
  plans[3] = {l[3], degrees, none, T::Number, PassiveTripPointValue(record.PassiveTripPoint), 16};
  plans[4] = {l[4], none, none, T::Number, record.ThermalConstant1, 1};
  plans[5] = {l[5], none, none, T::Number, record.ThermalConstant2, 1};
  plans[6] = {l[6], none, none, T::Number, record.Reserved, 1};
  plans[7] = {l[7], strings.seconds, none, T::Number, SamplingPeriodValue(record.SamplingPeriod), 10};
  plans[8] = {l[8], degrees, none, T::Number, CriticalTemperatureValue(record.CriticalTripPoint), 10};
  plans[9] = {l[9], degrees, current, T::String, 1, 10};
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
