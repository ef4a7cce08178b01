#include "test_store.h"

#include "registrar/win32_registry_store.h"

namespace boardscope::test {

std::unique_ptr<RegistryStore> MakeTestStore() { return std::make_unique<Win32RegistryStore>(); }

}  // namespace boardscope::test
