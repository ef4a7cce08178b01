// Registry script text: blanks, character search, the growable expansion
// buffer and the quote doubling for substituted values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/status.h"
#include "registrar/task_memory.h"

namespace boardscope {

// Tokens hold at most 4094 characters plus the terminator.
constexpr std::size_t kTokenBuffer = 4096;

// TAB, LF, CR and SPACE, and nothing else.
constexpr bool IsBlank(Char16 c) { return c == 9 || c == 10 || c == 13 || c == 32; }

// First position holding ch, stepping by characters; null for a null text or
// when the terminator comes first.
const Char16* FindChar(const Char16* text, Char16 ch);

// Copies source into destination doubling each single quote; capacity counts
// characters including the terminator. A quote that takes the last place
// stays single.
void EscapeSingleQuotes(Char16* destination, std::size_t capacity, const Char16* source);

// Growable, always terminated text in task memory: the output of expansion.
class CScriptBuffer {
 public:
  // A capacity below 1 gets no storage (Ok() is false then).
  explicit CScriptBuffer(std::int32_t capacity,
                         const TaskAllocator& allocator = ProcessTaskAllocator());
  ~CScriptBuffer();
  CScriptBuffer(const CScriptBuffer&) = delete;
  CScriptBuffer& operator=(const CScriptBuffer&) = delete;

  bool Ok() const { return storage_ != nullptr; }
  [[nodiscard]] bool Append(const Char16* chars, std::int32_t count);
  [[nodiscard]] bool AppendString(const Char16* text);
  // Hands the storage to the caller, who frees it with the task allocator.
  Char16* Detach();

  std::int32_t Length() const { return length_; }
  std::int32_t Capacity() const { return capacity_; }
  const Char16* Text() const { return storage_; }

 private:
  const TaskAllocator& allocator_;
  std::int32_t length_ = 0;
  std::int32_t capacity_ = 0;
  Char16* storage_ = nullptr;
};

}  // namespace boardscope
