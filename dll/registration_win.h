// What DllRegisterServer and DllUnregisterServer do for Boardscope.dll.
#pragma once

#include <windows.h>

namespace boardscope {

[[nodiscard]] HRESULT RegisterServer() noexcept;
[[nodiscard]] HRESULT UnregisterServer() noexcept;

}  // namespace boardscope
