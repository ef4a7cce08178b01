#include "component/thermal_zones_win.h"

#include <windows.h>

#include "component/thermal_wmi_win.h"

namespace boardscope {
namespace {

// Zero when the module loads: no zone until the first successful refresh.
ThermalZoneTable thermalZoneTable{};
// Statically initialised, so it needs no set-up or tear-down at load time.
SRWLOCK thermalZoneLock = SRWLOCK_INIT;

class ThermalZoneLockGuard {
 public:
  ThermalZoneLockGuard() noexcept { AcquireSRWLockExclusive(&thermalZoneLock); }
  ThermalZoneLockGuard(const ThermalZoneLockGuard&) = delete;
  ThermalZoneLockGuard& operator=(const ThermalZoneLockGuard&) = delete;
  ~ThermalZoneLockGuard() { ReleaseSRWLockExclusive(&thermalZoneLock); }
};

bool RefreshLocked() noexcept {
  ThermalBlockBuffer buffer;
  if (!QueryThermalZoneBlock(buffer)) return false;
  WalkThermalZoneChain(buffer.data.get(), buffer.size, thermalZoneTable);
  return true;
}

}  // namespace

bool RefreshThermalZones() noexcept {
  ThermalZoneLockGuard lock;
  return RefreshLocked();
}

std::size_t RefreshAndReadThermalZones(ThermalZoneTable& zones) noexcept {
  ThermalZoneLockGuard lock;
  RefreshLocked();
  zones = thermalZoneTable;
  return CountThermalZones(zones);
}

ThermalZoneTable ReadThermalZoneTable() noexcept {
  ThermalZoneLockGuard lock;
  return thermalZoneTable;
}

}  // namespace boardscope
