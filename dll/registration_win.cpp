#include "dll/registration_win.h"

#include "Boardscope.h"
#include "contract/host_constants_win.h"
#include "platform/owners_win.h"
#include "registrar/plugin_value.h"
#include "registrar/reg_object.h"
#include "server/dll_module_win.h"
#include "server/object_map_win.h"
#include "server/self_registration_win.h"

namespace boardscope {

const wchar_t AppIdText[] = L"{10331898-2B6D-4459-8DC6-50DDFC2A1ED7}";

namespace {
const Char16* Units(const wchar_t* text) noexcept { return reinterpret_cast<const Char16*>(text); }

// Best effort, by design: the host's plug-in value never fails registration.
void RegisterPluginValue() noexcept {
  wchar_t classId[39];  // registry text form: 38 characters
  StringFromGUID2(CLSID_ZEMBoardscope, classId, 39);
  WritePluginValue(Win32Registry(), Units(kPluginsKeyPath), Units(kPluginValueName), Units(classId));
}
}  // namespace

// The module's own steps run with the system default locale, so that the
// scripts are read in the system's ANSI code page.
HRESULT RegisterServer() noexcept {
  HRESULT result;
  {
    ScopedThreadLocale locale(LOCALE_SYSTEM_DEFAULT);
    result = CurrentModule->UpdateAppIdRegistration(true);
    if (SUCCEEDED(result)) result = ObjectMapModule().RegisterObjectMap(true);
  }
  RegisterPluginValue();
  return result;
}

HRESULT UnregisterServer() noexcept {
  RemovePluginValue(Win32Registry(), Units(kPluginsKeyPath), Units(kPluginValueName));
  ScopedThreadLocale locale(LOCALE_SYSTEM_DEFAULT);
  HRESULT result = ObjectMapModule().UnregisterObjectMap(true);
  if (SUCCEEDED(result)) result = CurrentModule->UpdateAppIdRegistration(false);
  return result;
}

}  // namespace boardscope
