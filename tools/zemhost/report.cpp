#include "report.h"

#include <algorithm>
#include <cstdio>

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
  out += probe.explanation;
  out += "\n";
}

void TableInstance(std::string& out, const Instance& instance) {
  out += "  Instance " + Unsigned(instance.index) + "   " + (instance.name.empty() ? "(no name)" : instance.name);
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
    rows.push_back({e.name, EntryValueText(e), e.unit, TypeName(e.type), raw});
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

void TablePlugin(std::string& out, const PluginReport& p) {
  out += "Plug-in \"" + p.valueName + "\" " + p.classId + "\n";
  if (!p.created) {
    out += "  Not usable   " + p.problem + "\n\n";
    return;
  }
  out += "  Component    " + (p.componentName.empty() ? std::string("(no name)") : p.componentName) + "\n";
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
