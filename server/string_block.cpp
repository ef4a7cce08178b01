#include "server/string_block.h"

namespace boardscope {

namespace {
std::uint16_t ReadUnit(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
}  // namespace

bool FindStringInBlock(const void* block, std::size_t sizeBytes, std::uint32_t id,
                       CountedText& found) {
  if (block == nullptr) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  // Offsets are kept in bytes and compared against the size before every
  // read, so a short or malformed block never leads outside itself.
  std::size_t offset = 0;
  for (std::uint32_t skip = id & 15; skip > 0; --skip) {
    if (offset + 2 > sizeBytes) return false;
    offset += 2 + 2 * static_cast<std::size_t>(ReadUnit(bytes + offset));
  }
  if (offset + 2 > sizeBytes) return false;
  const std::uint16_t length = ReadUnit(bytes + offset);
  if (length == 0 || offset + 2 + 2 * static_cast<std::size_t>(length) > sizeBytes) return false;
  found.units = bytes + offset + 2;
  found.length = length;
  return true;
}

}  // namespace boardscope
