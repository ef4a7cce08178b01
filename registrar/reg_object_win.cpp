// Script resources: a REGISTRY resource of a module file, loaded as data,
// converted from the thread's ANSI code page and run.
#include <windows.h>

#include <memory>
#include <new>

#include "platform/errors_win.h"
#include "platform/owners_win.h"
#include "registrar/reg_object.h"

namespace boardscope {

CRegObject::CRegObject() : CRegObject(Win32Registry(), &DwordFromVariantText) {}

HResult CRegObject::RegisterScriptResource(const wchar_t* moduleFile, std::uint16_t resourceId,
                                           const wchar_t* type) {
  return RunScriptResource(moduleFile, MAKEINTRESOURCEW(resourceId), type, true);
}

HResult CRegObject::UnregisterScriptResource(const wchar_t* moduleFile, std::uint16_t resourceId,
                                             const wchar_t* type) {
  return RunScriptResource(moduleFile, MAKEINTRESOURCEW(resourceId), type, false);
}

HResult CRegObject::RunScriptResource(const wchar_t* moduleFile, const wchar_t* resourceName,
                                      const wchar_t* type, bool registerMode) {
  // As data only: none of the module's code runs.
  const UniqueLibrary module(LoadLibraryExW(moduleFile, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  RETURN_LAST_ERROR_IF(!module);
  HRSRC resource = FindResourceW(module.get(), resourceName, type);
  RETURN_LAST_ERROR_IF(resource == nullptr);
  HGLOBAL loaded = LoadResource(module.get(), resource);
  RETURN_LAST_ERROR_IF(loaded == nullptr);
  const DWORD bytes = SizeofResource(module.get(), resource);
  const auto* data = static_cast<const char*>(LockResource(loaded));
  RETURN_LAST_ERROR_IF(data == nullptr);
  std::unique_ptr<wchar_t[]> text(new (std::nothrow) wchar_t[static_cast<std::size_t>(bytes) + 1]);
  if (!text) return hr::OutOfMemory;
  const int converted = MultiByteToWideChar(CP_THREAD_ACP, 0, data, static_cast<int>(bytes), text.get(),
                                            static_cast<int>(bytes));
  RETURN_LAST_ERROR_IF(converted == 0);
  // A NUL inside the resource ends the script there.
  text[converted] = 0;
  return RunScriptText(reinterpret_cast<const Char16*>(text.get()), registerMode);
}

}  // namespace boardscope
