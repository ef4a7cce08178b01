// The host's side of the contract: finds the plug-ins listed in the registry,
// creates them through COM and asks them what a host asks.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "report.h"
#include "platform/owners_win.h"

namespace zemhost {

// Exit codes; when several plug-ins fail, the first failure in value-name
// order decides.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 2,
  kExitNoPluginsKey = 3,        // the PLUGINS key is missing or lists nothing
  kExitClassNotRegistered = 4,  // REGDB_E_CLASSNOTREG
  kExitCannotCreate = 5,        // any other reason the plug-in cannot be made
  kExitCallFailed = 6,          // a contract method answered a failure
  kExitCaptureFailed = 7,       // --capture could not read or write the block
};

extern const wchar_t kPluginsKeyPath[];

struct PluginValue {
  std::wstring name;
  std::wstring text;  // expanded when the value is REG_EXPAND_SZ
  DWORD type = REG_NONE;
};

// Lists the values of HKLM\<kPluginsKeyPath>, sorted by name. On failure
// returns false with the message and exit code to report.
bool ReadPluginValues(std::vector<PluginValue>& values, std::string& message, int& exitCode);

// One plug-in, created the way the host creates it. Init at creation,
// UnInit and release at destruction.
class Plugin {
 public:
  explicit Plugin(const PluginValue& value);
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // Exit code for the creation: kExitOk, kExitClassNotRegistered or
  // kExitCannotCreate.
  int CreationExitCode() const { return creationExit_; }
  // Asks every question of the contract and frees what comes back.
  PluginReport Inspect() const;

 private:
  PluginReport identity_;  // value name, class id, creation outcome
  int creationExit_ = kExitOk;
  boardscope::ComPtr<IZEMComponent> component_;
  boardscope::ComPtr<IZEMInfo> info_;
};

std::string Utf8(const wchar_t* text, int length = -1);
inline std::string Utf8(const std::wstring& text) { return Utf8(text.c_str(), static_cast<int>(text.size())); }

}  // namespace zemhost
