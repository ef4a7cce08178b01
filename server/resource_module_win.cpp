#include "server/resource_module_win.h"

#include <cstdlib>

#include "server/com_exception_win.h"
#include "platform/owners_win.h"
#include "server/string_block.h"

namespace boardscope {

namespace {
// Identifies this build of the resource module; nothing reads it.
constexpr GUID kResourceModuleVersion = {
    0x6C3E1F52, 0x8B0D, 0x4E3A, {0x9A, 0x51, 0x27, 0xD4, 0x0B, 0x8E, 0x61, 0xC9}};
}  // namespace

CResourceModule::CResourceModule(HINSTANCE self, bool& lockInitialised) noexcept {
  initMarker = 1;
  moduleInstance = self;
  resourceInstance = self;
  libraryBuild = 0x0900;
  versionGuid = &kResourceModuleVersion;
  lockValid_ = SUCCEEDED(InitLock(resourceLock));
  lockInitialised = lockValid_;
}

CResourceModule::~CResourceModule() {
  if (lockValid_) DeleteCriticalSection(&resourceLock);
  std::free(resourceInstances.items);
  resourceInstances = {};
}

HINSTANCE CResourceModule::GetResourceInstanceAt(int index) noexcept {
  ScopedCriticalSection lock(resourceLock);
  if (index < 0 || index > resourceInstances.count) return nullptr;
  if (index == resourceInstances.count) return resourceInstance;
  return resourceInstances.items[index];
}

const WCHAR* CResourceModule::FindStringResource(UINT id) noexcept {
  const WCHAR* found = nullptr;
  FindStringResources(&id, 1, &found);
  return found;
}

void CResourceModule::FindStringResources(const UINT* ids, std::size_t count, const WCHAR** found) noexcept {
  for (std::size_t k = 0; k < count; ++k) found[k] = nullptr;
  std::size_t missing = count;
  for (int i = 0; missing != 0; ++i) {
    HINSTANCE instance = GetResourceInstanceAt(i);
    if (instance == nullptr) return;
    // Ids that share a block, one after the other, share one lookup of it.
    WORD lastBlock = 0;
    const void* block = nullptr;
    DWORD blockSize = 0;
    for (std::size_t k = 0; k < count; ++k) {
      if (found[k] != nullptr) continue;
      const WORD blockNumber = StringBlockNumber(ids[k]);
      if (blockNumber != lastBlock) {
        lastBlock = blockNumber;
        block = nullptr;
        HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(blockNumber), MAKEINTRESOURCEW(6));
        HGLOBAL loaded = info != nullptr ? LoadResource(instance, info) : nullptr;
        if (loaded != nullptr) {
          block = LockResource(loaded);
          blockSize = SizeofResource(instance, info);
        }
      }
      CountedText text{};
      if (block != nullptr && FindStringInBlock(block, blockSize, ids[k], text)) {
        found[k] = reinterpret_cast<const WCHAR*>(text.units) - 1;
        --missing;
      }
    }
  }
}

BSTR LoadResourceString(UINT id) noexcept {
  const WCHAR* counted = ResourceModule().FindStringResource(id);
  if (counted == nullptr) return nullptr;
  return SysAllocStringLen(counted + 1, static_cast<UINT>(counted[0]));
}

}  // namespace boardscope
