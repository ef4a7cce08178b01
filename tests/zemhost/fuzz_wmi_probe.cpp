// libFuzzer entry: zemhost's node count of a captured or queried block ends
// on any bytes, within its cap, and reads nothing outside the buffer.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "wmi_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> block(data, data + size);  // exact size: a read past the end is caught
  const std::uint32_t nodes = zemhost::CountNodes(block);
  if (nodes > zemhost::kMaxCountedNodes) std::abort();
  return 0;
}
