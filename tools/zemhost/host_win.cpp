#include "host_win.h"

#include <oleauto.h>

#include <algorithm>

#include "wmi_probe.h"

namespace zemhost {

using boardscope::UniqueBstr;
using boardscope::UniqueHkey;

namespace {

constexpr ULONG kMostInstances = 64;  // a sanity bound on GetTIInstanceCount

std::string BstrUtf8(BSTR text) { return text ? Utf8(text, static_cast<int>(SysStringLen(text))) : std::string(); }

// The InprocServer32 path registered for a class, for messages.
std::wstring ServerPath(const std::wstring& classId) {
  const std::wstring path = L"CLSID\\" + classId + L"\\InprocServer32";
  wchar_t buffer[MAX_PATH * 2] = {};
  LONG size = sizeof buffer - sizeof(wchar_t);
  if (RegQueryValueW(HKEY_CLASSES_ROOT, path.c_str(), buffer, &size) != ERROR_SUCCESS) return L"";
  return buffer;
}

std::string CreationProblem(HRESULT result, const std::wstring& classId) {
  const std::string code = HResultText(result);
  const std::wstring serverPath = ServerPath(classId);
  const std::string server = Utf8(serverPath);
  if (result != REGDB_E_CLASSNOTREG && !serverPath.empty() &&
      GetFileAttributesW(serverPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return "the registered DLL \"" + server + "\" does not exist (" + code +
           "): register the plug-in again from where it now lies.";
  }
  switch (result) {
    case REGDB_E_CLASSNOTREG:
      return "class " + Utf8(classId) + " is not registered (REGDB_E_CLASSNOTREG, " + code +
             "): register the plug-in's DLL with regsvr32, or remove the stale plug-in value.";
    case E_NOINTERFACE:
      return "the object does not implement IZEMComponent (E_NOINTERFACE, " + code + "): not a ZEM plug-in.";
    case CO_E_DLLNOTFOUND:
    case HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND):
      return "the plug-in's DLL could not be loaded (" + code + "); registered InprocServer32: \"" + server +
             "\". Register it again from where it now lies.";
    case HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT):
      return "the plug-in's DLL \"" + server + "\" is not a 32-bit Windows DLL (" + code + ").";
    default:
      return "CoCreateInstance failed with " + code + (server.empty() ? "" : "; InprocServer32: \"" + server + "\"") +
             ".";
  }
}

void NoteFailure(PluginReport& report, const char* method, HRESULT result) {
  report.callFailures.push_back(std::string(method) + ": " + HResultText(result));
}

}  // namespace

std::string Utf8(const wchar_t* text, int length) {
  if (length == 0) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  if (length < 0 && !out.empty() && out.back() == '\0') out.pop_back();
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], size);
  return out;
}

bool ReadPluginValues(std::vector<PluginValue>& values, std::string& message, int& exitCode) {
  values.clear();
  const std::string where = "HKEY_LOCAL_MACHINE\\" + Utf8(boardscope::kPluginsKeyPath);
  UniqueHkey key;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, boardscope::kPluginsKeyPath, 0, KEY_READ, key.put());
  exitCode = kExitNoPluginsKey;
  if (result == ERROR_FILE_NOT_FOUND) {
    message = "No ZEM plug-ins are registered: the key " + where +
              " does not exist. Register a plug-in first, for example: regsvr32 Boardscope.dll";
    return false;
  }
  if (result != ERROR_SUCCESS) {
    message = "The key " + where + " cannot be read (error " + std::to_string(result) +
              (result == ERROR_ACCESS_DENIED ? ", access denied: run as administrator)." : ").");
    return false;
  }
  DWORD nameChars = 0;
  DWORD dataBytes = 0;
  result = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameChars,
                            &dataBytes, nullptr, nullptr);
  if (result != ERROR_SUCCESS) {
    message = "The key " + where + " cannot be read (error " + std::to_string(result) + ").";
    return false;
  }
  for (DWORD index = 0;; ++index) {
    std::wstring name(nameChars + 1, L'\0');
    std::wstring data(dataBytes / sizeof(wchar_t) + 2, L'\0');
    DWORD nameLength = nameChars + 1;
    DWORD dataLength = dataBytes;
    DWORD type = REG_NONE;
    result = RegEnumValueW(key.get(), index, &name[0], &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                           &dataLength);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) {
      message = "The values of " + where + " cannot be listed (error " + std::to_string(result) + ").";
      return false;
    }
    PluginValue value;
    value.name.assign(name.c_str(), nameLength);
    value.type = type;
    // The data may lack its terminator; stop at the first null either way.
    value.text.assign(data.c_str(), std::min<std::size_t>(wcslen(data.c_str()), dataLength / sizeof(wchar_t)));
    if (type == REG_EXPAND_SZ) {
      wchar_t expanded[512];
      const DWORD length = ExpandEnvironmentStringsW(value.text.c_str(), expanded, 512);
      if (length > 0 && length <= 512) value.text = expanded;
    }
    values.push_back(std::move(value));
  }
  if (values.empty()) {
    message = "No ZEM plug-ins are registered: the key " + where + " lists no plug-in values.";
    return false;
  }
  std::sort(values.begin(), values.end(),
            [](const PluginValue& a, const PluginValue& b) { return a.name < b.name; });
  exitCode = kExitOk;
  return true;
}

Plugin::Plugin(const PluginValue& value) {
  identity_.valueName = Utf8(value.name);
  identity_.classId = Utf8(value.text);
  creationExit_ = kExitCannotCreate;
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) {
    identity_.problem = "the value has registry type " + std::to_string(value.type) +
                        "; a plug-in value must be text (REG_SZ or REG_EXPAND_SZ) holding a class identifier.";
    return;
  }
  CLSID classId;
  // IIDFromString takes only the braced form; CLSIDFromString would also
  // accept a ProgID, which the host does not.
  HRESULT result = IIDFromString(value.text.c_str(), &classId);
  if (FAILED(result)) {
    identity_.createResult = result;
    identity_.problem = "the value is not a class identifier in registry form ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}).";
    return;
  }
  result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IZEMComponent,
                            reinterpret_cast<void**>(component_.put()));
  identity_.createResult = result;
  if (FAILED(result)) {
    wchar_t text[39];
    StringFromGUID2(classId, text, 39);
    identity_.problem = CreationProblem(result, text);
    creationExit_ = result == REGDB_E_CLASSNOTREG ? kExitClassNotRegistered : kExitCannotCreate;
    return;
  }
  identity_.created = true;
  creationExit_ = kExitOk;
  result = component_.get()->Init();
  if (FAILED(result)) NoteFailure(identity_, "Init", result);
  result = component_.get()->QueryInterface(IID_IZEMInfo, reinterpret_cast<void**>(info_.put()));
  if (FAILED(result)) NoteFailure(identity_, "QueryInterface(IZEMInfo)", result);
}

Plugin::~Plugin() {
  info_.reset();
  if (component_) component_.get()->UnInit();
}

PluginReport Plugin::Inspect() const {
  PluginReport report = identity_;
  if (!component_) return report;

  _ZEM_COMPONENT_INFO info = {};
  HRESULT result = component_.get()->GetComponentInfo(&info);
  UniqueBstr name(info.Name);
  if (FAILED(result)) NoteFailure(report, "GetComponentInfo", result);
  report.componentName = BstrUtf8(name.get());

  _ZEM_COMPONENT_CAPS caps = {};
  result = component_.get()->GetComponentCaps(&caps);
  if (FAILED(result)) NoteFailure(report, "GetComponentCaps", result);
  report.caps[0] = caps.IZemInformationSupport;
  report.caps[1] = caps.IZemControlSupport;
  report.caps[2] = caps.IZemWorkloadSupport;
  report.caps[3] = caps.IZemSolverSupport;
  if (!info_) return report;

  ULONG count = 0;
  _ZEM_INFO_ENTRY* entries = nullptr;
  result = info_.get()->GetTICommonData(&count, &entries);
  if (FAILED(result)) NoteFailure(report, "GetTICommonData", result);
  report.commonEntries = entries ? count : 0;
  boardscope::FreeInfoEntries(count, entries);

  ULONG instances = 0;
  result = info_.get()->GetTIInstanceCount(&instances);
  if (FAILED(result)) NoteFailure(report, "GetTIInstanceCount", result);
  report.instanceCount = instances;

  std::size_t totalEntries = 0;
  for (ULONG i = 0; i < std::min(instances, kMostInstances); ++i) {
    Instance instance;
    instance.index = i;
    _ZEM_INSTANCE_INFO instanceInfo = {};
    result = info_.get()->GetTIInstanceInfo(i, &instanceInfo);
    UniqueBstr instanceName(instanceInfo.Name);
    if (FAILED(result)) NoteFailure(report, "GetTIInstanceInfo", result);
    instance.name = BstrUtf8(instanceName.get());

    count = 0;
    entries = nullptr;
    instance.result = info_.get()->GetTIInstanceData(i, &count, &entries);
    if (FAILED(instance.result)) NoteFailure(report, "GetTIInstanceData", instance.result);
    if (SUCCEEDED(instance.result) && entries != nullptr) {
      for (ULONG k = 0; k < count; ++k) {
        const _ZEM_INFO_ENTRY& e = entries[k];
        Entry entry;
        entry.name = BstrUtf8(e.Name);
        entry.unit = BstrUtf8(e.Unit);
        entry.type = e.Type;
        entry.strValue = BstrUtf8(e.StrValue);
        entry.value = e.Value.QuadPart;
        entry.divisor = e.Divisor.QuadPart;
        entry.flags = e.Flags;
        entry.error = e.Error;
        instance.entries.push_back(std::move(entry));
      }
    }
    boardscope::FreeInfoEntries(count, entries);
    totalEntries += instance.entries.size();
    report.instances.push_back(std::move(instance));
  }
  // A plug-in that offers information but reports none: ask WMI why.
  if (totalEntries == 0 && report.caps[0] != 0) report.probe = Explain(QueryThermalBlock());
  return report;
}

}  // namespace zemhost
