#include "component/zem_boardscope_win.h"

#include "component/zone_entries_win.h"
#include "contract/resource_ids.h"
#include "server/com_exception_win.h"
#include "platform/owners_win.h"
#include "server/resource_module_win.h"

namespace boardscope {

CComTypeInfoHolder typeInfoHolderIZEMBoardscope = {
    &IID_IZEMBoardscope, &LIBID_BoardscopeLib, 1, 0, nullptr, nullptr, 0};
CComTypeInfoHolder typeInfoHolderIZEMComponent = {
    &IID_IZEMComponent, &LIBID_BoardscopeLib, 1, 0, nullptr, nullptr, 0};
CComTypeInfoHolder typeInfoHolderIZEMInfo = {
    &IID_IZEMInfo, &LIBID_BoardscopeLib, 1, 0, nullptr, nullptr, 0};

namespace {
constexpr UINT kDisplayNameId = IDS_DISPLAY_NAME;
constexpr UINT kInstanceNameId = IDS_INSTANCE_NAME;

// IUnknown is the first row: the IZEMBoardscope pointer is the identity, and
// IDispatch is answered by IZEMComponent.
const InterfaceMapEntry kInterfaceMap[] = {
    {&IID_IZEMBoardscope,
     [](void* o) -> IUnknown* { return static_cast<IZEMBoardscope*>(static_cast<CZEMBoardscope*>(o)); }},
    {&IID_IDispatch,
     [](void* o) -> IUnknown* { return static_cast<IZEMComponent*>(static_cast<CZEMBoardscope*>(o)); }},
    {&IID_IZEMComponent,
     [](void* o) -> IUnknown* { return static_cast<IZEMComponent*>(static_cast<CZEMBoardscope*>(o)); }},
    {&IID_IZEMInfo,
     [](void* o) -> IUnknown* { return static_cast<IZEMInfo*>(static_cast<CZEMBoardscope*>(o)); }},
    {nullptr, nullptr},
};
}  // namespace

const InterfaceMapEntry* CZEMBoardscope::InterfaceMap() noexcept { return kInterfaceMap; }

BSTR CopyResourceStringForHost(UINT id) noexcept {
  UniqueBstr own(LoadResourceString(id));
  if (!own) return nullptr;
  return SysAllocStringByteLen(reinterpret_cast<const char*>(own.get()), SysStringByteLen(own.get()));
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::Init() { return S_OK; }

HRESULT STDMETHODCALLTYPE CZEMBoardscope::UnInit() { return S_OK; }

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetComponentInfo(_ZEM_COMPONENT_INFO* info) {
  if (info != nullptr) info->Name = CopyResourceStringForHost(kDisplayNameId);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetComponentCaps(_ZEM_COMPONENT_CAPS* caps) {
  if (caps == nullptr) return E_POINTER;
  caps->IZemInformationSupport = 1;
  caps->IZemControlSupport = 0;
  caps->IZemWorkloadSupport = 0;
  caps->IZemSolverSupport = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetTICommonData(ULONG*, _ZEM_INFO_ENTRY**) {
  // No common data: the caller's values stay as they were.
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetTIInstanceCount(ULONG* instanceCount) {
  if (instanceCount == nullptr) return E_POINTER;
  *instanceCount = 1;  // every zone is reported within the one instance
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetTIInstanceInfo(ULONG, _ZEM_INSTANCE_INFO* info) {
  if (info != nullptr) info->Name = CopyResourceStringForHost(kInstanceNameId);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CZEMBoardscope::GetTIInstanceData(ULONG, ULONG* infoCount,
                                                            _ZEM_INFO_ENTRY** info) {
  // Every call reports every zone, whatever the instance.
  return GuardBoundary([&] { return BuildThermalZoneEntries(infoCount, info); });
}

HRESULT CreateObjectInstance(IUnknown* outer, REFIID iid, void** out) noexcept {
  if (outer == nullptr) return CreatePlainObject<CZEMBoardscope>(outer, iid, out);
  return CreateAggregatedObject<CZEMBoardscope>(outer, iid, out);
}

}  // namespace boardscope
