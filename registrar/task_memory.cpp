#include "registrar/task_memory.h"

#include <cstdlib>

namespace boardscope {

const TaskAllocator& ProcessTaskAllocator() {
  static const TaskAllocator heap{&std::malloc, &std::realloc, &std::free};
  return heap;
}

}  // namespace boardscope
