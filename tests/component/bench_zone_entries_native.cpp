// Native stand-in for bench_instance_data where Wine is not at hand: the
// neutral half of GetTIInstanceData (buffer walk, table copy, entry plans,
// texts written straight into length-prefixed strings) against the
// allocations the contract forces, with malloc in place of the BSTR and task
// allocators and a memcpy in place of the WMI query. The string lookups are
// not modelled. Microseconds per call for 1, 3 and 10 zones.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "component/zone_entry_plan.h"
#include "test_thermal_chain.h"

namespace {

using namespace boardscope;
using Clock = std::chrono::steady_clock;

// A BSTR-like string: 4-byte length, units, terminator.
Char16* AllocString(const Char16* units, std::size_t length) {
  auto* block = static_cast<std::uint32_t*>(std::malloc(4 + 2 * (length + 1)));
  block[0] = static_cast<std::uint32_t>(2 * length);
  auto* text = reinterpret_cast<Char16*>(block + 1);
  if (units) std::memcpy(text, units, 2 * length);
  text[length] = 0;
  return text;
}
void FreeString(Char16* s) {
  if (s) std::free(reinterpret_cast<std::uint32_t*>(s) - 1);
}

struct Entry {  // the 40-byte host record
  Char16 *name, *unit;
  std::uint32_t type;
  Char16* strValue;
  std::int64_t value, divisor;
  std::uint32_t flags, error;
};

void FreeEntries(Entry* entries, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    FreeString(entries[i].name);
    FreeString(entries[i].unit);
    FreeString(entries[i].strValue);
  }
  std::free(entries);
}

ThermalZoneTable table{};

std::vector<std::size_t> Ours(const std::vector<std::uint8_t>& chain, const ZoneEntryStrings& strings,
                              bool keepLengths) {
  auto* buffer = static_cast<std::uint8_t*>(std::calloc(chain.size(), 1));
  std::memcpy(buffer, chain.data(), chain.size());
  WalkThermalZoneChain(buffer, chain.size(), table);
  std::free(buffer);
  ThermalZoneTable zones = table;
  const std::size_t n = CountThermalZones(zones);
  auto* entries = static_cast<Entry*>(std::malloc(n * 10 * sizeof(Entry)));
  std::vector<std::size_t> lengths;
  for (std::size_t z = 0; z < n; ++z) {
    ZoneTextScratch scratch;
    ZoneEntryPlan plans[kEntriesPerZone];
    PlanZoneEntries(zones[z], strings, scratch, plans);
    const Text16 prefix = strings[IDS_ENTRY_NAME_PREFIX];
    for (std::size_t k = 0; k < 10; ++k) {
      Entry& e = entries[z * 10 + k];
      const std::size_t nameLength = EntryNameLength(prefix, z, plans[k].label);
      e.name = AllocString(nullptr, nameLength);
      ComposeEntryName(prefix, z, plans[k].label, e.name);
      e.unit = AllocString(plans[k].unit.data, plans[k].unit.length);
      e.strValue = AllocString(plans[k].strValue.data, plans[k].strValue.length);
      e.type = static_cast<std::uint32_t>(plans[k].type);
      e.value = plans[k].value;
      e.divisor = plans[k].divisor;
      e.flags = e.error = 0;
      if (keepLengths) {
        lengths.push_back(nameLength);
        lengths.push_back(plans[k].unit.length);
        lengths.push_back(plans[k].strValue.length);
      }
    }
  }
  FreeEntries(entries, n * 10);
  return lengths;
}

void Baseline(const std::vector<std::uint8_t>& chain, const std::vector<std::size_t>& lengths) {
  static const Char16 source[128] = {};
  auto* buffer = static_cast<std::uint8_t*>(std::calloc(chain.size(), 1));
  std::memcpy(buffer, chain.data(), chain.size());
  std::free(buffer);
  const std::size_t count = lengths.size() / 3;
  auto* entries = static_cast<Entry*>(std::malloc(count * sizeof(Entry)));
  for (std::size_t i = 0; i < count; ++i) {
    entries[i].name = AllocString(source, lengths[3 * i]);
    entries[i].unit = AllocString(source, lengths[3 * i + 1]);
    entries[i].strValue = AllocString(source, lengths[3 * i + 2]);
  }
  FreeEntries(entries, count);
}

template <typename Work>
double Micro(int calls, Work work) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) work();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / calls;
}

}  // namespace

int main() {
  const ZoneEntryStrings& strings = test::TableStrings();
  std::printf("%6s %14s %14s %7s\n", "zones", "us/call", "baseline us", "ratio");
  for (std::size_t zones : {1u, 3u, 10u}) {
    using test::ChainNode;
    const auto chain = test::BuildChain(
        std::vector<ChainNode>(zones, ChainNode(test::MakeZone(3012, 3532, 3732, {3632, 3332}, 7))));
    const auto lengths = Ours(chain, strings, true);
    const int calls = static_cast<int>(200000 / zones);
    std::vector<double> ours, base;
    for (int round = 0; round < 9; ++round) {
      ours.push_back(Micro(calls / 10, [&] { Ours(chain, strings, false); }));
      base.push_back(Micro(calls / 10, [&] { Baseline(chain, lengths); }));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(base.begin(), base.end());
    const double o = ours[4], b = base[4];
    std::printf("%6u %14.3f %14.3f %7.2f\n", static_cast<unsigned>(zones), o, b, o / b);
  }
}
