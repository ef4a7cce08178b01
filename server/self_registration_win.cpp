#include "server/self_registration_win.h"

#include <oleauto.h>

#include "contract/resource_ids.h"
#include "registrar/reg_object.h"
#include "server/dispatch_win.h"
#include "server/com_exception_win.h"
#include "server/dll_module_win.h"
#include "server/object_map_win.h"
#include "platform/owners_win.h"
#include "server/resource_module_win.h"

namespace boardscope {

namespace {
constexpr UINT kAppIdScript = IDR_APPID_SCRIPT;

HRESULT LoadOwnTypeLibrary(HINSTANCE module, UniqueBstr& path, ComPtr<ITypeLib>& library) noexcept {
  BSTR rawPath = nullptr;
  ITypeLib* rawLibrary = nullptr;
  const HRESULT result = LoadModuleTypeLibrary(module, &rawPath, &rawLibrary);
  path.reset(rawPath);
  library.reset(rawLibrary);
  return result;
}
}  // namespace

HRESULT CModuleBase::AddCommonSubstitutions(CRegObject& registrar) noexcept {
  return registrar.AddSubstitution(L"APPID", AppIdText);
}

HRESULT CBoardscopeModule::RunRegistryScript(UINT resourceId, bool doRegister,
                                             const wchar_t* const (*pairs)[2], int pairCount) noexcept {
  return GuardBoundary([&]() -> HRESULT {
    CRegObject registrar;
    for (int i = 0; i < pairCount; ++i) RETURN_IF_FAILED(registrar.AddSubstitution(pairs[i][0], pairs[i][1]));
    RETURN_IF_FAILED(AddCommonSubstitutions(registrar));

    wchar_t moduleName[MAX_PATH];
    const DWORD length = GetModuleFileNameW(ResourceModule().ModuleInstance(), moduleName, MAX_PATH);
    if (length == 0) return HResultFromLastError();
    if (length == MAX_PATH) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);

    wchar_t escaped[MAX_PATH * 2];
    EscapeSingleQuotes(escaped, MAX_PATH * 2, moduleName);
    RETURN_IF_FAILED(registrar.AddSubstitution(L"Module", escaped));
    RETURN_IF_FAILED(registrar.AddSubstitution(L"Module_Raw", escaped));

    const auto id = static_cast<std::uint16_t>(resourceId);
    return doRegister ? registrar.RegisterScriptResource(moduleName, id, L"REGISTRY")
                      : registrar.UnregisterScriptResource(moduleName, id, L"REGISTRY");
  });
}

HRESULT CBoardscopeModule::UpdateAppIdRegistration(bool doRegister) noexcept {
  const wchar_t* const pairs[][2] = {{L"APPID", AppIdText}};
  return RunRegistryScript(kAppIdScript, doRegister, pairs, 1);
}

// Each class's script in map order, stopping at the first failure.
HRESULT CObjectMapModule::UpdateEntries(bool doRegister) noexcept {
  HRESULT result = S_OK;
  ForEachEntry([&](ObjectMapEntry& entry) {
    if (SUCCEEDED(result) && entry.updateRegistry != nullptr) result = entry.updateRegistry(doRegister);
  });
  return result;
}

HRESULT CObjectMapModule::RegisterObjectMap(bool withTypeLibrary) noexcept {
  RETURN_IF_FAILED(UpdateEntries(true));
  return withTypeLibrary ? RegisterTypeLibrary(typeLibInstance) : S_OK;
}

HRESULT CObjectMapModule::UnregisterObjectMap(bool withTypeLibrary) noexcept {
  RETURN_IF_FAILED(UpdateEntries(false));
  return withTypeLibrary ? UnregisterTypeLibrary(typeLibInstance) : S_OK;
}

HRESULT RegisterTypeLibrary(HINSTANCE module) noexcept {
  UniqueBstr path;
  ComPtr<ITypeLib> library;
  RETURN_IF_FAILED(LoadOwnTypeLibrary(module, path, library));

  UniqueBstr helpFile;
  UniqueBstr helpDirectory;
  if (SUCCEEDED(library->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) && helpFile) {
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
  RETURN_IF_FAILED(LoadOwnTypeLibrary(module, path, library));
  TLIBATTR* attributes = nullptr;
  RETURN_IF_FAILED(library->GetLibAttr(&attributes));
  const TLIBATTR held = *attributes;  // a copy, so the library's is given back at once
  library->ReleaseTLibAttr(attributes);
  return UnRegisterTypeLib(held.guid, held.wMajorVerNum, held.wMinorVerNum, held.lcid, held.syskind);
}

}  // namespace boardscope
