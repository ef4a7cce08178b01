#include "server/dll_module_win.h"

#include <new>

#include "server/com_exception_win.h"
#include "server/object_map_win.h"
#include "platform/owners_win.h"

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
  auto* node = new (std::nothrow) TermCallbackNode{callback, argument, nullptr};
  if (node == nullptr) return E_OUTOFMEMORY;
  ScopedCriticalSection lock(moduleLock);
  node->next = termCallbacks;
  termCallbacks = node;
  return S_OK;
}

void CModuleBase::Terminate() noexcept {
  if (initMarker == 0) return;
  for (TermCallbackNode* node = termCallbacks; node != nullptr;) {
    node->callback(node->argument);
    TermCallbackNode* next = node->next;
    delete node;
    node = next;
  }
  termCallbacks = nullptr;
  if (globalInterfaceTable != nullptr) {
    globalInterfaceTable->Release();
    globalInterfaceTable = nullptr;
  }
  DeleteCriticalSection(&moduleLock);
  initMarker = 0;
}

CBoardscopeModule::CBoardscopeModule() noexcept {
  CurrentModule = this;
  if (SUCCEEDED(InitLock(moduleLock))) {
    initMarker = 1;
  } else {
    InitFailed = true;
  }
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
