#include "test_store.h"

#include <windows.h>

#include "registrar/win32_registry_store.h"

namespace boardscope::test {

std::unique_ptr<RegistryStore> MakeTestStore() { return std::make_unique<Win32RegistryStore>(); }

bool RegistryDeniesQueryWithoutAccess() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
}

}  // namespace boardscope::test
