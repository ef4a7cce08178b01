#include "server/dispatch_win.h"

#include <cstring>
#include <new>

#include "server/com_exception_win.h"
#include "server/dll_module_win.h"
#include "platform/owners_win.h"

namespace boardscope {

namespace {
template <typename T>
T* ReadPublished(T* const& field) noexcept {
  return static_cast<T*>(InterlockedCompareExchangePointer(
      const_cast<void**>(reinterpret_cast<void* const*>(&field)), nullptr, nullptr));
}

template <typename T>
void Publish(T*& field, T* value) noexcept {
  InterlockedExchangePointer(reinterpret_cast<void**>(&field), value);
}

// The locale the type library is built and registered for. The registry's
// lookup falls back from a locale only to its primary language and neutral,
// so callers in any other locale are served this one.
constexpr LCID LibraryLocale = 0x409;

HRESULT LoadLibraryForLocale(const GUID& libraryId, WORD major, WORD minor, LCID locale,
                             ITypeLib** library) noexcept {
  HRESULT result = LoadRegTypeLib(libraryId, major, minor, locale, library);
  if (result == TYPE_E_LIBNOTREGISTERED && locale != LibraryLocale) {
    result = LoadRegTypeLib(libraryId, major, minor, LibraryLocale, library);
  }
  return result;
}

LONG CodeUnitLength(const OLECHAR* text) noexcept {
  LONG length = 0;
  while (text[length] != 0) ++length;
  return length;
}
}  // namespace

bool CComTypeInfoHolder::Loaded() const noexcept {
  return ReadPublished(nameCache) != nullptr && ReadPublished(typeInfo) != nullptr;
}

HRESULT CComTypeInfoHolder::EnsureTypeInfo(LCID locale) noexcept {
  if (Loaded()) return S_OK;
  ScopedCriticalSection lock(CurrentModule->moduleLock);
  HRESULT result = typeInfo == nullptr ? LoadTypeInfo(locale) : S_OK;
  if (typeInfo != nullptr && nameCache == nullptr) result = BuildNameCache(typeInfo);
  return result;
}

HRESULT CComTypeInfoHolder::LoadTypeInfo(LCID locale) noexcept {
  ComPtr<ITypeLib> library;
  RETURN_IF_FAILED(LoadLibraryForLocale(*libraryId, versionMajor, versionMinor, locale, library.put()));
  ComPtr<ITypeInfo> info;
  RETURN_IF_FAILED(library->GetTypeInfoOfGuid(*interfaceId, info.put()));
  // Published only once its release at unload is arranged.
  RETURN_IF_FAILED(CurrentModule->AddTermCallback(&CComTypeInfoHolder::ReleaseTypeInfo, this));
  Publish(typeInfo, info.release());
  return S_OK;
}

HRESULT CComTypeInfoHolder::BuildNameCache(ITypeInfo* info) noexcept {
  TypeAttr attributes;
  if (FAILED(info->GetTypeAttr(attributes.put(info)))) return S_OK;
  const LONG count = attributes->cFuncs;
  nameCacheCount = count;
  nameCache = nullptr;
  NameCacheEntry* rows = nullptr;
  if (count != 0) {
    rows = new (std::nothrow) NameCacheEntry[count];
    if (rows == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < count; ++i) rows[i] = {nullptr, 0, DISPID_UNKNOWN};
  }
  for (LONG i = 0; i < count; ++i) {
    FuncDesc function;
    if (FAILED(info->GetFuncDesc(static_cast<UINT>(i), function.put(info)))) continue;
    BSTR name = nullptr;
    if (SUCCEEDED(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr))) {
      rows[i] = {name, static_cast<LONG>(SysStringLen(name)), function->memid};
    }
  }
  Publish(nameCache, rows);
  return S_OK;
}

void CComTypeInfoHolder::ReleaseTypeInfo(void* argument) noexcept {
  auto* holder = static_cast<CComTypeInfoHolder*>(argument);
  if (holder->typeInfo != nullptr) {
    holder->typeInfo->Release();
    holder->typeInfo = nullptr;
  }
  if (holder->nameCache != nullptr) {
    for (LONG i = 0; i < holder->nameCacheCount; ++i) SysFreeString(holder->nameCache[i].name);
    delete[] holder->nameCache;
    holder->nameCache = nullptr;
  }
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) noexcept {
  if (index != 0) return DISP_E_BADINDEX;
  if (info == nullptr) return E_POINTER;
  HRESULT result = S_OK;
  if (ReadPublished(typeInfo) == nullptr) result = EnsureTypeInfo(locale);
  ITypeInfo* loaded = ReadPublished(typeInfo);
  *info = loaded;
  if (loaded == nullptr) return result;
  loaded->AddRef();
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) noexcept {
  // The type information dereferences these unchecked.
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i)
    if (names[i] == nullptr) return E_POINTER;
  HRESULT result = S_OK;
  if (!Loaded()) result = EnsureTypeInfo(locale);
  ITypeInfo* info = ReadPublished(typeInfo);
  if (info == nullptr) return result;
  NameCacheEntry* rows = ReadPublished(nameCache);
  if (rows != nullptr && count == 1 && names != nullptr && names[0] != nullptr && ids != nullptr) {
    const LONG length = CodeUnitLength(names[0]);
    for (LONG i = nameCacheCount - 1; i >= 0; --i) {
      if (rows[i].length == length && rows[i].name != nullptr &&
          std::memcmp(rows[i].name, names[0], length * sizeof(OLECHAR)) == 0) {
        ids[0] = rows[i].dispid;
        return S_OK;
      }
    }
  }
  return info->GetIDsOfNames(names, count, ids);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* target, DISPID id, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) noexcept {
  // Likewise the parameter block and the arrays it claims to hold.
  if (params == nullptr || (params->cArgs != 0 && params->rgvarg == nullptr) ||
      (params->cNamedArgs != 0 && params->rgdispidNamedArgs == nullptr))
    return E_INVALIDARG;
  HRESULT loadResult = S_OK;
  if (!Loaded()) loadResult = EnsureTypeInfo(locale);
  ITypeInfo* info = ReadPublished(typeInfo);
  if (info == nullptr) return loadResult;
  return info->Invoke(target, id, flags, params, result, exception, argumentError);
}

const wchar_t* FindExtension(const wchar_t* path) noexcept {
  if (path == nullptr) return nullptr;
  const wchar_t* extension = nullptr;
  const wchar_t* at = path;
  while (*at != L'\0') {
    if (*at == L'.') {
      extension = at;
    } else if (*at == L'\\') {
      extension = nullptr;
    }
    at = CharNextW(at);
  }
  return extension != nullptr ? extension : at;
}

HRESULT LoadModuleTypeLibrary(HINSTANCE module, BSTR* path, ITypeLib** library) noexcept {
  if (path == nullptr || library == nullptr) return E_POINTER;
  *path = nullptr;
  *library = nullptr;
  wchar_t fileName[MAX_PATH + 4];
  const DWORD length = GetModuleFileNameW(module, fileName, MAX_PATH);
  if (length == 0) return HResultFromLastError();
  if (length == MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
  fileName[length] = L'\0';

  const wchar_t* extension = FindExtension(fileName);
  HRESULT result = LoadTypeLib(fileName, library);
  if (FAILED(result)) {
    const size_t extensionAt = static_cast<size_t>(extension - fileName);
    if (extensionAt + 5 > MAX_PATH) return E_FAIL;
    static const wchar_t kTlb[] = L".tlb";
    for (size_t i = 0; i < 5; ++i) fileName[extensionAt + i] = kTlb[i];
    RETURN_IF_FAILED(result = LoadTypeLib(fileName, library));
  }
  *path = SysAllocString(fileName);
  if (*path == nullptr) return E_OUTOFMEMORY;
  return S_OK;
}

}  // namespace boardscope
