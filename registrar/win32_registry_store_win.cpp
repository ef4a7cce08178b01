#include "registrar/win32_registry_store.h"

#include <windows.h>

#include "registrar/reg_object.h"

namespace boardscope {

namespace {
HKEY Key(KeyHandle handle) { return reinterpret_cast<HKEY>(handle); }
const wchar_t* Text(const Char16* text) { return reinterpret_cast<const wchar_t*>(text); }

using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW is missing before Vista and on some Wine builds; the
// answer is looked up once and kept for the life of the process.
DeleteKeyExFn DeleteKeyEx() {
  static const DeleteKeyExFn function = []() -> DeleteKeyExFn {
    HMODULE advapi = GetModuleHandleW(L"Advapi32.dll");
    if (advapi == nullptr) return nullptr;
    return reinterpret_cast<DeleteKeyExFn>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")));
  }();
  return function;
}
}  // namespace

KeyHandle Win32RegistryStore::Root(RootKey root) const {
  static const HKEY roots[kRootKeyCount] = {HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                            HKEY_USERS,            HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA,
                                            HKEY_CURRENT_CONFIG};
  return reinterpret_cast<KeyHandle>(roots[static_cast<int>(root)]);
}

std::int32_t Win32RegistryStore::OpenKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                         KeyHandle* key) {
  HKEY opened = nullptr;
  const LONG result = RegOpenKeyExW(Key(parent), Text(name), 0, accessMask, &opened);
  *key = result == ERROR_SUCCESS ? reinterpret_cast<KeyHandle>(opened) : 0;
  return result;
}

std::int32_t Win32RegistryStore::CreateKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                           KeyHandle* key) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  const LONG result = RegCreateKeyExW(Key(parent), Text(name), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      accessMask, nullptr, &created, &disposition);
  *key = result == ERROR_SUCCESS ? reinterpret_cast<KeyHandle>(created) : 0;
  return result;
}

std::int32_t Win32RegistryStore::CloseKey(KeyHandle key) { return RegCloseKey(Key(key)); }

std::int32_t Win32RegistryStore::SetValue(KeyHandle key, const Char16* name, std::uint32_t type,
                                          const void* data, std::uint32_t size) {
  return RegSetValueExW(Key(key), Text(name), 0, type, static_cast<const BYTE*>(data), size);
}

std::int32_t Win32RegistryStore::QueryValue(KeyHandle key, const Char16* name, std::uint32_t* type,
                                            void* data, std::uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = size != nullptr ? *size : 0;
  const LONG result = RegQueryValueExW(Key(key), Text(name), nullptr, &valueType, static_cast<BYTE*>(data),
                                       size != nullptr ? &valueSize : nullptr);
  if (type != nullptr) *type = valueType;
  if (size != nullptr) *size = valueSize;
  return result;
}

std::int32_t Win32RegistryStore::DeleteValue(KeyHandle key, const Char16* name) {
  return RegDeleteValueW(Key(key), Text(name));
}

std::int32_t Win32RegistryStore::DeleteKey(KeyHandle key, const Char16* name, std::uint32_t viewFlags) {
  if (const DeleteKeyExFn deleteKeyEx = DeleteKeyEx()) return deleteKeyEx(Key(key), Text(name), viewFlags, 0);
  return RegDeleteKeyW(Key(key), Text(name));
}

std::int32_t Win32RegistryStore::EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name,
                                            std::uint32_t* length) {
  DWORD nameLength = *length;
  FILETIME lastWrite;
  const LONG result = RegEnumKeyExW(Key(key), index, reinterpret_cast<wchar_t*>(name), &nameLength, nullptr,
                                    nullptr, nullptr, &lastWrite);
  *length = nameLength;
  return result;
}

std::int32_t Win32RegistryStore::QuerySubkeyCount(KeyHandle key, std::uint32_t* count) {
  DWORD subkeys = 0;
  const LONG result = RegQueryInfoKeyW(Key(key), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS) *count = subkeys;
  return result;
}

RegistryStore& Win32Registry() {
  static Win32RegistryStore registry;
  return registry;
}

}  // namespace boardscope
