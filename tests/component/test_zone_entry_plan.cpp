// The ten entries of a zone as planned from its record and the entry texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/zone_entry_plan.h"
#include "test_thermal_chain.h"

namespace boardscope {
namespace {

struct Entry {
  std::u16string name, unit, strValue;
  bool unitMissing, strValueMissing;
  EntryValueType type;
  std::uint32_t value, divisor;
};

std::vector<Entry> Plan(const test::ZoneData& data, std::size_t zone,
                        const ZoneEntryStrings& strings = test::TableStrings()) {
  ZoneRecord record{};
  std::memcpy(&record, data.data(), kZoneDataSize);
  ZoneTextScratch scratch;
  ZoneEntryPlan plans[kEntriesPerZone];
  PlanZoneEntries(record, strings, scratch, plans);
  std::vector<Entry> entries;
  for (const auto& p : plans) {
    const Text16 prefix = strings[IDS_ENTRY_NAME_PREFIX];
    std::u16string name(EntryNameLength(prefix, zone, p.label), u'?');
    EXPECT_EQ(ComposeEntryName(prefix, zone, p.label, name.data()), name.size());
    entries.push_back({name, std::u16string(p.unit.data ? p.unit.data : u"", p.unit.length),
                       std::u16string(p.strValue.data ? p.strValue.data : u"", p.strValue.length),
                       p.unit.data == nullptr, p.strValue.data == nullptr, p.type, p.value,
                       p.divisor});
  }
  return entries;
}

TEST(ZoneEntryPlan, OneZoneWithTwoTripPoints) {
  const auto e = Plan(test::MakeZone(3012, 3532, 3732, {3632, 3332}, 77), 0);
  const auto expected = test::CpuZoneEntries(77);
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(e[k].name, expected[k].name) << k;
    EXPECT_EQ(e[k].unit, expected[k].unit) << k;
    EXPECT_EQ(e[k].strValue, expected[k].text) << k;
    EXPECT_EQ(e[k].type, expected[k].type) << k;
    EXPECT_EQ(e[k].value, expected[k].value) << k;
    EXPECT_EQ(e[k].divisor, expected[k].divisor) << k;
  }
}

TEST(ZoneEntryPlan, TripPointCounts) {
  auto data = test::MakeZone(3012, 0, 0, {3632, 3332, 0, 2700});
  const struct {
    std::uint32_t count;
    std::uint32_t value;
    const char16_t* list;
  } cases[] = {
      {0, 0, u"None"},
      {258, 2, u"90.0 ; 60.0 "},
      {3, 3, u"90.0 ; 60.0 ; 0.0 "},  // a trip point of 0 is 0.0
      {4, 4, u"90.0 ; 60.0 ; 0.0 ; -3.2 "},
  };
  for (const auto& c : cases) {
    data[8] = c.count;
    const auto e = Plan(data, 0);
    EXPECT_EQ(e[0].value, c.value) << c.count;
    EXPECT_EQ(e[1].strValue, c.list) << c.count;
  }
}

TEST(ZoneEntryPlan, MoreThanTenTripPointsListsTheTenHeld) {
  test::ZoneData data = test::MakeZone(3012);
  for (int j = 0; j < 10; ++j) data[9 + j] = 0x80000AACu;  // longest item text
  data[8] = 0xFF;
  const auto e = Plan(data, 0);
  EXPECT_EQ(e[0].value, 255u);
  std::u16string expected;
  for (int j = 0; j < 10; ++j) expected += j < 9 ? u"-214748364.8 ; " : u"-214748364.8 ";
  EXPECT_EQ(e[1].strValue, expected);
  EXPECT_LE(e[1].strValue.size(), kTripListMax);
}

TEST(ZoneEntryPlan, Temperatures) {
  const struct {
    std::uint32_t current, passive, critical;
    const char16_t* currentText;
    std::uint32_t passiveValue, criticalValue;
  } cases[] = {
      {2727, 0, 0, u"-0.5", 0, 0},
      {0, 2731, 3732, u"0.0", 0, 100},
      {2700, 2700, 2700, u"-3.2", 429496726, 429496726},
      {0x80000000u, 3537, 3742, u"214748091.6", 80, 101},
  };
  for (const auto& c : cases) {
    const auto e = Plan(test::MakeZone(c.current, c.passive, c.critical), 0);
    EXPECT_EQ(e[9].strValue, c.currentText) << c.current;
    EXPECT_EQ(e[3].value, c.passiveValue) << c.passive;
    EXPECT_EQ(e[8].value, c.criticalValue) << c.critical;
  }
}

TEST(ZoneEntryPlan, NamesCarryTheZonePosition) {
  EXPECT_EQ(Plan(test::MakeZone(3012), 1)[0].name, u"# 1List of Active Cooling Devices");
  EXPECT_EQ(Plan(test::MakeZone(3012), 9)[9].name, u"# 9Current Temperature");
}

TEST(ZoneEntryPlan, MissingTextsLeaveThePartsThatExist) {
  ZoneEntryStrings strings{};  // nothing could be loaded
  const auto e = Plan(test::MakeZone(3012), 3, strings);
  EXPECT_EQ(e[0].name, u"3");
  EXPECT_TRUE(e[0].unitMissing);
  EXPECT_TRUE(e[0].strValueMissing);   // "None"
  EXPECT_TRUE(e[1].strValueMissing);   // empty list is "None"
  EXPECT_FALSE(e[9].strValueMissing);  // computed text
  EXPECT_EQ(e[9].strValue, u"28.0");
}

}  // namespace
}  // namespace boardscope
