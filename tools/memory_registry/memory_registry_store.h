// An in-memory registry answering each store operation the way the Win32
// registry does, for native tests, fuzzing and benchmarks. Keys can be
// protected to provoke the access-denied paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registrar/registry_store.h"

namespace boardscope {

class MemoryRegistryStore final : public RegistryStore {
 public:
  // WriteOnly: an account that may set values and add subkeys but not read.
  enum class Protection { None, ReadOnly, WriteOnly, NoAccess };

  MemoryRegistryStore();
  ~MemoryRegistryStore() override;

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
  [[nodiscard]] std::int32_t DeleteKey(KeyHandle key, const Char16* name, std::uint32_t viewFlags) override;
  [[nodiscard]] std::int32_t EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name,
                                        std::uint32_t* length) override;
  [[nodiscard]] std::int32_t QuerySubkeyCount(KeyHandle key, std::uint32_t* count) override;

  // Inspection and set-up; paths are backslash-separated below a root.
  std::size_t OpenHandleCount() const { return handles_.size(); }
  bool KeyExists(RootKey root, const std::u16string& path) const;
  // Makes the key at path (created when absent) refuse writes or all access.
  void Protect(RootKey root, const std::u16string& path, Protection protection);
  // Every key and value, children in case-insensitive order, one per line.
  std::string Dump() const;

  struct Node;

 private:
  struct OpenKeyEntry {
    std::shared_ptr<Node> node;
    std::uint32_t access;
  };
  [[nodiscard]] std::int32_t Resolve(KeyHandle key, std::shared_ptr<Node>* node, std::uint32_t* accessMask) const;
  // Resolve, then AccessDenied unless the handle carries one of the needed rights.
  [[nodiscard]] std::int32_t ResolveFor(KeyHandle key, std::uint32_t needed, std::shared_ptr<Node>* node) const;
  KeyHandle AddHandle(const std::shared_ptr<Node>& node, std::uint32_t accessMask);
  std::shared_ptr<Node> Find(RootKey root, const std::u16string& path) const;

  std::shared_ptr<Node> roots_[kRootKeyCount];
  std::map<KeyHandle, OpenKeyEntry> handles_;
  KeyHandle nextHandle_ = 0x1000;
};

}  // namespace boardscope
