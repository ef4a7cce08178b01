// zemhost's renderings and command line: numbers scaled by their divisors,
// texts escaped for JSON, temperatures in degrees Celsius for Prometheus,
// and the options CLI11 accepts and refuses.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "options.h"
#include "prometheus.h"
#include "report.h"
#include "zone_reading.h"

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
  EXPECT_NE(RenderJson(report).find("\"round\":3,"), std::string::npos);
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
      "# HELP zem_thermal_zone_reading_placeholder 1 when the zone's current temperature is probably no reading "
      "but a value firmware answers without a sensor: 3010, 3030, 2732 or 0 tenths of a kelvin, or, under --watch, "
      "one that has not moved in any round; else 0.\n"
      "# TYPE zem_thermal_zone_reading_placeholder gauge\n"
      "zem_thermal_zone_reading_placeholder{" + l + ",zone=\"0\"} 0\n"
      "zem_thermal_zone_reading_placeholder{" + l + ",zone=\"1\"} 1\n"
      "zem_thermal_zone_reading_placeholder{" + l + ",zone=\"2\"} 0\n"
      "zem_thermal_zone_reading_placeholder{" + l + ",zone=\"12\"} 0\n" +
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

// The well-known placeholders are marked, 0.0 °C is no reading, and values
// that no thermal zone can report (below 0 K, or wrapped from 2^31 tenths
// of a kelvin on) give no temperature, while odd but possible ones stay.
TEST(ZemhostReading, CurrentTemperaturesClassified) {
  struct Case {
    std::optional<std::int64_t> tenths;
    Reading reading;
    std::optional<std::int64_t> exported;
    bool placeholder;
  } const cases[] = {
      {552, Reading::kMeasured, 552, false},          {278, Reading::kPlaceholder, 278, true},
      {298, Reading::kPlaceholder, 298, true},        {0, Reading::kNoReading, std::nullopt, true},
      {279, Reading::kMeasured, 279, false},          {-2732, Reading::kMeasured, -2732, false},
      {-2733, Reading::kOutOfRange, std::nullopt, false},
      {-2147483648LL, Reading::kOutOfRange, std::nullopt, false},
      {2147480915, Reading::kMeasured, 2147480915, false},
      {2147480916, Reading::kOutOfRange, std::nullopt, false},
      {std::nullopt, Reading::kNoReading, std::nullopt, false},
  };
  for (const Case& c : cases) {
    const CurrentTemperature t = ClassifyCurrent(c.tenths);
    SCOPED_TRACE(c.tenths ? std::to_string(*c.tenths) : std::string("none"));
    EXPECT_EQ(ReadingName(t.reading), std::string(ReadingName(c.reading)));
    EXPECT_EQ(t.tenths, c.exported);
    EXPECT_EQ(t.knownPlaceholder, c.placeholder);
  }
}

Report ZoneReport(const std::vector<Entry>& entries) {
  Report report = OneEntry("unrelated", "1");
  report.plugins[0].caps[0] = 1;
  report.plugins[0].instances[0].entries = entries;
  return report;
}

// The raw values of a hostile capture: 0xFFFFFFFF, 0x80000AAC and 0x80000000
// as the plug-in decodes them, beside a real critical point of 210 °C.
TEST(ZemhostReading, ImpossibleValuesGiveNoSample) {
  const Report report = ZoneReport({
      ZoneEntry("# 0Current Temperature", "Deg C", 4, 1, 10, "-273.3"),
      ZoneEntry("# 0Critical Temperature", "Deg C", 1, 214748091, 10),
      ZoneEntry("# 0Passive Trip Point", "Deg C", 1, 429496456, 16),
      ZoneEntry("# 0List of Active Trip Points", "Deg C", 4, 0, 1,
                "214748091.6 ; -214748364.8 ; -273.3 ; 210.0 "),
      ZoneEntry("# 1Current Temperature", "Deg C", 4, 1, 10, "214748091.6"),
      ZoneEntry("# 1Critical Temperature", "Deg C", 1, 210, 10),
      ZoneEntry("# 2Current Temperature", "Deg C", 4, 1, 10, "-214748364.8"),
  });
  const std::string prom = RenderPrometheus(report);
  EXPECT_EQ(prom.find("zem_thermal_zone_temperature_celsius{"), std::string::npos) << prom;
  EXPECT_EQ(prom.find("critical_trip_point_celsius{plugin=\"Test\",zone=\"0\"}"), std::string::npos) << prom;
  EXPECT_NE(prom.find("critical_trip_point_celsius{plugin=\"Test\",zone=\"1\"} 210\n"), std::string::npos) << prom;
  EXPECT_EQ(prom.find("passive_trip_point"), std::string::npos) << prom;
  EXPECT_NE(prom.find("active_trip_point_celsius{plugin=\"Test\",zone=\"0\",index=\"3\"} 210\n"), std::string::npos);
  EXPECT_EQ(prom.find("index=\"0\""), std::string::npos) << prom;
  EXPECT_EQ(prom.find("} 1\n", prom.find("reading_placeholder{")), std::string::npos) << prom;
  const std::string json = RenderJson(report);
  EXPECT_NE(json.find("\"zone\": 0,\n          \"reading\": \"out-of-range\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"zone\": 2,\n          \"reading\": \"out-of-range\""), std::string::npos) << json;
  EXPECT_NE(RenderTable(report).find("  Zone 1       no reading (\"214748091.6\"): no thermal zone can report"),
            std::string::npos);
}

// Under --watch a zone is marked once its reading has stayed the same in
// every round so far, and in at least the given number; the mark goes when
// the reading moves and does not come back.
TEST(ZemhostReading, UnchangingUnderWatch) {
  struct Round {
    const char* moving;
    const char* still;  // exported as 35
    bool movingMarked;
    bool stillMarked;
  } const rounds[] = {
      {"40.0", "35.0", false, false}, {"40.0", "35.0", false, false}, {"40.0", "35.0", true, true},
      {"40.1", "35.0", false, true},  {"40.1", "35.0", false, true},  {"40.1", "35.0", false, true},
  };
  UnchangingReadings unchanging(3);
  std::uint32_t number = 0;
  for (const Round& r : rounds) {
    Report report = ZoneReport({ZoneEntry("# 0Current Temperature", "Deg C", 4, 1, 10, r.moving),
                                ZoneEntry("# 1Current Temperature", "Deg C", 4, 1, 10, r.still)});
    report.round = ++number;
    unchanging.Observe(report);
    SCOPED_TRACE("round " + std::to_string(number));
    const std::vector<ThermalZone> zones = ReadThermalZones(report.plugins[0]);
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0].placeholder, r.movingMarked);
    EXPECT_EQ(zones[1].placeholder, r.stillMarked);
    EXPECT_EQ(zones[1].reading == Reading::kUnchanging, r.stillMarked);
    // The temperature itself is still exported.
    const std::string prom = RenderPrometheus(report);
    EXPECT_NE(prom.find("temperature_celsius{plugin=\"Test\",zone=\"1\"} 35\n"), std::string::npos) << prom;
    EXPECT_NE(prom.find(std::string("reading_placeholder{plugin=\"Test\",zone=\"1\"} ") + (r.stillMarked ? "1" : "0")),
              std::string::npos)
        << prom;
    // Rounds of --watch are JSON Lines: one compact document per line.
    const std::string json = RenderJson(report);
    ASSERT_EQ(json.find('\n'), json.size() - 1) << json;
    const nlohmann::json parsed = nlohmann::json::parse(json);
    EXPECT_EQ(parsed["round"], number);
    EXPECT_EQ(parsed["plugins"][0]["zones"][1]["reading"], r.stillMarked ? "unchanging" : "measured");
    const std::string table = RenderTable(report);
    EXPECT_EQ(table.find("  Zone 1       35.0 \xC2\xB0" "C unchanged in all " + std::to_string(number) + " rounds") !=
                  std::string::npos,
              r.stillMarked)
        << table;
  }
}

// Texts from the registry and the plug-in reach the terminal with their
// control characters escaped, so that none can drive it.
TEST(ZemhostReport, TableEscapesControlCharacters) {
  Report report = OneEntry("# 0Current\x1B[2J Temperature", "55.2\r");
  report.plugins[0].valueName = "Evil\x1B]0;title\x07";
  report.plugins[0].componentName = "CSI \xC2\x9B" "31m, \xC2\xB0 stays";
  const std::string table = RenderTable(report);
  EXPECT_NE(table.find("Plug-in \"Evil\\x1B]0;title\\x07\""), std::string::npos) << table;
  EXPECT_NE(table.find("  Component    CSI \\u009B31m, \xC2\xB0 stays\n"), std::string::npos) << table;
  EXPECT_NE(table.find("# 0Current\\x1B[2J Temperature  55.2\\x0D"), std::string::npos) << table;
  for (char c : table) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << table;
  EXPECT_EQ(table.find("\xC2\x9B"), std::string::npos);
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
      {{"--help"}, kExitOk, "A zone can read 27.8", 0, 0},
      {{"--watch", "1", "--unchanging-rounds", "3"}, -1, "", 1, 0},
      {{"--unchanging-rounds", "3"}, kExitUsage, "--unchanging-rounds requires --watch", 0, 0},
      {{"--watch", "1", "--unchanging-rounds", "1"}, kExitUsage, "--unchanging-rounds: Value 1 not in range", 0, 0},
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
  EXPECT_EQ(o.unchangingRounds, 10u);
  EXPECT_EQ(ParseCommandLine({"--watch", "1", "--unchanging-rounds", "3"}, "1").options.unchangingRounds, 3u);
}

}  // namespace
}  // namespace zemhost
