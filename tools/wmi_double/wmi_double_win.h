// Control interface of the WMI test double: a wmi.dll that serves one
// recorded or constructed WNODE_ALL_DATA result buffer for the thermal-zone
// block and can be told to fail any step. Programs reach the controls through
// GetProcAddress on the wmi.dll they have loaded, so that they always talk to
// the module that also answers the data-block calls.
#pragma once

#include <windows.h>

extern "C" {

// Steps that can be made to fail.
enum WmiDoubleStep : ULONG {
  kWmiDoubleNoFailure = 0,
  kWmiDoubleOpen = 1,       // WmiOpenBlock
  kWmiDoubleSizeQuery = 2,  // WmiQueryAllDataW without a big enough buffer
  kWmiDoubleDataQuery = 3,  // WmiQueryAllDataW with a big enough buffer
};

// What the double has seen since the last reset. `events` spells the calls
// in order: O open, S size query, Q data query, C close (at most 63 kept).
struct WmiDoubleCounts {
  ULONG opens;
  ULONG sizeQueries;
  ULONG dataQueries;
  ULONG closes;
  ULONG openHandles;      // opened and not yet closed
  ULONG lastAccess;       // desired access of the last open
  ULONG lastBufferSize;   // size passed with the last data query
  ULONG wrongGuidOpens;   // opens for another block
  char events[64];
};

// Serves a copy of `size` bytes from now on; size 0 serves nothing (opens
// fail as on a machine without thermal zones). Returns a Win32 code.
typedef ULONG(WINAPI* WmiDoubleServeFn)(const void* data, ULONG size);
// Serves the contents of a capture file. Returns a Win32 code.
typedef ULONG(WINAPI* WmiDoubleServeFileFn)(const wchar_t* path);
// The capture named by BOARDSCOPE_WMI_CAPTURE that could not be read (or
// is empty), copied to `path` (`pathChars` units with the terminator), and
// the Win32 code why; ERROR_SUCCESS when every capture named was read or
// none was named. zemhost asks it to name a failed replay.
typedef ULONG(WINAPI* WmiDoubleReplayProblemFn)(wchar_t* path, ULONG pathChars);
// Makes `step` answer `error` (the double's next calls until changed).
typedef void(WINAPI* WmiDoubleFailStepFn)(ULONG step, ULONG error);
// On close, writes `currentTemperature` over the CurrentTemperature of the
// first zone in the caller's buffer of the last data query (0 turns it off).
// A caller that walks its buffer after closing the block sees the new value.
typedef void(WINAPI* WmiDoubleStampOnCloseFn)(ULONG currentTemperature);
// On close, signals `reached` and waits for `release` (null handles: off).
typedef void(WINAPI* WmiDoubleHoldCloseFn)(HANDLE reached, HANDLE release);
typedef void(WINAPI* WmiDoubleGetCountsFn)(WmiDoubleCounts* counts);
// Clears the counts, the failure, the stamp and the hold; keeps the data.
typedef void(WINAPI* WmiDoubleResetFn)();

}  // extern "C"

// The controls of the loaded double, or all null when wmi.dll is not it
// (for instance when Wine's own wmi.dll was loaded: WINEDLLOVERRIDES=wmi=n).
struct WmiDoubleControl {
  WmiDoubleServeFn Serve = nullptr;
  WmiDoubleServeFileFn ServeFile = nullptr;
  WmiDoubleFailStepFn FailStep = nullptr;
  WmiDoubleStampOnCloseFn StampOnClose = nullptr;
  WmiDoubleHoldCloseFn HoldClose = nullptr;
  WmiDoubleGetCountsFn GetCounts = nullptr;
  WmiDoubleResetFn Reset = nullptr;

  bool Loaded() const { return Serve && ServeFile && FailStep && StampOnClose && HoldClose && GetCounts && Reset; }

  static WmiDoubleControl Find() {
    WmiDoubleControl c;
    HMODULE wmi = GetModuleHandleW(L"wmi.dll");
    if (wmi == nullptr) wmi = LoadLibraryW(L"wmi.dll");
    if (wmi == nullptr) return c;
    c.Serve = reinterpret_cast<WmiDoubleServeFn>(Proc(wmi, "WmiDoubleServe"));
    c.ServeFile = reinterpret_cast<WmiDoubleServeFileFn>(Proc(wmi, "WmiDoubleServeFile"));
    c.FailStep = reinterpret_cast<WmiDoubleFailStepFn>(Proc(wmi, "WmiDoubleFailStep"));
    c.StampOnClose = reinterpret_cast<WmiDoubleStampOnCloseFn>(Proc(wmi, "WmiDoubleStampOnClose"));
    c.HoldClose = reinterpret_cast<WmiDoubleHoldCloseFn>(Proc(wmi, "WmiDoubleHoldClose"));
    c.GetCounts = reinterpret_cast<WmiDoubleGetCountsFn>(Proc(wmi, "WmiDoubleGetCounts"));
    c.Reset = reinterpret_cast<WmiDoubleResetFn>(Proc(wmi, "WmiDoubleReset"));
    return c;
  }

 private:
  static void* Proc(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
  }
};
