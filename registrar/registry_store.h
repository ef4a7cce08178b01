// The registry operations the script engine needs, behind one small
// interface: the Win32 registry on Windows, an in-memory store elsewhere.
// Results are Win32 error codes (0 for success), as the registry API gives
// them; callers map them to HRESULTs.
#pragma once

#include <cstdint>

#include "contract/status.h"

namespace boardscope {

// An open key of a store, or one of its predefined roots; 0 is "none".
using KeyHandle = std::uintptr_t;

// The predefined roots a script can name.
enum class RootKey {
  ClassesRoot,
  CurrentUser,
  LocalMachine,
  Users,
  PerformanceData,
  DynData,
  CurrentConfig,
};
constexpr int kRootKeyCount = 7;

namespace win32 {
constexpr std::int32_t Success = 0;
constexpr std::int32_t FileNotFound = 2;
constexpr std::int32_t AccessDenied = 5;
constexpr std::int32_t InvalidHandle = 6;
constexpr std::int32_t NotEnoughMemory = 8;
constexpr std::int32_t InvalidData = 13;
constexpr std::int32_t InvalidParameter = 87;
constexpr std::int32_t MoreData = 234;
constexpr std::int32_t NoMoreItems = 259;
constexpr std::int32_t KeyDeleted = 1018;
}  // namespace win32

namespace access {
constexpr std::uint32_t QueryValue = 0x0001;
constexpr std::uint32_t SetValue = 0x0002;
constexpr std::uint32_t CreateSubKey = 0x0004;
constexpr std::uint32_t EnumerateSubKeys = 0x0008;
constexpr std::uint32_t Read = 0x20019;
constexpr std::uint32_t Write = 0x20006;
constexpr std::uint32_t ReadWrite = 0x2001F;
constexpr std::uint32_t ViewMask = 0x300;  // KEY_WOW64_64KEY | KEY_WOW64_32KEY
}  // namespace access

namespace regtype {
constexpr std::uint32_t String = 1;       // REG_SZ
constexpr std::uint32_t Binary = 3;       // REG_BINARY
constexpr std::uint32_t Dword = 4;        // REG_DWORD
constexpr std::uint32_t MultiString = 7;  // REG_MULTI_SZ
}  // namespace regtype

// Longest subkey name the enumeration buffer takes, terminator included.
constexpr std::uint32_t kKeyNameBuffer = 256;

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  virtual KeyHandle Root(RootKey root) const = 0;

  // RegOpenKeyExW: a null or empty name opens a second handle to parent.
  [[nodiscard]] virtual std::int32_t OpenKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                             KeyHandle* key) = 0;
  // RegCreateKeyExW, non-volatile, with the access the caller needs.
  [[nodiscard]] virtual std::int32_t CreateKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                               KeyHandle* key) = 0;
  // RegCloseKey; predefined roots are accepted and stay valid.
  [[nodiscard]] virtual std::int32_t CloseKey(KeyHandle key) = 0;
  // RegSetValueExW: a null name is the default value.
  [[nodiscard]] virtual std::int32_t SetValue(KeyHandle key, const Char16* name, std::uint32_t type,
                                              const void* data, std::uint32_t size) = 0;
  // RegQueryValueExW; *size is the buffer size in, the data size out.
  [[nodiscard]] virtual std::int32_t QueryValue(KeyHandle key, const Char16* name, std::uint32_t* type,
                                                void* data, std::uint32_t* size) = 0;
  // RegDeleteValueW.
  [[nodiscard]] virtual std::int32_t DeleteValue(KeyHandle key, const Char16* name) = 0;
  // RegDeleteKeyExW (or RegDeleteKeyW where it is missing): a subkey without
  // subkeys of its own.
  [[nodiscard]] virtual std::int32_t DeleteKey(KeyHandle key, const Char16* name, std::uint32_t viewFlags) = 0;
  // RegEnumKeyExW; *length is the buffer size in units in, the name length out.
  [[nodiscard]] virtual std::int32_t EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name,
                                                std::uint32_t* length) = 0;
  // RegQueryInfoKeyW, the number of subkeys only.
  [[nodiscard]] virtual std::int32_t QuerySubkeyCount(KeyHandle key, std::uint32_t* count) = 0;
};

}  // namespace boardscope
