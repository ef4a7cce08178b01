#include "report.h"

#include <algorithm>
#include <cstdio>

#include "prometheus.h"

namespace zemhost {
namespace {

constexpr const char* kCapWords[4] = {"information", "control", "workload", "solver"};

std::string Unsigned(std::uint64_t n) {
  char text[24];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
  return text;
}

std::string Signed(std::int64_t n) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(n));
  return text;
}

// `text` with its control characters escaped: C0 and DEL as "\x1B", the
// C1 controls of UTF-8 (U+0080 to U+009F, such as CSI) as "\u009B".
std::string Printable(const std::string& text) {
  std::string out;
  char escape[8];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escape, sizeof escape, "\\u%04X", next);
      ++i;
    } else {
      out += text[i];
      continue;
    }
    out += escape;
  }
  return out;
}

// Characters of a UTF-8 text, for column widths.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& text, std::size_t width) {
  const std::size_t w = Width(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

std::string EntryValueText(const Entry& e) {
  return e.type == 4 ? e.strValue : ScaledValue(e.value, e.divisor);
}

void TableProbe(std::string& out, const WmiProbe& probe) {
  if (!probe.asked) return;
  out += "  WMI check    ";
  out += Printable(probe.explanation);
  out += "\n";
}

void TableInstance(std::string& out, const Instance& instance) {
  out += "  Instance " + Unsigned(instance.index) + "   " +
         (instance.name.empty() ? "(no name)" : Printable(instance.name));
  if (instance.result < 0) {
    out += ": GetTIInstanceData failed, " + HResultText(instance.result) + "\n";
    return;
  }
  out += ", " + Unsigned(instance.entries.size()) + " entries\n";
  if (instance.entries.empty()) return;

  const std::vector<std::string> head = {"Entry", "Value", "Unit", "Type", "Raw"};
  std::vector<std::vector<std::string>> rows;
  for (const Entry& e : instance.entries) {
    std::string raw = Signed(e.value) + "/" + Signed(e.divisor);
    if (e.flags != 0 || e.error != 0) raw += " flags " + Unsigned(e.flags) + " error " + Unsigned(e.error);
    rows.push_back({Printable(e.name), Printable(EntryValueText(e)), Printable(e.unit), TypeName(e.type), raw});
  }
  std::vector<std::size_t> widths;
  for (const std::string& h : head) widths.push_back(Width(h));
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));

  auto line = [&](const std::vector<std::string>& cells) {
    std::string text = "    ";
    for (std::size_t i = 0; i < cells.size(); ++i) text += i + 1 < cells.size() ? Pad(cells[i], widths[i]) + "  " : cells[i];
    out += text + "\n";
  };
  out += "\n";
  line(head);
  std::vector<std::string> rule;
  for (std::size_t w : widths) rule.push_back(std::string(w, '-'));
  line(rule);
  for (const auto& row : rows) line(row);
  out += "\n";
}

// A note under each zone whose current temperature is probably no reading.
void TableZoneNotes(std::string& out, const PluginReport& p) {
  if (p.caps[0] == 0) return;
  for (const ThermalZone& z : ReadThermalZones(p)) {
    const std::string text = z.currentText ? Printable(*z.currentText) : std::string();
    std::string note;
    switch (z.reading) {
      case Reading::kMeasured:
        continue;
      case Reading::kPlaceholder:
        note = text + " \xC2\xB0" "C is a well-known firmware placeholder: probably no sensor behind this zone";
        break;
      case Reading::kNoReading:
        note = z.placeholder ? "no reading (\"" + text + "\"): what firmware answers when no sensor stands behind it"
                             : "no reading (\"" + text + "\" is no temperature)";
        break;
      case Reading::kOutOfRange:
        note = "no reading (\"" + text + "\"): no thermal zone can report this temperature";
        break;
      case Reading::kUnchanging:
        note = text + " \xC2\xB0" "C unchanged in all " + Unsigned(z.unchangedRounds) +
               " rounds so far: probably a firmware placeholder";
        break;
    }
    out += "  " + Pad("Zone " + Unsigned(z.position), 13) + note + "\n";
  }
}

void TablePlugin(std::string& out, const PluginReport& p) {
  out += "Plug-in \"" + Printable(p.valueName) + "\" " + Printable(p.classId) + "\n";
  if (!p.created) {
    out += "  Not usable   " + Printable(p.problem) + "\n\n";
    return;
  }
  out += "  Component    " + (p.componentName.empty() ? std::string("(no name)") : Printable(p.componentName)) + "\n";
  out += "  Capabilities";
  for (int i = 0; i < 4; ++i) {
    out += i == 0 ? " " : ", ";
    out += std::string(kCapWords[i]) + (p.caps[i] ? " yes" : " no");
  }
  out += "\n";
  out += "  Common data  " + (p.commonEntries ? Unsigned(p.commonEntries) + " entries" : std::string("none")) + "\n";
  out += "  Instances    " + Unsigned(p.instanceCount) + "\n";
  for (const std::string& failure : p.callFailures) out += "  Failed call  " + failure + "\n";
  for (const Instance& instance : p.instances) TableInstance(out, instance);
  TableZoneNotes(out, p);
  TableProbe(out, p.probe);
  if (p.probe.asked) out += "\n";
}

}  // namespace

std::string ScaledValue(std::int64_t value, std::int64_t divisor) {
  if (divisor == 0) return "-";
  if (divisor < 0) {
    divisor = -divisor;
    value = -value;
  }
  const bool negative = value < 0;
  // Ten-thousandths, rounded half away from zero; magnitudes stay far below
  // the 64-bit range because the component writes 32-bit values.
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const std::uint64_t d = static_cast<std::uint64_t>(divisor);
  const std::uint64_t scaled = (magnitude * 10000 + d / 2) / d;
  std::string text = Unsigned(scaled / 10000);
  std::string fraction = Unsigned(scaled % 10000 + 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return (negative && scaled != 0 ? "-" : "") + text;
}

std::string TypeName(std::int32_t type) {
  switch (type) {
    case 1: return "Number";
    case 2: return "Percent";
    case 3: return "Boolean";
    case 4: return "String";
    default: return "Unknown(" + Signed(type) + ")";
  }
}

std::string HResultText(std::int32_t result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(result)));
  return text;
}

std::string RenderTable(const Report& report) {
  std::string out;
  if (report.round != 0) out += "Round " + Unsigned(report.round) + "\n";
  for (const PluginReport& p : report.plugins) TablePlugin(out, p);
  return out;
}

}  // namespace zemhost
