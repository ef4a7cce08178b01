// The entries GetTIInstanceData hands to the host: ten per thermal zone.
#pragma once

#include <windows.h>

#include "Boardscope.h"

namespace boardscope {

// Refreshes the thermal-zone table and returns ten entries per zone in a new
// task-allocator array that the caller frees, with every string field its
// own BSTR. E_POINTER for a null argument; E_OUTOFMEMORY (count 0, null
// array) when the array for one or more zones cannot be allocated; S_OK
// otherwise, also when the refresh failed (the last table is reported).
[[nodiscard]] HRESULT BuildThermalZoneEntries(ULONG* infoCount, _ZEM_INFO_ENTRY** info) noexcept;

}  // namespace boardscope
