#include "platform/errors_win.h"

#include "contract/status.h"

namespace boardscope {

HRESULT HResultFromWin32(LONG code) noexcept { return hr::FromWin32(code); }

HRESULT HResultFromLastError() noexcept {
  return HResultFromWin32(static_cast<LONG>(GetLastError()));
}

HRESULT InitLock(CRITICAL_SECTION& lock) noexcept {
  // The spin-count variant reports the out-of-memory status as a result
  // instead of raising it.
  return InitializeCriticalSectionAndSpinCount(&lock, 0) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace boardscope
