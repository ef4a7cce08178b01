// One owner per kind of handle or allocation, one lock guard and one locale
// guard: every Windows part of the tree owns what it opens through these.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

#include <cstdlib>
#include <utility>

#include "platform/errors_win.h"

namespace boardscope {

// Owns one value of Handle and releases it with Close when it goes.
template <typename Handle, typename Traits>
class UniqueResource {
 public:
  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle value) noexcept : value_(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  Handle get() const noexcept { return value_; }
  Handle operator->() const noexcept { return value_; }
  explicit operator bool() const noexcept { return Traits::Holds(value_); }
  Handle release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  void reset(Handle value = Traits::Invalid()) noexcept {
    Handle old = std::exchange(value_, value);
    if (Traits::Holds(old)) Traits::Close(old);
  }
  // For out-parameters: releases what is held and hands out the slot.
  Handle* put() noexcept {
    reset();
    return &value_;
  }

 private:
  Handle value_ = Traits::Invalid();
};

// Kinds whose null value holds nothing.
template <typename Handle>
struct NullEmptyTraits {
  static constexpr Handle Invalid() { return Handle{}; }
  static constexpr bool Holds(Handle value) { return value != Handle{}; }
};

template <typename Handle, auto CloseFunction>
struct NullHandleTraits : NullEmptyTraits<Handle> {
  static void Close(Handle value) { CloseFunction(value); }
};

using UniqueBstr = UniqueResource<BSTR, NullHandleTraits<BSTR, &SysFreeString>>;
using UniqueHkey = UniqueResource<HKEY, NullHandleTraits<HKEY, &RegCloseKey>>;
using UniqueTaskMemory = UniqueResource<void*, NullHandleTraits<void*, &CoTaskMemFree>>;
using UniqueLibrary = UniqueResource<HMODULE, NullHandleTraits<HMODULE, &FreeLibrary>>;

template <typename T>
void FreeBlock(T* block) {
  std::free(block);
}
// A block of the C runtime's heap (malloc, calloc).
template <typename T>
using UniqueMalloc = UniqueResource<T*, NullHandleTraits<T*, &FreeBlock<T>>>;

// A kernel handle. Null (a failed CreateEventW) and INVALID_HANDLE_VALUE (a
// failed CreateFileW) both hold nothing, so `!file` tests any failed open; an
// empty owner holds null, or INVALID_HANDLE_VALUE for files.
template <bool FileHandle>
struct KernelHandleTraits {
  static HANDLE Invalid() { return FileHandle ? INVALID_HANDLE_VALUE : nullptr; }
  static bool Holds(HANDLE value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE value) { CloseHandle(value); }
};
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits<false>>;
using UniqueFileHandle = UniqueResource<HANDLE, KernelHandleTraits<true>>;

// Releases an interface pointer.
template <typename Interface>
struct ComReleaseTraits : NullEmptyTraits<Interface*> {
  static void Close(Interface* value) { value->Release(); }
};
template <typename Interface>
using ComPtr = UniqueResource<Interface*, ComReleaseTraits<Interface>>;

// Owns one description handed out by an ITypeInfo and gives it back to that
// type information when it goes.
template <typename Description>
class TypeDesc {
 public:
  TypeDesc() noexcept = default;
  TypeDesc(const TypeDesc&) = delete;
  TypeDesc& operator=(const TypeDesc&) = delete;
  ~TypeDesc() {
    if (desc_ != nullptr) Release(info_, desc_);
  }
  Description** put(ITypeInfo* info) noexcept {
    info_ = info;
    return &desc_;
  }
  const Description* operator->() const noexcept { return desc_; }
  const Description& operator*() const noexcept { return *desc_; }

 private:
  static void Release(ITypeInfo* info, TYPEATTR* desc) { info->ReleaseTypeAttr(desc); }
  static void Release(ITypeInfo* info, FUNCDESC* desc) { info->ReleaseFuncDesc(desc); }
  static void Release(ITypeInfo* info, VARDESC* desc) { info->ReleaseVarDesc(desc); }

  ITypeInfo* info_ = nullptr;
  Description* desc_ = nullptr;
};
using TypeAttr = TypeDesc<TYPEATTR>;
using FuncDesc = TypeDesc<FUNCDESC>;
using VarDesc = TypeDesc<VARDESC>;

// Enters a critical section that is already initialised; leaves it when it
// goes.
class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CRITICAL_SECTION& section) noexcept : section_(section) {
    EnterCriticalSection(&section_);
  }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;
  ~ScopedCriticalSection() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION& section_;
};

// A critical section that lives as long as its owner. Set-up can fail on
// old systems under low memory: valid() says whether it may be entered.
class OwnedCriticalSection {
 public:
  OwnedCriticalSection() noexcept : valid_(SUCCEEDED(InitLock(section_))) {}
  OwnedCriticalSection(const OwnedCriticalSection&) = delete;
  OwnedCriticalSection& operator=(const OwnedCriticalSection&) = delete;
  ~OwnedCriticalSection() {
    if (valid_) DeleteCriticalSection(&section_);
  }
  bool valid() const noexcept { return valid_; }
  CRITICAL_SECTION& get() noexcept { return section_; }

 private:
  CRITICAL_SECTION section_{};
  bool valid_;
};

// COM on this thread for the enclosing scope; ok() says whether it started.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : result_(CoInitializeEx(nullptr, model)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  bool ok() const noexcept { return SUCCEEDED(result_); }
  HRESULT result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// Runs the enclosing scope with the given thread locale and restores the
// caller's on every path.
class ScopedThreadLocale {
 public:
  explicit ScopedThreadLocale(LCID locale) noexcept : saved_(GetThreadLocale()) { SetThreadLocale(locale); }
  ScopedThreadLocale(const ScopedThreadLocale&) = delete;
  ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
  ~ScopedThreadLocale() { SetThreadLocale(saved_); }

 private:
  LCID saved_;
};

}  // namespace boardscope
