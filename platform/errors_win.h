// The Windows side of the error vocabulary: Win32 codes and the thread's last
// error as HRESULTs (one conversion, hr::FromWin32), the early return on a
// failure (RETURN_IF_FAILED), and the one way a lock is set up.
#pragma once

#include <windows.h>

#include "contract/status.h"

namespace boardscope {

// 0 and negative codes pass unchanged; others become 0x8007xxxx.
[[nodiscard]] HRESULT HResultFromWin32(LONG code) noexcept;
[[nodiscard]] HRESULT HResultFromLastError() noexcept;

// Initialises a critical section; E_OUTOFMEMORY when the platform says so.
[[nodiscard]] HRESULT InitLock(CRITICAL_SECTION& lock) noexcept;

}  // namespace boardscope
