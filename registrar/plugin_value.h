// The host's plug-in value under HKEY_LOCAL_MACHINE, written and removed
// through the same key store as the registry scripts. Best effort by design:
// neither step reports a failure, and registration does not depend on them.
#pragma once

#include "registrar/registry_store.h"

namespace boardscope {

// Creates keyPath when missing and sets valueName to classIdText (REG_EXPAND_SZ).
void WritePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName,
                      const Char16* classIdText);

// Creates keyPath when missing, as registration would, and deletes valueName.
void RemovePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName);

}  // namespace boardscope
