// Lookup of one entry in a block of the platform's string-table format:
// 16 entries, each a 16-bit count of UTF-16 units followed by the units.
#pragma once

#include <cstddef>
#include <cstdint>

namespace boardscope {

// Number of the string resource (block) that holds string id.
constexpr std::uint16_t StringBlockNumber(std::uint32_t id) {
  return static_cast<std::uint16_t>((id >> 4) + 1);
}

struct CountedText {
  const std::uint8_t* units;  // little-endian UTF-16, not terminated
  std::uint16_t length;       // in code units
};

// Finds entry (id & 15) of a block of sizeBytes bytes. An entry that is
// empty, or that would reach past the block, counts as absent.
bool FindStringInBlock(const void* block, std::size_t sizeBytes, std::uint32_t id,
                       CountedText& found);

}  // namespace boardscope
