#include "msft_image.h"

#include <stdexcept>

namespace tlbfinish {
namespace {

// Layout of the MSFT format (all integers little-endian).
constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kHeaderVarFlags = 0x14;
constexpr std::size_t kHeaderTypeInfoCount = 0x20;
constexpr std::uint32_t kHelpDllFlag = 0x100;  // one extra word after the header
constexpr int kSegmentCount = 15;
constexpr std::size_t kSegmentEntrySize = 16;  // offset, length, two reserved words
constexpr int kTypeInfoSegment = 0;
constexpr int kNameSegment = 7;
constexpr int kStringSegment = 8;
constexpr std::uint32_t kAbsent = 0xFFFFFFFF;

constexpr std::size_t kTypeInfoMemberOffset = 0x04;
constexpr std::size_t kTypeInfoElements = 0x18;  // functions low word, variables high word
constexpr std::size_t kTypeInfoName = 0x34;

constexpr std::size_t kNameLength = 0x08;  // low byte of the third word
constexpr std::size_t kNameChars = 0x0C;

// A variable record: info (size | index << 16), data type, flags, kind,
// value or offset, then the optional help context and help string.
constexpr std::size_t kVarHelpContext = 0x14;
constexpr std::size_t kVarHelpString = 0x18;
constexpr std::size_t kVarWithHelpString = 0x1C;

constexpr std::uint8_t kStringPad = 0x57;

}  // namespace

MsftImage::MsftImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
  if (Read32(0) != kMagic) throw std::runtime_error("not an MSFT type library");
  typeInfoCount_ = Read32(kHeaderTypeInfoCount);
  typeInfoOffsets_ = kHeaderSize + ((Read32(kHeaderVarFlags) & kHelpDllFlag) ? 4 : 0);
  segmentDirectory_ = typeInfoOffsets_ + 4 * typeInfoCount_;
  Read32(segmentDirectory_ + kSegmentCount * kSegmentEntrySize - 4);
  for (int s = 0; s < kSegmentCount; ++s) {
    if (SegmentOffset(s) == kAbsent) continue;
    if (SegmentOffset(s) + SegmentLength(s) > bytes_.size())
      throw std::runtime_error("segment beyond the end of the file");
  }
  if (SegmentOffset(kTypeInfoSegment) == kAbsent || SegmentOffset(kNameSegment) == kAbsent)
    throw std::runtime_error("type library without type information or names");
}

std::uint32_t MsftImage::Read32(std::size_t at) const {
  if (at + 4 > bytes_.size() || at + 4 < at) throw std::runtime_error("read beyond the end of the file");
  return std::uint32_t{bytes_[at]} | std::uint32_t{bytes_[at + 1]} << 8 |
         std::uint32_t{bytes_[at + 2]} << 16 | std::uint32_t{bytes_[at + 3]} << 24;
}

void MsftImage::Write32(std::size_t at, std::uint32_t value) {
  Read32(at);  // bounds
  for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::size_t MsftImage::SegmentEntry(int segment) const {
  return segmentDirectory_ + segment * kSegmentEntrySize;
}

std::size_t MsftImage::SegmentOffset(int segment) const { return Read32(SegmentEntry(segment)); }

std::size_t MsftImage::SegmentLength(int segment) const {
  return Read32(SegmentEntry(segment) + 4);
}

std::string MsftImage::NameAt(std::uint32_t nameOffset) const {
  const std::size_t at = SegmentOffset(kNameSegment) + nameOffset;
  const std::size_t length = Read32(at + kNameLength) & 0xFF;
  if (at + kNameChars + length > bytes_.size()) throw std::runtime_error("name beyond the end of the file");
  return std::string(bytes_.begin() + at + kNameChars, bytes_.begin() + at + kNameChars + length);
}

std::string MsftImage::StringAt(std::uint32_t stringOffset) const {
  const std::size_t at = SegmentOffset(kStringSegment) + stringOffset;
  const std::size_t length = Read32(at) & 0xFFFF;
  if (at + 2 + length > bytes_.size()) throw std::runtime_error("string beyond the end of the file");
  return std::string(bytes_.begin() + at + 2, bytes_.begin() + at + 2 + length);
}

std::size_t MsftImage::TypeInfoAt(const std::string& type) const {
  for (std::size_t i = 0; i < typeInfoCount_; ++i) {
    const std::size_t at = SegmentOffset(kTypeInfoSegment) + Read32(typeInfoOffsets_ + 4 * i);
    if (NameAt(Read32(at + kTypeInfoName)) == type) return at;
  }
  throw std::runtime_error("no type named " + type);
}

MsftImage::Members MsftImage::MembersOf(std::size_t typeInfo) const {
  const std::uint32_t elements = Read32(typeInfo + kTypeInfoElements);
  if ((elements & 0xFFFF) != 0) throw std::runtime_error("only types without functions are supported");
  Members members;
  members.block = Read32(typeInfo + kTypeInfoMemberOffset);
  members.count = elements >> 16;
  members.recordsSize = Read32(members.block);
  // ids, names and record offsets follow the records, one word each per member
  Read32(members.block + 4 + members.recordsSize + 12 * members.count - 4);
  return members;
}

std::size_t MsftImage::MemberIndex(const Members& members, const std::string& member) const {
  const std::size_t names = members.block + 4 + members.recordsSize + 4 * members.count;
  for (std::size_t i = 0; i < members.count; ++i)
    if (NameAt(Read32(names + 4 * i)) == member) return i;
  throw std::runtime_error("no member named " + member);
}

std::uint32_t MsftImage::AddString(const std::string& text) {
  if (SegmentOffset(kStringSegment) == kAbsent) throw std::runtime_error("type library without strings");
  if (text.size() > 0xFFFF) throw std::runtime_error("help string too long");
  std::vector<std::uint8_t> entry{static_cast<std::uint8_t>(text.size()),
                                  static_cast<std::uint8_t>(text.size() >> 8)};
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
      throw std::runtime_error("help strings must be printable ASCII");
    entry.push_back(static_cast<std::uint8_t>(c));
  }
  // entries are padded to whole words, and very short ones to two
  while (entry.size() % 4 != 0 || entry.size() < 8) entry.push_back(kStringPad);

  const std::uint32_t offset = static_cast<std::uint32_t>(SegmentLength(kStringSegment));
  Splice(SegmentOffset(kStringSegment) + offset, 0, entry);
  Write32(SegmentEntry(kStringSegment) + 4, offset + static_cast<std::uint32_t>(entry.size()));
  return offset;
}

void MsftImage::Splice(std::size_t at, std::size_t oldLength, const std::vector<std::uint8_t>& data) {
  const std::size_t end = at + oldLength;
  const std::uint32_t delta = static_cast<std::uint32_t>(data.size() - oldLength);  // modulo 2^32
  for (int s = 0; s < kSegmentCount; ++s) {
    const std::uint32_t offset = static_cast<std::uint32_t>(SegmentOffset(s));
    if (offset != kAbsent && offset >= end) Write32(SegmentEntry(s), offset + delta);
  }
  // member blocks are addressed by absolute offsets from the type information
  std::vector<std::size_t> memberFields;
  for (std::size_t i = 0; i < typeInfoCount_; ++i)
    memberFields.push_back(Read32(typeInfoOffsets_ + 4 * i) + kTypeInfoMemberOffset);

  bytes_.erase(bytes_.begin() + at, bytes_.begin() + end);
  bytes_.insert(bytes_.begin() + at, data.begin(), data.end());

  const std::size_t typeInfosNow = SegmentOffset(kTypeInfoSegment);
  for (std::size_t field : memberFields) {
    const std::uint32_t offset = Read32(typeInfosNow + field);
    if (offset != kAbsent && offset >= end) Write32(typeInfosNow + field, offset + delta);
  }
}

void MsftImage::SetMemberHelpString(const std::string& type, const std::string& member,
                                    const std::string& text) {
  MemberIndex(MembersOf(TypeInfoAt(type)), member);  // fail before changing anything
  const std::uint32_t stringOffset = AddString(text);

  const Members members = MembersOf(TypeInfoAt(type));
  const std::size_t index = MemberIndex(members, member);
  const std::size_t records = members.block + 4;
  const std::size_t tables = records + members.recordsSize;
  const std::size_t offsets = tables + 8 * members.count;
  const std::uint32_t target = Read32(offsets + 4 * index);

  // Records follow one another; the enlarged one moves those behind it.
  std::vector<std::uint8_t> block(4);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> moved;  // old offset -> new offset
  for (std::size_t pos = 0; pos < members.recordsSize;) {
    const std::size_t size = Read32(records + pos) & 0xFFFF;
    if (size < kVarHelpContext || pos + size > members.recordsSize)
      throw std::runtime_error("malformed member record");
    const std::size_t newOffset = block.size() - 4;
    moved.emplace_back(static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(newOffset));
    block.insert(block.end(), bytes_.begin() + records + pos, bytes_.begin() + records + pos + size);
    if (pos == target) {
      if (size < kVarWithHelpString) {
        block.resize(newOffset + 4 + kVarWithHelpString, 0);
        const std::uint32_t info = (Read32(records + pos) & 0xFFFF0000) | kVarWithHelpString;
        for (int i = 0; i < 4; ++i) block[newOffset + 4 + i] = static_cast<std::uint8_t>(info >> (8 * i));
      }
      for (int i = 0; i < 4; ++i)
        block[newOffset + 4 + kVarHelpString + i] = static_cast<std::uint8_t>(stringOffset >> (8 * i));
    }
    pos += size;
  }
  const std::uint32_t recordsSize = static_cast<std::uint32_t>(block.size() - 4);
  for (int i = 0; i < 4; ++i) block[i] = static_cast<std::uint8_t>(recordsSize >> (8 * i));
  block.insert(block.end(), bytes_.begin() + tables, bytes_.begin() + offsets);  // ids, names
  for (std::size_t i = 0; i < members.count; ++i) {
    const std::uint32_t old = Read32(offsets + 4 * i);
    std::uint32_t now = kAbsent;
    for (const auto& [from, to] : moved)
      if (from == old) now = to;
    if (now == kAbsent) throw std::runtime_error("member offset does not start a record");
    for (int b = 0; b < 4; ++b) block.push_back(static_cast<std::uint8_t>(now >> (8 * b)));
  }
  Splice(members.block, 4 + members.recordsSize + 12 * members.count, block);
}

std::optional<std::string> MsftImage::MemberHelpString(const std::string& type,
                                                       const std::string& member) const {
  const Members members = MembersOf(TypeInfoAt(type));
  const std::size_t index = MemberIndex(members, member);
  const std::size_t offsets = members.block + 4 + members.recordsSize + 8 * members.count;
  const std::size_t record = members.block + 4 + Read32(offsets + 4 * index);
  if ((Read32(record) & 0xFFFF) < kVarWithHelpString) return std::nullopt;
  const std::uint32_t stringOffset = Read32(record + kVarHelpString);
  if (stringOffset == kAbsent) return std::nullopt;
  return StringAt(stringOffset);
}

}  // namespace tlbfinish
