#include "server/dll_module_win.h"

#include <memory>
#include <new>

#include "server/com_exception_win.h"
#include "server/object_map_win.h"

namespace boardscope {

CModuleBase::CModuleBase() noexcept : _MODULE_STATE{}, globalInterfaceTable(nullptr) {}

CModuleBase::~CModuleBase() { Terminate(); }

LONG CModuleBase::Lock() noexcept { return InterlockedIncrement(&lockCount); }

LONG CModuleBase::Unlock() noexcept { return InterlockedDecrement(&lockCount); }

LONG CModuleBase::GetLockCount() noexcept { return lockCount; }

HRESULT CModuleBase::GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept {
  if (table == nullptr) return E_POINTER;
  HRESULT result = S_OK;
  if (globalInterfaceTable == nullptr) {
    RETURN_IF_FAILED(result = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IGlobalInterfaceTable,
                                               reinterpret_cast<void**>(&globalInterfaceTable)));
  }
  *table = globalInterfaceTable;
  globalInterfaceTable->AddRef();
  return result;
}

HRESULT CModuleBase::AddTermCallback(void (*callback)(void*), void* argument) noexcept {
  std::unique_ptr<TermCallbackNode> node(new (std::nothrow) TermCallbackNode{callback, argument, nullptr});
  if (!node) return E_OUTOFMEMORY;
  ScopedCriticalSection lock(moduleLock.get());
  node->next = termCallbacks;
  termCallbacks = node.release();
  return S_OK;
}

void CModuleBase::Terminate() noexcept {
  if (initMarker == 0) return;
  while (termCallbacks != nullptr) {
    const std::unique_ptr<TermCallbackNode> node(termCallbacks);
    node->callback(node->argument);
    termCallbacks = node->next;
  }
  if (globalInterfaceTable != nullptr) {
    globalInterfaceTable->Release();
    globalInterfaceTable = nullptr;
  }
  initMarker = 0;  // the lock itself goes with the module object
}

CBoardscopeModule::CBoardscopeModule() noexcept {
  CurrentModule = this;
  if (moduleLock.valid()) initMarker = 1;
  ObjectMapModule().ForEachEntry([](ObjectMapEntry& entry) {
    if (entry.objectMain != nullptr) entry.objectMain(true);
  });
}

CBoardscopeModule::~CBoardscopeModule() {
  ObjectMapModule().ForEachEntry([](ObjectMapEntry& entry) {
    if (entry.objectMain != nullptr) entry.objectMain(false);
  });
  Terminate();
}

}  // namespace boardscope
