// The module-wide holder of the DLL's instance handles and the ordered list
// of modules searched for resources, with the string-table lookup over it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>

#include "platform/owners_win.h"

namespace boardscope {

class CResourceModule {
 public:
  // resourceLock.valid() says whether its lock could be set up; the module
  // refuses to load when it could not.
  explicit CResourceModule(HINSTANCE self) noexcept;
  ~CResourceModule();
  CResourceModule(const CResourceModule&) = delete;
  CResourceModule& operator=(const CResourceModule&) = delete;

  // The searched instances in order: the added ones, then the DLL itself.
  HINSTANCE GetResourceInstanceAt(int index) noexcept;

  // Points at the 16-bit count of string id in the first instance whose table
  // holds a non-empty entry for it; the units follow the count.
  const WCHAR* FindStringResource(UINT id) noexcept;
  // The same for count ids at once (null where absent); each string-table
  // block is found once for a run of ids that share it.
  void FindStringResources(const UINT* ids, std::size_t count, const WCHAR** found) noexcept;

  HINSTANCE ModuleInstance() const noexcept { return moduleInstance; }

  ULONG initMarker = 0;
  HINSTANCE moduleInstance = nullptr;
  HINSTANCE resourceInstance = nullptr;
  ULONG libraryBuild = 0;
  const GUID* versionGuid = nullptr;
  OwnedCriticalSection resourceLock;

 private:
  struct InstanceList {
    HINSTANCE* items = nullptr;  // malloc'd; the destructor frees it
    int count = 0;
    int capacity = 0;
  } resourceInstances;
};

// The DLL's resource module; constructed with the other module objects.
CResourceModule& ResourceModule() noexcept;

// String id as a new BSTR of exactly the entry's units, or null.
BSTR LoadResourceString(UINT id) noexcept;

}  // namespace boardscope
