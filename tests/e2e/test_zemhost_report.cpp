// zemhost's renderings: numbers scaled by their divisors, texts escaped for
// JSON, and the same output for the same report.
#include <gtest/gtest.h>

#include <string>

#include "report.h"

namespace zemhost {
namespace {

TEST(ZemhostReport, ScaledValues) {
  struct Case {
    std::int64_t value;
    std::int64_t divisor;
    const char* text;
  } const cases[] = {
      {3, 1, "3"},          {47, 16, "2.9375"},   {105, 10, "10.5"},  {100, 10, "10"},
      {0, 16, "0"},         {2, 3, "0.6667"},     {-7, 3, "-2.3333"}, {1, -2, "-0.5"},
      {-1, 100000, "0"},    {5, 0, "-"},          {429496726, 10, "42949672.6"},
      {4294967295, 1, "4294967295"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaledValue(c.value, c.divisor), c.text) << c.value << "/" << c.divisor;
  }
}

TEST(ZemhostReport, NamesAndCodes) {
  EXPECT_EQ(TypeName(1), "Number");
  EXPECT_EQ(TypeName(4), "String");
  EXPECT_EQ(TypeName(0), "Unknown(0)");
  EXPECT_EQ(HResultText(static_cast<std::int32_t>(0x80040154u)), "0x80040154");
  EXPECT_EQ(HResultText(0), "0x00000000");
}

Report OneEntry(const std::string& name, const std::string& strValue) {
  Report report;
  PluginReport plugin;
  plugin.valueName = "Test";
  plugin.classId = "{00000000-0000-0000-0000-000000000000}";
  plugin.created = true;
  plugin.instanceCount = 1;
  Instance instance;
  Entry entry;
  entry.name = name;
  entry.unit = "Deg C";
  entry.type = 4;
  entry.strValue = strValue;
  entry.value = 1;
  entry.divisor = 10;
  instance.entries.push_back(entry);
  plugin.instances.push_back(instance);
  report.plugins.push_back(plugin);
  return report;
}

TEST(ZemhostReport, JsonEscapesTexts) {
  const std::string json = RenderJson(OneEntry("a \"quoted\" \\ name\t", std::string("x\x01y\n")));
  EXPECT_NE(json.find("\"name\": \"a \\\"quoted\\\" \\\\ name\\t\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"strValue\": \"x\\u0001y\\n\""), std::string::npos) << json;
  // A text entry has no scaled number.
  EXPECT_NE(json.find("\"value\": null"), std::string::npos) << json;
}

TEST(ZemhostReport, TableColumnsFollowTheWidestCell) {
  const std::string table = RenderTable(OneEntry("# 0Current Temperature", "55.2"));
  EXPECT_NE(table.find("    Entry                   Value  Unit   Type    Raw\n"), std::string::npos) << table;
  EXPECT_NE(table.find("    # 0Current Temperature  55.2   Deg C  String  1/10\n"), std::string::npos) << table;
  // Text in UTF-8 is measured in characters, not bytes.
  const std::string wide = RenderTable(OneEntry("# 0Temp \xC2\xB0" "C", "1"));
  EXPECT_NE(wide.find("    # 0Temp \xC2\xB0" "C  1      Deg C"), std::string::npos) << wide;
}

TEST(ZemhostReport, WatchRoundsAreNumbered) {
  Report report = OneEntry("n", "v");
  EXPECT_EQ(RenderTable(report).rfind("Round", 0), std::string::npos);
  report.round = 3;
  EXPECT_EQ(RenderTable(report).rfind("Round 3\n", 0), 0u);
  EXPECT_NE(RenderJson(report).find("\"round\": 3,"), std::string::npos);
}

}  // namespace
}  // namespace zemhost
