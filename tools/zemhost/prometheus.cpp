#include "prometheus.h"

#include <algorithm>
#include <map>

#include "contract/zone_entry_table.h"

namespace zemhost {
namespace {

using boardscope::ZoneEntryText;

// "55.2", "-7.5", "105": tenths of a degree, or nothing for any other text.
std::optional<std::int64_t> ParseTenths(const std::string& text) {
  std::size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  std::int64_t whole = 0;
  const std::size_t digits = at;  // at most twelve of them, far from overflow
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - digits < 12)
    whole = whole * 10 + (text[at++] - '0');
  if (at == digits) return std::nullopt;
  std::int64_t tenth = 0;
  if (at < text.size() && text[at] == '.') {
    if (at + 2 != text.size() || text[at + 1] < '0' || text[at + 1] > '9') return std::nullopt;
    tenth = text[at + 1] - '0';
    at += 2;
  }
  if (at != text.size()) return std::nullopt;
  const std::int64_t tenths = whole * 10 + tenth;
  return negative ? -tenths : tenths;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A 0 is how the plug-in shows a point the firmware does not report (raw 0),
// and firmware without a sensor reports 2732, 0.0 °C, forever: no sample;
// nor for a value no thermal zone can report.
std::optional<std::int64_t> Meaningful(std::optional<std::int64_t> tenths) {
  return tenths && *tenths != 0 && TemperatureInRange(*tenths) ? tenths : std::nullopt;
}

// The plug-in computes whole degrees as (raw - 2732) / 10 in 32-bit unsigned
// arithmetic, so a raw value below 0 °C comes back near 429496729.
std::optional<std::int64_t> WholeDegrees(const Entry& e) {
  if (!e.Is(boardscope::EntryValueType::Number) || e.value <= 0 || e.value > MostWholeDegrees()) return std::nullopt;
  return e.value * 10;
}

// "# 3Critical Temperature" -> 3, "Critical Temperature".
bool SplitZoneEntryName(const std::string& name, std::uint32_t& position, std::string& label) {
  const std::string prefix = ZoneEntryText(IDS_ENTRY_NAME_PREFIX);
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  std::size_t at = prefix.size();
  std::uint64_t value = 0;
  while (at < name.size() && name[at] >= '0' && name[at] <= '9' && value <= 0xFFFFFFFFu)
    value = value * 10 + static_cast<std::uint64_t>(name[at++] - '0');
  if (at == prefix.size() || value > 0xFFFFFFFFu) return false;
  position = static_cast<std::uint32_t>(value);
  label = name.substr(at);
  return true;
}

void ReadEntry(ThermalZone& zone, const std::string& label, const Entry& e) {
  using boardscope::ZoneDataBlock;
  const boardscope::ZoneEntryRow* row = nullptr;
  for (const auto& r : boardscope::kZoneEntryRows) row = label == ZoneEntryText(r.labelId) ? &r : row;
  if (row == nullptr || e.unit != ZoneEntryText(row->unitId)) return;  // not the entry it is named after
  if (row->field == offsetof(ZoneDataBlock, CriticalTripPoint)) zone.critical = WholeDegrees(e);
  if (row->field == offsetof(ZoneDataBlock, PassiveTripPoint)) zone.passive = WholeDegrees(e);
  if (!e.Is(row->type)) return;
  if (row->field == offsetof(ZoneDataBlock, CurrentTemperature)) zone.currentText = e.strValue;
  if (row->field != offsetof(ZoneDataBlock, ActiveTripPoint)) return;
  zone.active.clear();
  if (e.strValue == ZoneEntryText(IDS_UNIT_NONE) || Trim(e.strValue).empty()) return;
  for (std::size_t start = 0; start <= e.strValue.size();) {
    const std::size_t end = std::min(e.strValue.find(';', start), e.strValue.size());
    zone.active.push_back(Meaningful(ParseTenths(Trim(e.strValue.substr(start, end - start)))));
    start = end + 1;
  }
}

// Tenths of a degree as a Prometheus number: "55.2", "105", "-0.5".
std::string Celsius(std::int64_t tenths) {
  const std::uint64_t magnitude =
      tenths < 0 ? 0 - static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
  std::string text = (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10);
  if (magnitude % 10 != 0) text += "." + std::to_string(magnitude % 10);
  return text;
}

// A label value with the three escapes the format defines.
std::string LabelValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

struct Sample {
  std::string labels;
  std::string value;
};

// One metric family: HELP, TYPE and its samples, or nothing without samples.
void Family(std::string& out, const char* name, const char* help, const std::vector<Sample>& samples) {
  if (samples.empty()) return;
  out += std::string("# HELP ") + name + " " + help + "\n";
  out += std::string("# TYPE ") + name + " gauge\n";
  for (const Sample& s : samples) out += std::string(name) + "{" + s.labels + "} " + s.value + "\n";
}

}  // namespace

std::vector<ThermalZone> ReadThermalZones(const PluginReport& plugin) {
  std::map<std::uint32_t, ThermalZone> zones;
  for (const Instance& instance : plugin.instances) {
    for (const Entry& e : instance.entries) {
      std::uint32_t position = 0;
      std::string label;
      if (!SplitZoneEntryName(e.name, position, label)) continue;
      ThermalZone& zone = zones[position];
      zone.position = position;
      ReadEntry(zone, label, e);
    }
  }
  std::vector<ThermalZone> out;
  for (auto& [position, zone] : zones) {
    if (zone.currentText) {
      const CurrentTemperature current = ClassifyCurrent(ParseTenths(*zone.currentText));
      zone.reading = current.reading;
      zone.current = current.tenths;
      zone.placeholder = current.knownPlaceholder;
    }
    const auto unchanged = plugin.unchangedRounds.find(position);
    if (unchanged != plugin.unchangedRounds.end() && zone.reading == Reading::kMeasured) {
      zone.reading = Reading::kUnchanging;
      zone.unchangedRounds = unchanged->second;
      zone.placeholder = true;
    }
    out.push_back(std::move(zone));
  }
  return out;
}

std::string RenderPrometheus(const Report& report) {
  std::vector<Sample> up, zoneCounts, current, placeholder, passive, critical, active;
  for (const PluginReport& p : report.plugins) {
    const std::string plugin = "plugin=\"" + LabelValue(p.valueName) + "\"";
    up.push_back({plugin, p.created && p.callFailures.empty() ? "1" : "0"});
    if (!p.created || p.caps[0] == 0) continue;  // no information entries
    const std::vector<ThermalZone> zones = ReadThermalZones(p);
    zoneCounts.push_back({plugin, std::to_string(zones.size())});
    for (const ThermalZone& z : zones) {
      const std::string labels = plugin + ",zone=\"" + std::to_string(z.position) + "\"";
      if (z.current) current.push_back({labels, Celsius(*z.current)});
      placeholder.push_back({labels, z.placeholder ? "1" : "0"});
      if (z.passive) passive.push_back({labels, Celsius(*z.passive)});
      if (z.critical) critical.push_back({labels, Celsius(*z.critical)});
      for (std::size_t i = 0; i < z.active.size(); ++i)
        if (z.active[i]) active.push_back({labels + ",index=\"" + std::to_string(i) + "\"", Celsius(*z.active[i])});
    }
  }
  std::string out;
  Family(out, "zem_plugin_up", "1 when zemhost created the ZEM plug-in and every call to it succeeded, else 0.", up);
  Family(out, "zem_thermal_zones", "ACPI thermal zones the plug-in reports (the host takes at most ten).", zoneCounts);
  Family(out, "zem_thermal_zone_temperature_celsius", "Current temperature of the thermal zone.", current);
  Family(out, "zem_thermal_zone_reading_placeholder",
         "1 when the zone's current temperature is probably no reading but a value firmware answers without a "
         "sensor: 3010, 3030, 2732 or 0 tenths of a kelvin, or, under --watch, one that has not moved in any "
         "round; else 0.",
         placeholder);
  Family(out, "zem_thermal_zone_passive_trip_point_celsius",
         "Temperature at which the zone starts passive cooling (throttling).", passive);
  Family(out, "zem_thermal_zone_critical_trip_point_celsius", "Temperature at which the system shuts down.", critical);
  Family(out, "zem_thermal_zone_active_trip_point_celsius",
         "Temperature at which active cooling level index starts (index 0 is the hottest).", active);
  return out;
}

}  // namespace zemhost
