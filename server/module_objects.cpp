// The three module objects, constructed in this order before the entry
// routine sees process attach and destroyed in reverse after detach.
#include <iterator>

#include "Boardscope.h"
#include "component/zem_boardscope.h"
#include "server/com_object.h"
#include "server/module.h"
#include "server/object_map.h"
#include "server/resource_module.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace boardscope {

bool InitFailed = false;
CBoardscopeModule* CurrentModule = nullptr;

HRESULT UpdateZEMBoardscopeRegistry(bool doRegister) noexcept;

namespace {
HINSTANCE ThisModule() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

ObjectMapEntry zemBoardscopeEntry = {
    &CLSID_ZEMBoardscope,
    &UpdateZEMBoardscopeRegistry,
    &CreateClassFactory,
    &CreateObjectInstance,
    nullptr,
    0,
    []() -> const wchar_t* { return nullptr; },
    []() -> const void* { return nullptr; },
    [](bool) {},
};

ObjectMapEntry* const objectMap[] = {&zemBoardscopeEntry};

bool resourceLockInitialised = false;

// A resource module whose lock could not be set up refuses the load too.
struct ResourceModuleCheck {
  ResourceModuleCheck() noexcept {
    if (!resourceLockInitialised) InitFailed = true;
  }
};

// Definition order within this file is construction order.
CObjectMapModule objectMapModule(ThisModule(), std::begin(objectMap), std::end(objectMap));
CResourceModule resourceModule(ThisModule(), resourceLockInitialised);
ResourceModuleCheck resourceModuleCheck;
CBoardscopeModule boardscopeModule;
}  // namespace

CObjectMapModule& ObjectMapModule() noexcept { return objectMapModule; }
CResourceModule& ResourceModule() noexcept { return resourceModule; }

}  // namespace boardscope
