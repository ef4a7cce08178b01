// The string table as the module finds it, and the component's identity,
// capability and instance answers, called directly on a component object.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "component/zem_boardscope_win.h"
#include "platform/owners_win.h"
#include "server/resource_module_win.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace boardscope {
namespace {

BSTR const kSentinelBstr = reinterpret_cast<BSTR>(static_cast<uintptr_t>(0xBDBDBDBD));

std::wstring Units(const WCHAR* counted) { return std::wstring(counted + 1, counted[0]); }

TEST(ResourceModule, SearchesTheModuleItselfOnly) {
  CResourceModule& module = ResourceModule();
  EXPECT_EQ(module.GetResourceInstanceAt(0), reinterpret_cast<HINSTANCE>(&__ImageBase));
  EXPECT_EQ(module.GetResourceInstanceAt(1), nullptr);
  EXPECT_EQ(module.GetResourceInstanceAt(-1), nullptr);
}

TEST(ResourceModule, FindsCountedStringsInPlace) {
  CResourceModule& module = ResourceModule();
  const struct {
    UINT id;
    const wchar_t* text;
  } defined[] = {{100, L"Boardscope"},   {201, L"Heatmark Component"},
                 {206, L"TZ"},           {301, L"# "},
                 {310, L"List of Active Cooling Devices"},
                 {316, L"Processor List for passive trip points"},
                 {319, L"Current Temperature"}, {340, L"Deg C"},
                 {341, L"None"},         {342, L"Seconds"}};
  for (const auto& entry : defined) {
    const WCHAR* found = module.FindStringResource(entry.id);
    ASSERT_NE(found, nullptr) << entry.id;
    EXPECT_EQ(Units(found), entry.text) << entry.id;
  }
  // Undefined in an existing block, and a block that does not exist at all.
  for (UINT id : {202u, 300u, 320u, 343u, 5000u}) {
    EXPECT_EQ(module.FindStringResource(id), nullptr) << id;
  }
}

TEST(ResourceModule, LoadResourceStringGivesExactLengthBstr) {
  UniqueBstr text(LoadResourceString(301));
  ASSERT_TRUE(text);
  EXPECT_EQ(SysStringLen(text.get()), 2u);
  EXPECT_EQ(std::wstring(text.get()), L"# ");
  EXPECT_EQ(LoadResourceString(202), nullptr);
}

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateObjectInstance(nullptr, IID_IZEMComponent, reinterpret_cast<void**>(component.put())),
              S_OK);
    ASSERT_EQ(component->QueryInterface(IID_IZEMInfo, reinterpret_cast<void**>(info.put())), S_OK);
  }
  ComPtr<IZEMComponent> component;
  ComPtr<IZEMInfo> info;
};

TEST_F(ComponentTest, InitAndUnInitInAnyOrder) {
  EXPECT_EQ(component->UnInit(), S_OK);
  EXPECT_EQ(component->Init(), S_OK);
  EXPECT_EQ(component->Init(), S_OK);
  EXPECT_EQ(component->UnInit(), S_OK);
}

TEST_F(ComponentTest, ComponentInfoWritesOnlyTheName) {
  EXPECT_EQ(component->GetComponentInfo(nullptr), S_OK);
  _ZEM_COMPONENT_INFO record;
  memset(&record, 0xBD, sizeof record);
  record.Name = kSentinelBstr;
  ASSERT_EQ(component->GetComponentInfo(&record), S_OK);
  UniqueBstr name(record.Name);
  ASSERT_TRUE(name);
  EXPECT_EQ(std::wstring(name.get()), L"Heatmark Component");
  EXPECT_EQ(SysStringLen(name.get()), 18u);
  EXPECT_EQ(record.MajorVersion, 0xBDBDBDBDu);
  EXPECT_EQ(record.Build, 0xBDBDBDBDu);
  EXPECT_EQ(record.UniqueIdentifier.Data1, 0xBDBDBDBDu);
}

TEST_F(ComponentTest, CapsOfferOnlyTheInformationFamily) {
  _ZEM_COMPONENT_CAPS caps;
  memset(&caps, 0xBD, sizeof caps);
  ASSERT_EQ(component->GetComponentCaps(&caps), S_OK);
  EXPECT_EQ(caps.IZemInformationSupport, 1);
  EXPECT_EQ(caps.IZemControlSupport, 0);
  EXPECT_EQ(caps.IZemWorkloadSupport, 0);
  EXPECT_EQ(caps.IZemSolverSupport, 0);
  EXPECT_EQ(component->GetComponentCaps(nullptr), E_POINTER);
}

TEST_F(ComponentTest, OneInstanceNamedTZWhateverIsAsked) {
  ULONG count = 0xBDBDBDBD;
  ASSERT_EQ(info->GetTIInstanceCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(info->GetTIInstanceCount(nullptr), E_POINTER);
  for (ULONG instance : {0ul, 1ul, 1000ul}) {
    _ZEM_INSTANCE_INFO record{kSentinelBstr};
    ASSERT_EQ(info->GetTIInstanceInfo(instance, &record), S_OK);
    UniqueBstr name(record.Name);
    ASSERT_TRUE(name) << instance;
    EXPECT_EQ(std::wstring(name.get()), L"TZ");
  }
  EXPECT_EQ(info->GetTIInstanceInfo(0, nullptr), S_OK);
}

TEST_F(ComponentTest, CommonDataLeavesTheCallersValues) {
  ULONG count = 5;
  auto* preset = reinterpret_cast<_ZEM_INFO_ENTRY*>(static_cast<uintptr_t>(0x1234));
  _ZEM_INFO_ENTRY* array = preset;
  EXPECT_EQ(info->GetTICommonData(&count, &array), S_OK);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(array, preset);
}

}  // namespace
}  // namespace boardscope
