// Makes every allocation, registry, WMI and resource call of the shipped
// Boardscope.dll fail in turn. The DLL is loaded afresh for each run and its
// import address table pointed at counting wrappers; the Nth wrapped call of
// a run fails the way the real function fails. After each run: no crash, a
// failure HRESULT or the documented sound answer, nothing left allocated or
// open once the DLL is unloaded, the registry in a state the failing step
// allows, and the same run without a fault succeeds.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "contract/host_constants_win.h"
#include "platform/owners_win.h"
#include "tools/wmi_double/wmi_double_win.h"

namespace boardscope {
namespace {

constexpr LCID kEnglishUs = 0x409;

// --- what the wrappers count and hold ---------------------------------------

struct Faults {
  bool armed = false;  // only calls inside a run's window count and can fail
  long calls = 0;
  long failAt = 0;     // 1-based; 0 never
  std::string failedCall;
  std::set<void*> heap, task, bstr;  // live blocks the DLL allocated while hooked
  std::set<HKEY> keys;
  std::set<HANDLE> wmiBlocks;
  std::map<std::string, long> perFunction;

  bool Fail(const char* function) {
    if (!armed) return false;
    ++calls;
    ++perFunction[function];
    if (calls != failAt) return false;
    failedCall = function;
    return true;
  }
  std::size_t Live() const { return heap.size() + task.size() + bstr.size() + keys.size() + wmiBlocks.size(); }
};
Faults faults;

// The real functions, read from the import table before it is patched.
struct Real {
  void* (__cdecl* malloc)(size_t);
  void* (__cdecl* calloc)(size_t, size_t);
  void* (__cdecl* realloc)(void*, size_t);
  void(__cdecl* free)(void*);
  LPVOID(WINAPI* CoTaskMemAlloc)(SIZE_T);
  LPVOID(WINAPI* CoTaskMemRealloc)(LPVOID, SIZE_T);
  void(WINAPI* CoTaskMemFree)(LPVOID);
  BSTR(WINAPI* SysAllocString)(const OLECHAR*);
  BSTR(WINAPI* SysAllocStringLen)(const OLECHAR*, UINT);
  BSTR(WINAPI* SysAllocStringByteLen)(LPCSTR, UINT);
  void(WINAPI* SysFreeString)(BSTR);
  LSTATUS(WINAPI* RegCloseKey)(HKEY);
  LSTATUS(WINAPI* RegCreateKeyExW)(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, const SECURITY_ATTRIBUTES*, PHKEY,
                                   LPDWORD);
  LSTATUS(WINAPI* RegDeleteKeyW)(HKEY, LPCWSTR);
  LSTATUS(WINAPI* RegDeleteKeyExW)(HKEY, LPCWSTR, REGSAM, DWORD);
  LSTATUS(WINAPI* RegDeleteValueW)(HKEY, LPCWSTR);
  LSTATUS(WINAPI* RegEnumKeyExW)(HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME);
  LSTATUS(WINAPI* RegOpenKeyExW)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
  LSTATUS(WINAPI* RegQueryInfoKeyW)(HKEY, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                    LPDWORD, LPDWORD, PFILETIME);
  LSTATUS(WINAPI* RegQueryValueExW)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
  LSTATUS(WINAPI* RegSetValueExW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  ULONG(WINAPI* WmiOpenBlock)(GUID*, ULONG, HANDLE*);
  ULONG(WINAPI* WmiQueryAllDataW)(HANDLE, ULONG*, void*);
  ULONG(WINAPI* WmiCloseBlock)(HANDLE);
  HRSRC(WINAPI* FindResourceW)(HMODULE, LPCWSTR, LPCWSTR);
  HGLOBAL(WINAPI* LoadResource)(HMODULE, HRSRC);
  FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR);
  HRESULT(WINAPI* LoadRegTypeLib)(REFGUID, WORD, WORD, LCID, ITypeLib**);
  HRESULT(WINAPI* LoadTypeLib)(LPCOLESTR, ITypeLib**);
  HRESULT(WINAPI* RegisterTypeLib)(ITypeLib*, LPCOLESTR, LPCOLESTR);
  HRESULT(WINAPI* UnRegisterTypeLib)(REFGUID, WORD, WORD, LCID, SYSKIND);
};
Real real;

void Track(std::set<void*>& live, void* block) {
  if (block != nullptr) live.insert(block);
}

// --- the wrappers: each failure as the real function reports it ------------

void* __cdecl HookMalloc(size_t size) {
  if (faults.Fail("malloc")) {
    errno = ENOMEM;
    return nullptr;
  }
  void* block = real.malloc(size);
  Track(faults.heap, block);
  return block;
}
void* __cdecl HookCalloc(size_t count, size_t size) {
  if (faults.Fail("calloc")) {
    errno = ENOMEM;
    return nullptr;
  }
  void* block = real.calloc(count, size);
  Track(faults.heap, block);
  return block;
}
void* __cdecl HookRealloc(void* old, size_t size) {
  if (faults.Fail("realloc")) {
    errno = ENOMEM;
    return nullptr;  // the old block stays
  }
  const bool tracked = old == nullptr || faults.heap.erase(old) == 1;
  void* block = real.realloc(old, size);
  if (block == nullptr && old != nullptr && size != 0 && tracked) faults.heap.insert(old);
  if (tracked) Track(faults.heap, block);
  return block;
}
void __cdecl HookFree(void* block) {
  faults.heap.erase(block);
  real.free(block);
}
LPVOID WINAPI HookCoTaskMemAlloc(SIZE_T size) {
  if (faults.Fail("CoTaskMemAlloc")) return nullptr;
  void* block = real.CoTaskMemAlloc(size);
  Track(faults.task, block);
  return block;
}
LPVOID WINAPI HookCoTaskMemRealloc(LPVOID old, SIZE_T size) {
  if (faults.Fail("CoTaskMemRealloc")) return nullptr;
  faults.task.erase(old);
  void* block = real.CoTaskMemRealloc(old, size);
  if (block == nullptr && old != nullptr && size != 0) faults.task.insert(old);
  Track(faults.task, block);
  return block;
}
void WINAPI HookCoTaskMemFree(LPVOID block) {
  faults.task.erase(block);
  real.CoTaskMemFree(block);
}
BSTR WINAPI HookSysAllocString(const OLECHAR* text) {
  if (faults.Fail("SysAllocString")) return nullptr;
  BSTR s = real.SysAllocString(text);
  Track(faults.bstr, s);
  return s;
}
BSTR WINAPI HookSysAllocStringLen(const OLECHAR* text, UINT length) {
  if (faults.Fail("SysAllocStringLen")) return nullptr;
  BSTR s = real.SysAllocStringLen(text, length);
  Track(faults.bstr, s);
  return s;
}
BSTR WINAPI HookSysAllocStringByteLen(LPCSTR text, UINT length) {
  if (faults.Fail("SysAllocStringByteLen")) return nullptr;
  BSTR s = real.SysAllocStringByteLen(text, length);
  Track(faults.bstr, s);
  return s;
}
void WINAPI HookSysFreeString(BSTR s) {
  faults.bstr.erase(s);
  real.SysFreeString(s);
}

LSTATUS WINAPI HookRegCloseKey(HKEY key) {
  faults.keys.erase(key);
  const LSTATUS result = real.RegCloseKey(key);
  // A failing close has nothing left open to leak.
  return faults.Fail("RegCloseKey") ? ERROR_INVALID_HANDLE : result;
}
LSTATUS WINAPI HookRegCreateKeyExW(HKEY parent, LPCWSTR name, DWORD reserved, LPWSTR keyClass, DWORD options,
                                   REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY key,
                                   LPDWORD disposition) {
  if (faults.Fail("RegCreateKeyExW")) return ERROR_ACCESS_DENIED;
  const LSTATUS result =
      real.RegCreateKeyExW(parent, name, reserved, keyClass, options, access, security, key, disposition);
  if (result == ERROR_SUCCESS) faults.keys.insert(*key);
  return result;
}
LSTATUS WINAPI HookRegOpenKeyExW(HKEY parent, LPCWSTR name, DWORD options, REGSAM access, PHKEY key) {
  if (faults.Fail("RegOpenKeyExW")) return ERROR_ACCESS_DENIED;
  const LSTATUS result = real.RegOpenKeyExW(parent, name, options, access, key);
  if (result == ERROR_SUCCESS) faults.keys.insert(*key);
  return result;
}
LSTATUS WINAPI HookRegDeleteKeyW(HKEY key, LPCWSTR name) {
  return faults.Fail("RegDeleteKeyW") ? ERROR_ACCESS_DENIED : real.RegDeleteKeyW(key, name);
}
LSTATUS WINAPI HookRegDeleteKeyExW(HKEY key, LPCWSTR name, REGSAM view, DWORD reserved) {
  return faults.Fail("RegDeleteKeyExW") ? ERROR_ACCESS_DENIED : real.RegDeleteKeyExW(key, name, view, reserved);
}
LSTATUS WINAPI HookRegDeleteValueW(HKEY key, LPCWSTR name) {
  return faults.Fail("RegDeleteValueW") ? ERROR_ACCESS_DENIED : real.RegDeleteValueW(key, name);
}
LSTATUS WINAPI HookRegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
                                 LPWSTR keyClass, LPDWORD classLength, PFILETIME written) {
  if (faults.Fail("RegEnumKeyExW")) return ERROR_ACCESS_DENIED;
  return real.RegEnumKeyExW(key, index, name, length, reserved, keyClass, classLength, written);
}
LSTATUS WINAPI HookRegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved,
                                    LPDWORD subkeys, LPDWORD maxSubkey, LPDWORD maxClass, LPDWORD values,
                                    LPDWORD maxValueName, LPDWORD maxValue, LPDWORD security, PFILETIME written) {
  if (faults.Fail("RegQueryInfoKeyW")) return ERROR_OUTOFMEMORY;
  return real.RegQueryInfoKeyW(key, keyClass, classLength, reserved, subkeys, maxSubkey, maxClass, values,
                               maxValueName, maxValue, security, written);
}
LSTATUS WINAPI HookRegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                    LPDWORD size) {
  if (faults.Fail("RegQueryValueExW")) return ERROR_ACCESS_DENIED;
  return real.RegQueryValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI HookRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                  DWORD size) {
  if (faults.Fail("RegSetValueExW")) return ERROR_ACCESS_DENIED;
  return real.RegSetValueExW(key, name, reserved, type, data, size);
}

ULONG WINAPI HookWmiOpenBlock(GUID* guid, ULONG access, HANDLE* block) {
  if (faults.Fail("WmiOpenBlock")) return ERROR_ACCESS_DENIED;
  const ULONG result = real.WmiOpenBlock(guid, access, block);
  if (result == ERROR_SUCCESS && block != nullptr && *block != nullptr) faults.wmiBlocks.insert(*block);
  return result;
}
ULONG WINAPI HookWmiQueryAllDataW(HANDLE block, ULONG* size, void* buffer) {
  if (faults.Fail("WmiQueryAllDataW")) return ERROR_OUTOFMEMORY;
  return real.WmiQueryAllDataW(block, size, buffer);
}
ULONG WINAPI HookWmiCloseBlock(HANDLE block) {
  faults.wmiBlocks.erase(block);
  const ULONG result = real.WmiCloseBlock(block);
  return faults.Fail("WmiCloseBlock") ? ERROR_INVALID_HANDLE : result;
}

HRSRC WINAPI HookFindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (faults.Fail("FindResourceW")) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return real.FindResourceW(module, name, type);
}
HGLOBAL WINAPI HookLoadResource(HMODULE module, HRSRC resource) {
  if (faults.Fail("LoadResource")) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return real.LoadResource(module, resource);
}

// The type-library calls allocate and reach the registry inside oleaut32,
// out of this program's sight: each fails whole instead.
HRESULT WINAPI HookLoadRegTypeLib(REFGUID library, WORD major, WORD minor, LCID locale, ITypeLib** out) {
  if (faults.Fail("LoadRegTypeLib")) return E_OUTOFMEMORY;
  return real.LoadRegTypeLib(library, major, minor, locale, out);
}
HRESULT WINAPI HookLoadTypeLib(LPCOLESTR file, ITypeLib** out) {
  if (faults.Fail("LoadTypeLib")) return E_OUTOFMEMORY;
  return real.LoadTypeLib(file, out);
}
HRESULT WINAPI HookRegisterTypeLib(ITypeLib* library, LPCOLESTR path, LPCOLESTR helpDirectory) {
  if (faults.Fail("RegisterTypeLib")) return TYPE_E_REGISTRYACCESS;
  return real.RegisterTypeLib(library, path, helpDirectory);
}
HRESULT WINAPI HookUnRegisterTypeLib(REFGUID library, WORD major, WORD minor, LCID locale, SYSKIND kind) {
  if (faults.Fail("UnRegisterTypeLib")) return TYPE_E_REGISTRYACCESS;
  return real.UnRegisterTypeLib(library, major, minor, locale, kind);
}

// RegDeleteKeyExW is looked up at run time, not imported: the lookup hands
// out its wrapper.
FARPROC WINAPI HookGetProcAddress(HMODULE module, LPCSTR name) {
  FARPROC found = real.GetProcAddress(module, name);
  if (found != nullptr && HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && std::strcmp(name, "RegDeleteKeyExW") == 0) {
    real.RegDeleteKeyExW = reinterpret_cast<decltype(real.RegDeleteKeyExW)>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&HookRegDeleteKeyExW));
  }
  return found;
}

// --- import table patching ---------------------------------------------------

struct Hook {
  const char* library;
  const char* name;
  void* replacement;
  void** real;
};

template <typename F>
void** RealSlot(F*& field) {
  return reinterpret_cast<void**>(&field);
}

std::vector<Hook> Hooks() {
  auto fn = [](auto* f) { return reinterpret_cast<void*>(f); };
  return {
      {"msvcrt.dll", "malloc", fn(&HookMalloc), RealSlot(real.malloc)},
      {"msvcrt.dll", "calloc", fn(&HookCalloc), RealSlot(real.calloc)},
      {"msvcrt.dll", "realloc", fn(&HookRealloc), RealSlot(real.realloc)},
      {"msvcrt.dll", "free", fn(&HookFree), RealSlot(real.free)},
      {"ole32.dll", "CoTaskMemAlloc", fn(&HookCoTaskMemAlloc), RealSlot(real.CoTaskMemAlloc)},
      {"ole32.dll", "CoTaskMemRealloc", fn(&HookCoTaskMemRealloc), RealSlot(real.CoTaskMemRealloc)},
      {"ole32.dll", "CoTaskMemFree", fn(&HookCoTaskMemFree), RealSlot(real.CoTaskMemFree)},
      {"oleaut32.dll", "SysAllocString", fn(&HookSysAllocString), RealSlot(real.SysAllocString)},
      {"oleaut32.dll", "SysAllocStringLen", fn(&HookSysAllocStringLen), RealSlot(real.SysAllocStringLen)},
      {"oleaut32.dll", "SysAllocStringByteLen", fn(&HookSysAllocStringByteLen), RealSlot(real.SysAllocStringByteLen)},
      {"oleaut32.dll", "SysFreeString", fn(&HookSysFreeString), RealSlot(real.SysFreeString)},
      {"advapi32.dll", "RegCloseKey", fn(&HookRegCloseKey), RealSlot(real.RegCloseKey)},
      {"advapi32.dll", "RegCreateKeyExW", fn(&HookRegCreateKeyExW), RealSlot(real.RegCreateKeyExW)},
      {"advapi32.dll", "RegDeleteKeyW", fn(&HookRegDeleteKeyW), RealSlot(real.RegDeleteKeyW)},
      {"advapi32.dll", "RegDeleteValueW", fn(&HookRegDeleteValueW), RealSlot(real.RegDeleteValueW)},
      {"advapi32.dll", "RegEnumKeyExW", fn(&HookRegEnumKeyExW), RealSlot(real.RegEnumKeyExW)},
      {"advapi32.dll", "RegOpenKeyExW", fn(&HookRegOpenKeyExW), RealSlot(real.RegOpenKeyExW)},
      {"advapi32.dll", "RegQueryInfoKeyW", fn(&HookRegQueryInfoKeyW), RealSlot(real.RegQueryInfoKeyW)},
      {"advapi32.dll", "RegQueryValueExW", fn(&HookRegQueryValueExW), RealSlot(real.RegQueryValueExW)},
      {"advapi32.dll", "RegSetValueExW", fn(&HookRegSetValueExW), RealSlot(real.RegSetValueExW)},
      {"wmi.dll", "WmiOpenBlock", fn(&HookWmiOpenBlock), RealSlot(real.WmiOpenBlock)},
      {"wmi.dll", "WmiQueryAllDataW", fn(&HookWmiQueryAllDataW), RealSlot(real.WmiQueryAllDataW)},
      {"wmi.dll", "WmiCloseBlock", fn(&HookWmiCloseBlock), RealSlot(real.WmiCloseBlock)},
      {"kernel32.dll", "FindResourceW", fn(&HookFindResourceW), RealSlot(real.FindResourceW)},
      {"kernel32.dll", "LoadResource", fn(&HookLoadResource), RealSlot(real.LoadResource)},
      {"kernel32.dll", "GetProcAddress", fn(&HookGetProcAddress), RealSlot(real.GetProcAddress)},
      {"oleaut32.dll", "LoadRegTypeLib", fn(&HookLoadRegTypeLib), RealSlot(real.LoadRegTypeLib)},
      {"oleaut32.dll", "LoadTypeLib", fn(&HookLoadTypeLib), RealSlot(real.LoadTypeLib)},
      {"oleaut32.dll", "RegisterTypeLib", fn(&HookRegisterTypeLib), RealSlot(real.RegisterTypeLib)},
      {"oleaut32.dll", "UnRegisterTypeLib", fn(&HookUnRegisterTypeLib), RealSlot(real.UnRegisterTypeLib)},
  };
}

// The import-address slot of library!name in module, or null.
void** ImportSlot(HMODULE module, const char* library, const char* name) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), library) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                                    : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

// Points every import the DLL has among the hooks at its wrapper; returns
// the names found.
std::vector<std::string> PatchImports(HMODULE module) {
  std::vector<std::string> patched;
  for (const Hook& hook : Hooks()) {
    void** slot = ImportSlot(module, hook.library, hook.name);
    if (slot == nullptr) continue;
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *hook.real = *slot;
    *slot = hook.replacement;
    VirtualProtect(slot, sizeof *slot, old, &old);
    patched.push_back(hook.name);
  }
  return patched;
}

// --- the DLL, and the host memory this program frees ----------------------

struct Exports {
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**);
  HRESULT(STDAPICALLTYPE* canUnloadNow)();
  HRESULT(STDAPICALLTYPE* registerServer)();
  HRESULT(STDAPICALLTYPE* unregisterServer)();
};

Exports Find(HMODULE module) {
  auto proc = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); };
  Exports e;
  e.getClassObject = reinterpret_cast<decltype(e.getClassObject)>(proc("DllGetClassObject"));
  e.canUnloadNow = reinterpret_cast<decltype(e.canUnloadNow)>(proc("DllCanUnloadNow"));
  e.registerServer = reinterpret_cast<decltype(e.registerServer)>(proc("DllRegisterServer"));
  e.unregisterServer = reinterpret_cast<decltype(e.unregisterServer)>(proc("DllUnregisterServer"));
  return e;
}

void FreeHostString(BSTR& s) {
  faults.bstr.erase(s);
  SysFreeString(s);
  s = nullptr;
}

void FreeEntries(_ZEM_INFO_ENTRY* entries, ULONG count) {
  if (entries == nullptr) return;
  for (ULONG i = 0; i < count; ++i) {
    FreeHostString(entries[i].Name);
    FreeHostString(entries[i].Unit);
    FreeHostString(entries[i].StrValue);
  }
  faults.task.erase(entries);
  CoTaskMemFree(entries);
}

// --- registry states -----------------------------------------------------

std::wstring GuidText(REFGUID guid) {
  wchar_t text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

// Every key and value below root\path, one line each, or "" when absent.
void Export(HKEY root, const std::wstring& path, std::wstring& out) {
  UniqueHkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  out += L"[" + path + L"]\n";
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    BYTE data[4096];
    DWORD size = sizeof data, type = 0;
    if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    out += L"\"" + std::wstring(name) + L"\" " + std::to_wstring(type) + L" ";
    for (DWORD b = 0; b < size; ++b) out += L"0123456789ABCDEF"[data[b] >> 4], out += L"0123456789ABCDEF"[data[b] & 15];
    out += L"\n";
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  for (const std::wstring& name : names) Export(root, path + L"\\" + name, out);
}

// The four things registration writes, in the order registration writes them.
enum Part { kAppId, kClass, kTypeLib, kPlugin, kPartCount };
const char* const kPartNames[] = {"application identifier", "class", "type library", "plug-in value"};

std::wstring ExportPart(Part part) {
  std::wstring out;
  switch (part) {
    case kAppId:
      Export(HKEY_CLASSES_ROOT, L"AppID\\{10331898-2B6D-4459-8DC6-50DDFC2A1ED7}", out);
      Export(HKEY_CLASSES_ROOT, L"AppID\\Boardscope.DLL", out);
      break;
    case kClass:
      Export(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope.1", out);
      Export(HKEY_CLASSES_ROOT, L"Boardscope.ZEMBoardscope", out);
      Export(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(CLSID_ZEMBoardscope), out);
      break;
    case kTypeLib:
      Export(HKEY_CLASSES_ROOT, L"TypeLib\\" + GuidText(LIBID_BoardscopeLib), out);
      for (REFIID iid : {IID_IZEMBoardscope, IID_IZEMComponent, IID_IZEMInfo})
        Export(HKEY_CLASSES_ROOT, L"Interface\\" + GuidText(iid), out);
      break;
    default: {
      UniqueHkey key;
      if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPluginsKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        out = L"<no PLUGINS key>";
        break;
      }
      wchar_t data[64] = {};
      DWORD size = sizeof data - sizeof(wchar_t), type = 0;
      if (RegQueryValueExW(key.get(), kPluginValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
          ERROR_SUCCESS)
        out = std::to_wstring(type) + L" " + std::to_wstring(size) + L" " + data;
      break;
    }
  }
  return out;
}

enum State { kAbsent, kWhole, kPartial };
const char* const kStateNames[] = {"absent", "whole", "partial"};

struct Registry {
  std::wstring whole[kPartCount];  // as a fault-free registration leaves them
  std::wstring absent[kPartCount];

  State Of(Part part, std::wstring* lines = nullptr) const {
    const std::wstring now = ExportPart(part);
    if (lines) *lines = now;
    if (now == absent[part]) return kAbsent;
    return now == whole[part] ? kWhole : kPartial;
  }
};

// Every line of `part` is one of `whole`: an unregistration cut short
// removes, it never changes or adds.
bool LinesWithin(const std::wstring& part, const std::wstring& whole) {
  std::set<std::wstring> allowed;
  for (std::size_t at = 0, end; at < whole.size(); at = end + 1) {
    end = whole.find(L'\n', at);
    if (end == std::wstring::npos) end = whole.size();
    allowed.insert(whole.substr(at, end - at));
  }
  for (std::size_t at = 0, end; at < part.size(); at = end + 1) {
    end = part.find(L'\n', at);
    if (end == std::wstring::npos) end = part.size();
    if (!allowed.count(part.substr(at, end - at))) return false;
  }
  return true;
}

// --- one run -----------------------------------------------------------

// What a scenario reports: its result, and whether that result is one the
// entry point may give.
struct Outcome {
  HRESULT result = S_OK;
  bool allowed = true;
  std::string why;
};

// A scenario gets the freshly loaded, patched DLL; it arms the faults around
// the calls under test itself, and releases everything it got before it
// returns.
using Scenario = std::function<Outcome(const Exports&)>;

struct RunReport {
  long calls = 0;
  std::string failedCall;
  std::map<std::string, long> perFunction;
  Outcome outcome;
  bool unloadable = false;
  bool unloaded = false;
  std::size_t live = 0;
  LCID localeAfter = 0;
};

RunReport RunOnce(const Scenario& scenario, long failAt) {
  RunReport run;
  const LCID locale = GetThreadLocale();
  HMODULE module = LoadLibraryW(L"Boardscope.dll");
  if (module == nullptr) {
    run.outcome = {E_FAIL, false, "the DLL did not load"};
    return run;
  }
  faults = Faults();
  faults.failAt = failAt;
  PatchImports(module);
  const Exports dll = Find(module);
  run.outcome = scenario(dll);
  faults.armed = false;
  run.calls = faults.calls;
  run.failedCall = faults.failedCall;
  run.perFunction = faults.perFunction;
  run.unloadable = dll.canUnloadNow() == S_OK;
  run.localeAfter = GetThreadLocale();
  SetThreadLocale(locale);
  FreeLibrary(module);
  run.unloaded = GetModuleHandleW(L"Boardscope.dll") == nullptr;
  run.live = faults.Live();
  return run;
}

std::string Describe(const RunReport& run) {
  return "failed call: " + run.failedCall + ", result 0x" +
         [](HRESULT hr) {
           char text[16];
           std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(hr));
           return std::string(text);
         }(run.outcome.result) +
         (run.outcome.why.empty() ? "" : ", " + run.outcome.why);
}

// Runs once to count the wrapped calls, then once per call with that call
// failing, each followed by the same run without a fault. `check` adds the
// entry point's own checks after a faulted run (the registry, mostly).
long Sweep(const char* entryPoint, const Scenario& scenario,
           const std::function<void(const RunReport&)>& check = nullptr) {
  const RunReport counted = RunOnce(scenario, 0);
  EXPECT_TRUE(counted.outcome.allowed && SUCCEEDED(counted.outcome.result)) << entryPoint << ": " << Describe(counted);
  EXPECT_EQ(counted.live, 0u) << entryPoint << " leaks without a fault";
  for (long n = 1; n <= counted.calls; ++n) {
    const RunReport run = RunOnce(scenario, n);
    SCOPED_TRACE(std::string(entryPoint) + ", fault point " + std::to_string(n) + " of " +
                 std::to_string(counted.calls) + ", " + Describe(run));
    EXPECT_EQ(run.failedCall.empty(), false) << "the run made fewer calls than the counted one";
    EXPECT_TRUE(run.outcome.allowed);
    EXPECT_TRUE(run.unloadable) << "a module lock is still held";
    EXPECT_TRUE(run.unloaded) << "the DLL stayed loaded";
    EXPECT_EQ(run.live, 0u) << "blocks, strings, keys or WMI blocks left behind";
    EXPECT_EQ(run.localeAfter, GetThreadLocale()) << "the thread locale was not restored";
    if (check) check(run);
    const RunReport again = RunOnce(scenario, 0);
    EXPECT_TRUE(again.outcome.allowed && SUCCEEDED(again.outcome.result)) << "the next run: " << Describe(again);
    EXPECT_EQ(again.live, 0u) << "the next run leaks";
    if (::testing::Test::HasFailure()) break;  // one fault point's findings at a time
  }
  std::string perFunction;
  for (const auto& [name, calls] : counted.perFunction) perFunction += " " + name + " " + std::to_string(calls);
  std::printf("[ sweep    ] %-34s %4ld fault points:%s\n", entryPoint, counted.calls, perFunction.c_str());
  std::fflush(stdout);
  return counted.calls;
}

// --- the entry points ----------------------------------------------------

Outcome Expect(bool allowed, HRESULT result, const std::string& why = "") { return {result, allowed, why}; }

class FaultSweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wmi_ = WmiDoubleControl::Find();  // this program's own reference keeps the double's data
    HMODULE module = LoadLibraryW(L"Boardscope.dll");
    ASSERT_NE(module, nullptr);
    const Exports dll = Find(module);
    // Registry parts as a fault-free unregistration and registration leave
    // them. Registering first makes the unregistration whole, whatever an
    // earlier program left (a registration made elsewhere, or half of one).
    ASSERT_EQ(dll.registerServer(), S_OK);
    ASSERT_EQ(dll.unregisterServer(), S_OK);
    for (int p = 0; p < kPartCount; ++p) registry_.absent[p] = ExportPart(static_cast<Part>(p));
    ASSERT_EQ(dll.registerServer(), S_OK);
    for (int p = 0; p < kPartCount; ++p) registry_.whole[p] = ExportPart(static_cast<Part>(p));
    FreeLibrary(module);
  }
  static void TearDownTestSuite() {
    HMODULE module = LoadLibraryW(L"Boardscope.dll");
    if (module != nullptr) {
      Find(module).unregisterServer();
      FreeLibrary(module);
    }
  }
  void SetUp() override {
#if !defined(__i386__)
    // The x86-64 toolchain's exception runtime keeps per-thread blocks from
    // the DLL's own malloc once a bad_alloc has been thrown, which the leak
    // count cannot tell from the DLL's; the product is the 32-bit DLL.
    GTEST_SKIP() << "the fault sweep runs on the 32-bit DLL";
#endif
    ASSERT_TRUE(wmi_.Loaded()) << "run with WINEDLLOVERRIDES=wmi=n, so that the WMI double is loaded";
  }

  static WmiDoubleControl wmi_;
  static Registry registry_;
};
WmiDoubleControl FaultSweep::wmi_;
Registry FaultSweep::registry_;

// Registration from nothing: each part is whole or absent, in the order they
// are written; a failure leaves the type library unregistered and still
// writes the plug-in value; success has every script part whole.
TEST_F(FaultSweep, DllRegisterServer) {
  const Scenario scenario = [](const Exports& dll) {
    dll.unregisterServer();
    faults.armed = true;
    const HRESULT result = dll.registerServer();
    faults.armed = false;
    return Expect(true, result);
  };
  Sweep("DllRegisterServer", scenario, [](const RunReport& run) {
    State s[kPartCount];
    for (int p = 0; p < kPartCount; ++p) {
      s[p] = registry_.Of(static_cast<Part>(p));
      EXPECT_NE(s[p], kPartial) << kPartNames[p] << " half written";
    }
    EXPECT_FALSE(s[kClass] == kWhole && s[kAppId] != kWhole) << "class without application identifier";
    EXPECT_FALSE(s[kTypeLib] == kWhole && s[kClass] != kWhole) << "type library without class";
    if (FAILED(run.outcome.result)) {
      EXPECT_NE(s[kTypeLib], kWhole) << "a failure reported after everything was registered";
      EXPECT_EQ(s[kPlugin], kWhole) << "the plug-in value is written whatever failed before";
    } else {
      EXPECT_TRUE(s[kAppId] == kWhole && s[kClass] == kWhole && s[kTypeLib] == kWhole)
          << "success reported with a part missing";
    }
  });
}

// Unregistration from a whole registration: the plug-in value, class, type
// library and application identifier go in that order; the step that failed
// may be cut short (it removes, never adds), the ones after it stay whole.
TEST_F(FaultSweep, DllUnregisterServer) {
  const Scenario scenario = [](const Exports& dll) {
    const HRESULT registered = dll.registerServer();
    if (registered != S_OK) return Expect(false, registered, "registration before the run failed");
    faults.armed = true;
    const HRESULT result = dll.unregisterServer();
    faults.armed = false;
    return Expect(true, result);
  };
  Sweep("DllUnregisterServer", scenario, [](const RunReport& run) {
    const Part order[] = {kClass, kTypeLib, kAppId};
    bool reachedFailure = false;
    for (Part p : order) {
      std::wstring lines;
      const State s = registry_.Of(p, &lines);
      SCOPED_TRACE(kPartNames[p]);
      if (reachedFailure) {
        EXPECT_EQ(s, kWhole) << "removed after the failing step";
      } else if (s != kAbsent) {
        reachedFailure = true;
        EXPECT_TRUE(FAILED(run.outcome.result)) << "success reported with " << kStateNames[s] << " part left";
        EXPECT_TRUE(LinesWithin(lines, registry_.whole[p])) << "a cut-short step changed something";
      }
    }
    // A key that cannot be closed is reported even after its removal.
    if (FAILED(run.outcome.result) && run.failedCall != "RegCloseKey") {
      EXPECT_TRUE(reachedFailure) << "failure reported with everything removed";
    }
    EXPECT_NE(registry_.Of(kPlugin), kPartial);
    EXPECT_NE(ExportPart(kPlugin), L"<no PLUGINS key>");
  });
  // Leave the class registered for the late-binding sweeps.
  HMODULE module = LoadLibraryW(L"Boardscope.dll");
  ASSERT_EQ(Find(module).registerServer(), S_OK);
  FreeLibrary(module);
}

// A plug-in object through the class factory, released again.
TEST_F(FaultSweep, DllGetClassObjectAndCreateInstance) {
  Sweep("DllGetClassObject + CreateInstance", [](const Exports& dll) {
    faults.armed = true;
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0xBD);
    HRESULT result = dll.getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(result)) {
      faults.armed = false;
      return Expect(factory == nullptr, result, "failed without clearing the factory pointer");
    }
    IZEMInfo* info = reinterpret_cast<IZEMInfo*>(0xBD);
    result = factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(&info));
    const bool cleared = SUCCEEDED(result) ? info != nullptr : info == nullptr;
    if (SUCCEEDED(result)) info->Release();
    factory->Release();
    faults.armed = false;
    return Expect(cleared, result, "object pointer not as the result says");
  });
}

// An object made without faults, for the methods' sweeps.
struct Object {
  IZEMInfo* info = nullptr;
  IZEMComponent* component = nullptr;
  explicit Object(const Exports& dll) {
    ComPtr<IClassFactory> factory;
    if (FAILED(dll.getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
      return;
    factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(&info));
    if (info) info->QueryInterface(IID_IZEMComponent, reinterpret_cast<void**>(&component));
  }
  ~Object() {
    if (component) component->Release();
    if (info) info->Release();
  }
  bool ok() const { return info && component; }
};

// Entries for `zones` zones, or none; the texts may be missing (null), the
// numbers are there either way.
Scenario InstanceData(const WmiDoubleControl& wmi, const std::wstring& capture, ULONG zones) {
  return [&wmi, capture, zones](const Exports& dll) {
    if (wmi.ServeFile(capture.c_str()) != ERROR_SUCCESS) return Expect(false, E_FAIL, "capture not served");
    Object object(dll);
    if (!object.ok()) return Expect(false, E_FAIL, "no object");
    ULONG count = 0xBD;
    _ZEM_INFO_ENTRY* entries = nullptr;
    faults.armed = true;
    const HRESULT result = object.info->GetTIInstanceData(0, &count, &entries);
    faults.armed = false;
    // No zones may come as an empty array or none at all; the host frees either.
    bool allowed = FAILED(result) ? entries == nullptr : count == 0 || (count == zones * 10 && entries != nullptr);
    if (SUCCEEDED(result) && entries != nullptr && count == zones * 10) {
      for (ULONG i = 0; i < count; ++i) allowed = allowed && entries[i].Divisor.QuadPart != 0;
    }
    FreeEntries(entries, SUCCEEDED(result) ? count : 0);
    return Expect(allowed, result, "entries not as the result says");
  };
}

std::wstring Samples(const wchar_t* name) {
  std::wstring path;
  for (const char* c = BOARDSCOPE_SAMPLES_DIR; *c; ++c) path += static_cast<wchar_t>(*c);
  return path + L"\\" + name;
}

TEST_F(FaultSweep, GetTIInstanceDataOneZone) {
  Sweep("GetTIInstanceData, 1 zone", InstanceData(wmi_, Samples(L"desktop-1zone.wmi"), 1));
}

TEST_F(FaultSweep, GetTIInstanceDataTenZones) {
  Sweep("GetTIInstanceData, 10 zones", InstanceData(wmi_, Samples(L"server-12zones.wmi"), 10));
}

// The other host methods: S_OK always, with a missing text as null.
TEST_F(FaultSweep, OtherHostMethods) {
  Sweep("Init .. GetTIInstanceInfo", [](const Exports& dll) {
    Object object(dll);
    if (!object.ok()) return Expect(false, E_FAIL, "no object");
    faults.armed = true;
    _ZEM_COMPONENT_INFO info = {};
    _ZEM_COMPONENT_CAPS caps = {};
    _ZEM_INSTANCE_INFO instance = {};
    ULONG count = 0, common = 7;
    _ZEM_INFO_ENTRY* commonEntries = nullptr;
    const HRESULT results[] = {
        object.component->Init(),
        object.component->GetComponentInfo(&info),
        object.component->GetComponentCaps(&caps),
        object.info->GetTICommonData(&common, &commonEntries),
        object.info->GetTIInstanceCount(&count),
        object.info->GetTIInstanceInfo(0, &instance),
        object.component->UnInit(),
    };
    faults.armed = false;
    HRESULT result = S_OK;
    for (HRESULT r : results)
      if (r != S_OK) result = r;
    const bool allowed = result == S_OK && caps.IZemInformationSupport == 1 && count == 1 && common == 7 &&
                         commonEntries == nullptr;
    FreeHostString(info.Name);
    FreeHostString(instance.Name);
    return Expect(allowed, result, "a host method answered other than S_OK");
  });
}

// The first late-bound calls of a fresh module load the type information.
TEST_F(FaultSweep, FirstGetIDsOfNamesAndInvoke) {
  Sweep("first GetIDsOfNames + Invoke", [](const Exports& dll) {
    Object object(dll);
    if (!object.ok()) return Expect(false, E_FAIL, "no object");
    faults.armed = true;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetTIInstanceCount")};
    DISPID id = -1;
    const HRESULT named = object.info->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    const HRESULT invoked = object.info->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD, &none, &value, nullptr,
                                                nullptr);
    faults.armed = false;
    const bool allowed = (FAILED(named) || id == 2) && (FAILED(invoked) || (value.vt == VT_UI4 && value.ulVal == 1));
    VariantClear(&value);
    return Expect(allowed, FAILED(named) ? named : invoked, "a late-bound answer is wrong");
  });
}

TEST_F(FaultSweep, GetTypeInfo) {
  Sweep("GetTypeInfo", [](const Exports& dll) {
    Object object(dll);
    if (!object.ok()) return Expect(false, E_FAIL, "no object");
    faults.armed = true;
    ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(0xBD);
    const HRESULT result = object.info->GetTypeInfo(0, kEnglishUs, &typeInfo);
    faults.armed = false;
    const bool allowed = SUCCEEDED(result) ? typeInfo != nullptr : typeInfo == nullptr;
    if (SUCCEEDED(result) && typeInfo) typeInfo->Release();
    return Expect(allowed, result, "type information not as the result says");
  });
}

}  // namespace
}  // namespace boardscope
