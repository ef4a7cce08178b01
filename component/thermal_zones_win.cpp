#include "component/thermal_zones_win.h"

#include <windows.h>

#include "component/thermal_wmi_win.h"
#include "platform/owners_win.h"

namespace boardscope {
namespace {

// Zero when the module loads: no zone until the first successful refresh.
ThermalZoneTable thermalZoneTable{};

// The table's lock, set up with the other module-wide objects before the
// entry routine runs, which refuses the load when it could not be.
OwnedCriticalSection thermalZoneLock;

[[nodiscard]] bool RefreshLocked() noexcept {
  ThermalBlockBuffer buffer;
  if (!QueryThermalZoneBlock(buffer)) return false;
  WalkThermalZoneChain(buffer.data.get(), buffer.size, thermalZoneTable);
  return true;
}

}  // namespace

bool ThermalZoneLockReady() noexcept { return thermalZoneLock.valid(); }

bool RefreshThermalZones() noexcept {
  ScopedCriticalSection lock(thermalZoneLock.get());
  return RefreshLocked();
}

std::size_t RefreshAndReadThermalZones(ThermalZoneTable& zones) noexcept {
  ScopedCriticalSection lock(thermalZoneLock.get());
  (void)RefreshLocked();  // a failed refresh leaves the last table in place
  zones = thermalZoneTable;
  return CountThermalZones(zones);
}

ThermalZoneTable ReadThermalZoneTable() noexcept {
  ScopedCriticalSection lock(thermalZoneLock.get());
  return thermalZoneTable;
}

}  // namespace boardscope
