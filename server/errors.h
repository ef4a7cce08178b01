// Error mapping and the exception that carries an HRESULT inside the frame.
#pragma once

#include <windows.h>

#include <new>

namespace boardscope {

// Carries one HRESULT from a failed bounded copy to the interface boundary.
class CComException {
 public:
  explicit CComException(HRESULT result) noexcept : result_(result) {}
  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// 0 and negative codes pass unchanged; others become 0x8007xxxx.
HRESULT HResultFromWin32(LONG code) noexcept;
HRESULT HResultFromLastError() noexcept;

// Checks the errno-style result of a bounded runtime copy: 0 and 80 (an
// asked-for truncation) are returned, everything else raises CComException.
int CheckCrtResult(int error);

// Initialises a critical section; E_OUTOFMEMORY when the platform says so.
HRESULT InitLock(CRITICAL_SECTION& lock) noexcept;

// Runs body and turns anything it throws into an HRESULT, so that no
// exception crosses an export or interface method.
template <typename Body>
HRESULT GuardBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const CComException& error) {
    return error.Result();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace boardscope
