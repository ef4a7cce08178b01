// Drives Boardscope.dll the way a host does: load it, take the class factory,
// create objects plain and aggregated, and call through each interface's
// virtual table and IDispatch.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Boardscope.h"
#include "platform/owners_win.h"
#include "tests/test_thread_win.h"

namespace boardscope {
namespace {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFunction = HRESULT(STDAPICALLTYPE*)();
constexpr LCID kEnglishUs = 0x409;
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

const GUID kUnknownClass = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};

class Dll {
 public:
  Dll() : module_(LoadLibraryW(L"Boardscope.dll")) {
    if (module_) {
      getClassObject = reinterpret_cast<GetClassObjectFunction>(
          reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllGetClassObject")));
      canUnloadNow = reinterpret_cast<CanUnloadFunction>(
          reinterpret_cast<void*>(GetProcAddress(module_.get(), "DllCanUnloadNow")));
    }
  }
  HMODULE Module() const { return module_.get(); }
  ComPtr<IClassFactory> Factory() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory,
                             reinterpret_cast<void**>(factory.put())),
              S_OK);
    return factory;
  }

  GetClassObjectFunction getClassObject = nullptr;
  CanUnloadFunction canUnloadNow = nullptr;

 private:
  UniqueLibrary module_;
};

template <typename T>
ComPtr<T> Query(IUnknown* from, REFIID iid, HRESULT expected = S_OK) {
  ComPtr<T> result;
  EXPECT_EQ(from->QueryInterface(iid, reinterpret_cast<void**>(result.put())), expected);
  return result;
}

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

#if defined(__i386__)
// How far a bare call leaves the stack pointer moved: 0 when the callee
// removes exactly the arguments pushed, as the stdcall convention of every
// export and interface method requires. Callers built with frame pointers
// hide a wrong cleanup, so it is measured around the call itself.
long StackDrift(const void* function, std::vector<ULONG_PTR> arguments) {
  const ULONG_PTR* first = arguments.data();
  const ULONG_PTR* next = first + arguments.size();
  const void* target = function;
  ULONG_PTR scratch = 0;
  long drift = 0;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "jmp 2f\n"
      "1:\n\t"
      "subl $4, %%ebx\n\t"
      "pushl (%%ebx)\n"
      "2:\n\t"
      "cmpl %%edi, %%ebx\n\t"
      "jne 1b\n\t"
      "call *%%edx\n\t"
      "movl %%esp, %%eax\n\t"
      "subl %%esi, %%eax\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(drift), "+b"(next), "+d"(target), "+c"(scratch)
      : "D"(first)
      : "esi", "memory", "cc");
  return drift;
}
#endif

// A minimal outer object that aggregates the component.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
  IUnknown* inner = nullptr;
  ULONG count = 1;
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll.Module(), nullptr) << GetLastError();
    ASSERT_NE(dll.getClassObject, nullptr);
    ASSERT_NE(dll.canUnloadNow, nullptr);
  }
  void TearDown() override { EXPECT_EQ(dll.canUnloadNow(), S_OK) << "a module lock leaked"; }
  Dll dll;
};

TEST_F(HostTest, ClassObjectResults) {
  EXPECT_EQ(dll.getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory, nullptr), E_POINTER);
  void* out = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(dll.getClassObject(kUnknownClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(dll.getClassObject(CLSID_ZEMBoardscope, IID_IZEMInfo, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IClassFactory> first = dll.Factory();
  ComPtr<IClassFactory> second = dll.Factory();
  EXPECT_EQ(first.get(), second.get());
  ComPtr<IUnknown> identity = Query<IUnknown>(first.get(), IID_IUnknown);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(first.get()));
}

TEST_F(HostTest, ExportsAndMethodsRemoveTheirOwnArguments) {
#if !defined(__i386__)
  GTEST_SKIP() << "x86-64 has one calling convention";
#else
  void* factory = nullptr;
  EXPECT_EQ(StackDrift(reinterpret_cast<const void*>(dll.getClassObject),
                       {reinterpret_cast<ULONG_PTR>(&CLSID_ZEMBoardscope),
                        reinterpret_cast<ULONG_PTR>(&IID_IClassFactory),
                        reinterpret_cast<ULONG_PTR>(&factory)}),
            0);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(StackDrift(reinterpret_cast<const void*>(dll.canUnloadNow), {}), 0);
  // IClassFactory::LockServer, slot 4, and IUnknown::Release, slot 2.
  void* const* slots = *static_cast<void* const* const*>(factory);
  const auto self = reinterpret_cast<ULONG_PTR>(factory);
  EXPECT_EQ(StackDrift(slots[4], {self, TRUE}), 0);
  EXPECT_EQ(StackDrift(slots[4], {self, FALSE}), 0);
  EXPECT_EQ(StackDrift(slots[2], {self}), 0);
#endif
}

TEST_F(HostTest, UnloadingFollowsLocksNotTheCache) {
  EXPECT_EQ(dll.canUnloadNow(), S_OK);
  {
    ComPtr<IClassFactory> factory = dll.Factory();
    EXPECT_EQ(dll.canUnloadNow(), S_FALSE);
    EXPECT_EQ(RefCount(factory.get()), 2u);  // the cache's and ours
  }
  EXPECT_EQ(dll.canUnloadNow(), S_OK);

  ComPtr<IClassFactory> factory = dll.Factory();
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  EXPECT_EQ(dll.canUnloadNow(), S_FALSE);
  factory = dll.Factory();
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory.reset();
  EXPECT_EQ(dll.canUnloadNow(), S_OK);

  factory = dll.Factory();
  ComPtr<IZEMInfo> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(object.put())),
            S_OK);
  factory.reset();
  EXPECT_EQ(dll.canUnloadNow(), S_FALSE);
  object.reset();
}

TEST_F(HostTest, CreateInstanceRefusals) {
  ComPtr<IClassFactory> factory = dll.Factory();
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IZEMInfo, nullptr), E_POINTER);
  void* out = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  Outer outer;
  out = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IZEMInfo, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
}

TEST_F(HostTest, PlainObjectIdentityAndInterfaces) {
  ComPtr<IClassFactory> factory = dll.Factory();
  ComPtr<IZEMInfo> info;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(info.put())),
            S_OK);
  EXPECT_EQ(RefCount(info.get()), 1u);
  ComPtr<IZEMBoardscope> boardscope = Query<IZEMBoardscope>(info.get(), IID_IZEMBoardscope);
  ComPtr<IZEMComponent> component = Query<IZEMComponent>(info.get(), IID_IZEMComponent);
  ComPtr<IDispatch> dispatch = Query<IDispatch>(info.get(), IID_IDispatch);
  EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(component.get()));
  for (IUnknown* from : {static_cast<IUnknown*>(info.get()), static_cast<IUnknown*>(component.get()),
                         static_cast<IUnknown*>(boardscope.get())}) {
    ComPtr<IUnknown> identity = Query<IUnknown>(from, IID_IUnknown);
    EXPECT_EQ(static_cast<void*>(identity.get()), static_cast<void*>(boardscope.get()));
  }
  void* refused = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(info->QueryInterface(IID_IClassFactory, &refused), E_NOINTERFACE);
  EXPECT_EQ(refused, nullptr) << "a refused interface clears the caller's slot";

  // The host methods through the virtual table.
  ULONG count = 0;
  EXPECT_EQ(info->GetTIInstanceCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  _ZEM_COMPONENT_CAPS caps{};
  EXPECT_EQ(component->GetComponentCaps(&caps), S_OK);
  EXPECT_EQ(caps.IZemInformationSupport, 1);
}

TEST_F(HostTest, AggregatedObjectDelegatesToTheOuter) {
  ComPtr<IClassFactory> factory = dll.Factory();
  Outer outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  outer.inner = inner;
  EXPECT_EQ(dll.canUnloadNow(), S_FALSE);

  IUnknown* self = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self)), S_OK);
  EXPECT_EQ(self, inner);
  self->Release();

  IZEMInfo* info = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IZEMInfo, reinterpret_cast<void**>(&info)), S_OK);
  EXPECT_EQ(outer.count, 2u) << "references to inner interfaces count on the outer object";
  IUnknown* identity = nullptr;
  ASSERT_EQ(info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  identity->Release();
  info->Release();
  EXPECT_EQ(outer.count, 1u);
  outer.inner = nullptr;
  EXPECT_EQ(inner->Release(), 0u);
}

TEST_F(HostTest, ConcurrentFirstRequestsShareOneFactory) {
  constexpr int kThreads = 8;
  std::vector<IClassFactory*> seen(kThreads, nullptr);
  std::atomic<bool> go{false};
  std::vector<std::unique_ptr<test::TestThread>> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.push_back(std::make_unique<test::TestThread>([&, i] {
      while (!go) SwitchToThread();
      dll.getClassObject(CLSID_ZEMBoardscope, IID_IClassFactory, reinterpret_cast<void**>(&seen[i]));
      for (int round = 0; round < 50; ++round) {
        IZEMInfo* object = nullptr;
        if (SUCCEEDED(seen[i]->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(&object)))) {
          object->Release();
        }
      }
    }));
  }
  go = true;
  for (auto& thread : threads) thread->Join();
  for (IClassFactory* factory : seen) {
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory, seen[0]);
  }
  for (IClassFactory* factory : seen) factory->Release();
}

// Registers the DLL's type library for the test's lifetime.
class RegisteredTypeLibrary {
 public:
  explicit RegisteredTypeLibrary(HMODULE module) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    result = LoadTypeLibEx(path, REGKIND_REGISTER, library_.put());
  }
  ~RegisteredTypeLibrary() {
    if (SUCCEEDED(result)) UnRegisterTypeLib(LIBID_BoardscopeLib, 1, 0, kEnglishUs, kSysKind);
  }
  HRESULT result;

 private:
  ComPtr<ITypeLib> library_;
};

DISPID IdOf(IDispatch* dispatch, const wchar_t* name, HRESULT* result) {
  DISPID id = -1;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  *result = dispatch->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id);
  return id;
}

TEST_F(HostTest, LateBindingThroughTheRegisteredTypeLibrary) {
  ComPtr<IClassFactory> factory = dll.Factory();
  ComPtr<IZEMInfo> info;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IZEMInfo, reinterpret_cast<void**>(info.put())),
            S_OK);
  ComPtr<IDispatch> dispatch = Query<IDispatch>(info.get(), IID_IDispatch);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* untouched = reinterpret_cast<ITypeInfo*>(0xBD);
  EXPECT_EQ(dispatch->GetTypeInfo(1, kEnglishUs, &untouched), DISP_E_BADINDEX);
  EXPECT_EQ(untouched, reinterpret_cast<ITypeInfo*>(0xBD));

  // Unregistered: every call retries the registry and fails the same way.
  UnRegisterTypeLib(LIBID_BoardscopeLib, 1, 0, kEnglishUs, kSysKind);
  HRESULT result = S_OK;
  IdOf(dispatch.get(), L"UnInit", &result);
  const HRESULT unregistered = result;
  EXPECT_TRUE(FAILED(unregistered));
  IdOf(dispatch.get(), L"UnInit", &result);
  EXPECT_EQ(result, unregistered);

  RegisteredTypeLibrary registration(dll.Module());
  ASSERT_EQ(registration.result, S_OK);

  // IDispatch is IZEMComponent: its names, not IZEMInfo's.
  EXPECT_EQ(IdOf(dispatch.get(), L"GetComponentCaps", &result), 4);
  EXPECT_EQ(result, S_OK);
  for (const wchar_t* name : {L"GetTIInstanceData", L"GetComponent", L"GetComponentCapsX"}) {
    IdOf(dispatch.get(), name, &result);
    EXPECT_EQ(result, DISP_E_UNKNOWNNAME) << "a cached name answers only in full";
  }

  // The cache compares exactly; another letter case goes to the type information.
  IDispatch* infoDispatch = info.get();
  EXPECT_EQ(IdOf(infoDispatch, L"GetTIInstanceData", &result), 4);
  EXPECT_EQ(result, S_OK);
  DISPID viaTypeInfo = IdOf(infoDispatch, L"gettiinstancedata", &result);
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(viaTypeInfo, 4);

  // Dispatch id 2 is UnInit on IDispatch and GetTIInstanceCount on IZEMInfo.
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  EXPECT_EQ(dispatch->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD, &none, &value, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(value.vt, VT_EMPTY);
  EXPECT_EQ(infoDispatch->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD, &none, &value, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(value.vt, VT_UI4);
  EXPECT_EQ(value.ulVal, 1u);

  // Null arrays and parameter blocks are refused before the type information sees them.
  LPOLESTR nullName[] = {nullptr};
  LPOLESTR oneName[] = {const_cast<LPOLESTR>(L"UnInit")};
  DISPID id = -1;
  VARIANT argument;
  VariantInit(&argument);
  DISPPARAMS argumentsMissing = {nullptr, nullptr, 1, 0};
  DISPPARAMS namedMissing = {&argument, nullptr, 1, 1};
  struct NullCase {
    const char* what;
    HRESULT result;
    HRESULT expected;
  } const nullCases[] = {
      {"null name array", dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, kEnglishUs, &id), E_POINTER},
      {"null name", dispatch->GetIDsOfNames(IID_NULL, nullName, 1, kEnglishUs, &id), E_POINTER},
      {"null DISPID array", dispatch->GetIDsOfNames(IID_NULL, oneName, 1, kEnglishUs, nullptr), E_POINTER},
      {"null DISPPARAMS", dispatch->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD, nullptr, &value, nullptr,
                                           nullptr), E_INVALIDARG},
      {"arguments counted, none given", dispatch->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD,
                                                         &argumentsMissing, &value, nullptr, nullptr), E_INVALIDARG},
      {"named arguments counted, none given", dispatch->Invoke(2, IID_NULL, kEnglishUs, DISPATCH_METHOD,
                                                               &namedMissing, &value, nullptr, nullptr), E_INVALIDARG},
  };
  for (const NullCase& c : nullCases) EXPECT_EQ(c.result, c.expected) << c.what;
  EXPECT_EQ(id, -1);

  ITypeInfo* typeInfo = nullptr;
  ASSERT_EQ(dispatch->GetTypeInfo(0, kEnglishUs, &typeInfo), S_OK);
  ASSERT_NE(typeInfo, nullptr);
  typeInfo->Release();
}

// A script host passes its user's locale; the library is registered for
// US English only. Each case starts from a freshly loaded module, whose first
// late-bound call loads the type information.
TEST(LateBindingLocales, FirstCallsOfAFreshModuleSucceedInAnyLocale) {
  for (const LCID locale : {LCID{0x407}, LCID{LOCALE_USER_DEFAULT}, LCID{0x411}}) {
    for (const bool invokeFirst : {false, true}) {
      SCOPED_TRACE(testing::Message() << "locale " << std::hex << locale << (invokeFirst ? ", Invoke" : ", GetIDsOfNames") << " first");
      Dll dll;
      ASSERT_NE(dll.Module(), nullptr);
      RegisteredTypeLibrary registration(dll.Module());
      ASSERT_EQ(registration.result, S_OK);
      ComPtr<IDispatch> dispatch;
      ASSERT_EQ(dll.Factory()->CreateInstance(nullptr, IID_IDispatch,
                                                    reinterpret_cast<void**>(dispatch.put())),
                S_OK);
      DISPPARAMS none = {nullptr, nullptr, 0, 0};
      VARIANT value;
      VariantInit(&value);
      // Dispatch id 2 is UnInit.
      if (invokeFirst) {
        EXPECT_EQ(dispatch->Invoke(2, IID_NULL, locale, DISPATCH_METHOD, &none, &value, nullptr, nullptr),
                  S_OK);
      }
      DISPID id = -1;
      LPOLESTR names[] = {const_cast<LPOLESTR>(L"UnInit")};
      EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, locale, &id), S_OK);
      EXPECT_EQ(id, 2);
      EXPECT_EQ(dispatch->Invoke(id, IID_NULL, locale, DISPATCH_METHOD, &none, &value, nullptr, nullptr),
                S_OK);
    }
  }
}

}  // namespace
}  // namespace boardscope
