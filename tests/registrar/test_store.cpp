#include "test_store.h"

#include "tools/memory_registry/memory_registry_store.h"

namespace boardscope::test {

std::unique_ptr<RegistryStore> MakeTestStore() { return std::make_unique<MemoryRegistryStore>(); }

bool RegistryDeniesQueryWithoutAccess() { return true; }

}  // namespace boardscope::test
