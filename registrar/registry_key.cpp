#include "registrar/registry_key.h"

#include "registrar/text_util.h"

namespace boardscope {

std::int32_t CRegistryKey::Open(KeyHandle parent, const Char16* name, std::uint32_t accessMask) {
  KeyHandle opened = 0;
  const std::int32_t result = store_.OpenKey(parent, name, accessMask, &opened);
  if (result != win32::Success) return result;
  const std::int32_t closed = Close();
  handle_ = opened;
  viewFlags_ = accessMask & access::ViewMask;
  return closed;
}

std::int32_t CRegistryKey::Create(KeyHandle parent, const Char16* name, std::uint32_t accessMask) {
  KeyHandle created = 0;
  const std::int32_t result = store_.CreateKey(parent, name, accessMask, &created);
  if (result != win32::Success) return result;
  const std::int32_t closed = Close();
  handle_ = created;
  return closed;
}

std::int32_t CRegistryKey::Close() {
  std::int32_t result = win32::Success;
  if (handle_ != 0) result = store_.CloseKey(handle_);
  handle_ = 0;
  viewFlags_ = 0;
  return result;
}

std::int32_t CRegistryKey::WriteString(const Char16* name, const Char16* text, std::uint32_t type) {
  if (text == nullptr) return win32::InvalidData;
  const std::size_t bytes = (TextLength(text) + 1) * sizeof(Char16);
  return store_.SetValue(handle_, name, type, text, static_cast<std::uint32_t>(bytes));
}

std::int32_t CRegistryKey::WriteDword(const Char16* name, std::uint32_t number) {
  return store_.SetValue(handle_, name, regtype::Dword, &number, sizeof number);
}

std::int32_t CRegistryKey::WriteMultiString(const Char16* name, const Char16* strings) {
  if (strings == nullptr) return win32::InvalidData;
  std::size_t units = 0;
  for (;;) {
    const std::size_t n = TextLength(strings + units);
    units += n + 1;
    if (n == 0) break;
  }
  return store_.SetValue(handle_, name, regtype::MultiString, strings,
                         static_cast<std::uint32_t>(units * sizeof(Char16)));
}

std::int32_t CRegistryKey::WriteBinary(const Char16* name, const std::uint8_t* bytes, std::uint32_t size) {
  static const std::uint8_t empty = 0;
  return store_.SetValue(handle_, name, regtype::Binary, size != 0 ? bytes : &empty, size);
}

std::int32_t CRegistryKey::DeleteValue(const Char16* name) { return store_.DeleteValue(handle_, name); }

bool CRegistryKey::HasSubkeys() {
  std::uint32_t count = 0;
  return store_.QuerySubkeyCount(handle_, &count) == win32::Success && count > 0;
}

std::int32_t CRegistryKey::DeleteChild(const Char16* name) {
  return store_.DeleteKey(handle_, name, viewFlags_);
}

std::int32_t CRegistryKey::DeleteTree(const Char16* name) {
  {
    CRegistryKey child(store_);
    const std::int32_t opened = child.Open(handle_, name, access::ReadWrite | viewFlags_);
    if (opened != win32::Success) return opened;
    Char16 subkey[kKeyNameBuffer];
    for (;;) {
      // Index 0 each time: every pass removes the subkey it found.
      std::uint32_t length = kKeyNameBuffer;
      if (store_.EnumSubkey(child.Handle(), 0, subkey, &length) != win32::Success) break;
      const std::int32_t result = child.DeleteTree(subkey);
      if (result != win32::Success) return result;
    }
  }
  return DeleteChild(name);
}

}  // namespace boardscope
