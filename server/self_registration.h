// Registration of the module: application identifier, class, type library
// and the host's plug-in value.
#pragma once

#include <windows.h>

namespace boardscope {

// The module's application identifier in registry text form.
extern const wchar_t AppIdText[];

HRESULT RegisterServer() noexcept;
HRESULT UnregisterServer() noexcept;

HRESULT RegisterTypeLibrary(HINSTANCE module) noexcept;
HRESULT UnregisterTypeLibrary(HINSTANCE module) noexcept;

// Best effort: the host's plug-in value; never reports a failure.
HRESULT RegisterPluginValue() noexcept;
HRESULT UnregisterPluginValue() noexcept;

}  // namespace boardscope
