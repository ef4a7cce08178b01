// A freshly loaded module: no zone until a refresh succeeds. Without any
// control call, the WMI double replays the capture that
// BOARDSCOPE_WMI_CAPTURE names.
#include "component/thermal_zones_win.h"
#include "test_zone_entries_support.h"

namespace boardscope {
namespace {

using test::CallBuilder;
using test::Double;
using test::Events;

// One test, as its steps depend on the module's history.
TEST(ThermalFreshModule, NoZoneUntilAQuerySucceedsThenTheCapture) {
  ASSERT_TRUE(Double().Loaded()) << "wmi.dll is not the test double (WINEDLLOVERRIDES=wmi=n)";
  Double().FailStep(kWmiDoubleOpen, ERROR_WMI_GUID_NOT_FOUND);
  const test::CallResult none = CallBuilder();
  EXPECT_EQ(none.hr, S_OK);
  EXPECT_EQ(none.count, 0u);  // the array is the allocator's answer for 0 bytes
  EXPECT_EQ(Events(), "O");
  const ThermalZoneTable table = ReadThermalZoneTable();
  for (const ZoneRecord& r : table) EXPECT_EQ(r.Ordinal, 0);

  Double().Reset();
  const test::CallResult replay = CallBuilder();
  ASSERT_EQ(replay.count, 30u);
  EXPECT_EQ(replay.entries[9].strValue, L"55.2");
  EXPECT_EQ(Events(), "OSQC");
}

}  // namespace
}  // namespace boardscope
