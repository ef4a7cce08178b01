// Asks the WMI data-block interface for the thermal-zone block directly,
// as the plug-in does, to explain an empty answer or to save a capture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report.h"

namespace zemhost {

struct WmiBlock {
  bool ok = false;
  std::string stage;       // the step that failed
  std::uint32_t code = 0;  // its Win32 code
  std::vector<std::uint8_t> data;
};

// Loads wmi.dll by name (so that a replacement beside the program or a
// DLL override is honoured), opens, sizes, reads and closes the block.
WmiBlock QueryThermalBlock();

// Number of nodes in a WNODE_ALL_DATA chain (0 for a malformed one), at
// most kMaxCountedNodes.
constexpr std::uint32_t kMaxCountedNodes = 1024;
std::uint32_t CountNodes(const std::vector<std::uint8_t>& data);

// Words a user can act on, for a block query that came back empty-handed
// or for one that delivered zones the plug-in did not report.
WmiProbe Explain(const WmiBlock& block);

}  // namespace zemhost
