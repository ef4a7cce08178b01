// The component class: identity and capability answers, and the thermal-zone
// entries, behind the three dual interfaces of the contract.
#pragma once

#include <windows.h>

#include "Boardscope.h"
#include "contract/host_records_win.h"
#include "server/com_object_win.h"
#include "server/dispatch_win.h"

namespace boardscope {

// The type information of each of the class's dual interfaces.
extern CComTypeInfoHolder typeInfoHolderIZEMBoardscope;
extern CComTypeInfoHolder typeInfoHolderIZEMComponent;
extern CComTypeInfoHolder typeInfoHolderIZEMInfo;

class CZEMBoardscope : public CComObjectRootEx<CComSingleThreadModel>,
                       public CComCoClass<CZEMBoardscope, &CLSID_ZEMBoardscope>,
                       public IDispatchImpl<IZEMBoardscope, typeInfoHolderIZEMBoardscope>,
                       public IDispatchImpl<IZEMComponent, typeInfoHolderIZEMComponent>,
                       public IDispatchImpl<IZEMInfo, typeInfoHolderIZEMInfo> {
 public:
  static const InterfaceMapEntry* InterfaceMap() noexcept;

  // IZEMComponent
  [[nodiscard]] HRESULT STDMETHODCALLTYPE Init() override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE UnInit() override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetComponentInfo(_ZEM_COMPONENT_INFO* info) override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetComponentCaps(_ZEM_COMPONENT_CAPS* caps) override;

  // IZEMInfo
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTICommonData(ULONG* infoCount, _ZEM_INFO_ENTRY** info) override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTIInstanceCount(ULONG* instanceCount) override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTIInstanceInfo(ULONG instance, _ZEM_INSTANCE_INFO* info) override;
  [[nodiscard]] HRESULT STDMETHODCALLTYPE GetTIInstanceData(ULONG instance, ULONG* infoCount,
                                                            _ZEM_INFO_ENTRY** info) override;

 protected:
  CZEMBoardscope() noexcept = default;
  ~CZEMBoardscope() = default;
};

// The class's creation function in the object map: plain or aggregated.
[[nodiscard]] HRESULT CreateObjectInstance(IUnknown* outer, REFIID iid, void** out) noexcept;

// A copy of string-table entry id for the host, or null.
BSTR CopyResourceStringForHost(UINT id) noexcept;

}  // namespace boardscope
