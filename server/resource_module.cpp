#include "server/resource_module.h"

#include <cstdlib>

#include "server/errors.h"
#include "server/raii.h"
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
  const WORD blockNumber = StringBlockNumber(id);
  for (int i = 0;; ++i) {
    HINSTANCE instance = GetResourceInstanceAt(i);
    if (instance == nullptr) return nullptr;
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(blockNumber), MAKEINTRESOURCEW(6));
    if (info == nullptr) continue;
    HGLOBAL loaded = LoadResource(instance, info);
    const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (block == nullptr) continue;
    CountedText text{};
    if (FindStringInBlock(block, SizeofResource(instance, info), id, text)) {
      return reinterpret_cast<const WCHAR*>(text.units) - 1;
    }
  }
}

BSTR LoadResourceString(UINT id) noexcept {
  const WCHAR* counted = ResourceModule().FindStringResource(id);
  if (counted == nullptr) return nullptr;
  return SysAllocStringLen(counted + 1, static_cast<UINT>(counted[0]));
}

}  // namespace boardscope
