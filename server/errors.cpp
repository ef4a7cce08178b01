#include "server/errors.h"

namespace boardscope {

HRESULT HResultFromWin32(LONG code) noexcept {
  if (code <= 0) return static_cast<HRESULT>(code);
  return static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(code) & 0xFFFFu));
}

HRESULT HResultFromLastError() noexcept {
  return HResultFromWin32(static_cast<LONG>(GetLastError()));
}

int CheckCrtResult(int error) {
  switch (error) {
    case 0:
    case 80:  // STRUNCATE: the caller asked for truncation
      return error;
    case 12:  // ENOMEM
      throw CComException(E_OUTOFMEMORY);
    case 22:  // EINVAL
    case 34:  // ERANGE
      throw CComException(E_INVALIDARG);
    default:
      throw CComException(E_FAIL);
  }
}

HRESULT InitLock(CRITICAL_SECTION& lock) noexcept {
  // The spin-count variant reports the out-of-memory status as a result
  // instead of raising it.
  return InitializeCriticalSectionAndSpinCount(&lock, 0) ? S_OK : E_OUTOFMEMORY;
}

}  // namespace boardscope
