#include "component/zone_entries_win.h"

#include <oleauto.h>

#include "component/thermal_zones_win.h"
#include "component/zone_entry_plan.h"
#include "platform/owners_win.h"
#include "server/resource_module_win.h"

namespace boardscope {
namespace {

// The string-table texts of one call, each looked up once and shared by all
// the entries of the call. They point into the module's read-only resource
// memory, which lives as long as the module; nothing is copied until the
// entries' own strings are made.
ZoneEntryStrings LoadZoneStrings() noexcept {
  UINT ids[kZoneEntryTextCount];
  for (std::size_t k = 0; k < kZoneEntryTextCount; ++k) ids[k] = kZoneEntryTexts[k].id;
  const WCHAR* counted[kZoneEntryTextCount];
  ResourceModule().FindStringResources(ids, kZoneEntryTextCount, counted);
  ZoneEntryStrings strings{};
  for (std::size_t k = 0; k < kZoneEntryTextCount; ++k)
    if (counted[k] != nullptr) strings.texts[k] = {reinterpret_cast<const Char16*>(counted[k] + 1), counted[k][0]};
  return strings;
}

// A new BSTR holding `text`, or null when there is no text.
BSTR CopyText(Text16 text) noexcept {
  if (text.data == nullptr) return nullptr;
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data), text.length);
}

// The entry name, written straight into its BSTR.
BSTR MakeName(Text16 prefix, std::size_t zone, Text16 label) noexcept {
  const auto length = static_cast<UINT>(EntryNameLength(prefix, zone, label));
  BSTR name = SysAllocStringLen(nullptr, length);
  if (name != nullptr) ComposeEntryName(prefix, zone, label, reinterpret_cast<Char16*>(name));
  return name;
}

void FillZone(const ZoneRecord& record, std::size_t zone, const ZoneEntryStrings& strings,
              _ZEM_INFO_ENTRY* entries) noexcept {
  ZoneTextScratch scratch;
  ZoneEntryPlan plans[kEntriesPerZone];
  PlanZoneEntries(record, strings, scratch, plans);
  const Text16 prefix = strings[IDS_ENTRY_NAME_PREFIX];
  for (std::size_t k = 0; k < kEntriesPerZone; ++k) {
    const ZoneEntryPlan& plan = plans[k];
    _ZEM_INFO_ENTRY& entry = entries[k];
    entry.Name = MakeName(prefix, zone, plan.label);
    entry.Unit = CopyText(plan.unit);
    entry.Type = static_cast<VALUETYPE>(plan.type);
    entry.StrValue = CopyText(plan.strValue);
    entry.Value.QuadPart = plan.value;
    entry.Divisor.QuadPart = plan.divisor;
    entry.Flags = 0;
    entry.Error = 0;
  }
}

}  // namespace

HRESULT BuildThermalZoneEntries(ULONG* infoCount, _ZEM_INFO_ENTRY** info) noexcept {
  if (infoCount == nullptr || info == nullptr) return E_POINTER;
  *infoCount = 0;
  *info = nullptr;

  ThermalZoneTable zones;
  const std::size_t zoneCount = RefreshAndReadThermalZones(zones);

  const std::size_t entryCount = zoneCount * kEntriesPerZone;
  auto* entries = static_cast<_ZEM_INFO_ENTRY*>(CoTaskMemAlloc(entryCount * sizeof(_ZEM_INFO_ENTRY)));
  if (entries == nullptr && entryCount != 0) return E_OUTOFMEMORY;
  if (entryCount != 0) {
    const ZoneEntryStrings strings = LoadZoneStrings();
    for (std::size_t z = 0; z < zoneCount; ++z) FillZone(zones[z], z, strings, entries + z * kEntriesPerZone);
  }
  *infoCount = static_cast<ULONG>(entryCount);
  *info = entries;
  return S_OK;
}

}  // namespace boardscope
