// Object wrappers around a component class: the stand-alone object, the
// aggregated object with its contained part, the cached class factory, and
// the interface-map lookup they share.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "server/dll_module_win.h"
#include "server/object_map_win.h"

namespace boardscope {

// Destroyed objects carry this count, so that a stray Release after
// destruction is recognisable.
constexpr LONG kDestroyedRefCount = static_cast<LONG>(0xC0000001u);

struct InterfaceMapEntry {
  const IID* iid;
  IUnknown* (*get)(void* object);  // the object's pointer for iid
};

// Looks iid up in a map ending in a row with a null iid; IID_IUnknown is
// answered by the first row.
[[nodiscard]] HRESULT QueryInterfaceFromMap(void* object, const InterfaceMapEntry* map, REFIID iid,
                              void** out) noexcept;

struct CComSingleThreadModel {
  static LONG Increment(LONG* value) noexcept { return ++*value; }
  static LONG Decrement(LONG* value) noexcept { return --*value; }
};

struct CComMultiThreadModel {
  static LONG Increment(LONG* value) noexcept { return InterlockedIncrement(value); }
  static LONG Decrement(LONG* value) noexcept { return InterlockedDecrement(value); }
};

class CComObjectRootBase {
 public:
  // A contained object has the outer unknown where others have the count.
  union {
    LONG refCount;
    IUnknown* outerUnknown;
  };
  CComObjectRootBase() noexcept : refCount(0) {}
};

template <typename ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
 public:
  LONG InternalAddRef() noexcept { return ThreadModel::Increment(&refCount); }
  LONG InternalRelease() noexcept { return ThreadModel::Decrement(&refCount); }
};

// Ties a component class to its class identifier.
template <typename T, const CLSID* Clsid>
class CComCoClass {
 public:
  static const CLSID& GetObjectCLSID() noexcept { return *Clsid; }
};

// The stand-alone object.
template <typename Base>
class CComObject final : public Base {
 public:
  CComObject() noexcept { CurrentModule->Lock(); }
  virtual ~CComObject() {
    this->refCount = kDestroyedRefCount;
    CurrentModule->Unlock();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryInterfaceFromMap(static_cast<Base*>(this), Base::InterfaceMap(), iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(this->InternalAddRef()); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = this->InternalRelease();
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }
};

// The class as seen inside an aggregate: identity and lifetime belong to the
// outer unknown.
template <typename Base>
class CComContainedObject final : public Base {
 public:
  explicit CComContainedObject(IUnknown* outer) noexcept { this->outerUnknown = outer; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return this->outerUnknown->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return this->outerUnknown->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return this->outerUnknown->Release(); }
};

// The object created inside an aggregate: its own IUnknown is the inner
// unknown the outer object holds.
template <typename Base>
class CComAggObject final : public IUnknown, public CComObjectRootEx<CComSingleThreadModel> {
 public:
  explicit CComAggObject(IUnknown* outer) noexcept : contained(outer) { CurrentModule->Lock(); }
  virtual ~CComAggObject() {
    refCount = kDestroyedRefCount;
    CurrentModule->Unlock();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      InternalAddRef();
      return S_OK;
    }
    return QueryInterfaceFromMap(static_cast<Base*>(&contained), Base::InterfaceMap(), iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InternalAddRef()); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InternalRelease();
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

  CComContainedObject<Base> contained;
};

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  CreatorFunction createFunction = nullptr;
};

// The factory the module caches: the cache's own reference holds no module
// lock, every further reference does.
template <typename Base>
class CComObjectCached final : public Base {
 public:
  virtual ~CComObjectCached() { this->refCount = kDestroyedRefCount; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override {
    const LONG count = this->InternalAddRef();
    if (count == 2) CurrentModule->Lock();
    return static_cast<ULONG>(count);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = this->InternalRelease();
    if (count == 0) {
      delete this;
    } else if (count == 1) {
      CurrentModule->Unlock();
    }
    return static_cast<ULONG>(count);
  }
};

// Creation functions of the object map and the factory.
[[nodiscard]] HRESULT CreateClassFactory(CreatorFunction createFunction, REFIID iid, void** out) noexcept;

// Hands out interface iid of a freshly made object, which is destroyed again
// when it does not have it (or was not made at all).
template <typename Object>
[[nodiscard]] HRESULT QueryNewObject(Object* object, REFIID iid, void** out) noexcept {
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = object->QueryInterface(iid, out);
  if (result != S_OK) {
    delete object;
    *out = nullptr;
  }
  return result;
}

template <typename Base>
[[nodiscard]] HRESULT CreatePlainObject(IUnknown* /*outer*/, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return QueryNewObject(new (std::nothrow) CComObject<Base>(), iid, out);
}

template <typename Base>
[[nodiscard]] HRESULT CreateAggregatedObject(IUnknown* outer, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return QueryNewObject(new (std::nothrow) CComAggObject<Base>(outer), iid, out);
}

}  // namespace boardscope
