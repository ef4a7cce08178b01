// Shared by the registry-script fuzz targets: input decoding, the invariant
// check, the registrar with its substitutions and the seeded in-memory
// registry. Set-up that every input would repeat is done once per process;
// the registry is rebuilt only after a run changed it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tools/memory_registry/memory_registry_store.h"
#include "registrar/reg_object.h"
#include "registrar/registry_store.h"

namespace boardscope::fuzz {

inline void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// First byte: bit 0 reads the rest as UTF-16LE, otherwise one unit per byte
// (keywords are then easy to reach).
inline std::u16string Decode(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  if (size == 0) return text;
  const bool wide = (data[0] & 1) != 0;
  ++data;
  --size;
  if (wide) {
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<Char16>(data[i] | (data[i + 1] << 8)));
  } else {
    text.assign(data, data + size);
  }
  // The engine sees text up to the first NUL, as after resource conversion.
  const auto nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.resize(nul);
  return text;
}

inline void Seed(MemoryRegistryStore& store) {
  KeyHandle key = 0;
  for (const Char16* path : {u"CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", u"AppID\\x",
                             u"Software\\Vendor\\App", u"a\\b\\c"}) {
    if (store.CreateKey(store.Root(RootKey::ClassesRoot), path, access::ReadWrite, &key) == 0) {
      const std::uint32_t one = 1;
      // A fresh in-memory store takes both; the fuzzer checks nothing here.
      (void)store.SetValue(key, u"v", regtype::Dword, &one, 4);
      (void)store.CloseKey(key);
    }
  }
  store.Protect(RootKey::ClassesRoot, u"Locked", MemoryRegistryStore::Protection::NoAccess);
  store.Protect(RootKey::ClassesRoot, u"ro", MemoryRegistryStore::Protection::ReadOnly);
  store.Protect(RootKey::CurrentUser, u"Software\\Locked", MemoryRegistryStore::Protection::NoAccess);
}

inline void AddSubstitutions(CRegObject& registrar) {
  // Nine references overflow a token (4,094 units). A longer value only
  // makes each reference slower, and inputs full of them slow a long run.
  const std::u16string big(500, u'x');
  const Char16* const pairs[][2] = {
      {u"APPID", u"{11111111-2222-3333-4444-555555555555}"},
      {u"Module", u"C:\\it''s\\Boardscope.dll"},
      {u"Module_Raw", u"C:\\it''s\\Boardscope.dll"},
      {u"Q", u"'"},
      {u"E", u""},
      {u"BIG", big.c_str()},
  };
  for (const auto& pair : pairs) Check(hr::Succeeded(registrar.AddSubstitution(pair[0], pair[1])), "substitution refused");
}

// Passes every call through to a seeded in-memory registry and notes
// whether one changed it, so that an unchanged registry serves the next
// input as it is. The registrar holds this store for the whole process.
class SeededStore final : public RegistryStore {
 public:
  SeededStore() { Reset(); }

  // Back to the seeded state at the end of an input: what the input
  // allocated is freed within it, so libFuzzer sees no growth that would
  // make it rerun the input to look for leaks.
  void Restore() {
    if (changed_) Reset();
  }
  MemoryRegistryStore& Memory() { return *memory_; }

  KeyHandle Root(RootKey root) const override { return memory_->Root(root); }
  std::int32_t OpenKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask, KeyHandle* key) override {
    return memory_->OpenKey(parent, name, accessMask, key);
  }
  std::int32_t CreateKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask, KeyHandle* key) override {
    return Note(memory_->CreateKey(parent, name, accessMask, key));
  }
  std::int32_t CloseKey(KeyHandle key) override { return memory_->CloseKey(key); }
  std::int32_t SetValue(KeyHandle key, const Char16* name, std::uint32_t type, const void* data,
                        std::uint32_t size) override {
    return Note(memory_->SetValue(key, name, type, data, size));
  }
  std::int32_t QueryValue(KeyHandle key, const Char16* name, std::uint32_t* type, void* data,
                          std::uint32_t* size) override {
    return memory_->QueryValue(key, name, type, data, size);
  }
  std::int32_t DeleteValue(KeyHandle key, const Char16* name) override {
    return Note(memory_->DeleteValue(key, name));
  }
  std::int32_t DeleteKey(KeyHandle key, const Char16* name, std::uint32_t viewFlags) override {
    return Note(memory_->DeleteKey(key, name, viewFlags));
  }
  std::int32_t EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name, std::uint32_t* length) override {
    return memory_->EnumSubkey(key, index, name, length);
  }
  std::int32_t QuerySubkeyCount(KeyHandle key, std::uint32_t* count) override {
    return memory_->QuerySubkeyCount(key, count);
  }

 private:
  // A successful create may only have opened an existing key; counting it as
  // a change costs one needless rebuild at most.
  std::int32_t Note(std::int32_t result) {
    if (result == win32::Success) changed_ = true;
    return result;
  }
  void Reset() {
    memory_ = std::make_unique<MemoryRegistryStore>();
    Seed(*memory_);
    changed_ = false;
  }

  std::unique_ptr<MemoryRegistryStore> memory_;
  bool changed_ = false;
};

// The process's registrar, its substitutions added once, over the seeded store.
struct Engine {
  SeededStore store;
  CRegObject registrar{store};
  Engine() { AddSubstitutions(registrar); }
};

inline Engine& TheEngine() {
  static Engine* engine = new Engine;  // never destroyed: inputs run until exit
  return *engine;
}

}  // namespace boardscope::fuzz
