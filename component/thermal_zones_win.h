// The module-wide thermal-zone table, refreshed from WMI. One lock covers a
// refresh and the reading of the table that follows it, so a reader never
// sees a table half rewritten by a refresh on another thread.
#pragma once

#include <cstddef>

#include "component/thermal_zone_table.h"

namespace boardscope {

// Whether the table's lock could be set up when the module loaded; the
// module refuses to load without it.
[[nodiscard]] bool ThermalZoneLockReady() noexcept;

// Rewrites the table from a fresh query; false (and the table untouched)
// when the query fails.
[[nodiscard]] bool RefreshThermalZones() noexcept;

// Refreshes, then copies the table to `zones`, both under the lock; returns
// the zone count of the copy. A failed refresh gives the table as it was.
std::size_t RefreshAndReadThermalZones(ThermalZoneTable& zones) noexcept;

// A copy of the table as it stands.
ThermalZoneTable ReadThermalZoneTable() noexcept;

}  // namespace boardscope
