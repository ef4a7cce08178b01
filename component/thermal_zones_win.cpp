#include "component/thermal_zones_win.h"

#include <windows.h>

#include "component/thermal_wmi_win.h"
#include "server/errors.h"
#include "server/module.h"
#include "server/raii.h"

namespace boardscope {
namespace {

// Zero when the module loads: no zone until the first successful refresh.
ThermalZoneTable thermalZoneTable{};

// The table's lock, set up with the other module-wide objects before the
// entry routine runs; a failed set-up refuses the load, as theirs does.
class ThermalZoneLock {
 public:
  ThermalZoneLock() noexcept : valid_(SUCCEEDED(InitLock(section))) {
    if (!valid_) InitFailed = true;
  }
  ThermalZoneLock(const ThermalZoneLock&) = delete;
  ThermalZoneLock& operator=(const ThermalZoneLock&) = delete;
  ~ThermalZoneLock() {
    if (valid_) DeleteCriticalSection(&section);
  }

  CRITICAL_SECTION section{};

 private:
  bool valid_;
};

ThermalZoneLock thermalZoneLock;

bool RefreshLocked() noexcept {
  ThermalBlockBuffer buffer;
  if (!QueryThermalZoneBlock(buffer)) return false;
  WalkThermalZoneChain(buffer.data.get(), buffer.size, thermalZoneTable);
  return true;
}

}  // namespace

bool RefreshThermalZones() noexcept {
  ScopedCriticalSection lock(thermalZoneLock.section);
  return RefreshLocked();
}

std::size_t RefreshAndReadThermalZones(ThermalZoneTable& zones) noexcept {
  ScopedCriticalSection lock(thermalZoneLock.section);
  RefreshLocked();
  zones = thermalZoneTable;
  return CountThermalZones(zones);
}

ThermalZoneTable ReadThermalZoneTable() noexcept {
  ScopedCriticalSection lock(thermalZoneLock.section);
  return thermalZoneTable;
}

}  // namespace boardscope
