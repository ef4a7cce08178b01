// Registration of the module's type library, and the application identifier
// that the module defines.
#pragma once

#include <windows.h>

namespace boardscope {

// The module's application identifier in registry text form, defined by the
// module that links the frame.
extern const wchar_t AppIdText[];

[[nodiscard]] HRESULT RegisterTypeLibrary(HINSTANCE module) noexcept;
[[nodiscard]] HRESULT UnregisterTypeLibrary(HINSTANCE module) noexcept;

}  // namespace boardscope
