#include "registrar/task_memory.h"

#include <windows.h>
#include <objbase.h>

namespace boardscope {
namespace {
void* Alloc(std::size_t bytes) { return CoTaskMemAlloc(bytes); }
void* Realloc(void* block, std::size_t bytes) { return CoTaskMemRealloc(block, bytes); }
void Free(void* block) { CoTaskMemFree(block); }
}  // namespace

const TaskAllocator& ProcessTaskAllocator() {
  static const TaskAllocator com{&Alloc, &Realloc, &Free};
  return com;
}

}  // namespace boardscope
