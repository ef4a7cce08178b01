// What zemhost learned about the plug-ins, and its renderings: the table
// (report.cpp), JSON (json_report.cpp) and Prometheus (prometheus.cpp). Plain
// data in UTF-8, so that the rendering is the same on every platform.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zemhost {

struct Entry {
  std::string name;
  std::string unit;
  std::int32_t type = 0;  // VALUETYPE
  std::string strValue;
  std::int64_t value = 0;
  std::int64_t divisor = 0;
  std::uint32_t flags = 0;
  std::uint32_t error = 0;
};

struct Instance {
  std::uint32_t index = 0;
  std::string name;
  std::int32_t result = 0;  // HRESULT of GetTIInstanceData
  std::vector<Entry> entries;
};

// What the WMI data-block interface says when asked directly.
struct WmiProbe {
  bool asked = false;
  bool succeeded = false;
  std::string stage;          // "load", "open", "size query", "data query"
  std::uint32_t code = 0;     // Win32 code of the failing step
  std::uint32_t zones = 0;    // nodes in the result when it succeeded
  std::string explanation;    // what the user can do about it
};

struct PluginReport {
  std::string valueName;      // registry value under the PLUGINS key
  std::string classId;        // its text
  bool created = false;
  std::int32_t createResult = 0;
  std::string problem;        // why it could not be used, when not created
  std::string componentName;
  std::int32_t caps[4] = {0, 0, 0, 0};
  std::uint32_t commonEntries = 0;
  std::uint32_t instanceCount = 0;
  std::vector<Instance> instances;
  std::vector<std::string> callFailures;  // "GetComponentInfo: 0x80004005"
  WmiProbe probe;             // asked only when no zone entry came back
  // Zones (by position) whose current temperature has not moved in any round
  // of --watch so far, with the number of rounds (zone_reading.h).
  std::map<std::uint32_t, std::uint32_t> unchangedRounds;
};

struct Report {
  std::uint32_t round = 0;    // 0 when not watching
  std::vector<PluginReport> plugins;
};

// Value / Divisor as decimal text (at most four decimals, rounded, trailing zeros
// dropped); "-" for a zero divisor.
std::string ScaledValue(std::int64_t value, std::int64_t divisor);
std::string TypeName(std::int32_t type);
std::string HResultText(std::int32_t result);

// The table shows control characters of texts escaped ("\x1B"), so that a
// plug-in's texts cannot drive the terminal.
std::string RenderTable(const Report& report);
// JSON with the same numbers as the table ("value" is null for text entries):
// indented for one look, one line per round of --watch (JSON Lines).
std::string RenderJson(const Report& report);
// The thermal zones in the Prometheus text exposition format (prometheus.cpp).
std::string RenderPrometheus(const Report& report);

}  // namespace zemhost
