// The node count of a captured or queried block: the same bounded chain
// steps the plug-in's reader takes, so a link that wraps around or points
// back ends the count instead of looping.
#include "wmi_probe.h"

#include "contract/wnode_layout.h"

namespace zemhost {

std::uint32_t CountNodes(const std::vector<std::uint8_t>& data) {
  namespace wnode = boardscope::wnode;
  const std::size_t size = data.size();
  std::uint32_t count = 0;
  std::size_t node = 0;
  while (wnode::NodeFits(size, node)) {
    if (++count == kMaxCountedNodes) return count;
    const std::uint32_t linkage = wnode::LoadU32(data.data() + node + wnode::kLinkage);
    if (linkage == 0) return count;
    node = wnode::NextNode(data.data(), size, node);
    if (node == 0) return 0;  // a link out of the buffer: a malformed chain
  }
  return 0;
}

}  // namespace zemhost
