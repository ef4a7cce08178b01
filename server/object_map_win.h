// The table of creatable classes and the cache of their class factories.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

#include "platform/owners_win.h"

namespace boardscope {

using CreatorFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

struct ObjectMapEntry {
  const GUID* clsid;
  HRESULT (*updateRegistry)(bool doRegister);
  HRESULT (*createClassObject)(CreatorFunction creator, REFIID iid, void** out);
  CreatorFunction createInstance;
  IUnknown* classFactory;
  DWORD registrationCookie;
  const wchar_t* (*getDescription)();
  const void* (*getCategories)();
  void (*objectMain)(bool starting);
};

class CObjectMapModule {
 public:
  CObjectMapModule(HINSTANCE self, ObjectMapEntry* const* first, ObjectMapEntry* const* last) noexcept;
  ~CObjectMapModule();
  CObjectMapModule(const CObjectMapModule&) = delete;
  CObjectMapModule& operator=(const CObjectMapModule&) = delete;

  [[nodiscard]] HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;
  [[nodiscard]] HRESULT RegisterObjectMap(bool withTypeLibrary) noexcept;
  [[nodiscard]] HRESULT UnregisterObjectMap(bool withTypeLibrary) noexcept;

  // Calls visit for every non-null entry, in map order.
  template <typename Visit>
  void ForEachEntry(Visit&& visit) const {
    for (ObjectMapEntry* const* at = objectMapFirst; at < objectMapLast; ++at) {
      if (*at != nullptr) visit(**at);
    }
  }

  ULONG initMarker = 0;
  HINSTANCE typeLibInstance = nullptr;
  ObjectMapEntry* const* objectMapFirst = nullptr;
  ObjectMapEntry* const* objectMapLast = nullptr;
  OwnedCriticalSection objectMapLock;

 private:
  [[nodiscard]] HRESULT UpdateEntries(bool doRegister) noexcept;
};

CObjectMapModule& ObjectMapModule() noexcept;

// The module's creatable classes, defined by the module that links the frame
// (constant data, so it is in place before any module object is built).
extern ObjectMapEntry* const objectMap[];
extern const std::size_t objectMapSize;

}  // namespace boardscope
