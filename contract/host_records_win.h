// The host records as the DLL exchanges them, pinned to their 32-bit layout.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <cstddef>

#include "Boardscope.h"
#include "contract/value_type.h"

// The host contract is 32-bit. A 64-bit build exists only to run the tests
// under 64-bit Wine; the layout below is pinned for the product.
#if !defined(_WIN64)

static_assert(sizeof(_ZEM_COMPONENT_INFO) == 36 && alignof(_ZEM_COMPONENT_INFO) == 4);
static_assert(offsetof(_ZEM_COMPONENT_INFO, Name) == 0);
static_assert(offsetof(_ZEM_COMPONENT_INFO, UniqueIdentifier) == 4);
static_assert(offsetof(_ZEM_COMPONENT_INFO, MajorVersion) == 20);
static_assert(offsetof(_ZEM_COMPONENT_INFO, MinorVersion) == 24);
static_assert(offsetof(_ZEM_COMPONENT_INFO, HotFix) == 28);
static_assert(offsetof(_ZEM_COMPONENT_INFO, Build) == 32);

static_assert(sizeof(_ZEM_COMPONENT_CAPS) == 16 && alignof(_ZEM_COMPONENT_CAPS) == 4);
static_assert(offsetof(_ZEM_COMPONENT_CAPS, IZemInformationSupport) == 0);
static_assert(offsetof(_ZEM_COMPONENT_CAPS, IZemControlSupport) == 4);
static_assert(offsetof(_ZEM_COMPONENT_CAPS, IZemWorkloadSupport) == 8);
static_assert(offsetof(_ZEM_COMPONENT_CAPS, IZemSolverSupport) == 12);

static_assert(sizeof(_ZEM_INFO_ENTRY) == 40 && alignof(_ZEM_INFO_ENTRY) == 8);
static_assert(offsetof(_ZEM_INFO_ENTRY, Name) == 0);
static_assert(offsetof(_ZEM_INFO_ENTRY, Unit) == 4);
static_assert(offsetof(_ZEM_INFO_ENTRY, Type) == 8);
static_assert(offsetof(_ZEM_INFO_ENTRY, StrValue) == 12);
static_assert(offsetof(_ZEM_INFO_ENTRY, Value) == 16);
static_assert(offsetof(_ZEM_INFO_ENTRY, Divisor) == 24);
static_assert(offsetof(_ZEM_INFO_ENTRY, Flags) == 32);
static_assert(offsetof(_ZEM_INFO_ENTRY, Error) == 36);
static_assert(sizeof(VALUETYPE) == 4);

static_assert(sizeof(_ZEM_INSTANCE_INFO) == 4 && offsetof(_ZEM_INSTANCE_INFO, Name) == 0);
#endif

static_assert(static_cast<int>(boardscope::EntryValueType::Number) == typeNumber &&
              static_cast<int>(boardscope::EntryValueType::Percent) == typePercent &&
              static_cast<int>(boardscope::EntryValueType::Bool) == typeBool &&
              static_cast<int>(boardscope::EntryValueType::String) == typeString);

// The host's side of the contract for a returned entry array: free the three
// strings of every entry, then the array.
namespace boardscope {
inline void FreeInfoEntries(ULONG count, _ZEM_INFO_ENTRY* entries) noexcept {
  for (ULONG i = 0; entries != nullptr && i < count; ++i) {
    SysFreeString(entries[i].Name);
    SysFreeString(entries[i].Unit);
    SysFreeString(entries[i].StrValue);
  }
  CoTaskMemFree(entries);
}
}  // namespace boardscope
