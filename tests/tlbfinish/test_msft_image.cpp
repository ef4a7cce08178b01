// tlbfinish's MSFT editing, checked on a type library that widl wrote for
// the contract (testdata/widl_output.tlb).
#include "msft_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using tlbfinish::MsftImage;

Bytes Fixture() {
  std::ifstream in(TLBFINISH_FIXTURE, std::ios::binary);
  EXPECT_TRUE(in) << TLBFINISH_FIXTURE;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Word(const Bytes& b, std::size_t at) {
  return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | std::uint32_t{b.at(at + 3)} << 24;
}

// Just enough of the layout to compare two images region by region.
struct Layout {
  std::size_t typeInfoOffsets, segmentDirectory, typeInfoCount;
  std::size_t SegmentOffset(const Bytes& b, int s) const { return Word(b, segmentDirectory + 16 * s); }
  std::size_t SegmentLength(const Bytes& b, int s) const { return Word(b, segmentDirectory + 16 * s + 4); }
  std::size_t TypeInfo(const Bytes& b, std::size_t i) const {
    return SegmentOffset(b, 0) + Word(b, typeInfoOffsets + 4 * i);
  }
  // Member block of type i: size word, records, then ids, names, offsets.
  Bytes Block(const Bytes& b, std::size_t i) const {
    const std::size_t at = Word(b, TypeInfo(b, i) + 4);
    const std::uint32_t elements = Word(b, TypeInfo(b, i) + 0x18);
    const std::size_t members = (elements & 0xFFFF) + (elements >> 16);
    if (members == 0) return {};
    return Bytes(b.begin() + at, b.begin() + at + 4 + Word(b, at) + 12 * members);
  }
};

Layout LayoutOf(const Bytes& b) {
  const std::size_t count = Word(b, 0x20);
  const std::size_t offsets = 0x54 + ((Word(b, 0x14) & 0x100) ? 4 : 0);
  return {offsets, offsets + 4 * count, count};
}

constexpr int kStringSegment = 8;
constexpr std::size_t kValueType = 7;  // position of VALUETYPE in the library

struct MemberHelp {
  const char* member;
  const char* text;
};
const MemberHelp kValueTypeHelp[] = {
    {"typeNumber", "Number"}, {"typePercent", "Percentage"}, {"typeBool", "Boolean"}, {"typeString", "String"}};

MsftImage Finished() {
  MsftImage image(Fixture());
  for (const MemberHelp& h : kValueTypeHelp) image.SetMemberHelpString("VALUETYPE", h.member, h.text);
  return image;
}

TEST(MsftImage, EnumerationMembersGetTheirHelpStrings) {
  const MsftImage before(Fixture());
  const MsftImage after = Finished();
  for (const MemberHelp& h : kValueTypeHelp) {
    EXPECT_EQ(std::nullopt, before.MemberHelpString("VALUETYPE", h.member)) << h.member;
    EXPECT_EQ(h.text, after.MemberHelpString("VALUETYPE", h.member)) << h.member;
  }
  // a re-read of the written bytes sees the same
  const MsftImage reread(after.bytes());
  EXPECT_EQ("Percentage", reread.MemberHelpString("VALUETYPE", "typePercent"));
  EXPECT_EQ(std::nullopt, reread.MemberHelpString("_ZEM_INFO_ENTRY", "Value"));
}

TEST(MsftImage, EverythingElseIsUnchangedOnlyMoved) {
  const Bytes before = Fixture();
  const Bytes after = Finished().bytes();
  const Layout old = LayoutOf(before), now = LayoutOf(after);
  ASSERT_EQ(10u, old.typeInfoCount);
  ASSERT_EQ(old.typeInfoCount, now.typeInfoCount);

  // header and type-information offsets
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + old.segmentDirectory, after.begin()));
  for (int s = 0; s < 15; ++s) {
    SCOPED_TRACE("segment " + std::to_string(s));
    if (old.SegmentOffset(before, s) == 0xFFFFFFFF) {
      EXPECT_EQ(0xFFFFFFFFu, now.SegmentOffset(after, s));
      continue;
    }
    const auto oldStart = before.begin() + old.SegmentOffset(before, s);
    const auto newStart = after.begin() + now.SegmentOffset(after, s);
    const std::size_t oldLength = old.SegmentLength(before, s);
    if (s == kStringSegment) {
      EXPECT_EQ(oldLength + 40, now.SegmentLength(after, s));  // four entries of 8, 12, 12, 8 bytes
    } else {
      ASSERT_EQ(oldLength, now.SegmentLength(after, s));
    }
    if (s == 0) continue;  // type information: compared below, member offsets move
    EXPECT_TRUE(std::equal(oldStart, oldStart + oldLength, newStart));
  }
  for (std::size_t i = 0; i < old.typeInfoCount; ++i) {
    SCOPED_TRACE("type " + std::to_string(i));
    const std::size_t o = old.TypeInfo(before, i), n = now.TypeInfo(after, i);
    for (std::size_t field = 8; field < 0x64; field += 4) {  // all but the member offset
      EXPECT_EQ(Word(before, o + field), Word(after, n + field)) << "field " << field;
    }
    EXPECT_EQ(Word(before, o), Word(after, n));
    if (i != kValueType) {
      EXPECT_EQ(old.Block(before, i), now.Block(after, i));
    }
  }
  // VALUETYPE: four records grown by a help context and a help string each
  EXPECT_EQ(old.Block(before, kValueType).size() + 4 * 8, now.Block(after, kValueType).size());
  EXPECT_EQ(before.size() + 40 + 32, after.size());
}

TEST(MsftImage, SettingAgainReplacesTheHelpString) {
  MsftImage image = Finished();
  const std::size_t size = image.bytes().size();
  image.SetMemberHelpString("VALUETYPE", "typeBool", "Yes or no");
  EXPECT_EQ("Yes or no", image.MemberHelpString("VALUETYPE", "typeBool"));
  EXPECT_EQ("Number", image.MemberHelpString("VALUETYPE", "typeNumber"));
  EXPECT_EQ(size + 12, image.bytes().size());  // only the new string; the record had room
}

TEST(MsftImage, RecordMembersAndShortStrings) {
  MsftImage image(Fixture());
  image.SetMemberHelpString("_ZEM_INFO_ENTRY", "Divisor", "d");
  image.SetMemberHelpString("_ZEM_INFO_ENTRY", "Name", "ab");
  EXPECT_EQ("d", image.MemberHelpString("_ZEM_INFO_ENTRY", "Divisor"));
  EXPECT_EQ("ab", image.MemberHelpString("_ZEM_INFO_ENTRY", "Name"));
  EXPECT_EQ(std::nullopt, image.MemberHelpString("_ZEM_INFO_ENTRY", "Unit"));
  EXPECT_EQ(Fixture().size() + 2 * 8 + 2 * 8, image.bytes().size());
}

TEST(MsftImage, RefusedRequestsLeaveTheImageAlone) {
  const struct {
    const char* type;
    const char* member;
    const char* text;
  } rows[] = {
      {"NoSuchType", "typeNumber", "x"},
      {"VALUETYPE", "typeNothing", "x"},
      {"IZEMInfo", "GetTICommonData", "x"},  // functions are not handled
      {"VALUETYPE", "typeNumber", "Zahl \xC3\xBC"},
      {"VALUETYPE", "typeNumber", "tab\there"},
  };
  const Bytes fixture = Fixture();
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.type) + "." + row.member);
    MsftImage image(fixture);
    EXPECT_THROW(image.SetMemberHelpString(row.type, row.member, row.text), std::runtime_error);
    EXPECT_EQ(fixture, image.bytes());
  }
}

TEST(MsftImage, DamagedInputIsRefusedNotReadPastItsEnd) {
  const Bytes fixture = Fixture();
  for (std::size_t length = 0; length < fixture.size(); length += 37) {
    SCOPED_TRACE(length);
    const Bytes cut(fixture.begin(), fixture.begin() + length);
    try {
      MsftImage image(cut);
      image.SetMemberHelpString("VALUETYPE", "typeNumber", "Number");
      (void)image.MemberHelpString("VALUETYPE", "typeNumber");
    } catch (const std::runtime_error&) {
    }
  }
  Bytes notMsft = fixture;
  notMsft[0] = 'X';
  EXPECT_THROW(MsftImage{notMsft}, std::runtime_error);
}

}  // namespace
