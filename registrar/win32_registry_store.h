// The Win32 registry behind the store interface (Windows builds only).
#pragma once

#include "registrar/registry_store.h"

namespace boardscope {

class Win32RegistryStore final : public RegistryStore {
 public:
  KeyHandle Root(RootKey root) const override;
  [[nodiscard]] std::int32_t OpenKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                     KeyHandle* key) override;
  [[nodiscard]] std::int32_t CreateKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                       KeyHandle* key) override;
  [[nodiscard]] std::int32_t CloseKey(KeyHandle key) override;
  [[nodiscard]] std::int32_t SetValue(KeyHandle key, const Char16* name, std::uint32_t type, const void* data,
                                      std::uint32_t size) override;
  [[nodiscard]] std::int32_t QueryValue(KeyHandle key, const Char16* name, std::uint32_t* type, void* data,
                                        std::uint32_t* size) override;
  [[nodiscard]] std::int32_t DeleteValue(KeyHandle key, const Char16* name) override;
  // RegDeleteKeyExW when advapi32 has it (looked up once per process), else RegDeleteKeyW.
  [[nodiscard]] std::int32_t DeleteKey(KeyHandle key, const Char16* name, std::uint32_t viewFlags) override;
  [[nodiscard]] std::int32_t EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name,
                                        std::uint32_t* length) override;
  [[nodiscard]] std::int32_t QuerySubkeyCount(KeyHandle key, std::uint32_t* count) override;
};

}  // namespace boardscope
