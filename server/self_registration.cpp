#include "server/self_registration.h"

#include <oleauto.h>

#include "Boardscope.h"
#include "registrar/reg_object.h"
#include "server/dispatch.h"
#include "server/errors.h"
#include "server/module.h"
#include "server/object_map.h"
#include "server/raii.h"
#include "server/resource_module.h"

namespace boardscope {

const wchar_t AppIdText[] = L"{10331898-2B6D-4459-8DC6-50DDFC2A1ED7}";

namespace {
constexpr UINT kAppIdScript = 101;
constexpr UINT kClassScript = 102;
constexpr wchar_t kPluginValueName[] = L"Boardscope-CLSID";

// Runs the module's own steps with the system default locale, so that the
// scripts are read in the system's ANSI code page; restores it on every path.
class SystemThreadLocale {
 public:
  SystemThreadLocale() noexcept : saved_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
  ~SystemThreadLocale() { SetThreadLocale(saved_); }
  SystemThreadLocale(const SystemThreadLocale&) = delete;
  SystemThreadLocale& operator=(const SystemThreadLocale&) = delete;

 private:
  LCID saved_;
};

// Creates or opens HKLM\SOFTWARE\Quendal\ZEM4\PLUGINS for writing.
bool OpenPluginKey(UniqueHkey& key) noexcept {
  wchar_t path[64];
  wsprintfW(path, L"SOFTWARE\\Quendal\\ZEM4\\%s", L"PLUGINS");
  return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                         key.put(), nullptr) == ERROR_SUCCESS;
}

HRESULT LoadOwnTypeLibrary(HINSTANCE module, UniqueBstr& path, ComPtr<ITypeLib>& library) noexcept {
  BSTR rawPath = nullptr;
  ITypeLib* rawLibrary = nullptr;
  const HRESULT result = LoadModuleTypeLibrary(module, &rawPath, &rawLibrary);
  path.reset(rawPath);
  library.reset(rawLibrary);
  return result;
}

// The class identifier in registry text form: 38 characters.
void ClassIdText(wchar_t (&text)[39]) noexcept { StringFromGUID2(CLSID_ZEMBoardscope, text, 39); }
}  // namespace

HRESULT CModuleBase::AddCommonSubstitutions(CRegObject& registrar) noexcept {
  return registrar.AddSubstitution(L"APPID", AppIdText);
}

HRESULT CBoardscopeModule::RunRegistryScript(UINT resourceId, bool doRegister,
                                             const wchar_t* const (*pairs)[2], int pairCount) noexcept {
  return GuardBoundary([&]() -> HRESULT {
    CRegObject registrar;
    for (int i = 0; i < pairCount; ++i) registrar.AddSubstitution(pairs[i][0], pairs[i][1]);
    HRESULT result = AddCommonSubstitutions(registrar);
    if (FAILED(result)) return result;

    wchar_t moduleName[MAX_PATH];
    const DWORD length = GetModuleFileNameW(ResourceModule().ModuleInstance(), moduleName, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length == MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);

    wchar_t escaped[MAX_PATH * 2];
    EscapeSingleQuotes(escaped, MAX_PATH * 2, moduleName);
    result = registrar.AddSubstitution(L"Module", escaped);
    if (FAILED(result)) return result;
    result = registrar.AddSubstitution(L"Module_Raw", escaped);
    if (FAILED(result)) return result;

    const auto id = static_cast<std::uint16_t>(resourceId);
    return doRegister ? registrar.RegisterScriptResource(moduleName, id, L"REGISTRY")
                      : registrar.UnregisterScriptResource(moduleName, id, L"REGISTRY");
  });
}

HRESULT CBoardscopeModule::UpdateAppIdRegistration(bool doRegister) noexcept {
  const wchar_t* const pairs[][2] = {{L"APPID", AppIdText}};
  return RunRegistryScript(kAppIdScript, doRegister, pairs, 1);
}

HRESULT UpdateZEMBoardscopeRegistry(bool doRegister) noexcept {
  return CurrentModule->RunRegistryScript(kClassScript, doRegister, nullptr, 0);
}

HRESULT CObjectMapModule::RegisterObjectMap(bool withTypeLibrary) noexcept {
  HRESULT result = S_OK;
  ForEachEntry([&](ObjectMapEntry& entry) {
    if (SUCCEEDED(result) && entry.updateRegistry != nullptr) result = entry.updateRegistry(true);
  });
  if (FAILED(result)) return result;
  return withTypeLibrary ? RegisterTypeLibrary(typeLibInstance) : S_OK;
}

HRESULT CObjectMapModule::UnregisterObjectMap(bool withTypeLibrary) noexcept {
  HRESULT result = S_OK;
  ForEachEntry([&](ObjectMapEntry& entry) {
    if (SUCCEEDED(result) && entry.updateRegistry != nullptr) result = entry.updateRegistry(false);
  });
  if (FAILED(result)) return result;
  return withTypeLibrary ? UnregisterTypeLibrary(typeLibInstance) : S_OK;
}

HRESULT RegisterTypeLibrary(HINSTANCE module) noexcept {
  UniqueBstr path;
  ComPtr<ITypeLib> library;
  const HRESULT result = LoadOwnTypeLibrary(module, path, library);
  if (FAILED(result)) return result;

  UniqueBstr helpFile;
  UniqueBstr helpDirectory;
  if (SUCCEEDED(library.get()->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) && helpFile) {
    // The help directory is the help file's path up to its last separator.
    UINT length = SysStringLen(helpFile.get());
    while (length > 0) {
      const wchar_t c = helpFile.get()[length - 1];
      if (c == L'\\' || c == L'/' || c == L':') break;
      --length;
    }
    if (length > 0) helpDirectory.reset(SysAllocStringLen(helpFile.get(), length));
  }
  return RegisterTypeLib(library.get(), path.get(), helpDirectory.get());
}

HRESULT UnregisterTypeLibrary(HINSTANCE module) noexcept {
  UniqueBstr path;
  ComPtr<ITypeLib> library;
  HRESULT result = LoadOwnTypeLibrary(module, path, library);
  if (FAILED(result)) return result;
  TLIBATTR* attributes = nullptr;
  result = library.get()->GetLibAttr(&attributes);
  if (FAILED(result)) return result;
  result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
  library.get()->ReleaseTLibAttr(attributes);
  return result;
}

HRESULT RegisterPluginValue() noexcept {
  UniqueHkey key;
  if (!OpenPluginKey(key)) return S_OK;
  wchar_t classId[39];
  ClassIdText(classId);
  RegSetValueExW(key.get(), kPluginValueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(classId),
                 sizeof classId);
  return S_OK;
}

HRESULT UnregisterPluginValue() noexcept {
  // Creates the key path when missing, as registration would.
  UniqueHkey key;
  if (!OpenPluginKey(key)) return S_OK;
  RegDeleteValueW(key.get(), kPluginValueName);
  return S_OK;
}

HRESULT RegisterServer() noexcept {
  HRESULT result;
  {
    SystemThreadLocale locale;
    result = CurrentModule->UpdateAppIdRegistration(true);
    if (SUCCEEDED(result)) result = ObjectMapModule().RegisterObjectMap(true);
  }
  RegisterPluginValue();
  return result;
}

HRESULT UnregisterServer() noexcept {
  UnregisterPluginValue();
  SystemThreadLocale locale;
  HRESULT result = ObjectMapModule().UnregisterObjectMap(true);
  if (SUCCEEDED(result)) result = CurrentModule->UpdateAppIdRegistration(false);
  return result;
}

}  // namespace boardscope
