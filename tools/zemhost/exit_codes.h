// zemhost's exit codes, listed in its help.
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

}  // namespace zemhost
