// Under Wine's own wmi.dll there is no thermal data: no zone, and still S_OK.
#include "test_zone_entries_support.h"

namespace boardscope {
namespace {

TEST(ThermalBuiltinWmi, NoThermalDataGivesNoZone) {
  const test::CallResult r = test::CallBuilder();
  EXPECT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.count, 0u);
}

}  // namespace
}  // namespace boardscope
