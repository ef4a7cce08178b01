// The zone count of a captured or queried block, walked with the plug-in's
// own bounded steps, so that a link that wraps around or points back ends
// the count instead of looping.
#include "wmi_probe.h"

#include "contract/wnode_layout.h"
#include "contract/zone_data_block.h"

namespace zemhost {

std::uint32_t CountNodes(const std::vector<std::uint8_t>& data) {
  namespace wnode = boardscope::wnode;
  const std::size_t size = data.size();
  std::uint32_t count = 0;
  std::size_t node = 0;
  while (count < kMaxCountedNodes && wnode::NodeFits(size, node) &&
         wnode::FirstBlockOffset(data.data() + node, size - node, boardscope::kZoneDataSize) != 0) {
    ++count;
    node = wnode::NextNode(data.data(), size, node);
    if (node == 0) break;
  }
  return count;
}

}  // namespace zemhost
