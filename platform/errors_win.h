// Conversions of the platform's error codes to HRESULTs, and the one way a
// lock is set up.
#pragma once

#include <windows.h>

namespace boardscope {

// 0 and negative codes pass unchanged; others become 0x8007xxxx.
[[nodiscard]] HRESULT HResultFromWin32(LONG code) noexcept;
[[nodiscard]] HRESULT HResultFromLastError() noexcept;

// Initialises a critical section; E_OUTOFMEMORY when the platform says so.
[[nodiscard]] HRESULT InitLock(CRITICAL_SECTION& lock) noexcept;

}  // namespace boardscope
