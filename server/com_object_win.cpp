#include "server/com_object_win.h"

namespace boardscope {

HRESULT QueryInterfaceFromMap(void* object, const InterfaceMapEntry* map, REFIID iid,
                              void** out) noexcept {
  if (object == nullptr || map == nullptr) return E_INVALIDARG;
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  const InterfaceMapEntry* row = map;
  if (!IsEqualIID(iid, IID_IUnknown)) {
    while (row->iid != nullptr && !IsEqualIID(*row->iid, iid)) ++row;
    if (row->iid == nullptr) return E_NOINTERFACE;
  }
  IUnknown* answer = row->get(object);
  answer->AddRef();
  *out = answer;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  return createFunction(outer, iid, out);
}

HRESULT STDMETHODCALLTYPE CComClassFactory::LockServer(BOOL lock) {
  if (lock) {
    CurrentModule->Lock();
  } else {
    CurrentModule->Unlock();
  }
  return S_OK;
}

namespace {
const InterfaceMapEntry kClassFactoryMap[] = {
    {&IID_IClassFactory,
     [](void* object) -> IUnknown* { return static_cast<CComClassFactory*>(object); }},
    {nullptr, nullptr},
};
}  // namespace

template <>
HRESULT STDMETHODCALLTYPE CComObjectCached<CComClassFactory>::QueryInterface(REFIID iid, void** out) {
  return QueryInterfaceFromMap(static_cast<CComClassFactory*>(this), kClassFactoryMap, iid, out);
}

HRESULT CreateClassFactory(CreatorFunction createFunction, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* factory = new (std::nothrow) CComObjectCached<CComClassFactory>();
  if (factory != nullptr) factory->createFunction = createFunction;
  return QueryNewObject(factory, iid, out);
}

}  // namespace boardscope
