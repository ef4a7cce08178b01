#include "registrar/plugin_value.h"

#include "registrar/registry_key.h"

namespace boardscope {

namespace {
constexpr std::uint32_t kExpandString = 2;  // REG_EXPAND_SZ
}  // namespace

void WritePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName,
                      const Char16* classIdText) {
  CRegistryKey key(store);
  if (key.Create(store.Root(RootKey::LocalMachine), keyPath) != win32::Success) return;
  // Best effort: registration has succeeded whatever this gives.
  (void)key.WriteString(valueName, classIdText, kExpandString);
}

void RemovePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName) {
  CRegistryKey key(store);
  if (key.Create(store.Root(RootKey::LocalMachine), keyPath) != win32::Success) return;
  (void)key.DeleteValue(valueName);  // absent is as good as deleted
}

}  // namespace boardscope
