// The frame's helpers and module objects, linked into this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Boardscope.h"
#include "server/com_object_win.h"
#include "server/dispatch_win.h"
#include "server/com_exception_win.h"
#include "server/dll_module_win.h"
#include "server/object_map_win.h"
#include "platform/owners_win.h"

namespace boardscope {

// This program's module serves no class of its own.
ObjectMapEntry* const objectMap[] = {nullptr};
extern const std::size_t objectMapSize = 1;
extern const wchar_t AppIdText[] = L"{00000000-0000-0000-0000-000000000000}";

namespace {

TEST(FrameHelpers, CheckCrtResultRaisesTheMappedHResult) {
  EXPECT_EQ(CheckCrtResult(0), 0);
  EXPECT_EQ(CheckCrtResult(80), 80);
  const struct {
    int error;
    HRESULT expected;
  } raising[] = {{12, E_OUTOFMEMORY}, {22, E_INVALIDARG}, {34, E_INVALIDARG}, {5, E_FAIL}};
  for (const auto& c : raising) {
    try {
      CheckCrtResult(c.error);
      ADD_FAILURE() << c.error << " raised nothing";
    } catch (const CComException& e) {
      EXPECT_EQ(e.Result(), c.expected) << c.error;
    }
  }
  EXPECT_EQ(GuardBoundary([]() -> HRESULT { CheckCrtResult(34); return S_OK; }), E_INVALIDARG);
}

TEST(FrameHelpers, HResultFromWin32) {
  EXPECT_EQ(HResultFromWin32(5), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(HResultFromWin32(0), 0);
  EXPECT_EQ(HResultFromWin32(static_cast<LONG>(0x80004005)), static_cast<HRESULT>(0x80004005));
  EXPECT_EQ(HResultFromWin32(0x12345), static_cast<HRESULT>(0x80072345));
}

TEST(FrameHelpers, FindExtension) {
  const struct {
    const wchar_t* path;
    size_t expected;
  } cases[] = {{L"C:\\dir\\Boardscope.dll", 17},
               {L"C:\\dir.v2\\Boardscope", 20},  // the only dot is in a directory
               {L"C:\\a.b\\c.d.e", 10},
               {L"name", 4},
               {L"C:/dir.x/file", 6}};  // only the backslash separates
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<size_t>(FindExtension(c.path) - c.path), c.expected) << c.path;
  }
  EXPECT_EQ(FindExtension(nullptr), nullptr);
}

TEST(FrameHelpers, QueryInterfaceFromMapArguments) {
  void* out = nullptr;
  InterfaceMapEntry emptyMap[] = {{nullptr, nullptr}};
  EXPECT_EQ(QueryInterfaceFromMap(nullptr, emptyMap, IID_IUnknown, &out), E_INVALIDARG);
  EXPECT_EQ(QueryInterfaceFromMap(&out, nullptr, IID_IUnknown, &out), E_INVALIDARG);
  EXPECT_EQ(QueryInterfaceFromMap(&out, emptyMap, IID_IUnknown, nullptr), E_POINTER);
}

std::vector<int>* callOrder = nullptr;
void Record(void* argument) { callOrder->push_back(static_cast<int>(reinterpret_cast<intptr_t>(argument))); }

TEST(ModuleObject, TermCallbacksRunNewestFirstEachOnce) {
  std::vector<int> order;
  callOrder = &order;
  CBoardscopeModule* const shared = CurrentModule;
  {
    CBoardscopeModule module;
    ASSERT_NE(module.initMarker, 0u);
    EXPECT_EQ(module.AddTermCallback(&Record, reinterpret_cast<void*>(1)), S_OK);
    EXPECT_EQ(module.AddTermCallback(&Record, reinterpret_cast<void*>(2)), S_OK);
    EXPECT_EQ(module.AddTermCallback(&Record, reinterpret_cast<void*>(3)), S_OK);
    EXPECT_EQ(module.AddTermCallback(&Record, reinterpret_cast<void*>(3)), S_OK);
    EXPECT_EQ(module.Lock(), 1);
    EXPECT_EQ(module.Unlock(), 0);
    EXPECT_TRUE(order.empty());
  }
  CurrentModule = shared;
  EXPECT_EQ(order, (std::vector<int>{3, 3, 2, 1}));
}

TEST(ModuleObject, GlobalInterfaceTableIsCreatedOnceAndShared) {
  const ComApartment com;
  ASSERT_TRUE(com.ok());
  EXPECT_EQ(CurrentModule->GetGlobalInterfaceTable(nullptr), E_POINTER);
  ComPtr<IGlobalInterfaceTable> first;
  ComPtr<IGlobalInterfaceTable> second;
  ASSERT_EQ(CurrentModule->GetGlobalInterfaceTable(first.put()), S_OK);
  ASSERT_EQ(CurrentModule->GetGlobalInterfaceTable(second.put()), S_OK);
  EXPECT_EQ(first.get(), second.get());
}

TEST(ObjectMap, TerminatedModuleAnswersUnexpected) {
  ObjectMapEntry* const noEntries[] = {nullptr};
  CObjectMapModule module(GetModuleHandleW(nullptr), std::begin(noEntries), std::end(noEntries));
  void* out = reinterpret_cast<void*>(0xBD);
  EXPECT_EQ(module.GetClassObject(CLSID_ZEMBoardscope, IID_IUnknown, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  module.initMarker = 0;  // as after termination
  EXPECT_EQ(module.GetClassObject(CLSID_ZEMBoardscope, IID_IUnknown, &out), E_UNEXPECTED);
  EXPECT_EQ(module.GetClassObject(CLSID_ZEMBoardscope, IID_IUnknown, nullptr), E_POINTER);
  module.initMarker = 1;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

TEST(TypeLibraryLoading, FallsBackToTheTlbBesideTheModule) {
  BSTR path = nullptr;
  ITypeLib* library = nullptr;
  EXPECT_EQ(LoadModuleTypeLibrary(nullptr, nullptr, &library), E_POINTER);

  // This program carries no type library; put the DLL's beside it as .tlb.
  const std::wstring self = ModulePath(nullptr);
  const std::wstring sibling = self.substr(0, self.rfind(L'.')) + L".tlb";
  const std::wstring dll = self.substr(0, self.rfind(L'\\') + 1) + L"Boardscope.dll";
  ASSERT_TRUE(CopyFileW(dll.c_str(), sibling.c_str(), FALSE)) << GetLastError();
  const HRESULT result = LoadModuleTypeLibrary(nullptr, &path, &library);
  UniqueBstr loadedFrom(path);
  ComPtr<ITypeLib> loaded(library);
  DeleteFileW(sibling.c_str());
  ASSERT_EQ(result, S_OK);
  EXPECT_EQ(std::wstring(loadedFrom.get()), sibling);

  ComPtr<ITypeLib> missing;
  BSTR noPath = nullptr;
  EXPECT_TRUE(FAILED(LoadModuleTypeLibrary(nullptr, &noPath, missing.put())));
  EXPECT_EQ(noPath, nullptr);
}

}  // namespace
}  // namespace boardscope
