// The host's side of the contract: finds the plug-ins listed in the registry,
// creates them through COM and asks them what a host asks.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "exit_codes.h"
#include "report.h"
#include "contract/host_constants_win.h"
#include "contract/host_records_win.h"
#include "platform/owners_win.h"

namespace zemhost {

struct PluginValue {
  std::wstring name;
  std::wstring text;  // expanded when the value is REG_EXPAND_SZ
  DWORD type = REG_NONE;
};

// Lists the values of HKLM\<boardscope::kPluginsKeyPath>, sorted by name. On failure
// returns false with the message and exit code to report.
[[nodiscard]] bool ReadPluginValues(std::vector<PluginValue>& values, std::string& message, int& exitCode);

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
std::wstring Wide(const std::string& utf8);

}  // namespace zemhost
