// GetTIInstanceData's builder end to end: WMI test double, refresh, table,
// strings from the string table, and the host records it returns.
#include <cstring>
#include <fstream>
#include <iterator>

#include "component/thermal_zones_win.h"
#include "test_thermal_chain.h"
#include "test_zone_entries_support.h"
#include "tests/test_thread_win.h"

namespace boardscope {
namespace {

using test::BuildChain;
using test::CallBuilder;
using test::CallResult;
using test::ChainNode;
using test::Double;
using test::Events;
using test::MakeZone;
using test::Spy;

class ZoneEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Double().Loaded()) << "wmi.dll is not the test double (WINEDLLOVERRIDES=wmi=n)";
    Double().Reset();
  }
  void Serve(const std::vector<std::uint8_t>& chain) {
    ASSERT_EQ(Double().Serve(chain.data(), static_cast<ULONG>(chain.size())), 0u);
  }
  CallResult Call(const std::vector<std::uint8_t>& chain) {
    Serve(chain);
    return CallBuilder();
  }
};

const test::ZoneData kCpu = MakeZone(3012, 3532, 3732, {3632, 3332}, 7);

TEST_F(ZoneEntries, OneZoneWithTwoTripPoints) {
  const CallResult r = Call(BuildChain({kCpu}));
  ASSERT_EQ(r.hr, S_OK);
  ASSERT_EQ(r.count, 10u);
  const auto expected = test::CpuZoneEntries(7);
  // wchar_t is 16-bit here: the neutral table's texts are the same units.
  const auto wide = [](const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); };
  for (int k = 0; k < 10; ++k) {
    const auto& e = r.entries[k];
    EXPECT_EQ(e.name, wide(expected[k].name)) << k;
    EXPECT_EQ(e.unit, wide(expected[k].unit)) << k;
    EXPECT_EQ(e.strValue, wide(expected[k].text)) << k;
    EXPECT_EQ(e.type, static_cast<VALUETYPE>(expected[k].type)) << k;
    EXPECT_EQ(e.value, LONGLONG{expected[k].value}) << k;  // the high half is 0
    EXPECT_EQ(e.divisor, LONGLONG{expected[k].divisor}) << k;
    EXPECT_EQ(e.flags, 0u) << k;
    EXPECT_EQ(e.error, 0u) << k;
  }
}

TEST_F(ZoneEntries, ValuesFromTheRecord) {
  const struct {
    std::uint32_t count, passive, critical, current;
    LONGLONG countValue;
    const wchar_t* list;
    LONGLONG passiveValue, criticalValue;
    const wchar_t* currentText;
  } cases[] = {
      {0, 0, 0, 0, 0, L"None", 0, 0, L"0.0"},
      {258, 2731, 3732, 2727, 2, L"90.0 ; 60.0 ", 0, 100, L"-0.5"},
      {1, 3537, 2700, 2700, 1, L"90.0 ", 80, 429496726, L"-3.2"},
      {2, 2700, 0, 0x80000000u, 2, L"90.0 ; 60.0 ", 429496726, 0, L"214748091.6"},
  };
  for (const auto& c : cases) {
    auto zone = kCpu;
    zone[8] = c.count;
    zone[6] = c.passive;
    zone[7] = c.critical;
    zone[5] = c.current;
    const CallResult r = Call(BuildChain({zone}));
    ASSERT_EQ(r.count, 10u);
    EXPECT_EQ(r.entries[0].value, c.countValue) << c.count;
    EXPECT_EQ(r.entries[1].strValue, c.list) << c.count;
    EXPECT_EQ(r.entries[3].value, c.passiveValue) << c.passive;
    EXPECT_EQ(r.entries[8].value, c.criticalValue) << c.critical;
    EXPECT_EQ(r.entries[9].strValue, c.currentText) << c.current;
  }
}

TEST_F(ZoneEntries, TwoZonesKeepTheirOwnTripPoints) {
  const CallResult r = Call(BuildChain({kCpu, MakeZone(3102, 0, 3582, {3482})}));
  ASSERT_EQ(r.count, 20u);
  EXPECT_EQ(r.entries[10].name, L"# 1List of Active Cooling Devices");
  EXPECT_EQ(r.entries[19].name, L"# 1Current Temperature");
  EXPECT_EQ(r.entries[11].strValue, L"75.0 ");
  EXPECT_EQ(r.entries[1].strValue, L"90.0 ; 60.0 ");
  EXPECT_EQ(r.entries[19].strValue, L"37.0");
}

TEST_F(ZoneEntries, TwelveNodesGiveTenZones) {
  std::vector<ChainNode> nodes;
  for (std::uint32_t i = 0; i < 12; ++i) nodes.emplace_back(MakeZone(2732 + 10 * i));
  const CallResult r = Call(BuildChain(nodes));
  ASSERT_EQ(r.count, 100u);
  EXPECT_EQ(r.entries[99].name, L"# 9Current Temperature");
  EXPECT_EQ(r.entries[99].strValue, L"9.0");
}

TEST_F(ZoneEntries, NodeLayouts) {
  // Without the fixed-size flag, and with two instances: only the first counts.
  const CallResult r =
      Call(BuildChain(std::vector<ChainNode>{ChainNode(kCpu, false), ChainNode(MakeZone(3102), true, 2)}));
  ASSERT_EQ(r.count, 20u);
  EXPECT_EQ(r.entries[9].strValue, L"28.0");
  EXPECT_EQ(r.entries[19].strValue, L"37.0");
}

TEST_F(ZoneEntries, DamagedChainReportsTheZonesBeforeTheDamage) {
  const CallResult r = Call(BuildChain(
      std::vector<ChainNode>{kCpu, ChainNode(MakeZone(3102)).Offset(0x7FFFFFF0), kCpu}));
  EXPECT_EQ(r.count, 10u);
}

TEST_F(ZoneEntries, FailedRefreshReportsTheLastTable) {
  const auto two = BuildChain({kCpu, MakeZone(3102)});
  const CallResult good = Call(two);
  ASSERT_EQ(good.count, 20u);
  const struct {
    ULONG step, error;
    const char* events;
  } failures[] = {
      {kWmiDoubleOpen, ERROR_WMI_GUID_NOT_FOUND, "O"},
      {kWmiDoubleSizeQuery, ERROR_NOT_SUPPORTED, "OSC"},
      {kWmiDoubleSizeQuery, ERROR_SUCCESS, "OSC"},  // anything but "too small" fails
      {kWmiDoubleDataQuery, ERROR_INVALID_FUNCTION, "OSQC"},
  };
  Serve(BuildChain({MakeZone(3500)}));  // what a working query would give now
  for (const auto& f : failures) {
    Double().Reset();
    Double().FailStep(f.step, f.error);
    const CallResult r = CallBuilder();
    EXPECT_EQ(r.hr, S_OK);
    ASSERT_EQ(r.count, 20u) << f.step;
    EXPECT_EQ(r.entries[9].strValue, L"28.0") << f.step;
    EXPECT_EQ(r.entries[19].strValue, L"37.0") << f.step;
    EXPECT_EQ(Events(), f.events) << f.step;
    WmiDoubleCounts counts{};
    Double().GetCounts(&counts);
    EXPECT_EQ(counts.openHandles, 0u) << f.step;
  }
}

TEST_F(ZoneEntries, SuccessfulRefreshWithFewerZonesDropsTheRest) {
  ASSERT_EQ(Call(BuildChain({kCpu, kCpu, kCpu})).count, 30u);
  EXPECT_EQ(Call(BuildChain({MakeZone(3102)})).count, 10u);
  const ThermalZoneTable table = ReadThermalZoneTable();
  EXPECT_EQ(table[1].Ordinal, 0);
  EXPECT_EQ(table[2].CurrentTemperature, 0u);
}

TEST_F(ZoneEntries, OneOpenTwoQueriesOneCloseAndOneArrayPerCall) {
  for (std::size_t zones : {1u, 3u, 10u}) {
    std::vector<ChainNode> nodes(zones, ChainNode(kCpu));
    const auto chain = BuildChain(nodes);
    Serve(chain);
    Double().Reset();
    Spy().Arm();
    const CallResult r = CallBuilder();
    Spy().Disarm();
    ASSERT_EQ(r.count, zones * 10);
    EXPECT_EQ(Events(), "OSQC") << zones;
    WmiDoubleCounts counts{};
    Double().GetCounts(&counts);
    EXPECT_EQ(counts.lastAccess, GENERIC_READ);
    EXPECT_EQ(counts.lastBufferSize, chain.size());
    EXPECT_EQ(counts.wrongGuidOpens, 0u);
    EXPECT_EQ(counts.openHandles, 0u);
    EXPECT_EQ(Spy().AllocationsOf(zones * 10 * sizeof(_ZEM_INFO_ENTRY)), 1) << zones;
    EXPECT_EQ(Spy().reallocations, 0) << zones;
  }
}

TEST_F(ZoneEntries, BlockIsClosedBeforeTheBufferIsWalked) {
  // The double rewrites the first zone's temperature in the caller's buffer
  // when the block is closed: the walk must see the rewritten value.
  Serve(BuildChain({kCpu}));
  Double().StampOnClose(3332);
  const CallResult r = CallBuilder();
  ASSERT_EQ(r.count, 10u);
  EXPECT_EQ(r.entries[9].strValue, L"60.0");
  EXPECT_EQ(Events(), "OSQC");
}

TEST_F(ZoneEntries, ArrayThatCannotBeAllocated) {
  Serve(BuildChain({kCpu, kCpu}));
  Spy().Arm(20 * sizeof(_ZEM_INFO_ENTRY));
  ULONG count = 0xDEADBEEF;
  _ZEM_INFO_ENTRY* info = reinterpret_cast<_ZEM_INFO_ENTRY*>(0xBDBDBDBD);
  const HRESULT hr = BuildThermalZoneEntries(&count, &info);
  Spy().Disarm();
  EXPECT_EQ(hr, E_OUTOFMEMORY);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(info, nullptr);
}

TEST_F(ZoneEntries, NullArguments) {
  ULONG count = 0xDEADBEEF;
  _ZEM_INFO_ENTRY* info = reinterpret_cast<_ZEM_INFO_ENTRY*>(0xBDBDBDBD);
  EXPECT_EQ(BuildThermalZoneEntries(nullptr, &info), E_POINTER);
  EXPECT_EQ(BuildThermalZoneEntries(&count, nullptr), E_POINTER);
  EXPECT_EQ(BuildThermalZoneEntries(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(Events(), "");  // no refresh either
}

TEST_F(ZoneEntries, SampleCapture) {
  ASSERT_EQ(Double().ServeFile(L"" BOARDSCOPE_SAMPLES_DIR_W L"/laptop-3zones.wmi"), 0u);
  const CallResult r = CallBuilder();
  ASSERT_EQ(r.count, 30u);
  EXPECT_EQ(r.entries[1].strValue, L"80.0 ; 65.0 ; 50.0 ");
  EXPECT_EQ(r.entries[9].strValue, L"55.2");
  EXPECT_EQ(r.entries[11].strValue, L"None");
  EXPECT_EQ(r.entries[19].strValue, L"35.0");
  EXPECT_EQ(r.entries[23].value, 0);
  EXPECT_EQ(r.entries[28].value, 100);
  EXPECT_EQ(r.entries[29].strValue, L"46.5");
}

// While one call holds the table (here: paused inside its refresh), another
// thread can neither refresh nor read it.
TEST_F(ZoneEntries, RefreshAndReadAreSerialised) {
  Serve(BuildChain({MakeZone(3000)}));
  CallBuilder();
  Serve(BuildChain({MakeZone(3100), MakeZone(3100)}));
  const UniqueHandle reachedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandle releaseEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE reached = reachedEvent.get();
  HANDLE release = releaseEvent.get();
  Double().HoldClose(reached, release);

  CallResult result;
  test::TestThread first([&] { result = CallBuilder(); });
  const bool paused = WaitForSingleObject(reached, 10000) == WAIT_OBJECT_0;
  if (!paused) SetEvent(release);  // lets the first thread end before its join
  ASSERT_TRUE(paused);
  Double().HoldClose(nullptr, nullptr);
  const UniqueHandle readEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ThermalZoneTable table{};
  test::TestThread second([&] {
    table = ReadThermalZoneTable();
    SetEvent(readEvent.get());
  });
  EXPECT_EQ(WaitForSingleObject(readEvent.get(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
      << "read while the refresh held the table";
  SetEvent(release);
  first.Join();
  second.Join();
  EXPECT_EQ(result.count, 20u);
  EXPECT_EQ(table[1].CurrentTemperature, 3100u);  // read after the refresh, not during it
}

}  // namespace
}  // namespace boardscope
