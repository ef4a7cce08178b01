#include "component/value_format.h"

namespace boardscope {

std::size_t FormatDecimal(std::uint32_t value, Char16* out) {
  Char16 reversed[10];
  std::size_t count = 0;
  do {
    reversed[count++] = static_cast<Char16>(u'0' + value % 10u);
    value /= 10u;
  } while (value != 0);
  for (std::size_t i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

std::size_t FormatTenths(std::int32_t tenths, Char16* out) {
  std::size_t length = 0;
  // The magnitude as unsigned, so that INT32_MIN has one too.
  std::uint32_t magnitude = static_cast<std::uint32_t>(tenths);
  if (tenths < 0) {
    out[length++] = u'-';
    magnitude = 0u - magnitude;
  }
  length += FormatDecimal(magnitude / 10u, out + length);
  out[length++] = u'.';
  out[length++] = static_cast<Char16>(u'0' + magnitude % 10u);
  return length;
}

}  // namespace boardscope
