#include "registrar/reg_object.h"

#include <new>

#include "registrar/reg_script.h"
#include "registrar/text_util.h"

namespace boardscope {

namespace {
std::unique_ptr<Char16[]> CopyText(const Char16* text) {
  const std::size_t n = TextLength(text);
  std::unique_ptr<Char16[]> copy(new (std::nothrow) Char16[n + 1]);
  if (copy) {
    for (std::size_t i = 0; i <= n; ++i) copy[i] = text[i];
  }
  return copy;
}

constexpr bool IsSpace(Char16 c) { return c == u' ' || c == u'\t'; }
constexpr HResult kTypeMismatch = static_cast<HResult>(0x80020005u);
constexpr HResult kOverflow = static_cast<HResult>(0x8002000Au);
}  // namespace

HResult DwordFromDecimalText(const Char16* text, std::uint32_t* number) {
  const Char16* p = text;
  while (IsSpace(*p)) ++p;
  if (*p == u'+') ++p;
  if (*p < u'0' || *p > u'9') return kTypeMismatch;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    value = value * 10 + static_cast<std::uint64_t>(*p - u'0');
    if (value > UINT32_MAX) {
      overflow = true;
      value = UINT32_MAX;
    }
  }
  while (IsSpace(*p)) ++p;
  if (*p != 0) return kTypeMismatch;
  if (overflow) return kOverflow;
  *number = static_cast<std::uint32_t>(value);
  return hr::Ok;
}

HResult CRegObject::QueryInterface(const void*, void** object) {
  if (object != nullptr) *object = nullptr;
  return hr::NotImpl;
}

HResult CRegObject::AddSubstitution(const Char16* name, const Char16* value) {
  if (name == nullptr || value == nullptr) return hr::InvalidArg;
  auto nameCopy = CopyText(name);
  auto valueCopy = CopyText(value);
  const auto size = static_cast<std::size_t>(table_.count) + 1;
  std::unique_ptr<std::unique_ptr<Char16[]>[]> names(new (std::nothrow) std::unique_ptr<Char16[]>[size]);
  std::unique_ptr<std::unique_ptr<Char16[]>[]> values(new (std::nothrow) std::unique_ptr<Char16[]>[size]);
  if (!nameCopy || !valueCopy || !names || !values) return hr::OutOfMemory;
  for (std::int32_t i = 0; i < table_.count; ++i) {
    names[i] = std::move(table_.names[i]);
    values[i] = std::move(table_.values[i]);
  }
  names[table_.count] = std::move(nameCopy);
  values[table_.count] = std::move(valueCopy);
  table_.names = std::move(names);
  table_.values = std::move(values);
  ++table_.count;
  return hr::Ok;
}

HResult CRegObject::ClearSubstitutions() {
  table_.names.reset();
  table_.values.reset();
  table_.count = 0;
  return hr::Ok;
}

const Char16* CRegObject::LookupSubstitution(const Char16* name) const {
  for (std::int32_t i = 0; i < table_.count; ++i) {
    if (EqualsNoCase(table_.names[i].get(), name)) return table_.values[i].get();
  }
  return nullptr;
}

HResult CRegObject::RunScriptText(const Char16* text, bool registerMode) {
  CRegScriptParser parser(*this);
  return parser.RunScript(text, registerMode);
}

}  // namespace boardscope
