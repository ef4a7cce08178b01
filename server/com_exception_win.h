// The exception that carries an HRESULT inside the frame, and the guard that
// keeps every exception inside the boundary.
#pragma once

#include <windows.h>

#include <new>

#include "platform/errors_win.h"

namespace boardscope {

// Carries one HRESULT from a failed bounded copy to the interface boundary.
class CComException {
 public:
  explicit CComException(HRESULT result) noexcept : result_(result) {}
  [[nodiscard]] HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// Checks the errno-style result of a bounded runtime copy: 0 and 80 (an
// asked-for truncation) are returned, everything else raises CComException.
int CheckCrtResult(int error);

// Runs body and turns anything it throws into an HRESULT, so that no
// exception crosses an export or interface method.
template <typename Body>
[[nodiscard]] HRESULT GuardBoundary(Body&& body) noexcept {
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
