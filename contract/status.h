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

// Early returns from the enclosing function, which returns HResult or
// HRESULT alike: the status of expr when it is a failure; the HRESULT of the
// Win32 code expr when it is not 0; the thread's last error as an HRESULT
// when cond holds (Windows code only: it needs platform/errors_win.h).
#define RETURN_IF_FAILED(expr)                                \
  do {                                                        \
    const ::boardscope::HResult returnIfFailed_ = (expr);     \
    if (::boardscope::hr::Failed(returnIfFailed_)) return returnIfFailed_; \
  } while (false)
#define RETURN_IF_WIN32_ERROR(expr)                                                  \
  do {                                                                               \
    const ::std::int32_t returnIfWin32Error_ = (expr);                                 \
    if (returnIfWin32Error_ != 0) return ::boardscope::hr::FromWin32(returnIfWin32Error_); \
  } while (false)
#define RETURN_LAST_ERROR_IF(cond)                                \
  do {                                                            \
    if (cond) return ::boardscope::HResultFromLastError();        \
  } while (false)
