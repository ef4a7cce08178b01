// The DLL's entry routine and exports.
#include <windows.h>

#include "server/errors.h"
#include "server/module.h"
#include "server/object_map.h"
#include "server/self_registration.h"

using namespace boardscope;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) return InitFailed ? FALSE : TRUE;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return GuardBoundary([&] { return ObjectMapModule().GetClassObject(clsid, iid, out); });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return CurrentModule->GetLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return GuardBoundary([] { return RegisterServer(); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return GuardBoundary([] { return UnregisterServer(); });
}
