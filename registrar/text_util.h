// Small UTF-16 helpers for the platform-neutral code, which may not use the
// wide-character C library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/status.h"

namespace boardscope {

// Number of code units before the terminator.
inline std::size_t TextLength(const Char16* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Case-insensitive equality, folding ASCII letters only: every name the
// engine compares (roots, keywords, substitution names) is ASCII.
inline Char16 FoldCase(Char16 c) { return (c >= u'a' && c <= u'z') ? static_cast<Char16>(c - 32) : c; }

inline bool EqualsNoCase(const Char16* a, const Char16* b) {
  for (;; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
    if (*a == 0) return true;
  }
}

// Next-character step. Code-unit stepping: the scripts carry no combining
// marks, and a step never passes the terminator.
inline const Char16* NextChar(const Char16* p) { return *p != 0 ? p + 1 : p; }

}  // namespace boardscope
