#include "server/string_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace boardscope {
namespace {

// Builds a block from up to 16 ASCII entries in the resource byte layout.
std::vector<std::uint8_t> MakeBlock(const std::vector<std::string>& entries) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < 16; ++i) {
    const std::string text = i < entries.size() ? entries[i] : std::string();
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    bytes.push_back(0);
    for (char c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c));
      bytes.push_back(0);
    }
  }
  return bytes;
}

std::string Text(const CountedText& text) {
  std::string out;
  for (std::uint16_t i = 0; i < text.length; ++i) out += static_cast<char>(text.units[2 * i]);
  return out;
}

TEST(StringBlock, BlockNumberGroupsSixteenIds) {
  EXPECT_EQ(StringBlockNumber(0), 1);
  EXPECT_EQ(StringBlockNumber(15), 1);
  EXPECT_EQ(StringBlockNumber(201), 13);
  EXPECT_EQ(StringBlockNumber(319), 20);
  EXPECT_EQ(StringBlockNumber(0xFFFFF), 0);  // taken as a 16-bit number
}

TEST(StringBlock, FindsEntriesByPosition) {
  // Block 13 of the component's table: 201 and 206 defined, 202 not.
  std::vector<std::string> entries(16);
  entries[201 & 15] = "Heatmark Component";
  entries[206 & 15] = "TZ";
  entries[15] = "last";
  const auto block = MakeBlock(entries);
  struct Case {
    std::uint32_t id;
    bool found;
    const char* text;
  } cases[] = {{201, true, "Heatmark Component"}, {206, true, "TZ"}, {202, false, ""},
               {203, false, ""}, {207, true, "last"}};
  for (const Case& c : cases) {
    CountedText text{nullptr, 0};
    EXPECT_EQ(FindStringInBlock(block.data(), block.size(), c.id, text), c.found) << c.id;
    if (c.found) {
      EXPECT_EQ(Text(text), c.text) << c.id;
    }
  }
}

TEST(StringBlock, ShortOrMalformedBlocksNeverReadPastTheirEnd) {
  auto block = MakeBlock({"abc", "defg"});
  CountedText text{nullptr, 0};
  // Cut inside entry 1's units: entry 1 no longer fits, entry 0 still does.
  const std::size_t cut = 2 + 6 + 2 + 4;
  std::vector<std::uint8_t> truncated(block.begin(), block.begin() + cut);
  EXPECT_FALSE(FindStringInBlock(truncated.data(), truncated.size(), 1, text));
  EXPECT_TRUE(FindStringInBlock(truncated.data(), truncated.size(), 0, text));
  EXPECT_FALSE(FindStringInBlock(truncated.data(), truncated.size(), 15, text));
  // A count that claims more units than the block holds.
  std::vector<std::uint8_t> lying = {0xFF, 0xFF, 'x', 0};
  EXPECT_FALSE(FindStringInBlock(lying.data(), lying.size(), 0, text));
  EXPECT_FALSE(FindStringInBlock(lying.data(), lying.size(), 3, text));
  EXPECT_FALSE(FindStringInBlock(nullptr, 0, 0, text));
  EXPECT_FALSE(FindStringInBlock(block.data(), 1, 0, text));
}

}  // namespace
}  // namespace boardscope
