// zemhost: checks ZEM plug-ins without the real host. It finds every plug-in
// listed under HKLM\SOFTWARE\Quendal\ZEM4\PLUGINS, creates it through COM
// as the host does, and prints what it reports.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "host.h"
#include "report.h"
#include "wmi_probe.h"

namespace zemhost {
namespace {

constexpr char kUsage[] =
    "usage: zemhost [--json] [--watch SECONDS [--count N]]\n"
    "       zemhost --capture FILE\n"
    "\n"
    "Finds the ZEM plug-ins listed under HKEY_LOCAL_MACHINE\\SOFTWARE\\Quendal\\ZEM4\\PLUGINS,\n"
    "creates each through COM as the host does and prints its identity, capabilities,\n"
    "instances and information entries.\n"
    "\n"
    "  --json             print JSON instead of a table\n"
    "  --watch SECONDS    ask again every SECONDS seconds until interrupted\n"
    "  --count N          stop after N rounds (default: 1, or endless with --watch)\n"
    "  --capture FILE     save this machine's raw thermal-zone WMI block to FILE, to\n"
    "                     send with a bug report; it can be replayed by the WMI test double\n"
    "\n"
    "Exit codes: 0 fine, 2 usage, 3 no PLUGINS key or no plug-in in it, 4 class not\n"
    "registered, 5 plug-in cannot be created, 6 a plug-in method failed, 7 capture failed.\n";

struct Options {
  bool json = false;
  unsigned long watchSeconds = 0;
  unsigned long count = 1;
  bool countGiven = false;
  std::wstring capture;
};

void Write(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

bool Number(const wchar_t* text, unsigned long& value) {
  if (text == nullptr || *text == L'\0') return false;
  wchar_t* end = nullptr;
  value = std::wcstoul(text, &end, 10);
  return *end == L'\0' && text[0] != L'-';
}

// Returns false with a message for a bad command line; "" asks for help.
bool ParseOptions(int argc, wchar_t** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const wchar_t* next = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == L"--json") {
      options.json = true;
    } else if (arg == L"--watch") {
      if (!Number(next, options.watchSeconds) || options.watchSeconds == 0) {
        error = "--watch needs a number of seconds greater than 0";
        return false;
      }
      ++i;
    } else if (arg == L"--count") {
      if (!Number(next, options.count) || options.count == 0) {
        error = "--count needs a number of rounds greater than 0";
        return false;
      }
      options.countGiven = true;
      ++i;
    } else if (arg == L"--capture") {
      if (next == nullptr || *next == L'\0') {
        error = "--capture needs a file name";
        return false;
      }
      options.capture = next;
      ++i;
    } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
      error.clear();
      return false;
    } else {
      error = "unknown argument: " + Utf8(arg);
      return false;
    }
  }
  if (!options.capture.empty() && (options.json || options.watchSeconds || options.countGiven)) {
    error = "--capture cannot be combined with other options";
    return false;
  }
  if (options.countGiven && options.watchSeconds == 0 && options.count > 1) {
    error = "--count needs --watch";
    return false;
  }
  if (options.watchSeconds && !options.countGiven) options.count = 0;  // endless
  return true;
}

int Capture(const std::wstring& path) {
  const WmiBlock block = QueryThermalBlock();
  if (!block.ok) {
    Write(stderr, "zemhost: no capture written. " + Explain(block).explanation + "\n");
    return kExitCaptureFailed;
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Write(stderr, "zemhost: cannot create " + Utf8(path) + " (error " + std::to_string(GetLastError()) + ")\n");
    return kExitCaptureFailed;
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(file, block.data.data(), static_cast<DWORD>(block.data.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok || written != block.data.size()) {
    Write(stderr, "zemhost: cannot write " + Utf8(path) + " (error " + std::to_string(error) + ")\n");
    DeleteFileW(path.c_str());
    return kExitCaptureFailed;
  }
  Write(stdout, "Wrote " + std::to_string(block.data.size()) + " bytes (" + std::to_string(CountNodes(block.data)) +
                    " thermal zones) of the MSAcpi_ThermalZoneTemperature block to " + Utf8(path) + "\n");
  return kExitOk;
}

int Run(const Options& options) {
  std::vector<PluginValue> values;
  std::string message;
  int exitCode = kExitOk;
  if (!ReadPluginValues(values, message, exitCode)) {
    Write(stderr, "zemhost: " + message + "\n");
    return exitCode;
  }
  std::vector<std::unique_ptr<Plugin>> plugins;
  for (const PluginValue& value : values) {
    plugins.push_back(std::make_unique<Plugin>(value));
    if (exitCode == kExitOk) exitCode = plugins.back()->CreationExitCode();
  }
  for (unsigned long round = 1; options.count == 0 || round <= options.count; ++round) {
    if (round > 1) Sleep(options.watchSeconds * 1000);
    Report report;
    report.round = options.watchSeconds ? round : 0;
    for (const auto& plugin : plugins) {
      report.plugins.push_back(plugin->Inspect());
      if (exitCode == kExitOk && !report.plugins.back().callFailures.empty()) exitCode = kExitCallFailed;
    }
    Write(stdout, options.json ? RenderJson(report) : RenderTable(report));
  }
  std::size_t failed = 0;
  for (const auto& plugin : plugins) failed += plugin->CreationExitCode() != kExitOk;
  if (failed) Write(stderr, "zemhost: " + std::to_string(failed) + " of " + std::to_string(plugins.size()) +
                                " plug-ins could not be created (see the report)\n");
  return exitCode;
}

}  // namespace
}  // namespace zemhost

int wmain(int argc, wchar_t** argv) {
  using namespace zemhost;
  // The output is UTF-8 with bare line feeds, the same on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Options options;
  std::string error;
  if (!ParseOptions(argc, argv, options, error)) {
    if (error.empty()) {
      Write(stdout, kUsage);
      return kExitOk;
    }
    Write(stderr, "zemhost: " + error + "\n\n" + kUsage);
    return kExitUsage;
  }
  if (!options.capture.empty()) return Capture(options.capture);

  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) {
    Write(stderr, "zemhost: COM could not be initialised (" + HResultText(init) + ")\n");
    return kExitCannotCreate;
  }
  const int result = Run(options);
  CoUninitialize();
  return result;
}
