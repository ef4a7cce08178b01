// zemhost's exit codes; its help lists them from the table below.
#pragma once

namespace zemhost {

// When several plug-ins fail, the first failure in value-name order decides.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 2,
  kExitNoPluginsKey = 3,        // the PLUGINS key is missing or lists nothing
  kExitClassNotRegistered = 4,  // REGDB_E_CLASSNOTREG
  kExitCannotCreate = 5,        // any other reason the plug-in cannot be made
  kExitCallFailed = 6,          // a contract method answered a failure
  kExitCaptureFailed = 7,       // --capture could not read or write the block
  kExitPrometheusFailed = 8,    // --prometheus could not write its file
  kExitReplayFailed = 9,        // the WMI test double cannot read the capture to replay
};

// Each code's meaning, in the words of the help's list.
struct ExitCodeMeaning {
  ExitCode code;
  const char* meaning;
};
inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kExitOk, "fine"},
    {kExitUsage, "bad arguments"},
    {kExitNoPluginsKey, "no PLUGINS key or no plug-in in it"},
    {kExitClassNotRegistered, "class not registered"},
    {kExitCannotCreate, "plug-in cannot be created"},
    {kExitCallFailed, "a plug-in method failed"},
    {kExitCaptureFailed, "capture failed"},
    {kExitPrometheusFailed, "the Prometheus file could not be written"},
    {kExitReplayFailed, "the replayed capture cannot be read"},
};

}  // namespace zemhost
