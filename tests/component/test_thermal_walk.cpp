// The walk over a WNODE_ALL_DATA chain: which node gives which record, and
// that damaged chains end the walk without a read outside the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "component/thermal_zone_table.h"
#include "test_thermal_chain.h"

namespace boardscope {
namespace {

using test::BuildChain;
using test::ChainNode;
using test::DataOf;
using test::MakeZone;
using test::ZoneData;

// Walks a copy of `chain` in a heap block of exactly its size, so that the
// sanitizers see any read past the end.
std::size_t Walk(const std::vector<std::uint8_t>& chain, ThermalZoneTable& table) {
  auto exact = std::make_unique<std::uint8_t[]>(chain.size());
  if (!chain.empty()) std::memcpy(exact.get(), chain.data(), chain.size());
  return WalkThermalZoneChain(exact.get(), chain.size(), table);
}

ThermalZoneTable Prefilled() {
  ThermalZoneTable table;
  std::memset(&table, 0xBD, sizeof table);
  return table;
}

const ZoneData kCpu = MakeZone(3012, 3532, 3732, {3632, 3332}, 7);
const ZoneData kSkin = MakeZone(3102, 0, 3582);

TEST(ThermalWalk, OneNodeFillsRecordZeroOnly) {
  ThermalZoneTable table = Prefilled();
  EXPECT_EQ(Walk(BuildChain({kCpu}), table), 1u);
  EXPECT_EQ(DataOf(table[0]), kCpu);
  EXPECT_EQ(table[0].Ordinal, 1);
  EXPECT_EQ(CountThermalZones(table), 1u);

  // A block may end exactly where the buffer does, with no name after it.
  auto chain = BuildChain({kCpu});
  std::uint32_t block = 0;
  std::memcpy(&block, chain.data() + wnode::kDataBlockOffset, sizeof block);
  chain.resize(block + kZoneDataSize);
  table = Prefilled();
  EXPECT_EQ(Walk(chain, table), 1u);
  EXPECT_EQ(DataOf(table[0]), kCpu);
}

TEST(ThermalWalk, EmptyBufferGivesNoZone) {
  ThermalZoneTable table = Prefilled();
  EXPECT_EQ(WalkThermalZoneChain(nullptr, 0, table), 0u);
  EXPECT_EQ(CountThermalZones(table), 0u);
  EXPECT_EQ(Walk(std::vector<std::uint8_t>(67, 0), table), 0u);
}

TEST(ThermalWalk, TwelveNodesFillTenRecords) {
  std::vector<ChainNode> nodes;
  for (std::uint32_t i = 0; i < 12; ++i) nodes.push_back(ChainNode(MakeZone(3000 + i)));
  ThermalZoneTable table{};
  EXPECT_EQ(Walk(BuildChain(nodes), table), 10u);
  for (std::uint32_t i = 0; i < 10; ++i) {
    EXPECT_EQ(table[i].Ordinal, static_cast<std::int32_t>(i + 1));
    EXPECT_EQ(table[i].CurrentTemperature, 3000 + i);
  }
}

TEST(ThermalWalk, InstanceOffsetFollowsTheFixedSizeFlag) {
  struct Case {
    const char* name;
    ChainNode node;
  } cases[] = {
      {"variable size reads the first pair", ChainNode(kCpu, false)},
      {"fixed size reads DataBlockOffset", ChainNode(kCpu, true)},
      {"fixed size ignores the pair slot", ChainNode(kCpu, true).PairAtDecoy()},
  };
  for (const auto& c : cases) {
    ThermalZoneTable table{};
    EXPECT_EQ(Walk(BuildChain(std::vector<ChainNode>{c.node, kSkin}), table), 2u) << c.name;
    EXPECT_EQ(DataOf(table[0]), kCpu) << c.name;
    EXPECT_EQ(DataOf(table[1]), kSkin) << c.name;
  }
}

TEST(ThermalWalk, NodeWithTwoInstancesGivesOnlyTheFirst) {
  for (bool fixed : {true, false}) {
    ThermalZoneTable table{};
    EXPECT_EQ(Walk(BuildChain(std::vector<ChainNode>{ChainNode(kCpu, fixed, 2), kSkin}), table), 2u);
    EXPECT_EQ(DataOf(table[0]), kCpu) << fixed;
    EXPECT_EQ(DataOf(table[1]), kSkin) << fixed;
  }
}

TEST(ThermalWalk, DamagedNodeEndsTheWalkAndEarlierNodesCount) {
  const std::uint32_t far = 0x7FFFFFF0;
  struct Case {
    const char* name;
    ChainNode second;
    std::size_t zones;
  } cases[] = {
      {"linkage past the end", ChainNode(kSkin).Linkage(far), 2},
      {"linkage wraps a 32-bit offset", ChainNode(kSkin).Linkage(0xFFFFFFF0), 2},
      {"linkage to the exact end", ChainNode(kSkin).Linkage(464), 2},
      {"offset past the end", ChainNode(kSkin).Offset(far), 1},
      {"offset 0", ChainNode(kSkin).Offset(0), 1},
      {"block crosses the end", ChainNode(kSkin).Offset(464 - 75), 1},
      {"variable offset past the end", ChainNode(kSkin, false).Offset(far), 1},
      {"variable offset wraps", ChainNode(kSkin, false).Offset(0xFFFFFFFF), 1},
      {"fixed size 75", ChainNode(kSkin).Length(75), 1},
      {"variable length 75", ChainNode(kSkin, false).Length(75), 1},
      {"variable length 0", ChainNode(kSkin, false).Length(0), 1},
      {"no instance", ChainNode(kSkin, true, 0), 1},
      {"fixed size 76 is enough", ChainNode(kSkin).Length(76), 3},
  };
  for (const auto& c : cases) {
    // cpu, the case's node, cpu again. Each node is 232 bytes long, so the
    // end of the buffer lies 464 bytes after the start of the middle one.
    ThermalZoneTable table = Prefilled();
    ChainNode middle = c.second;
    auto chain = BuildChain(std::vector<ChainNode>{kCpu, middle, kCpu});
    ASSERT_EQ(chain.size(), 696u) << c.name;
    EXPECT_EQ(Walk(chain, table), c.zones) << c.name;
    EXPECT_EQ(CountThermalZones(table), c.zones) << c.name;
    EXPECT_EQ(DataOf(table[0]), kCpu) << c.name;
    if (c.zones >= 2) {
      EXPECT_EQ(DataOf(table[1]), kSkin) << c.name;
    }
  }
}

TEST(ThermalWalk, RecordsAfterTheDeliveredZonesAreCleared) {
  ThermalZoneTable table{};
  Walk(BuildChain({kCpu, kSkin, kCpu, kSkin, kCpu}), table);
  ASSERT_EQ(CountThermalZones(table), 5u);
  EXPECT_EQ(Walk(BuildChain({kSkin, kCpu}), table), 2u);
  EXPECT_EQ(CountThermalZones(table), 2u);
  const ZoneRecord zero{};
  for (std::size_t i = 2; i < kMaxThermalZones; ++i)
    EXPECT_EQ(std::memcmp(&table[i], &zero, sizeof zero), 0) << i;
}

TEST(ThermalWalk, SameChainTwiceGivesSameTable) {
  const auto chain = BuildChain({kCpu, kSkin});
  ThermalZoneTable first = Prefilled();
  ThermalZoneTable second = Prefilled();
  Walk(chain, first);
  Walk(chain, second);
  Walk(chain, second);
  EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
}

TEST(ThermalWalk, CountStopsAtTheFirstUnfilledRecord) {
  ThermalZoneTable table{};
  table[0].Ordinal = 1;
  table[1].Ordinal = 2;
  table[3].Ordinal = 4;
  EXPECT_EQ(CountThermalZones(table), 2u);
}

// Every truncation and many random corruptions of a valid chain: the walk
// stays inside the buffer (checked by the sanitizers) and never yields more
// zones than there are nodes.
TEST(ThermalWalk, TruncatedAndCorruptedChainsStayInBounds) {
  const auto chain =
      BuildChain(std::vector<ChainNode>{kCpu, ChainNode(kSkin, false, 2), ChainNode(kCpu, true, 3)});
  ThermalZoneTable table{};
  for (std::size_t size = 0; size <= chain.size(); ++size) {
    Walk(std::vector<std::uint8_t>(chain.begin(), chain.begin() + size), table);
  }
  std::mt19937 random(1234);
  for (int round = 0; round < 3000; ++round) {
    auto damaged = chain;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % (damaged.size() - 3);
      const std::uint32_t value = random() % 3 == 0 ? random() : random() % 1024;
      std::memcpy(damaged.data() + at, &value, 4);
    }
    damaged.resize(random() % (damaged.size() + 1));
    EXPECT_LE(Walk(damaged, table), 3u);
  }
}

// The sample capture is a well-formed chain of the three zones it describes.
// It is what the capture generator (tools/capture/make_capture.py) writes,
// byte for byte (CTest samples_generated), so its first zone, field by
// field, checks the generator's layout of the data block against ours.
TEST(ThermalWalk, SampleCapture) {
  std::ifstream file(BOARDSCOPE_SAMPLES_DIR "/laptop-3zones.wmi", std::ios::binary);
  ASSERT_TRUE(file) << BOARDSCOPE_SAMPLES_DIR;
  const std::vector<std::uint8_t> capture{std::istreambuf_iterator<char>(file), {}};
  ThermalZoneTable table{};
  ASSERT_EQ(Walk(capture, table), 3u);
  const std::uint32_t current[] = {3284, 3082, 3197};
  const std::uint32_t trips[] = {3, 0, 1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(table[i].CurrentTemperature, current[i]) << i;
    EXPECT_EQ(table[i].ActiveTripPointCount, trips[i]) << i;
  }
  EXPECT_EQ(table[0].ActiveTripPoint[2], 3232u);
  EXPECT_EQ(table[2].CriticalTripPoint, 3732u);

  ZoneDataBlock cpu{};  // the shape's CPUZ_0
  cpu.ThermalStamp = 47;
  cpu.ThermalConstant1 = 2;
  cpu.ThermalConstant2 = 5;
  cpu.SamplingPeriod = 20;
  cpu.CurrentTemperature = 3284;
  cpu.PassiveTripPoint = 3582;
  cpu.CriticalTripPoint = 3782;
  cpu.ActiveTripPointCount = 3;
  cpu.ActiveTripPoint[0] = 3532;
  cpu.ActiveTripPoint[1] = 3382;
  cpu.ActiveTripPoint[2] = 3232;
  EXPECT_EQ(DataOf(table[0]), DataOf(cpu));
  EXPECT_EQ(wnode::LoadU32(capture.data() + wnode::kFixedInstanceSize), kZoneDataSize);
}

}  // namespace
}  // namespace boardscope
