// The three module objects, constructed in this order before the entry
// routine sees process attach and destroyed in reverse after detach. The
// classes they serve come from the module's object map (object_map_win.h).
#include "server/dll_module_win.h"
#include "server/object_map_win.h"
#include "server/resource_module_win.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace boardscope {

bool InitFailed = false;
CBoardscopeModule* CurrentModule = nullptr;

namespace {
HINSTANCE ThisModule() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool resourceLockInitialised = false;

// A resource module whose lock could not be set up refuses the load too.
struct ResourceModuleCheck {
  ResourceModuleCheck() noexcept {
    if (!resourceLockInitialised) InitFailed = true;
  }
};

// Definition order within this file is construction order.
CObjectMapModule objectMapModule(ThisModule(), objectMap, objectMap + objectMapSize);
CResourceModule resourceModule(ThisModule(), resourceLockInitialised);
ResourceModuleCheck resourceModuleCheck;
CBoardscopeModule boardscopeModule;
}  // namespace

CObjectMapModule& ObjectMapModule() noexcept { return objectMapModule; }
CResourceModule& ResourceModule() noexcept { return resourceModule; }

}  // namespace boardscope
