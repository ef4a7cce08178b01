// libFuzzer entry: the thermal-zone walk on arbitrary bytes stays inside the
// buffer and never reports more zones than the table holds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "component/thermal_zone_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read one past the end is caught.
  auto copy = std::make_unique<std::uint8_t[]>(size);
  if (size != 0) std::memcpy(copy.get(), data, size);
  boardscope::ThermalZoneTable table;
  std::memset(&table, 0xBD, sizeof table);
  const std::size_t zones = boardscope::WalkThermalZoneChain(copy.get(), size, table);
  if (zones > boardscope::kMaxThermalZones || boardscope::CountThermalZones(table) != zones) std::abort();
  return 0;
}
