// Builds WNODE_ALL_DATA chains for the thermal-zone tests: well-formed ones
// laid out like the platform's, and damaged ones for the bounds checks.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "component/thermal_zone_table.h"
#include "component/zone_entry_plan.h"
#include "contract/wnode_layout.h"

namespace boardscope::test {

// The nineteen values of one MSAcpi_ThermalZoneTemperature data block.
using ZoneData = std::array<std::uint32_t, kZoneDataSize / 4>;

// The values of a data block, from a block or from a record's.
inline ZoneData DataOf(const ZoneDataBlock& block) {
  ZoneData d;
  std::memcpy(d.data(), &block, kZoneDataSize);
  return d;
}

inline ZoneData MakeZone(std::uint32_t current, std::uint32_t passive = 0, std::uint32_t critical = 0,
                         std::initializer_list<std::uint32_t> trips = {}, std::uint32_t stamp = 0) {
  ZoneDataBlock b{};
  b.ThermalStamp = stamp;
  b.ThermalConstant1 = 2;
  b.ThermalConstant2 = 5;
  b.SamplingPeriod = 50;
  b.CurrentTemperature = current;
  b.PassiveTripPoint = passive;
  b.CriticalTripPoint = critical;
  b.ActiveTripPointCount = static_cast<std::uint32_t>(trips.size());
  std::copy(trips.begin(), trips.end(), b.ActiveTripPoint);
  return DataOf(b);
}

struct ChainNode {
  ChainNode(const ZoneData& zone, bool fixed = true, std::uint32_t count = 1)
      : data(zone), fixedSize(fixed), instances(count) {}
  ChainNode Linkage(std::uint32_t v) const { auto n = *this; n.linkage = v; return n; }
  ChainNode Offset(std::uint32_t v) const { auto n = *this; n.instanceOffset = v; return n; }
  ChainNode Length(std::uint32_t v) const { auto n = *this; n.instanceLength = v; return n; }
  ChainNode PairAtDecoy() const { auto n = *this; n.pairPointsAtDecoy = true; return n; }

  ZoneData data;
  bool fixedSize;
  std::uint32_t instances;
  std::optional<std::uint32_t> linkage;         // default: to the next node, 0 on the last
  std::optional<std::uint32_t> instanceOffset;  // default: where the data is
  std::optional<std::uint32_t> instanceLength;  // default: a data block's size
  bool pairPointsAtDecoy = false;  // fixed size: first pair's offset slot aims at the decoy
};

namespace detail {
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  std::memcpy(b.data() + at, &v, 4);
}
constexpr std::uint32_t kStride = (kZoneDataSize + 7) & ~7u;  // instances are 8-byte aligned
}  // namespace detail

// One node: header, offset/length pairs, the instances, then a decoy block
// (all 0xEE) where the offset that the node's flags do not select points, so
// that reading the wrong offset shows.
inline std::vector<std::uint8_t> BuildNode(const ChainNode& n, bool last) {
  using detail::Put32;
  const std::uint32_t blocks = std::max<std::uint32_t>(n.instances, 1);
  const std::uint32_t pairs = n.fixedSize ? 1 : blocks;
  const std::uint32_t first = (wnode::kOffsetInstanceData + 8 * pairs + 7) & ~7u;
  const std::uint32_t decoy = first + detail::kStride * blocks;
  const std::uint32_t size = decoy + detail::kStride;
  std::vector<std::uint8_t> b(size, 0);
  Put32(b, 0, size);              // BufferSize
  Put32(b, 8, 1);                 // Version
  Put32(b, wnode::kLinkage, last ? 0 : size);
  Put32(b, 24, 0xA1BC18C0);       // Guid.Data1
  Put32(b, wnode::kFlags, 0x1 | (n.fixedSize ? wnode::kFlagFixedInstanceSize : 0));
  Put32(b, wnode::kInstanceCount, n.instances);
  std::memset(b.data() + decoy, 0xEE, kZoneDataSize);
  const std::uint32_t offset = n.instanceOffset.value_or(first);
  const std::uint32_t length = n.instanceLength.value_or(kZoneDataSize);
  if (n.fixedSize) {
    Put32(b, wnode::kDataBlockOffset, offset);
    // FixedInstanceSize shares its slot with the first pair's offset.
    Put32(b, wnode::kFixedInstanceSize, n.pairPointsAtDecoy ? decoy : length);
    Put32(b, wnode::kLengthInstanceData, kZoneDataSize);
  } else {
    Put32(b, wnode::kDataBlockOffset, decoy);  // not to be used
    for (std::uint32_t i = 0; i < pairs; ++i) {
      Put32(b, wnode::kOffsetInstanceData + 8 * i, i == 0 ? offset : first + i * detail::kStride);
      Put32(b, wnode::kLengthInstanceData + 8 * i, i == 0 ? length : kZoneDataSize);
    }
  }
  for (std::uint32_t i = 0; i < blocks; ++i) {
    ZoneData d = n.data;
    if (i > 0) d[offsetof(ZoneDataBlock, CurrentTemperature) / 4] += 1000 * i;  // later instances differ visibly
    std::memcpy(b.data() + first + i * detail::kStride, d.data(), kZoneDataSize);
  }
  if (n.linkage) Put32(b, wnode::kLinkage, *n.linkage);
  return b;
}

inline std::vector<std::uint8_t> BuildChain(const std::vector<ChainNode>& nodes) {
  std::vector<std::uint8_t> chain;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const auto node = BuildNode(nodes[i], i + 1 == nodes.size());
    chain.insert(chain.end(), node.begin(), node.end());
  }
  return chain;
}

inline std::vector<std::uint8_t> BuildChain(std::initializer_list<ZoneData> zones) {
  std::vector<ChainNode> nodes;
  for (const auto& z : zones) nodes.emplace_back(z);
  return BuildChain(nodes);
}

// An ASCII text of the contract as UTF-16.
inline std::u16string Utf16(const char* ascii) { return std::u16string(ascii, ascii + std::strlen(ascii)); }

// The entry texts as the string table holds them.
inline const ZoneEntryStrings& TableStrings() {
  static const std::array<std::u16string, kZoneEntryTextCount> texts = [] {
    std::array<std::u16string, kZoneEntryTextCount> t;
    for (std::size_t k = 0; k < kZoneEntryTextCount; ++k) t[k] = Utf16(kZoneEntryTexts[k].text);
    return t;
  }();
  static const ZoneEntryStrings strings = [] {
    ZoneEntryStrings s;
    for (std::size_t k = 0; k < kZoneEntryTextCount; ++k)
      s.texts[k] = {texts[k].data(), static_cast<std::uint32_t>(texts[k].size())};
    return s;
  }();
  return strings;
}

// The ten entries of zone 0 made from MakeZone(3012, 3532, 3732, {3632, 3332},
// stamp), the same whether planned or built into host records: names, units,
// types and divisors as the entry table gives them.
struct ExpectedEntry {
  std::u16string name, unit;
  const char16_t* text;
  EntryValueType type;
  std::uint32_t value, divisor;
};
inline std::array<ExpectedEntry, kEntriesPerZone> CpuZoneEntries(std::uint32_t stamp) {
  const struct {
    const char16_t* text;
    std::uint32_t value;
  } made[kEntriesPerZone] = {{u"None", 2}, {u"90.0 ; 60.0 ", 0}, {u"None", stamp}, {u"None", 80}, {u"None", 2},
                             {u"None", 5}, {u"None", 0},         {u"None", 5},     {u"None", 100}, {u"28.0", 1}};
  std::array<ExpectedEntry, kEntriesPerZone> entries;
  for (std::size_t k = 0; k < kEntriesPerZone; ++k) {
    const ZoneEntryRow& row = kZoneEntryRows[k];
    entries[k] = {u"# 0" + Utf16(ZoneEntryText(row.labelId)), Utf16(ZoneEntryText(row.unitId)), made[k].text,
                  row.type, made[k].value, row.divisor};
  }
  return entries;
}

}  // namespace boardscope::test
