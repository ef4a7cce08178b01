// Shared by the Windows tests of GetTIInstanceData: calling the entry
// builder, copying what it returned and freeing it as the host does; and a
// task-allocator spy.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/zone_entries_win.h"
#include "contract/host_records_win.h"
#include "wmi_double_win.h"

namespace boardscope::test {

struct EntryCopy {
  std::wstring name, unit, strValue;
  bool nameNull, unitNull, strValueNull;
  VALUETYPE type;
  LONGLONG value, divisor;
  ULONG flags, error;
};

inline std::wstring FromBstr(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

struct CallResult {
  HRESULT hr = E_FAIL;
  ULONG count = 0xDEADBEEF;
  bool arrayNull = true;
  std::vector<EntryCopy> entries;
};

// Calls the builder with sentinel outputs, copies the entries and frees them
// the way the host does: three strings per entry, then the array.
inline CallResult CallBuilder() {
  CallResult r;
  _ZEM_INFO_ENTRY* info = reinterpret_cast<_ZEM_INFO_ENTRY*>(0xBDBDBDBD);
  r.hr = BuildThermalZoneEntries(&r.count, &info);
  r.arrayNull = info == nullptr;
  if (FAILED(r.hr) || info == nullptr) return r;
  for (ULONG i = 0; i < r.count; ++i) {
    const _ZEM_INFO_ENTRY& e = info[i];
    r.entries.push_back({FromBstr(e.Name), FromBstr(e.Unit), FromBstr(e.StrValue), e.Name == nullptr,
                         e.Unit == nullptr, e.StrValue == nullptr, e.Type, e.Value.QuadPart,
                         e.Divisor.QuadPart, e.Flags, e.Error});
  }
  FreeInfoEntries(r.count, info);
  return r;
}

// The test double's controls; a test fails early when wmi.dll is not it.
inline const WmiDoubleControl& Double() {
  static const WmiDoubleControl control = WmiDoubleControl::Find();
  return control;
}

inline std::string Events() {
  WmiDoubleCounts counts{};
  Double().GetCounts(&counts);
  return counts.events;
}

// Counts task-allocator requests while armed and can refuse one size.
class AllocationSpy final : public IMallocSpy {
 public:
  void Arm(SIZE_T refuseSize = 0) {
    allocations.clear();
    reallocations = 0;
    refuse = refuseSize;
    armed = true;
  }
  void Disarm() { armed = false; }
  int AllocationsOf(SIZE_T size) const {
    int n = 0;
    for (SIZE_T a : allocations) n += a == size;
    return n;
  }

  std::vector<SIZE_T> allocations;
  int reallocations = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IMallocSpy) {
      *out = static_cast<IMallocSpy*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override {
    if (!armed) return cb;
    allocations.push_back(cb);
    return cb != 0 && cb == refuse ? 0 : cb;
  }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return request; }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T cb, void** newRequest, BOOL) override {
    if (armed) ++reallocations;
    *newRequest = request;
    return cb;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  bool armed = false;
  SIZE_T refuse = 0;
};

// One spy for the process, registered on first use and never destroyed, as
// the allocator may keep it while blocks it saw are still alive.
inline AllocationSpy& Spy() {
  static AllocationSpy* spy = [] {
    auto* s = new AllocationSpy;
    CoRegisterMallocSpy(s);
    return s;
  }();
  return *spy;
}

}  // namespace boardscope::test
