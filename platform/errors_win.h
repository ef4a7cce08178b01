// The Windows side of the error vocabulary: Win32 codes and the thread's last
// error as HRESULTs (one conversion, hr::FromWin32; the early returns are in
// contract/status.h), and the one way a lock is set up (OwnedCriticalSection).
#pragma once

#include <windows.h>

#include "contract/status.h"

namespace boardscope {

// 0 and negative codes pass unchanged; others become 0x8007xxxx.
[[nodiscard]] inline HRESULT HResultFromWin32(LONG code) noexcept { return hr::FromWin32(code); }
[[nodiscard]] inline HRESULT HResultFromLastError() noexcept {
  return HResultFromWin32(static_cast<LONG>(GetLastError()));
}

// Initialises a critical section; E_OUTOFMEMORY when the platform says so
// (the spin-count variant reports that as a result instead of raising it).
[[nodiscard]] inline HRESULT InitLock(CRITICAL_SECTION& lock) noexcept {
  return InitializeCriticalSectionAndSpinCount(&lock, 0) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace boardscope
