// Boardscope.dll's one creatable class, in the frame's object map.
#include "Boardscope.h"
#include "component/zem_boardscope_win.h"
#include "contract/resource_ids.h"
#include "server/com_object_win.h"
#include "server/dll_module_win.h"
#include "server/object_map_win.h"

namespace boardscope {
namespace {
constexpr UINT kClassScript = IDR_CLASS_SCRIPT;

HRESULT UpdateZEMBoardscopeRegistry(bool doRegister) noexcept {
  return CurrentModule->RunRegistryScript(kClassScript, doRegister, nullptr, 0);
}

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
}  // namespace

ObjectMapEntry* const objectMap[] = {&zemBoardscopeEntry};
extern const std::size_t objectMapSize = sizeof objectMap / sizeof objectMap[0];

}  // namespace boardscope
