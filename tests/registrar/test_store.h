// The store the key tests run against: the in-memory store natively, the
// real registry (of the private Wine prefix) on Windows.
#pragma once

#include <memory>

#include "registrar/registry_store.h"

namespace boardscope::test {

std::unique_ptr<RegistryStore> MakeTestStore();

}  // namespace boardscope::test
