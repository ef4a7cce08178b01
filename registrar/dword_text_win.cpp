#include <windows.h>
#include <oleauto.h>

#include "registrar/reg_object.h"

namespace boardscope {

HResult DwordFromVariantText(const Char16* text, std::uint32_t* number) {
  ULONG value = 0;
  // The declaration takes a non-const string; the text is only read.
  const HRESULT result = VarUI4FromStr(const_cast<OLECHAR*>(reinterpret_cast<const OLECHAR*>(text)), 0, 0, &value);
  if (SUCCEEDED(result)) *number = value;
  return result;
}

}  // namespace boardscope
