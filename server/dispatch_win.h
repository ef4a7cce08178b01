// Late binding for the dual interfaces: each interface's IDispatch slots are
// served from the registered type library, with a small cache of method
// names for the common single-name lookup.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace boardscope {

struct NameCacheEntry {
  BSTR name = nullptr;
  LONG length = 0;
  DISPID dispid = DISPID_UNKNOWN;
};

// One per dual interface, module-wide, constant-initialised.
struct CComTypeInfoHolder {
  const GUID* interfaceId;
  const GUID* libraryId;
  WORD versionMajor;
  WORD versionMinor;
  ITypeInfo* typeInfo;        // one reference, released by ReleaseTypeInfo
  NameCacheEntry* nameCache;  // published last, when complete; freed by ReleaseTypeInfo
  LONG nameCacheCount;

  [[nodiscard]] HRESULT EnsureTypeInfo(LCID locale) noexcept;
  [[nodiscard]] HRESULT BuildNameCache(ITypeInfo* info) noexcept;
  static void ReleaseTypeInfo(void* holder) noexcept;

  [[nodiscard]] HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept;
  [[nodiscard]] HRESULT GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept;
  [[nodiscard]] HRESULT Invoke(IDispatch* target, DISPID id, LCID locale, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

 private:
  bool Loaded() const noexcept;
  // Called under the module lock while typeInfo is null.
  [[nodiscard]] HRESULT LoadTypeInfo(LCID locale) noexcept;
};

// The IDispatch slots of Interface, served by Holder.
template <typename Interface, CComTypeInfoHolder& Holder>
class IDispatchImpl : public Interface {
 public:
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return Holder.GetTypeInfo(index, locale, info);
  }
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                                        DISPID* ids) override {
    return Holder.GetIDsOfNames(names, count, locale, ids);
  }
  [[nodiscard]] HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                                 VARIANT* result, EXCEPINFO* exception,
                                                 UINT* argumentError) override {
    return Holder.Invoke(static_cast<Interface*>(this), id, locale, flags, params, result,
                         exception, argumentError);
  }
};

// Position where the extension of path starts (its last '.' after the last
// '\'), or of its terminating zero when it has none; null for null.
const wchar_t* FindExtension(const wchar_t* path) noexcept;

// Loads the type library of a module file, or of the ".tlb" beside it, and
// reports the path it came from.
[[nodiscard]] HRESULT LoadModuleTypeLibrary(HINSTANCE module, BSTR* path, ITypeLib** library) noexcept;

}  // namespace boardscope
