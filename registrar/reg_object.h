// The registrar: the substitution table a script's %NAME% references are
// expanded from, and the running of a script in register or unregister mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "contract/status.h"
#include "registrar/registry_store.h"

namespace boardscope {

// Converts a Dword value text; a failure refuses the value.
using DwordFromText = HResult (*)(const Char16* text, std::uint32_t* number);

// Decimal digits with optional surrounding spaces and a leading '+'; the
// neutral stand-in for the platform's variant conversion.
[[nodiscard]] HResult DwordFromDecimalText(const Char16* text, std::uint32_t* number);

class IRegistrarBase {
 public:
  [[nodiscard]] virtual HResult QueryInterface(const void* iid, void** object) = 0;
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;
  [[nodiscard]] virtual HResult AddSubstitution(const Char16* name, const Char16* value) = 0;
  [[nodiscard]] virtual HResult ClearSubstitutions() = 0;
  virtual ~IRegistrarBase() = default;
};

// Owns its arrays and every copy in them; ClearSubstitutions frees them.
struct CSubstitutionTable {
  std::unique_ptr<std::unique_ptr<Char16[]>[]> names;
  std::unique_ptr<std::unique_ptr<Char16[]>[]> values;
  std::int32_t count = 0;
};

class CRegObject final : public IRegistrarBase {
 public:
  explicit CRegObject(RegistryStore& store, DwordFromText toDword = &DwordFromDecimalText)
      : store_(store), toDword_(toDword) {}
  ~CRegObject() override { (void)ClearSubstitutions(); }  // cannot fail: it only frees
  CRegObject(const CRegObject&) = delete;
  CRegObject& operator=(const CRegObject&) = delete;

  // Not reference counted and hands out no interfaces.
  [[nodiscard]] HResult QueryInterface(const void* iid, void** object) override;
  std::uint32_t AddRef() override { return 1; }
  std::uint32_t Release() override { return 0; }

  // Appends a pair; an earlier pair of the same name keeps winning lookups.
  [[nodiscard]] HResult AddSubstitution(const Char16* name, const Char16* value) override;
  [[nodiscard]] HResult ClearSubstitutions() override;
  // First pair whose name equals name without regard to case, or null.
  const Char16* LookupSubstitution(const Char16* name) const;

  // Expands and runs one script text against this registrar's store.
  [[nodiscard]] HResult RunScriptText(const Char16* text, bool registerMode);

  RegistryStore& Store() const { return store_; }
  DwordFromText DwordConverter() const { return toDword_; }

#if defined(_WIN32)
  // Windows: the Win32 registry and the platform's number conversion.
  CRegObject();
  [[nodiscard]] HResult AddSubstitution(const wchar_t* name, const wchar_t* value) {
    return AddSubstitution(reinterpret_cast<const Char16*>(name), reinterpret_cast<const Char16*>(value));
  }
  [[nodiscard]] HResult RegisterScriptResource(const wchar_t* moduleFile, std::uint16_t resourceId, const wchar_t* type);
  [[nodiscard]] HResult UnregisterScriptResource(const wchar_t* moduleFile, std::uint16_t resourceId, const wchar_t* type);
  // Loads the resource from the module file as data, converts it from the
  // thread's ANSI code page and runs it.
  [[nodiscard]] HResult RunScriptResource(const wchar_t* moduleFile, const wchar_t* resourceName, const wchar_t* type,
                            bool registerMode);
#endif

 private:
  RegistryStore& store_;
  DwordFromText toDword_;
  CSubstitutionTable table_;
};

#if defined(_WIN32)
// Win32 registry behind the store interface.
RegistryStore& Win32Registry();
// VarUI4FromStr (locale 0, no flags).
[[nodiscard]] HResult DwordFromVariantText(const Char16* text, std::uint32_t* number);
#endif

}  // namespace boardscope

#include "registrar/script_text.h"

#if defined(_WIN32)
namespace boardscope {
inline void EscapeSingleQuotes(wchar_t* destination, std::size_t capacity, const wchar_t* source) {
  EscapeSingleQuotes(reinterpret_cast<Char16*>(destination), capacity, reinterpret_cast<const Char16*>(source));
}
}  // namespace boardscope
#endif
