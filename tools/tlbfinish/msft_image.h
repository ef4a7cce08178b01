// Reads and amends a type library in the MSFT file format, as widl writes
// it. Used at build time on the build machine, so it is plain C++ over a
// byte vector and never calls the platform's type-library interfaces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tlbfinish {

class MsftImage {
 public:
  // Parses the header, the type-information offsets and the segment
  // directory; throws std::runtime_error on anything malformed.
  explicit MsftImage(std::vector<std::uint8_t> bytes);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  // Gives the variable member `member` of the type `type` (an enumeration
  // or record without functions) the help string `text` (ASCII).
  void SetMemberHelpString(const std::string& type, const std::string& member,
                           const std::string& text);

  // The help string of that member, or nullopt when it has none.
  std::optional<std::string> MemberHelpString(const std::string& type,
                                              const std::string& member) const;

 private:
  struct Members {
    std::size_t block = 0;       // file offset of the member block
    std::size_t recordsSize = 0;  // bytes of records after the size word
    std::size_t count = 0;        // variables (the type has no functions)
  };

  std::uint32_t Read32(std::size_t at) const;
  void Write32(std::size_t at, std::uint32_t value);
  std::size_t SegmentEntry(int segment) const;
  std::size_t SegmentOffset(int segment) const;
  std::size_t SegmentLength(int segment) const;
  std::string NameAt(std::uint32_t nameOffset) const;
  std::string StringAt(std::uint32_t stringOffset) const;
  std::size_t TypeInfoAt(const std::string& type) const;
  Members MembersOf(std::size_t typeInfo) const;
  std::size_t MemberIndex(const Members& members, const std::string& member) const;
  std::uint32_t AddString(const std::string& text);
  // Replaces [at, at + oldLength) by `data` and moves every absolute file
  // offset that lies at or beyond the replaced range.
  void Splice(std::size_t at, std::size_t oldLength, const std::vector<std::uint8_t>& data);

  std::vector<std::uint8_t> bytes_;
  std::size_t typeInfoCount_ = 0;
  std::size_t typeInfoOffsets_ = 0;  // file offset of the offset array
  std::size_t segmentDirectory_ = 0;
};

}  // namespace tlbfinish
