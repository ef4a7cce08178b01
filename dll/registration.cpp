#include "dll/registration.h"

#include "Boardscope.h"
#include "contract/host_constants.h"
#include "platform/owners_win.h"
#include "server/module.h"
#include "server/object_map.h"
#include "server/self_registration.h"

namespace boardscope {

const wchar_t AppIdText[] = L"{10331898-2B6D-4459-8DC6-50DDFC2A1ED7}";

namespace {
// Creates or opens the host's plug-in key for writing.
bool OpenPluginKey(UniqueHkey& key) noexcept {
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPluginsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                         key.put(), nullptr) == ERROR_SUCCESS;
}

// The class identifier in registry text form: 38 characters.
void ClassIdText(wchar_t (&text)[39]) noexcept { StringFromGUID2(CLSID_ZEMBoardscope, text, 39); }

// Best effort, by design: the host's plug-in value never fails registration.
void RegisterPluginValue() noexcept {
  UniqueHkey key;
  if (!OpenPluginKey(key)) return;
  wchar_t classId[39];
  ClassIdText(classId);
  (void)RegSetValueExW(key.get(), kPluginValueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(classId),
                       sizeof classId);
}

void UnregisterPluginValue() noexcept {
  // Creates the key path when missing, as registration would.
  UniqueHkey key;
  if (!OpenPluginKey(key)) return;
  (void)RegDeleteValueW(key.get(), kPluginValueName);  // absent is as good as deleted
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
  UnregisterPluginValue();
  ScopedThreadLocale locale(LOCALE_SYSTEM_DEFAULT);
  HRESULT result = ObjectMapModule().UnregisterObjectMap(true);
  if (SUCCEEDED(result)) result = CurrentModule->UpdateAppIdRegistration(false);
  return result;
}

}  // namespace boardscope
