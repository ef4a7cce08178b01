// Microseconds per GetTIInstanceData call (the builder behind it, with the
// host's freeing) for 1, 3 and 10 zones served by the WMI test double, next
// to a baseline measured in the same run: the work the contract forces, done
// directly (the three WMI calls, the one query buffer, the same number of
// BSTRs of the same lengths and the one array, allocated and freed).
//
// Run under Wine with the double: WINEDLLOVERRIDES=wmi=n wine bench_instance_data.exe
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "component/zone_entries_win.h"
#include "contract/host_constants_win.h"
#include "contract/host_records_win.h"
#include "test_thermal_chain.h"
#include "wmi_double_win.h"

namespace {

using Clock = std::chrono::steady_clock;
GUID kThermalZoneBlock = boardscope::kThermalZoneBlockGuid;

// The double's data-block functions, called through pointers as an import
// thunk would.
ULONG(WINAPI* WmiOpenBlock)(GUID*, ULONG, HANDLE*);
ULONG(WINAPI* WmiQueryAllDataW)(HANDLE, ULONG*, void*);
ULONG(WINAPI* WmiCloseBlock)(HANDLE);

template <typename F>
void Resolve(F& function, const char* name) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"wmi.dll"), name)));
}

bool CallOnce() {
  ULONG count = 0;
  _ZEM_INFO_ENTRY* info = nullptr;
  if (FAILED(boardscope::BuildThermalZoneEntries(&count, &info))) return false;
  boardscope::FreeInfoEntries(count, info);
  return true;
}

// The contract's own cost for entries whose strings have these lengths.
void BaselineOnce(const std::vector<UINT>& lengths) {
  static const OLECHAR source[128] = L"";
  HANDLE block = nullptr;
  if (WmiOpenBlock(&kThermalZoneBlock, GENERIC_READ, &block) != ERROR_SUCCESS) std::abort();
  ULONG size = 0;
  WmiQueryAllDataW(block, &size, nullptr);
  void* buffer = std::calloc(size, 1);
  if (WmiQueryAllDataW(block, &size, buffer) != ERROR_SUCCESS) std::abort();
  WmiCloseBlock(block);
  std::free(buffer);
  const ULONG count = static_cast<ULONG>(lengths.size() / 3);
  auto* info = static_cast<_ZEM_INFO_ENTRY*>(CoTaskMemAlloc(count * sizeof(_ZEM_INFO_ENTRY)));
  for (ULONG i = 0; i < count; ++i) {
    info[i].Name = SysAllocStringLen(source, lengths[3 * i]);
    info[i].Unit = SysAllocStringLen(source, lengths[3 * i + 1]);
    info[i].StrValue = SysAllocStringLen(source, lengths[3 * i + 2]);
  }
  boardscope::FreeInfoEntries(count, info);
}

template <typename Work>
double MicrosecondsPerCall(int calls, Work work) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) work();
  const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
  return spent.count() / calls;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  const WmiDoubleControl control = WmiDoubleControl::Find();
  if (!control.Loaded()) {
    std::fprintf(stderr, "wmi.dll is not the test double; run with WINEDLLOVERRIDES=wmi=n\n");
    return 2;
  }
  Resolve(WmiOpenBlock, "WmiOpenBlock");
  Resolve(WmiQueryAllDataW, "WmiQueryAllDataW");
  Resolve(WmiCloseBlock, "WmiCloseBlock");
  std::printf("%6s %14s %14s %7s\n", "zones", "us/call", "baseline us", "ratio");
  for (std::size_t zones : {1u, 3u, 10u}) {
    using boardscope::test::ChainNode;
    using boardscope::test::MakeZone;
    const auto chain = boardscope::test::BuildChain(
        std::vector<ChainNode>(zones, ChainNode(MakeZone(3012, 3532, 3732, {3632, 3332}, 7))));
    control.Serve(chain.data(), static_cast<ULONG>(chain.size()));

    // The string lengths of a real answer, for the baseline.
    ULONG count = 0;
    _ZEM_INFO_ENTRY* info = nullptr;
    if (FAILED(boardscope::BuildThermalZoneEntries(&count, &info))) return 1;
    std::vector<UINT> lengths;
    for (ULONG i = 0; i < count; ++i) {
      lengths.push_back(SysStringLen(info[i].Name));
      lengths.push_back(SysStringLen(info[i].Unit));
      lengths.push_back(SysStringLen(info[i].StrValue));
    }
    boardscope::FreeInfoEntries(count, info);

    const int calls = static_cast<int>(20000 / zones);
    for (int i = 0; i < calls / 10; ++i) {  // warm up both paths
      CallOnce();
      BaselineOnce(lengths);
    }
    std::vector<double> ours, base;
    for (int round = 0; round < 9; ++round) {
      ours.push_back(MicrosecondsPerCall(calls / 10, CallOnce));
      base.push_back(MicrosecondsPerCall(calls / 10, [&] { BaselineOnce(lengths); }));
    }
    const double o = Median(ours), b = Median(base);
    std::printf("%6u %14.2f %14.2f %7.2f\n", static_cast<unsigned>(zones), o, b, o / b);
  }
  return 0;
}
