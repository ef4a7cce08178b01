#include "registrar/plugin_value.h"

namespace boardscope {

namespace {
constexpr std::uint32_t kExpandString = 2;  // REG_EXPAND_SZ

// An open key of the store, closed when it goes.
class StoreKey {
 public:
  explicit StoreKey(RegistryStore& store) : store_(store) {}
  StoreKey(const StoreKey&) = delete;
  StoreKey& operator=(const StoreKey&) = delete;
  ~StoreKey() {
    if (key_ != 0) (void)store_.CloseKey(key_);  // nothing to do about a failed close
  }
  bool Create(const Char16* path) {
    return store_.CreateKey(store_.Root(RootKey::LocalMachine), path, &key_) == win32::Success;
  }
  KeyHandle get() const { return key_; }

 private:
  RegistryStore& store_;
  KeyHandle key_ = 0;
};
}  // namespace

void WritePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName,
                      const Char16* classIdText) {
  StoreKey key(store);
  if (!key.Create(keyPath)) return;
  std::uint32_t units = 0;
  while (classIdText[units] != 0) ++units;
  // Best effort: registration has succeeded whatever this gives.
  (void)store.SetValue(key.get(), valueName, kExpandString, classIdText, (units + 1) * 2);
}

void RemovePluginValue(RegistryStore& store, const Char16* keyPath, const Char16* valueName) {
  StoreKey key(store);
  if (!key.Create(keyPath)) return;
  (void)store.DeleteValue(key.get(), valueName);  // absent is as good as deleted
}

}  // namespace boardscope
