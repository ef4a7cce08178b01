// The COM task allocator (CoTaskMemAlloc family) on Windows, the C heap
// elsewhere. Expanded script text is handed out in this memory.
#pragma once

#include <cstddef>
#include <memory>

namespace boardscope {

struct TaskAllocator {
  void* (*alloc)(std::size_t bytes);
  void* (*realloc)(void* block, std::size_t bytes);
  void (*free)(void* block);
};

// The process's task allocator.
const TaskAllocator& ProcessTaskAllocator();

inline void TaskMemFree(void* block) { ProcessTaskAllocator().free(block); }

struct TaskMemDeleter {
  void operator()(void* block) const { TaskMemFree(block); }
};
template <typename T>
using TaskMemPtr = std::unique_ptr<T, TaskMemDeleter>;

}  // namespace boardscope
