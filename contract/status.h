// Status codes and text units shared by the platform-neutral code.
// The values are the COM ones, so a result passes unchanged across the
// Windows seams; the neutral code never includes <windows.h>.
#pragma once

#include <cstdint>

namespace boardscope {

using HResult = std::int32_t;

// UTF-16 code unit. wchar_t is 16-bit on Windows only, so neutral code uses
// char16_t and the Windows seams reinterpret it as wchar_t.
using Char16 = char16_t;

namespace hr {
constexpr HResult Ok = 0;
constexpr HResult False = 1;
constexpr HResult NotImpl = static_cast<HResult>(0x80004001u);
constexpr HResult NoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult Pointer = static_cast<HResult>(0x80004003u);
constexpr HResult Fail = static_cast<HResult>(0x80004005u);
constexpr HResult Unexpected = static_cast<HResult>(0x8000FFFFu);
constexpr HResult InvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult OutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult InsufficientBuffer = static_cast<HResult>(0x8007007Au);
constexpr HResult NoAggregation = static_cast<HResult>(0x80040110u);
constexpr HResult ClassNotAvailable = static_cast<HResult>(0x80040111u);
constexpr HResult DispBadIndex = static_cast<HResult>(0x8002000Bu);
constexpr HResult DispException = static_cast<HResult>(0x80020009u);

constexpr bool Succeeded(HResult value) { return value >= 0; }
constexpr bool Failed(HResult value) { return value < 0; }

// A positive Win32 code becomes 0x8007xxxx; 0 and negative values pass.
constexpr HResult FromWin32(std::int32_t code) {
  return code <= 0 ? code
                   : static_cast<HResult>(0x80070000u | (static_cast<std::uint32_t>(code) & 0xFFFFu));
}
}  // namespace hr

}  // namespace boardscope

// Returns from the enclosing function with the status of expr when it is a
// failure; works on HResult and HRESULT alike.
#define RETURN_IF_FAILED(expr)                                \
  do {                                                        \
    const ::boardscope::HResult returnIfFailed_ = (expr);     \
    if (::boardscope::hr::Failed(returnIfFailed_)) return returnIfFailed_; \
  } while (false)
