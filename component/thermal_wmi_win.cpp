#include "component/thermal_wmi_win.h"

#include <windows.h>

#include <utility>

#include "contract/host_constants_win.h"

extern "C" {
// WmiOpenBlock, WmiQueryAllDataW and WmiCloseBlock of wmi.dll, under the
// names thermal_wmi.def gives them (mingw-w64 has no wmium.h).
__declspec(dllimport) ULONG WINAPI ThermalWmiOpenBlock(GUID* guid, ULONG desiredAccess, HANDLE* block);
__declspec(dllimport) ULONG WINAPI ThermalWmiQueryAllDataW(HANDLE block, ULONG* bufferSize, void* buffer);
__declspec(dllimport) ULONG WINAPI ThermalWmiCloseBlock(HANDLE block);
}

namespace boardscope {
namespace {
using WmiBlock = UniqueResource<HANDLE, NullHandleTraits<HANDLE, &ThermalWmiCloseBlock>>;
}  // namespace

bool QueryThermalZoneBlock(ThermalBlockBuffer& result) noexcept {
  result = ThermalBlockBuffer{};
  GUID guid = kThermalZoneBlockGuid;  // the function takes it as writable
  WmiBlock block;
  if (ThermalWmiOpenBlock(&guid, GENERIC_READ, block.put()) != ERROR_SUCCESS || !block) return false;
  ULONG size = 0;
  if (ThermalWmiQueryAllDataW(block.get(), &size, nullptr) != ERROR_INSUFFICIENT_BUFFER) return false;
  ThermalBlockBuffer buffer;
  buffer.data.reset(static_cast<std::uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)));
  if (!buffer.data) return false;
  buffer.size = size;
  if (ThermalWmiQueryAllDataW(block.get(), &size, buffer.data.get()) != ERROR_SUCCESS) return false;
  // The handle goes before the buffer is looked at.
  block.reset();
  buffer.size = size < buffer.size ? size : buffer.size;
  result = std::move(buffer);
  return true;
}

}  // namespace boardscope
