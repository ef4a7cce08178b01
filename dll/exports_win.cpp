// The DLL's entry routine and exports.
#include <windows.h>

#include "component/thermal_zones_win.h"
#include "dll/registration_win.h"
#include "server/com_exception_win.h"
#include "server/dll_module_win.h"
#include "server/object_map_win.h"

using namespace boardscope;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // Every lock of the module objects and the thermal table must be usable.
  if (reason == DLL_PROCESS_ATTACH) return InitFailed || !ThermalZoneLockReady() ? FALSE : TRUE;
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
