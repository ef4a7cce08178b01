#include "server/object_map_win.h"

#include "server/com_exception_win.h"
#include "server/dll_module_win.h"
#include "platform/owners_win.h"

namespace boardscope {

CObjectMapModule::CObjectMapModule(HINSTANCE self, ObjectMapEntry* const* first,
                                   ObjectMapEntry* const* last) noexcept
    : typeLibInstance(self), objectMapFirst(first), objectMapLast(last) {
  if (SUCCEEDED(InitLock(objectMapLock))) {
    initMarker = 1;
  } else {
    InitFailed = true;
  }
}

CObjectMapModule::~CObjectMapModule() {
  if (initMarker == 0) return;
  ForEachEntry([](ObjectMapEntry& entry) {
    if (entry.classFactory != nullptr) {
      entry.classFactory->Release();
      entry.classFactory = nullptr;
    }
  });
  DeleteCriticalSection(&objectMapLock);
  initMarker = 0;
}

HRESULT CObjectMapModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (initMarker == 0) return E_UNEXPECTED;

  ObjectMapEntry* found = nullptr;
  for (ObjectMapEntry* const* at = objectMapFirst; at < objectMapLast && found == nullptr; ++at) {
    if (*at != nullptr && (*at)->createClassObject != nullptr && IsEqualGUID(*(*at)->clsid, clsid)) {
      found = *at;
    }
  }
  if (found == nullptr) return CLASS_E_CLASSNOTAVAILABLE;

  HRESULT result = S_OK;
  // Double-checked: the common case reads the cache without the lock.
  if (InterlockedCompareExchangePointer(reinterpret_cast<void**>(&found->classFactory), nullptr,
                                        nullptr) == nullptr) {
    ScopedCriticalSection lock(objectMapLock);
    if (found->classFactory == nullptr) {
      void* created = nullptr;
      result = found->createClassObject(found->createInstance, IID_IUnknown, &created);
      // Publish only a complete factory.
      InterlockedExchangePointer(reinterpret_cast<void**>(&found->classFactory), created);
    }
  }
  if (found->classFactory != nullptr) {
    result = found->classFactory->QueryInterface(iid, out);
  }
  if (*out == nullptr && result == S_OK) result = CLASS_E_CLASSNOTAVAILABLE;
  return result;
}

}  // namespace boardscope
