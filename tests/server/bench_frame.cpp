// Prints the cost of late binding through the name cache next to the type
// information's own lookup, and of creating and releasing our object next to
// a minimal COM class, both measured in this run.
#include <windows.h>

#include <cstdio>

#include "Boardscope.h"
#include "platform/owners_win.h"

namespace {

using namespace boardscope;

double NowMicroseconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename Body>
double MicrosecondsPerCall(int calls, Body&& body) {
  const double start = NowMicroseconds();
  for (int i = 0; i < calls; ++i) body();
  return (NowMicroseconds() - start) / calls;
}

// The smallest object a class factory can hand out.
class MinimalObject final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --count_;
    if (count == 0) delete this;
    return count;
  }

 private:
  ULONG count_ = 0;
};

class MinimalFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new MinimalObject();
    object->AddRef();
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

const CLSID kMinimalClass = {0x5D1F0C2A, 0x3B7E, 0x4C19, {0x9E, 0x42, 0x11, 0x6A, 0x0D, 0x8B, 0x73, 0x21}};

}  // namespace

int main() {
  const ComApartment com;
  UniqueLibrary dll(LoadLibraryW(L"Boardscope.dll"));
  if (!dll) return std::printf("cannot load Boardscope.dll\n"), 1;
  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll.get(), "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  if (FAILED(getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))))
    return std::printf("no class factory\n"), 1;

  // Late binding needs the registered type library.
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(dll.get(), path, MAX_PATH);
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(path, REGKIND_REGISTER, library.put()))) return std::printf("no type library\n"), 1;

  ComPtr<IZEMInfo> info;
  factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(info.put()));
  IDispatch* dispatch = info.get();
  ComPtr<ITypeInfo> typeInfo;
  dispatch->GetTypeInfo(0, 0x409, typeInfo.put());
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetTIInstanceData")};
  DISPID id = 0;
  const int lookups = 200000;
  const double cached = MicrosecondsPerCall(lookups, [&] { dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id); });
  const double direct = MicrosecondsPerCall(lookups, [&] { typeInfo->GetIDsOfNames(names, 1, &id); });
  std::printf("GetIDsOfNames, one name:   name cache %8.4f us   type information %8.4f us   %.1fx faster\n",
              cached, direct, direct / cached);

  DWORD ourCookie = 0;
  DWORD minimalCookie = 0;
  MinimalFactory minimal;
  CoRegisterClassObject(CLSID_ZEMBoardscope, factory.get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &ourCookie);
  CoRegisterClassObject(kMinimalClass, &minimal, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &minimalCookie);
  const int creations = 50000;
  auto create = [](REFCLSID clsid) {
    IUnknown* object = nullptr;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)))) {
      object->Release();
    }
  };
  // Alternate the two in rounds so that warm-up and drift fall on both alike.
  double ours = 0;
  double plain = 0;
  const int rounds = 10;
  for (int round = 0; round < rounds; ++round) {
    plain += MicrosecondsPerCall(creations / rounds, [&] { create(kMinimalClass); }) / rounds;
    ours += MicrosecondsPerCall(creations / rounds, [&] { create(CLSID_ZEMBoardscope); }) / rounds;
  }
  std::printf("CoCreateInstance+Release:  ZEMBoardscope %8.4f us   minimal class %8.4f us   ratio %.2f\n", ours,
              plain, ours / plain);
  auto createDirect = [](IClassFactory* from) {
    IUnknown* object = nullptr;
    if (SUCCEEDED(from->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)))) {
      object->Release();
    }
  };
  const double oursDirect = MicrosecondsPerCall(creations, [&] { createDirect(factory.get()); });
  const double plainDirect = MicrosecondsPerCall(creations, [&] { createDirect(&minimal); });
  std::printf("CreateInstance+Release:    ZEMBoardscope %8.4f us   minimal class %8.4f us   ratio %.2f\n",
              oursDirect, plainDirect, oursDirect / plainDirect);
  CoRevokeClassObject(ourCookie);
  CoRevokeClassObject(minimalCookie);

  UnRegisterTypeLib(LIBID_BoardscopeLib, 1, 0, 0x409, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  info.reset();
  typeInfo.reset();
  library.reset();
  factory.reset();
  return 0;
}
