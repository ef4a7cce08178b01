// End to end, the way the host lives: Boardscope.dll registered in the
// prefix by regsvr32, found through the registry, created through COM in
// this separate process, and zemhost run against the replayed sample
// capture. The test leaves the prefix's registry as it found it.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "contract/host_constants_win.h"
#include "contract/host_records_win.h"
#include "platform/owners_win.h"

namespace {

using boardscope::ComApartment;
using boardscope::ComPtr;
using boardscope::UniqueBstr;
using boardscope::UniqueHkey;
using boardscope::UniqueLibrary;
using boardscope::UniqueFileHandle;
using boardscope::UniqueHandle;

constexpr LCID kEnglishUs = 0x409;
constexpr wchar_t kClassId[] = L"{022C6C14-09E7-445D-9671-27646CBAF666}";
constexpr wchar_t kAppId[] = L"{10331898-2B6D-4459-8DC6-50DDFC2A1ED7}";
constexpr wchar_t kLibId[] = L"{3993E2AB-F1F5-436B-8A49-1AEC18C1C9BD}";
constexpr wchar_t kProgId[] = L"Boardscope.ZEMBoardscope.1";
constexpr wchar_t kIndependentProgId[] = L"Boardscope.ZEMBoardscope";
constexpr const wchar_t* kPluginsKey = boardscope::kPluginsKeyPath;
constexpr const wchar_t* kPluginValue = boardscope::kPluginValueName;
constexpr wchar_t kStaleValue[] = L"Stale-CLSID";  // names a class nobody registered
constexpr wchar_t kStaleClassId[] = L"{0BAD0BAD-0000-4000-8000-00000000E2E0}";

std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text; ++text) out += static_cast<wchar_t>(*text);
  return out;
}

std::wstring Directory(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring BinDirectory() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Directory(path);
}

std::wstring DllPath() { return BinDirectory() + L"Boardscope.dll"; }
// The build's zemhost.exe, quoted for a command line.
std::wstring ZemhostCommand() { return L"\"" + BinDirectory() + L"zemhost.exe\""; }

bool KeyExists(HKEY root, const std::wstring& path) {
  UniqueHkey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

struct Value {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = 0xDEADBEEF;
  DWORD size = 0;
  std::wstring text;
};

Value ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
  Value value;
  UniqueHkey key;
  value.status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put());
  if (value.status != ERROR_SUCCESS) return value;
  std::vector<BYTE> data(4096, 0xBD);
  value.size = static_cast<DWORD>(data.size());
  value.status = RegQueryValueExW(key.get(), name, nullptr, &value.type, data.data(), &value.size);
  if (value.status == ERROR_SUCCESS && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
    value.text.assign(reinterpret_cast<const wchar_t*>(data.data()), value.size / sizeof(wchar_t));
    if (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
  }
  return value;
}

DWORD ValueCount(HKEY root, const std::wstring& path) {
  UniqueHkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0xDEADBEEF;
  DWORD values = 0xDEADBEEF;
  RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                   nullptr, nullptr);
  return values;
}

// Runs a program of the prefix, waits for it and gives its exit code; its
// standard output goes to `output` when given, and its standard error to
// `errors` when given too. `beforeStart`, when given, runs with the child's
// process id while the child is still suspended.
DWORD RunProgram(std::wstring commandLine, const std::wstring& output = L"", const std::wstring& errors = L"",
                 const std::function<void(DWORD)>& beforeStart = nullptr) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueFileHandle out;
  UniqueFileHandle err;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!output.empty()) {
    out.reset(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    if (!out) return 0xFFFFFFF0;
    if (!errors.empty()) {
      err.reset(CreateFileW(errors.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
      if (!err) return 0xFFFFFFF0;
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.get();
    startup.hStdError = errors.empty() ? GetStdHandle(STD_ERROR_HANDLE) : err.get();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, !output.empty(),
                                      beforeStart ? CREATE_SUSPENDED : 0, nullptr, nullptr, &startup, &process);
  out.reset();  // the child holds its own copies
  err.reset();
  if (!started) return 0xFFFFFFF1;
  const UniqueHandle thread(process.hThread);
  const UniqueHandle child(process.hProcess);
  if (beforeStart) {
    beforeStart(process.dwProcessId);
    ResumeThread(thread.get());
  }
  WaitForSingleObject(child.get(), 600000);  // minutes where Wine runs under emulation
  DWORD code = 0xFFFFFFF2;
  GetExitCodeProcess(child.get(), &code);
  return code;
}

std::string ReadFileBytes(const std::wstring& path) {
  const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "<cannot open " + std::string(path.begin(), path.end()) + ">";
  std::string data;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
  return data;
}

std::wstring TempDirectory(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring dir = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + L"\\";
}

using ServerFunction = HRESULT(STDAPICALLTYPE*)();
HRESULT CallExport(HMODULE module, const char* name) {
  const auto function = reinterpret_cast<ServerFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

// What registration leaves behind; `module` is the registered DLL path.
struct Expected {
  HKEY root;
  std::wstring key;
  const wchar_t* value;  // null: the default value
  DWORD type;
  std::wstring text;
};

std::vector<Expected> Registration(const std::wstring& module) {
  const std::wstring cls = std::wstring(L"CLSID\\") + kClassId;
  return {
      {HKEY_CLASSES_ROOT, std::wstring(L"AppID\\") + kAppId, nullptr, REG_SZ, L"Boardscope"},
      {HKEY_CLASSES_ROOT, L"AppID\\Boardscope.DLL", L"AppID", REG_SZ, kAppId},
      {HKEY_CLASSES_ROOT, kProgId, nullptr, REG_SZ, L"ZEMBoardscope Class"},
      {HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, REG_SZ, kClassId},
      {HKEY_CLASSES_ROOT, kIndependentProgId, nullptr, REG_SZ, L"ZEMBoardscope Class"},
      {HKEY_CLASSES_ROOT, std::wstring(kIndependentProgId) + L"\\CLSID", nullptr, REG_SZ, kClassId},
      {HKEY_CLASSES_ROOT, std::wstring(kIndependentProgId) + L"\\CurVer", nullptr, REG_SZ, kProgId},
      {HKEY_CLASSES_ROOT, cls, nullptr, REG_SZ, L"ZEMBoardscope Class"},
      {HKEY_CLASSES_ROOT, cls, L"AppID", REG_SZ, kAppId},
      {HKEY_CLASSES_ROOT, cls + L"\\ProgID", nullptr, REG_SZ, kProgId},
      {HKEY_CLASSES_ROOT, cls + L"\\VersionIndependentProgID", nullptr, REG_SZ, kIndependentProgId},
      {HKEY_CLASSES_ROOT, cls + L"\\InprocServer32", nullptr, REG_SZ, module},
      {HKEY_CLASSES_ROOT, cls + L"\\InprocServer32", L"ThreadingModel", REG_SZ, L"Apartment"},
      {HKEY_CLASSES_ROOT, cls + L"\\TypeLib", nullptr, REG_SZ, kLibId},
      {HKEY_LOCAL_MACHINE, kPluginsKey, kPluginValue, REG_EXPAND_SZ, kClassId},
  };
}

void ExpectRegistered(const std::wstring& module) {
  for (const Expected& e : Registration(module)) {
    SCOPED_TRACE(::testing::Message() << std::string(e.key.begin(), e.key.end()) << " value "
                                      << (e.value ? std::string(e.value, e.value + wcslen(e.value)) : "(default)"));
    const Value value = ReadValue(e.root, e.key, e.value);
    ASSERT_EQ(value.status, ERROR_SUCCESS);
    EXPECT_EQ(value.type, e.type);
    if (e.root == HKEY_CLASSES_ROOT && e.key.find(L"InprocServer32") != std::wstring::npos && !e.value) {
      EXPECT_EQ(CompareStringOrdinal(value.text.c_str(), -1, e.text.c_str(), -1, TRUE), CSTR_EQUAL);
    } else {
      EXPECT_TRUE(value.text == e.text);
    }
  }
  // The plug-in value is exactly the class identifier with its terminator.
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kPluginsKey, kPluginValue).size, 78u);
  const std::wstring cls = std::wstring(L"CLSID\\") + kClassId;
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, cls + L"\\Programmable"));
  EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, cls + L"\\Programmable"), 0u);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibId + L"\\1.0"));
}

void ExpectUnregistered() {
  for (const Expected& e : Registration(L"")) {
    SCOPED_TRACE(std::string(e.key.begin(), e.key.end()));
    EXPECT_NE(ReadValue(e.root, e.key, e.value).status, ERROR_SUCCESS);
  }
  for (const std::wstring& gone : {std::wstring(kProgId), std::wstring(kIndependentProgId),
                                   std::wstring(L"CLSID\\") + kClassId, std::wstring(L"AppID\\") + kAppId,
                                   std::wstring(L"AppID\\Boardscope.DLL"), std::wstring(L"TypeLib\\") + kLibId}) {
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << std::string(gone.begin(), gone.end());
  }
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"AppID"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kPluginsKey));
}

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : L"<null>"; }

class EndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    apartment.emplace();
    ASSERT_TRUE(apartment->ok());
    quendalExisted = KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quendal");
  }
  static void TearDownTestSuite() {
    // Unregister through the DLL this process loaded, then drop what only the test made.
    UniqueLibrary dll(LoadLibraryW(DllPath().c_str()));
    if (dll) CallExport(dll.get(), "DllUnregisterServer");
    UniqueHkey plugins;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPluginsKey, 0, KEY_SET_VALUE, plugins.put()) == ERROR_SUCCESS)
      RegDeleteValueW(plugins.get(), kStaleValue);
    if (!quendalExisted) RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quendal");
    apartment.reset();  // COM goes last: unregistering above still needs it
  }
  // Every test starts registered, whatever ran before it.
  void SetUp() override {
    UniqueLibrary dll(LoadLibraryW(DllPath().c_str()));
    ASSERT_TRUE(dll);
    ASSERT_EQ(CallExport(dll.get(), "DllRegisterServer"), S_OK);
  }
  static std::optional<ComApartment> apartment;
  static bool quendalExisted;
};
std::optional<ComApartment> EndToEnd::apartment;
bool EndToEnd::quendalExisted = false;

TEST_F(EndToEnd, Regsvr32RegistersEveryKey) {
  {
    UniqueLibrary dll(LoadLibraryW(DllPath().c_str()));
    ASSERT_EQ(CallExport(dll.get(), "DllUnregisterServer"), S_OK);
  }
  const std::wstring command = L"regsvr32.exe /s \"" + DllPath() + L"\"";
  ASSERT_EQ(RunProgram(command), 0u);
  ExpectRegistered(DllPath());
  ComPtr<ITypeLib> library;
  GUID libId;
  ASSERT_EQ(IIDFromString(kLibId, &libId), S_OK);
  EXPECT_EQ(LoadRegTypeLib(libId, 1, 0, kEnglishUs, library.put()), S_OK);
}

TEST_F(EndToEnd, CreatedByProgIdAndByThePluginValue) {
  struct Case {
    const wchar_t* progId;
  } const cases[] = {{kProgId}, {kIndependentProgId}};
  for (const Case& c : cases) {
    CLSID classId = {};
    EXPECT_EQ(CLSIDFromProgID(c.progId, &classId), S_OK);
    EXPECT_TRUE(IsEqualCLSID(classId, CLSID_ZEMBoardscope));
    ComPtr<IZEMComponent> component;
    EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMComponent,
                               reinterpret_cast<void**>(component.put())),
              S_OK);
  }
  const Value plugin = ReadValue(HKEY_LOCAL_MACHINE, kPluginsKey, kPluginValue);
  CLSID classId = {};
  ASSERT_EQ(IIDFromString(plugin.text.c_str(), &classId), S_OK);
  ComPtr<IZEMInfo> info;
  ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMInfo,
                             reinterpret_cast<void**>(info.put())),
            S_OK);
}

TEST_F(EndToEnd, EntriesThroughTheVirtualTable) {
  ComPtr<IZEMComponent> component;
  ASSERT_EQ(CoCreateInstance(CLSID_ZEMBoardscope, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMComponent,
                             reinterpret_cast<void**>(component.put())),
            S_OK);
  _ZEM_COMPONENT_INFO info = {};
  EXPECT_EQ(component.get()->GetComponentInfo(&info), S_OK);
  UniqueBstr name(info.Name);
  EXPECT_TRUE(Text(name.get()) == L"Heatmark Component");
  _ZEM_COMPONENT_CAPS caps = {7, 7, 7, 7};
  EXPECT_EQ(component.get()->GetComponentCaps(&caps), S_OK);
  EXPECT_EQ(caps.IZemInformationSupport, 1);
  EXPECT_EQ(caps.IZemControlSupport + caps.IZemWorkloadSupport + caps.IZemSolverSupport, 0);

  ComPtr<IZEMInfo> info2;
  ASSERT_EQ(component.get()->QueryInterface(IID_IZEMInfo, reinterpret_cast<void**>(info2.put())), S_OK);
  ULONG count = 0xDEADBEEF;
  _ZEM_INFO_ENTRY* entries = nullptr;
  ASSERT_EQ(info2.get()->GetTIInstanceData(0, &count, &entries), S_OK);
  ASSERT_EQ(count, 30u) << "the sample capture holds three zones";
  struct Case {
    ULONG index;
    const wchar_t* name;
    const wchar_t* strValue;
    LONGLONG value;
    LONGLONG divisor;
  } const cases[] = {
      {0, L"# 0List of Active Cooling Devices", L"None", 3, 1},
      {1, L"# 0List of Active Trip Points", L"80.0 ; 65.0 ; 50.0 ", 0, 1},
      {3, L"# 0Passive Trip Point", L"None", 85, 16},
      {9, L"# 0Current Temperature", L"55.2", 1, 10},
      {11, L"# 1List of Active Trip Points", L"None", 0, 1},
      {17, L"# 1Passive Sampling Period", L"None", 10, 10},
      {18, L"# 1Critical Temperature", L"None", 75, 10},
      {23, L"# 2Passive Trip Point", L"None", 0, 16},
      {29, L"# 2Current Temperature", L"46.5", 1, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const _ZEM_INFO_ENTRY& e = entries[c.index];
    EXPECT_TRUE(Text(e.Name) == c.name);
    EXPECT_TRUE(Text(e.StrValue) == c.strValue);
    EXPECT_EQ(e.Value.QuadPart, c.value);
    EXPECT_EQ(e.Divisor.QuadPart, c.divisor);
  }
  boardscope::FreeInfoEntries(count, entries);
}

// Late binding goes through the registered type library. Wine's oleaut32
// cannot pass records through ITypeInfo::Invoke and answers E_NOTIMPL for
// the methods with record parameters; Windows answers them.
TEST_F(EndToEnd, MethodsThroughIDispatch) {
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(CLSID_ZEMBoardscope, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(dispatch.put())),
            S_OK);
  ComPtr<ITypeInfo> typeInfo;
  ASSERT_EQ(dispatch.get()->GetTypeInfo(0, kEnglishUs, typeInfo.put()), S_OK);
  UniqueBstr typeName;
  EXPECT_EQ(typeInfo.get()->GetDocumentation(MEMBERID_NIL, typeName.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_TRUE(Text(typeName.get()) == L"IZEMComponent");

  ComPtr<IZEMInfo> info;
  ASSERT_EQ(dispatch.get()->QueryInterface(IID_IZEMInfo, reinterpret_cast<void**>(info.put())), S_OK);
  struct Case {
    IDispatch* target;
    const wchar_t* name;
    DISPID id;
    bool records;    // a record parameter: E_NOTIMPL is the platform's answer under Wine
    VARTYPE result;  // VT_EMPTY: no result expected
  } const cases[] = {
      {dispatch.get(), L"Init", 1, false, VT_EMPTY},
      {dispatch.get(), L"UnInit", 2, false, VT_EMPTY},
      {dispatch.get(), L"GetComponentInfo", 3, true, VT_RECORD},
      {dispatch.get(), L"GetComponentCaps", 4, true, VT_RECORD},
      {info.get(), L"GetTIInstanceCount", 2, false, VT_UI4},
      {info.get(), L"GetTIInstanceInfo", 3, true, VT_RECORD},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    DISPID id = 0xBD;
    EXPECT_EQ(c.target->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id), S_OK);
    EXPECT_EQ(id, c.id);
    VARIANTARG argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_UI4;
    V_UI4(&argument) = 0;
    const bool takesInstance = c.id == 3 && c.target == static_cast<IDispatch*>(info.get());
    DISPPARAMS params = {takesInstance ? &argument : nullptr, nullptr, takesInstance ? 1u : 0u, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = c.target->Invoke(c.id, IID_NULL, kEnglishUs, DISPATCH_METHOD, &params,
                                        c.result == VT_EMPTY ? nullptr : &result, nullptr, nullptr);
    if (c.records && hr == E_NOTIMPL) {
      std::printf("note: %ls by dispatch: E_NOTIMPL from the platform's ITypeInfo::Invoke\n", c.name);
      continue;
    }
    EXPECT_EQ(hr, S_OK);
    if (c.result == VT_UI4) {
      EXPECT_EQ(V_VT(&result), VT_UI4);
      EXPECT_EQ(V_UI4(&result), 1u);
    }
    VariantClear(&result);
  }
}

// The platform's script host, as a late-bound user would: create by ProgID,
// call Init and UnInit. Script errors leave the exit code alone, so the
// last line's echo is what shows that every call went through.
TEST_F(EndToEnd, ScriptHostCallsTheObjectByProgId) {
  struct Script {
    const wchar_t* file;
    const char* text;
  } const scripts[] = {
      {L"calls.js",
       "var o = new ActiveXObject(\"Boardscope.ZEMBoardscope.1\");\r\no.Init();\r\no.UnInit();\r\n"
       "WScript.Echo(\"done\");\r\n"},
      {L"calls.vbs",
       "Set o = CreateObject(\"Boardscope.ZEMBoardscope.1\")\r\no.Init\r\no.UnInit\r\nWScript.Echo \"done\"\r\n"},
  };
  const std::wstring temp = TempDirectory(L"boardscope-script-");
  for (const Script& script : scripts) {
    SCOPED_TRACE(script.text);
    const std::wstring path = temp + script.file;
    const std::wstring output = path + L".txt";
    {
      const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      ASSERT_TRUE(file);
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file.get(), script.text, static_cast<DWORD>(strlen(script.text)), &written, nullptr));
    }
    EXPECT_EQ(RunProgram(L"cscript.exe //nologo \"" + path + L"\"", output), 0u);
    EXPECT_EQ(ReadFileBytes(output), "done\r\n");
    DeleteFileW(path.c_str());
    DeleteFileW(output.c_str());
  }
  RemoveDirectoryW(temp.c_str());
}

// zemhost on every sample capture: its table and its Prometheus file from
// one run, its JSON from another. The outputs go to a folder of the build
// tree, where the next CTest entry (e2e_outputs) compares them with the
// golden files and checks the Prometheus files with promtool.
TEST_F(EndToEnd, ZemhostOnEverySampleWritesItsOutputs) {
  const std::wstring zemhost = ZemhostCommand();
  const std::wstring samples = Widen(BOARDSCOPE_E2E_SAMPLES);
  const std::wstring out = Widen(BOARDSCOPE_E2E_OUTPUT);
  CreateDirectoryW(out.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((out + L"*.*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((out + found.cFileName).c_str());
  if (search != INVALID_HANDLE_VALUE) FindClose(search);

  struct Sample {
    const wchar_t* name;
    const wchar_t* watch;  // the one that also shows --watch rewriting the file
  } const cases[] = {
      {L"desktop-1zone", L" --watch 1 --count 2"}, {L"laptop-3zones", L""},       {L"server-12zones", L""},
      {L"firmware-stuck-2732", L""},              {L"firmware-stuck-3010", L""}, {L"no-trip-points", L""},
      {L"malformed-third-node", L""},             {L"negative-current", L""},
      {L"firmware-stuck-3030", L""},              {L"zero-beside-real", L""},
      {L"out-of-range", L""},
  };
  for (const Sample& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    const std::wstring base = out + c.name;
    ASSERT_TRUE(SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", (samples + c.name + L".wmi").c_str()));
    EXPECT_EQ(RunProgram(zemhost + c.watch + L" --prometheus \"" + base + L".prom\"", base + L".txt"), 0u);
    EXPECT_EQ(RunProgram(zemhost + L" --json", base + L".json"), 0u);
  }
  const std::wstring laptop = samples + L"laptop-3zones.wmi";
  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", laptop.c_str());

  // A Prometheus file that cannot be written: exit code 8, no file.
  const std::wstring temp = TempDirectory(L"boardscope-e2e-");
  EXPECT_EQ(RunProgram(zemhost + L" --prometheus \"" + temp + L"missing\\zem.prom\"", temp + L"table.txt"), 8u);
  EXPECT_EQ(GetFileAttributesW((temp + L"missing").c_str()), INVALID_FILE_ATTRIBUTES);

  // A stale plug-in value beside the real one: reported, and exit code 4.
  UniqueHkey plugins;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPluginsKey, 0, KEY_SET_VALUE, plugins.put()), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(plugins.get(), kStaleValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStaleClassId),
                           sizeof kStaleClassId),
            ERROR_SUCCESS);
  EXPECT_EQ(RunProgram(zemhost + L" --json", out + L"stale.json"), 4u);
  RegDeleteValueW(plugins.get(), kStaleValue);

  // The capture written through the double is the replayed file, byte for byte.
  EXPECT_EQ(RunProgram(zemhost + L" --capture \"" + temp + L"again.wmi\"", temp + L"capture.txt"), 0u);
  EXPECT_EQ(ReadFileBytes(temp + L"again.wmi"), ReadFileBytes(laptop));

  // A capture whose node link wraps around to an earlier node: the probe
  // ends at once and calls the block malformed.
  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", Widen(BOARDSCOPE_E2E_LOOPING_CAPTURE).c_str());
  EXPECT_EQ(RunProgram(zemhost + L" --json", temp + L"looping.json"), 0u);
  EXPECT_NE(ReadFileBytes(temp + L"looping.json").find("is malformed"), std::string::npos);
  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", laptop.c_str());

  for (const wchar_t* file : {L"table.txt", L"again.wmi", L"capture.txt", L"looping.json"})
    DeleteFileW((temp + file).c_str());
  RemoveDirectoryW(temp.c_str());
}

// Whatever someone planted under the temporary name zemhost once used
// beside its Prometheus file (FILE.<pid>.tmp) stays untouched, and the file
// is written all the same.
TEST_F(EndToEnd, PrometheusFileIgnoresWhatIsPlantedBesideIt) {
  const std::wstring zemhost = ZemhostCommand();
  const std::wstring temp = TempDirectory(L"boardscope-plant-");
  const std::wstring prom = temp + L"zem.prom";
  const std::wstring victim = temp + L"victim.txt";
  const std::string victimText = "not zemhost's to touch\n";
  auto writeVictim = [&] {
    UniqueFileHandle file(CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), victimText.data(), static_cast<DWORD>(victimText.size()), &written, nullptr);
  };
  auto plantedName = [&](DWORD pid) { return prom + L"." + std::to_wstring(pid) + L".tmp"; };
  enum Plant { kFile, kFolder, kHardLink, kSymbolicLink };
  struct Case {
    const char* name;
    Plant plant;
  } const cases[] = {{"file", kFile}, {"folder", kFolder}, {"hard link", kHardLink}, {"symbolic link", kSymbolicLink}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeVictim();
    DeleteFileW(prom.c_str());
    std::wstring planted;
    bool plantedOk = false;
    const std::wstring command = zemhost + L" --prometheus \"" + prom + L"\"";
    const DWORD code = RunProgram(command, temp + L"table.txt", L"", [&](DWORD pid) {
      planted = plantedName(pid);
      switch (c.plant) {
        case kFile: plantedOk = CopyFileW(victim.c_str(), planted.c_str(), TRUE) != FALSE; break;
        case kFolder: plantedOk = CreateDirectoryW(planted.c_str(), nullptr) != FALSE; break;
        case kHardLink: plantedOk = CreateHardLinkW(planted.c_str(), victim.c_str(), nullptr) != FALSE; break;
        case kSymbolicLink: plantedOk = CreateSymbolicLinkW(planted.c_str(), victim.c_str(), 0) != FALSE; break;
      }
      WIN32_FIND_DATAW found;
      const HANDLE search = FindFirstFileW(planted.c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) plantedOk = false;  // some file systems report links they do not keep
      else FindClose(search);
    });
    if (!plantedOk && c.plant == kSymbolicLink) {
      std::printf("symbolic links are not kept on this file system: not planted\n");
      DeleteFileW(prom.c_str());
      continue;  // a file system without symbolic links: nothing to plant
    }
    ASSERT_TRUE(plantedOk);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(GetFileAttributesW(prom.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(victim), victimText);
    // The planted entry itself, without following a link.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(planted.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "the planted entry is gone";
    FindClose(search);
    if (c.plant == kFolder) {
      EXPECT_TRUE(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
      RemoveDirectoryW(planted.c_str());
    } else {
      if (c.plant != kSymbolicLink) {
        EXPECT_EQ(ReadFileBytes(planted), victimText);
      }
      DeleteFileW(planted.c_str());
    }
  }
  for (const std::wstring& file : {prom, victim, temp + L"table.txt"}) DeleteFileW(file.c_str());
  EXPECT_TRUE(RemoveDirectoryW(temp.c_str())) << "a temporary file was left behind";
}

// The readings of every round of `zemhost --json --watch`, read back line
// by line (JSON Lines): zone 0's "reading" in each.
std::vector<std::string> WatchedReadings(const std::string& lines) {
  std::vector<std::string> readings;
  std::size_t start = 0;
  for (std::size_t end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
    const nlohmann::json round = nlohmann::json::parse(lines.substr(start, end - start), nullptr, false);
    EXPECT_FALSE(round.is_discarded()) << lines;
    if (round.is_discarded()) return readings;
    EXPECT_EQ(round.value("round", 0u), readings.size() + 1);
    readings.push_back(round["plugins"][0]["zones"][0].value("reading", std::string("<none>")));
  }
  EXPECT_EQ(start, lines.size()) << "the last line ends the output";
  return readings;
}

// --watch over a sequence of captures replayed by the double, one per
// round: a zone is marked as unchanging after the given rounds without a
// move, and the mark goes when the reading moves (31.9 to -15.0 °C).
TEST_F(EndToEnd, ZemhostMarksAReadingThatNeverMoves) {
  const std::wstring zemhost = L"\"" + BinDirectory() + L"zemhost.exe\" --watch 1 --unchanging-rounds 2";
  const std::wstring samples = Widen(BOARDSCOPE_E2E_SAMPLES);
  const std::wstring out = Widen(BOARDSCOPE_E2E_OUTPUT);
  const std::wstring temp = TempDirectory(L"boardscope-watch-");
  const std::wstring desktop = samples + L"desktop-1zone.wmi";
  const std::wstring moved = desktop + L";" + desktop + L";" + samples + L"negative-current.wmi";
  struct Case {
    const wchar_t* name;
    std::wstring captures;
    const wchar_t* count;
    std::vector<std::string> readings;
  } const cases[] = {
      {L"changing", moved, L"4", {"measured", "unchanging", "measured", "measured"}},
      {L"never changing", desktop, L"3", {"measured", "unchanging", "unchanging"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + wcslen(c.name)));
    ASSERT_TRUE(SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", c.captures.c_str()));
    EXPECT_EQ(RunProgram(zemhost + L" --json --count " + c.count, temp + L"watch.jsonl"), 0u);
    EXPECT_EQ(WatchedReadings(ReadFileBytes(temp + L"watch.jsonl")), c.readings);
  }
  // The table of the changing sequence, to compare with its golden file.
  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", moved.c_str());
  EXPECT_EQ(RunProgram(zemhost + L" --count 3", out + L"watch-changing.txt"), 0u);

  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", (samples + L"laptop-3zones.wmi").c_str());
  DeleteFileW((temp + L"watch.jsonl").c_str());
  RemoveDirectoryW(temp.c_str());
}

// Captures that cannot be replayed are named with the reason, and exit with
// code 9 instead of passing for a machine without thermal zones; a capture
// in which no zone can be read says so without blaming the plug-in; texts
// from the registry reach the table with their control characters escaped.
TEST_F(EndToEnd, ZemhostNamesWhatIsWrongWithItsInput) {
  const std::wstring zemhost = ZemhostCommand();
  const std::wstring temp = TempDirectory(L"boardscope-input-");
  const std::wstring output = temp + L"out.txt";
  const std::wstring errors = temp + L"err.txt";
  auto writeFile = [](const std::wstring& path, const std::string& data, LONGLONG size) {
    const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
  };
  writeFile(temp + L"empty.wmi", "", 0);
  writeFile(temp + L"huge.wmi", "", 65LL * 1024 * 1024);
  writeFile(temp + L"zeros.wmi", "", 96);  // a node header that holds no instance

  struct Case {
    std::wstring capture;
    DWORD exitCode;
    const char* said;      // in standard error for a failed replay, else in the table
    const char* notSaid;
  } const cases[] = {
      {temp + L"missing.wmi", 9, "missing.wmi\" (BOARDSCOPE_WMI_CAPTURE): there is no such file (error 2", "firmware exposes no"},
      {temp + L"empty.wmi", 9, "empty.wmi\" (BOARDSCOPE_WMI_CAPTURE): it is empty", "firmware exposes no"},
      {temp + L"huge.wmi", 9, "huge.wmi\" (BOARDSCOPE_WMI_CAPTURE): it is larger than 64 MiB", "firmware exposes no"},
      {temp.substr(0, temp.size() - 1), 9, "(BOARDSCOPE_WMI_CAPTURE): it cannot be opened for reading", "firmware exposes no"},
      {Widen(BOARDSCOPE_E2E_SAMPLES) + L"desktop-1zone.wmi;" + temp + L"missing.wmi", 9, "missing.wmi", "firmware exposes no"},
      {temp + L"zeros.wmi", 0, "answers 96 bytes in which no zone can be read", "at fault"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.capture.begin(), c.capture.end()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", c.capture.c_str()));
    EXPECT_EQ(RunProgram(zemhost, output, errors), c.exitCode);
    const std::string said = ReadFileBytes(c.exitCode == 0 ? output : errors);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(said.find(c.notSaid), std::string::npos) << said;
    if (c.exitCode != 0) {
      EXPECT_EQ(ReadFileBytes(output), "");
    }
  }
  SetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", (Widen(BOARDSCOPE_E2E_SAMPLES) + L"laptop-3zones.wmi").c_str());

  // A capture that cannot be written gives the system's reason, not "error 0".
  EXPECT_EQ(RunProgram(zemhost + L" --capture \"" + temp + L"missing\\x.wmi\"", output, errors), 7u);
  const std::string captureError = ReadFileBytes(errors);
  EXPECT_NE(captureError.find("missing\\x.wmi (error 3, "), std::string::npos) << captureError;

  // A plug-in value whose name holds escape sequences (it names no class).
  const wchar_t evil[] = L"Evil\x1B[2J\x1B]0;owned\x07";
  UniqueHkey plugins;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPluginsKey, 0, KEY_SET_VALUE, plugins.put()), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(plugins.get(), evil, 0, REG_SZ, reinterpret_cast<const BYTE*>(kStaleClassId),
                           sizeof kStaleClassId),
            ERROR_SUCCESS);
  EXPECT_EQ(RunProgram(zemhost, output), 4u);
  RegDeleteValueW(plugins.get(), evil);
  const std::string table = ReadFileBytes(output);
  EXPECT_NE(table.find("Plug-in \"Evil\\x1B[2J\\x1B]0;owned\\x07\" "), std::string::npos) << table;
  EXPECT_EQ(table.find('\x1B'), std::string::npos) << table;

  for (const wchar_t* file : {L"out.txt", L"err.txt", L"empty.wmi", L"huge.wmi", L"zeros.wmi"})
    DeleteFileW((temp + file).c_str());
  RemoveDirectoryW(temp.c_str());
}

TEST_F(EndToEnd, UnregisterRemovesExactlyWhatRegistrationAdded) {
  UniqueLibrary dll(LoadLibraryW(DllPath().c_str()));
  ASSERT_TRUE(dll);
  // Both calls work in the system locale and give the caller's back.
  constexpr LCID kGerman = 0x407;
  const LCID callers = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_EQ(CallExport(dll.get(), "DllUnregisterServer"), S_OK);
  EXPECT_EQ(GetThreadLocale(), kGerman);
  ExpectUnregistered();
  ComPtr<IZEMInfo> info;
  EXPECT_EQ(CoCreateInstance(CLSID_ZEMBoardscope, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMInfo,
                             reinterpret_cast<void**>(info.put())),
            REGDB_E_CLASSNOTREG);

  EXPECT_EQ(CallExport(dll.get(), "DllRegisterServer"), S_OK);
  EXPECT_EQ(GetThreadLocale(), kGerman);
  SetThreadLocale(callers);
  ExpectRegistered(DllPath());
  EXPECT_EQ(CoCreateInstance(CLSID_ZEMBoardscope, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMInfo,
                             reinterpret_cast<void**>(info.put())),
            S_OK);
}

TEST_F(EndToEnd, PathWithASingleQuoteIsRegisteredUnchanged) {
  const std::wstring dir = TempDirectory(L"boardscope e2e 'quoted' ");
  const std::wstring copy = dir + L"Boardscope.dll";
  ASSERT_TRUE(CopyFileW(DllPath().c_str(), copy.c_str(), FALSE)) << GetLastError();
  {
    UniqueLibrary dll(LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(dll) << GetLastError();
    EXPECT_EQ(CallExport(dll.get(), "DllRegisterServer"), S_OK);
    const Value server =
        ReadValue(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClassId + L"\\InprocServer32", nullptr);
    EXPECT_EQ(CompareStringOrdinal(server.text.c_str(), -1, copy.c_str(), -1, TRUE), CSTR_EQUAL);
    EXPECT_NE(server.text.find(L"'quoted'"), std::wstring::npos);
    EXPECT_EQ(CallExport(dll.get(), "DllUnregisterServer"), S_OK);
    ExpectUnregistered();
  }
  EXPECT_TRUE(DeleteFileW(copy.c_str())) << GetLastError();
  EXPECT_TRUE(RemoveDirectoryW(dir.c_str())) << GetLastError();

  // Back to the build's own DLL for whatever runs next.
  UniqueLibrary dll(LoadLibraryW(DllPath().c_str()));
  EXPECT_EQ(CallExport(dll.get(), "DllRegisterServer"), S_OK);
}

}  // namespace
