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

// Number of zones that can be read from a WNODE_ALL_DATA chain: its leading
// nodes whose first data block lies whole in the buffer, as the plug-in
// walks them (0 for a malformed chain), at most kMaxCountedNodes.
constexpr std::uint32_t kMaxCountedNodes = 1024;
std::uint32_t CountNodes(const std::vector<std::uint8_t>& data);

// When wmi.dll is the WMI test double replaying captures, and one of them
// cannot be read: words naming the file and the reason. Empty otherwise.
std::string ReplayProblem();

// The system's text for a Win32 code: "error 112, There is not enough space on the disk".
std::string SystemErrorText(std::uint32_t code);

// Words a user can act on, for a block query that came back empty-handed
// or for one that delivered zones the plug-in did not report.
WmiProbe Explain(const WmiBlock& block);

}  // namespace zemhost
