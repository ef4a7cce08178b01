// zemhost's renderings and command line: numbers scaled by their divisors,
// texts escaped for JSON, temperatures in degrees Celsius for Prometheus,
// and the options CLI11 accepts and refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exit_codes.h"
#include "options.h"
#include "prometheus.h"
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
  const std::string json = RenderJson(OneEntry("a \"quoted\" \\ name\t", std::string("x\x01y\n\xff")));
  EXPECT_NE(json.find("\"name\": \"a \\\"quoted\\\" \\\\ name\\t\""), std::string::npos) << json;
  // Bytes that are not UTF-8 become U+FFFD rather than invalid JSON.
  EXPECT_NE(json.find("\"strValue\": \"x\\u0001y\\n\xEF\xBF\xBD\""), std::string::npos) << json;
  // A text entry has no scaled number.
  EXPECT_NE(json.find("\"value\": null"), std::string::npos) << json;
}

TEST(ZemhostReport, JsonNumbersAreTheTables) {
  struct Case {
    std::int64_t value;
    std::int64_t divisor;
    const char* json;
  } const cases[] = {{3, 1, "3"}, {47, 16, "2.9375"}, {105, 10, "10.5"}, {2, 3, "0.6667"}, {-7, 7, "-1"}, {5, 0, "null"}};
  for (const Case& c : cases) {
    Report report = OneEntry("n", "None");
    Entry& e = report.plugins[0].instances[0].entries[0];
    e.type = 1;
    e.value = c.value;
    e.divisor = c.divisor;
    const std::string json = RenderJson(report);
    EXPECT_NE(json.find(std::string("\"value\": ") + c.json + ","), std::string::npos) << json;
  }
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

Entry ZoneEntry(const std::string& name, const char* unit, std::int32_t type, std::int64_t value,
               std::int64_t divisor, const char* strValue = "None") {
  Entry e;
  e.name = name;
  e.unit = unit;
  e.type = type;
  e.value = value;
  e.divisor = divisor;
  e.strValue = strValue;
  return e;
}

// Temperatures are read the way each entry carries them: the contract's
// 105/10 critical point is 105 °C, and "55.2" is 55.2 °C. A zero point, no
// trip points, a wrong unit or a wrapped value gives no sample.
TEST(ZemhostPrometheus, TemperaturesInDegreesWithoutMadeUpValues) {
  Report report = OneEntry("unrelated", "1");
  PluginReport& p = report.plugins[0];
  p.valueName = "Board\"scope\"";
  p.caps[0] = 1;
  p.instances[0].entries = {
      ZoneEntry("# 0Current Temperature", "Deg C", 4, 1, 10, "55.2"),
      ZoneEntry("# 0Critical Temperature", "Deg C", 1, 105, 10),
      ZoneEntry("# 0Passive Trip Point", "Deg C", 1, 85, 16),
      ZoneEntry("# 0List of Active Trip Points", "Deg C", 4, 0, 1, "80.0 ; 65.5 ; 0.0 ; 50.0 "),
      ZoneEntry("# 1Current Temperature", "Deg C", 4, 1, 10, "0.0"),
      ZoneEntry("# 1Critical Temperature", "Deg C", 1, 0, 10),
      ZoneEntry("# 1Passive Trip Point", "Deg C", 1, 0, 16),
      ZoneEntry("# 1List of Active Trip Points", "Deg C", 4, 0, 1, "None"),
      ZoneEntry("# 2Current Temperature", "Deg C", 4, 1, 10, "-7.5"),
      ZoneEntry("# 2Critical Temperature", "None", 1, 105, 10),
      ZoneEntry("# 2Passive Trip Point", "Deg C", 1, 429496726, 16),
      ZoneEntry("# 2List of Active Trip Points", "Deg C", 4, 0, 1, "hot"),
      ZoneEntry("# 12Current Temperature", "Deg C", 1, 1, 10, "30.0"),
  };
  PluginReport stale;
  stale.valueName = "Stale";
  report.plugins.push_back(stale);

  const char* l = "plugin=\"Board\\\"scope\\\"\"";
  auto sample = [&](const std::string& metric, const std::string& labels, const char* value) {
    return "zem_thermal_zone_" + metric + "_celsius{" + l + "," + labels + "} " + value + "\n";
  };
  const std::string expected =
      "# HELP zem_plugin_up 1 when zemhost created the ZEM plug-in and every call to it succeeded, else 0.\n"
      "# TYPE zem_plugin_up gauge\n"
      "zem_plugin_up{" + std::string(l) + "} 1\n"
      "zem_plugin_up{plugin=\"Stale\"} 0\n"
      "# HELP zem_thermal_zones ACPI thermal zones the plug-in reports (the host takes at most ten).\n"
      "# TYPE zem_thermal_zones gauge\n"
      "zem_thermal_zones{" + l + "} 4\n"
      "# HELP zem_thermal_zone_temperature_celsius Current temperature of the thermal zone.\n"
      "# TYPE zem_thermal_zone_temperature_celsius gauge\n" +
      sample("temperature", "zone=\"0\"", "55.2") + sample("temperature", "zone=\"2\"", "-7.5") +
      "# HELP zem_thermal_zone_passive_trip_point_celsius Temperature at which the zone starts passive cooling "
      "(throttling).\n"
      "# TYPE zem_thermal_zone_passive_trip_point_celsius gauge\n" +
      sample("passive_trip_point", "zone=\"0\"", "85") +
      "# HELP zem_thermal_zone_critical_trip_point_celsius Temperature at which the system shuts down.\n"
      "# TYPE zem_thermal_zone_critical_trip_point_celsius gauge\n" +
      sample("critical_trip_point", "zone=\"0\"", "105") +
      "# HELP zem_thermal_zone_active_trip_point_celsius Temperature at which active cooling level index starts "
      "(index 0 is the hottest).\n"
      "# TYPE zem_thermal_zone_active_trip_point_celsius gauge\n" +
      sample("active_trip_point", "zone=\"0\",index=\"0\"", "80") +
      sample("active_trip_point", "zone=\"0\",index=\"1\"", "65.5") +
      sample("active_trip_point", "zone=\"0\",index=\"3\"", "50");
  EXPECT_EQ(RenderPrometheus(report), expected);
}

TEST(ZemhostOptions, ParsedByCli11) {
  struct Case {
    std::vector<std::string> args;
    int exitCode;        // -1: runs
    const char* output;  // found in what it prints (standard output, then error)
    unsigned long watch;
    unsigned long count;
  } const cases[] = {
      {{}, -1, "", 0, 1},
      {{"--json", "--prometheus", "C:\\m\\zem.prom"}, -1, "", 0, 1},
      {{"--watch", "5"}, -1, "", 5, 0},
      {{"--watch=5", "--count", "3"}, -1, "", 5, 3},
      {{"--help"}, kExitOk, "--prometheus FILE", 0, 0},
      {{"/?"}, kExitOk, "Exit codes: 0 fine", 0, 0},
      {{"--version"}, kExitOk, "zemhost 9.8\n", 0, 0},
      {{"--bogus"}, kExitUsage, "zemhost: The following argument was not expected: --bogus", 0, 0},
      {{"--watch", "0"}, kExitUsage, "--watch: Value 0 not in range", 0, 0},
      {{"--watch", "-1"}, kExitUsage, "--watch", 0, 0},
      {{"--watch"}, kExitUsage, "--watch", 0, 0},
      {{"--count", "2"}, kExitUsage, "--count requires --watch", 0, 0},
      {{"--capture", "x.wmi", "--json"}, kExitUsage, "excludes", 0, 0},
      {{"--prometheus"}, kExitUsage, "--prometheus", 0, 0},
  };
  for (const Case& c : cases) {
    const ParsedCommandLine parsed = ParseCommandLine(c.args, "9.8");
    const std::string printed = parsed.out + parsed.err;
    SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
    EXPECT_EQ(parsed.run, c.exitCode < 0) << printed;
    EXPECT_NE(printed.find(c.output), std::string::npos) << printed;
    if (c.exitCode >= 0) {
      EXPECT_EQ(parsed.exitCode, c.exitCode);
      EXPECT_TRUE(c.exitCode == kExitUsage ? parsed.out.empty() : parsed.err.empty()) << printed;
      continue;
    }
    EXPECT_EQ(parsed.options.watchSeconds, c.watch);
    EXPECT_EQ(parsed.options.count, c.count);
  }
  const Options o = ParseCommandLine({"--json", "--prometheus", "m.prom"}, "1").options;
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.prometheus, "m.prom");
}

}  // namespace
}  // namespace zemhost
