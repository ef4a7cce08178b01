// Helpers shared by the registrar tests: UTF-16 literals from narrow text.
#pragma once

#include <string>

#include "contract/status.h"

namespace boardscope::test {

// Widens Latin-1 text (every byte one code unit).
inline std::u16string U16(const std::string& text) {
  std::u16string out;
  for (unsigned char c : text) out.push_back(static_cast<Char16>(c));
  return out;
}

// Narrows for failure messages; non-ASCII shows as '?'.
inline std::string Narrow(const std::u16string& text) {
  std::string out;
  for (Char16 c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace boardscope::test
