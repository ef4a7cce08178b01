// The store the key tests run against: the in-memory store natively, the
// real registry (of the private Wine prefix) on Windows.
#pragma once

#include <memory>

#include "registrar/registry_store.h"

namespace boardscope::test {

std::unique_ptr<RegistryStore> MakeTestStore();

// Whether a key query fails on a handle opened without query access. Windows
// and the in-memory store refuse it; Wine does not check the access mask.
bool RegistryDeniesQueryWithoutAccess();

}  // namespace boardscope::test
