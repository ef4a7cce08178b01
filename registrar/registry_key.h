// One open registry key of a store, owned (or borrowed with Attach), with
// the few operations the script interpreter needs. Results are Win32 codes.
#pragma once

#include <cstdint>

#include "registrar/registry_store.h"

namespace boardscope {

class CRegistryKey {
 public:
  explicit CRegistryKey(RegistryStore& store) : store_(store) {}
  ~CRegistryKey() { (void)Close(); }  // nobody is left to tell
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  KeyHandle Handle() const { return handle_; }
  RegistryStore& Store() const { return store_; }

  // On failure the held handle stays; on success it is replaced, and the
  // result is that of closing the old one.
  [[nodiscard]] std::int32_t Open(KeyHandle parent, const Char16* name, std::uint32_t accessMask);
  // Read and write access unless the caller needs less.
  [[nodiscard]] std::int32_t Create(KeyHandle parent, const Char16* name, std::uint32_t accessMask = access::ReadWrite);
  [[nodiscard]] std::int32_t Close();

  // A borrowed handle: never closed by this object.
  void Attach(KeyHandle handle) {
    handle_ = handle;
    viewFlags_ = 0;
  }
  KeyHandle Detach() {
    const KeyHandle handle = handle_;
    handle_ = 0;
    viewFlags_ = 0;
    return handle;
  }

  [[nodiscard]] std::int32_t WriteString(const Char16* name, const Char16* text, std::uint32_t type);
  [[nodiscard]] std::int32_t WriteDword(const Char16* name, std::uint32_t number);
  // strings: NUL-separated; the data ends with the first empty string.
  [[nodiscard]] std::int32_t WriteMultiString(const Char16* name, const Char16* strings);
  [[nodiscard]] std::int32_t WriteBinary(const Char16* name, const std::uint8_t* bytes, std::uint32_t size);
  [[nodiscard]] std::int32_t DeleteValue(const Char16* name);

  // False as well when the key cannot be queried.
  [[nodiscard]] bool HasSubkeys();
  // One direct subkey without subkeys of its own.
  [[nodiscard]] std::int32_t DeleteChild(const Char16* name);
  // A direct subkey with everything below it, deepest first.
  [[nodiscard]] std::int32_t DeleteTree(const Char16* name);

 private:
  RegistryStore& store_;
  KeyHandle handle_ = 0;
  std::uint32_t viewFlags_ = 0;
};

// Scoped borrow of a handle the caller keeps owning.
class BorrowedKey {
 public:
  BorrowedKey(RegistryStore& store, KeyHandle handle) : key_(store) { key_.Attach(handle); }
  ~BorrowedKey() { key_.Detach(); }
  CRegistryKey& operator*() { return key_; }
  CRegistryKey* operator->() { return &key_; }

 private:
  CRegistryKey key_;
};

}  // namespace boardscope
