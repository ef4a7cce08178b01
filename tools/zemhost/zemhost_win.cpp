// zemhost: checks ZEM plug-ins without the real host. It finds every plug-in
// listed under HKLM\SOFTWARE\Quendal\ZEM4\PLUGINS, creates it through COM
// as the host does, and prints what it reports.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host_win.h"
#include "options.h"
#include "report.h"
#include "wmi_probe.h"
#include "zone_reading.h"

namespace zemhost {
namespace {

void Write(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// A new file beside `path` under a name nobody can predict, created with
// CREATE_NEW so that a file, folder or link planted in the folder is never
// opened, followed or replaced; another name is tried on a collision.
boardscope::UniqueFileHandle CreateFreshTemporary(const std::wstring& path, std::wstring& temp, DWORD& error) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    GUID random;
    if (FAILED(CoCreateGuid(&random))) {
      error = ERROR_GEN_FAILURE;
      break;
    }
    std::wstring name = L".";
    const auto* bytes = reinterpret_cast<const unsigned char*>(&random);
    for (std::size_t i = 0; i < sizeof random; ++i) {
      name += L"0123456789abcdef"[bytes[i] >> 4];
      name += L"0123456789abcdef"[bytes[i] & 15];
    }
    temp = path + name + L".tmp";
    boardscope::UniqueFileHandle file(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    error = GetLastError();
    // A folder under the name answers access denied rather than "exists".
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) break;
  }
  return {};
}

// Writes all of `data`: ERROR_SUCCESS or the system's reason. A write that
// succeeds short of the whole (a full disk may) answers ERROR_DISK_FULL.
[[nodiscard]] DWORD WriteAll(HANDLE file, const void* data, std::size_t size) {
  DWORD written = 0;
  if (!WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr)) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  }
  return written == size ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

// Writes `text` to a temporary file beside `path` and renames it over
// `path`, so that a reader of the folder (the Windows exporter's textfile
// collector reads every *.prom in it) sees the old file or the new one,
// never half of one. The temporary name does not end in .prom.
bool WriteReplacing(const std::wstring& path, const std::string& text, std::string& error) {
  std::wstring temp;
  DWORD createError = 0;
  boardscope::UniqueFileHandle file = CreateFreshTemporary(path, temp, createError);
  if (!file) {
    error = "cannot create " + Utf8(temp) + " (" + SystemErrorText(createError) + ")";
    return false;
  }
  DWORD writeError = WriteAll(file.get(), text.data(), text.size());
  if (writeError == ERROR_SUCCESS && !FlushFileBuffers(file.get())) writeError = GetLastError();
  file.reset();  // closed before the file is deleted or renamed
  if (writeError != ERROR_SUCCESS) {
    DeleteFileW(temp.c_str());
    error = "cannot write " + Utf8(temp) + " (" + SystemErrorText(writeError) + ")";
    return false;
  }
  // A reader that has the old file open without delete sharing holds off
  // the rename for as long as it reads: try again for a moment.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD moveError = GetLastError();
    if ((moveError == ERROR_ACCESS_DENIED || moveError == ERROR_SHARING_VIOLATION) && attempt < 20) {
      Sleep(50);
      continue;
    }
    DeleteFileW(temp.c_str());
    error = "cannot replace " + Utf8(path) + " (error " + std::to_string(moveError) + ")";
    return false;
  }
}

// Writes the Prometheus file of one round; false after saying why.
bool ExportPrometheus(const Options& options, const Report& report) {
  if (options.prometheus.empty()) return true;
  std::string error;
  if (WriteReplacing(Wide(options.prometheus), RenderPrometheus(report), error)) return true;
  Write(stderr, "zemhost: no Prometheus file written: " + error + "\n");
  return false;
}

int Capture(const std::wstring& path) {
  const WmiBlock block = QueryThermalBlock();
  if (!block.ok) {
    Write(stderr, "zemhost: no capture written. " + Explain(block).explanation + "\n");
    return kExitCaptureFailed;
  }
  boardscope::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Write(stderr, "zemhost: cannot create " + Utf8(path) + " (" + SystemErrorText(GetLastError()) + ")\n");
    return kExitCaptureFailed;
  }
  DWORD error = WriteAll(file.get(), block.data.data(), block.data.size());
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) error = GetLastError();
  file.reset();  // closed before the file may be deleted
  if (error != ERROR_SUCCESS) {
    Write(stderr, "zemhost: cannot write " + Utf8(path) + " (" + SystemErrorText(error) + ")\n");
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
    // No plug-in, no zones: the file says so rather than keep the last ones.
    ExportPrometheus(options, Report());
    return exitCode;
  }
  std::vector<std::unique_ptr<Plugin>> plugins;
  for (const PluginValue& value : values) {
    plugins.push_back(std::make_unique<Plugin>(value));
    if (exitCode == kExitOk) exitCode = plugins.back()->CreationExitCode();
  }
  UnchangingReadings unchanging(static_cast<std::uint32_t>(options.unchangingRounds));
  for (unsigned long round = 1; options.count == 0 || round <= options.count; ++round) {
    if (round > 1) Sleep(options.watchSeconds * 1000);
    Report report;
    report.round = options.watchSeconds ? round : 0;
    for (const auto& plugin : plugins) {
      report.plugins.push_back(plugin->Inspect());
      if (exitCode == kExitOk && !report.plugins.back().callFailures.empty()) exitCode = kExitCallFailed;
    }
    if (options.watchSeconds) unchanging.Observe(report);
    Write(stdout, options.json ? RenderJson(report) : RenderTable(report));
    if (!ExportPrometheus(options, report) && exitCode == kExitOk) exitCode = kExitPrometheusFailed;
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
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
  const ParsedCommandLine parsed = ParseCommandLine(args, ZEMHOST_VERSION);
  if (!parsed.run) {
    Write(stdout, parsed.out);
    Write(stderr, parsed.err);
    return parsed.exitCode;
  }
  const Options& options = parsed.options;
  // A replay whose capture cannot be read would otherwise look like a
  // machine without thermal zones.
  const std::string replayProblem = ReplayProblem();
  if (!replayProblem.empty()) {
    Write(stderr, "zemhost: " + replayProblem + "\n");
    return kExitReplayFailed;
  }
  if (!options.capture.empty()) return Capture(Wide(options.capture));

  const boardscope::ComApartment com;
  if (!com.ok()) {
    Write(stderr, "zemhost: COM could not be initialised (" + HResultText(com.result()) + ")\n");
    return kExitCannotCreate;
  }
  return Run(options);
}
