// The JSON rendering of a report, through nlohmann::json.
#include <nlohmann/json.hpp>

#include <cstdlib>

#include "prometheus.h"
#include "report.h"

namespace zemhost {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kCapNames[4] = {"IZemInformationSupport", "IZemControlSupport", "IZemWorkloadSupport",
                                      "IZemSolverSupport"};

// Value / Divisor as the table shows it: an integer when exact, otherwise
// the table's rounded decimal; null for text entries and a zero divisor.
Json EntryValue(const Entry& e) {
  if (e.type == 4 || e.divisor == 0) return nullptr;
  if (e.value % e.divisor == 0) return e.value / e.divisor;
  return std::strtod(ScaledValue(e.value, e.divisor).c_str(), nullptr);
}

Json EntryJson(const Entry& e) {
  return Json{{"name", e.name},           {"value", EntryValue(e)}, {"unit", e.unit},
              {"type", TypeName(e.type)}, {"strValue", e.strValue}, {"raw", e.value},
              {"divisor", e.divisor},     {"flags", e.flags},       {"error", e.error}};
}

Json PluginJson(const PluginReport& p) {
  Json plugin = {{"value", p.valueName}, {"clsid", p.classId}, {"created", p.created}};
  if (!p.created) {
    plugin["result"] = HResultText(p.createResult);
    plugin["problem"] = p.problem;
    return plugin;
  }
  plugin["component"] = p.componentName;
  Json caps = Json::object();
  for (int i = 0; i < 4; ++i) caps[kCapNames[i]] = p.caps[i];
  plugin["caps"] = caps;
  plugin["commonEntries"] = p.commonEntries;
  plugin["instanceCount"] = p.instanceCount;
  plugin["failedCalls"] = p.callFailures;
  Json instances = Json::array();
  for (const Instance& in : p.instances) {
    Json entries = Json::array();
    for (const Entry& e : in.entries) entries.push_back(EntryJson(e));
    instances.push_back(
        {{"index", in.index}, {"name", in.name}, {"result", HResultText(in.result)}, {"entries", entries}});
  }
  plugin["instances"] = instances;
  // What each zone's current temperature is (zone_reading.h).
  Json zones = Json::array();
  if (p.caps[0] != 0) {
    for (const ThermalZone& z : ReadThermalZones(p)) {
      Json zone = {{"zone", z.position}, {"reading", ReadingName(z.reading)}};
      if (z.reading == Reading::kUnchanging) zone["unchangedRounds"] = z.unchangedRounds;
      zones.push_back(zone);
    }
  }
  plugin["zones"] = zones;
  if (p.probe.asked) {
    plugin["wmi"] = {{"succeeded", p.probe.succeeded},
                     {"stage", p.probe.stage},
                     {"code", p.probe.code},
                     {"zones", p.probe.zones},
                     {"explanation", p.probe.explanation}};
  }
  return plugin;
}

}  // namespace

std::string RenderJson(const Report& report) {
  Json out = Json::object();
  if (report.round != 0) out["round"] = report.round;
  Json plugins = Json::array();
  for (const PluginReport& p : report.plugins) plugins.push_back(PluginJson(p));
  out["plugins"] = plugins;
  // Texts from a plug-in are not trusted to be valid UTF-8. Rounds of
  // --watch are JSON Lines: one document per line, for line-wise readers.
  const int indent = report.round != 0 ? -1 : 2;
  return out.dump(indent, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace zemhost
