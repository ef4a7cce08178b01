#include "registrar/plugin_value.h"

#include "registrar/registry_key.h"

namespace boardscope {

namespace {
constexpr std::uint32_t kExpandString = 2;  // REG_EXPAND_SZ
}  // namespace

// The key is opened for writing only: an account that may set the value
// without reading the key still registers the plug-in.

void WritePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName,
                      const Char16* classIdText) {
  CRegistryKey key(store);
  if (key.Create(store.Root(RootKey::LocalMachine), keyPath, access::Write) != win32::Success) return;
  // Best effort: registration has succeeded whatever this gives.
  (void)key.WriteString(valueName, classIdText, kExpandString);
}

void RemovePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName) {
  CRegistryKey key(store);
  if (key.Create(store.Root(RootKey::LocalMachine), keyPath, access::Write) != win32::Success) return;
  (void)key.DeleteValue(valueName);  // absent is as good as deleted
}

}  // namespace boardscope
