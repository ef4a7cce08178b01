#include "wmi_probe.h"

#include <windows.h>

#include <memory>

#include "contract/host_constants_win.h"
#include "platform/owners_win.h"

namespace zemhost {
namespace {

constexpr ULONG kGenericRead = 0x80000000;
constexpr DWORD kWmiGuidNotFound = 4200;     // ERROR_WMI_GUID_NOT_FOUND
constexpr DWORD kWmiInstanceNotFound = 4201; // ERROR_WMI_INSTANCE_NOT_FOUND

using OpenBlockFn = ULONG(WINAPI*)(GUID*, ULONG, HANDLE*);
using QueryAllDataFn = ULONG(WINAPI*)(HANDLE, ULONG*, void*);
using CloseBlockFn = ULONG(WINAPI*)(HANDLE);

template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

WmiBlock Failed(const char* stage, DWORD code) {
  WmiBlock block;
  block.stage = stage;
  block.code = code;
  return block;
}

std::string Code(std::uint32_t code) { return "error " + std::to_string(code); }

}  // namespace

WmiBlock QueryThermalBlock() {
  const boardscope::UniqueLibrary library(LoadLibraryW(L"wmi.dll"));
  if (!library) return Failed("load", GetLastError());
  HMODULE wmi = library.get();
  const auto open = Proc<OpenBlockFn>(wmi, "WmiOpenBlock");
  const auto query = Proc<QueryAllDataFn>(wmi, "WmiQueryAllDataW");
  const auto close = Proc<CloseBlockFn>(wmi, "WmiCloseBlock");
  if (!open || !query || !close) return Failed("load", ERROR_PROC_NOT_FOUND);

  GUID guid = boardscope::kThermalZoneBlockGuid;
  HANDLE handle = nullptr;
  ULONG result = open(&guid, kGenericRead, &handle);
  if (result != ERROR_SUCCESS) return Failed("open", result);
  // Wine's WmiOpenBlock answers success without a handle, and its
  // WmiCloseBlock is an unimplemented stub that ends the process: a null
  // handle holds nothing to close, and the owner closes none.
  const std::unique_ptr<void, CloseBlockFn> opened(handle, close);

  ULONG size = 0;
  result = query(handle, &size, nullptr);
  if (result != ERROR_INSUFFICIENT_BUFFER) return Failed("size query", result);
  WmiBlock block;
  block.data.assign(size, 0);
  result = query(handle, &size, block.data.data());
  if (result != ERROR_SUCCESS) return Failed("data query", result);
  block.data.resize(size);
  block.ok = true;
  return block;
}

std::string SystemErrorText(std::uint32_t code) {
  wchar_t text[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                512, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L'.' ||
                        text[length - 1] == L' '))
    --length;
  std::string out = Code(code);
  if (length == 0) return out;
  out += ", ";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return out;
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &utf8[0], size, nullptr, nullptr);
  return out + utf8;
}

std::string ReplayProblem() {
  // Exported by the WMI test double (tools/wmi_double) only.
  using ReplayProblemFn = ULONG(WINAPI*)(wchar_t*, ULONG);
  const boardscope::UniqueLibrary library(LoadLibraryW(L"wmi.dll"));
  if (!library) return std::string();
  const auto problem = Proc<ReplayProblemFn>(library.get(), "WmiDoubleReplayProblem");
  if (!problem) return std::string();
  wchar_t path[MAX_PATH * 2] = {};
  const ULONG code = problem(path, MAX_PATH * 2);
  if (code == ERROR_SUCCESS) return std::string();
  std::string reason;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      reason = "there is no such file";
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      reason = "it cannot be opened for reading";
      break;
    case ERROR_FILE_TOO_LARGE:
      reason = "it is larger than 64 MiB, far more than any thermal-zone block";
      break;
    case ERROR_HANDLE_EOF:
      reason = "it is empty, and a capture always holds a block";
      break;
    default:
      reason = "it cannot be read";
      break;
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
  std::string name(size > 0 ? static_cast<std::size_t>(size) : 0u, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, path, -1, &name[0], size, nullptr, nullptr);
  if (!name.empty() && name.back() == '\0') name.pop_back();
  return "cannot replay the capture \"" + name + "\" (BOARDSCOPE_WMI_CAPTURE): " + reason + " (" +
         SystemErrorText(code) + ").";
}

WmiProbe Explain(const WmiBlock& block) {
  WmiProbe probe;
  probe.asked = true;
  probe.succeeded = block.ok;
  probe.stage = block.ok ? "" : block.stage;
  probe.code = block.code;
  if (block.ok) {
    probe.zones = CountNodes(block.data);
    probe.explanation =
        probe.zones != 0
            ? "WMI delivers " + std::to_string(probe.zones) +
                  " thermal zone(s) directly, yet the plug-in reported none: the plug-in is at fault."
            : "The thermal-zone WMI block (MSAcpi_ThermalZoneTemperature) answers " +
                  std::to_string(block.data.size()) +
                  " bytes in which no zone can be read: the firmware's block (or the replayed capture) is "
                  "malformed, and the plug-in rightly reports no zone.";
    return probe;
  }
  const std::string what = "The thermal-zone WMI block (MSAcpi_ThermalZoneTemperature) ";
  switch (block.code) {
    case ERROR_CALL_NOT_IMPLEMENTED:
    case ERROR_NOT_SUPPORTED:
      probe.explanation = "This platform does not implement the WMI data-block query (" + block.stage + ": " +
                          Code(block.code) +
                          ", not implemented), as under Wine, which has no ACPI thermal zones of its own. "
                          "Replay a capture through the WMI test double to see the plug-in's entries.";
      return probe;
    case ERROR_ACCESS_DENIED:
      probe.explanation = what + "could not be opened: access denied (" + Code(block.code) +
                          "). Run zemhost (and the host) as administrator.";
      return probe;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NOT_FOUND:
    case kWmiGuidNotFound:
    case kWmiInstanceNotFound:
      probe.explanation = what + "was not found (" + Code(block.code) +
                          "): this machine's firmware exposes no ACPI thermal zones.";
      return probe;
    default:
      break;
  }
  if (block.stage == "load") {
    probe.explanation = "wmi.dll, or its data-block functions, could not be loaded (" + Code(block.code) +
                        "): this platform offers no WMI data-block interface.";
  } else if (block.stage == "open") {
    probe.explanation = what + "could not be opened (" + Code(block.code) + ").";
  } else if (block.stage == "size query") {
    probe.explanation = what + "answered the size query with " + Code(block.code) +
                        " instead of 122 (insufficient buffer): it holds no readable zones.";
  } else {
    probe.explanation = what + "could not be read (" + Code(block.code) + ").";
  }
  return probe;
}

}  // namespace zemhost
