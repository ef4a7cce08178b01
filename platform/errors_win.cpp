#include "platform/errors_win.h"

namespace boardscope {

HRESULT HResultFromWin32(LONG code) noexcept {
  if (code <= 0) return static_cast<HRESULT>(code);
  return static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(code) & 0xFFFFu));
}

HRESULT HResultFromLastError() noexcept {
  return HResultFromWin32(static_cast<LONG>(GetLastError()));
}

HRESULT InitLock(CRITICAL_SECTION& lock) noexcept {
  // The spin-count variant reports the out-of-memory status as a result
  // instead of raising it.
  return InitializeCriticalSectionAndSpinCount(&lock, 0) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace boardscope
