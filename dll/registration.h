// What DllRegisterServer and DllUnregisterServer do for Boardscope.dll.
#pragma once

#include <windows.h>

namespace boardscope {

[[nodiscard]] HRESULT RegisterServer() noexcept;
[[nodiscard]] HRESULT UnregisterServer() noexcept;

// Best effort: the host's plug-in value; never reports a failure.
HRESULT RegisterPluginValue() noexcept;
HRESULT UnregisterPluginValue() noexcept;

}  // namespace boardscope
