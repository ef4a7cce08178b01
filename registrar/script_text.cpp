#include "registrar/script_text.h"

#include <cstring>

#include "registrar/text_util.h"

namespace boardscope {

const Char16* FindChar(const Char16* text, Char16 ch) {
  if (text == nullptr) return nullptr;
  for (const Char16* p = text; *p != 0; p = NextChar(p)) {
    if (*p == ch) return p;
  }
  return nullptr;
}

void EscapeSingleQuotes(Char16* destination, std::size_t capacity, const Char16* source) {
  if (capacity == 0) return;
  std::size_t written = 0;
  for (; *source != 0 && written < capacity - 1; ++source) {
    destination[written++] = *source;
    if (*source == u'\'' && written < capacity - 1) destination[written++] = u'\'';
  }
  destination[written] = 0;
}

CScriptBuffer::CScriptBuffer(std::int32_t capacity, const TaskAllocator& allocator)
    : allocator_(allocator) {
  if (capacity < 1) return;
  storage_ = static_cast<Char16*>(allocator_.alloc(static_cast<std::size_t>(capacity) * sizeof(Char16)));
  if (storage_ == nullptr) return;
  capacity_ = capacity;
  storage_[0] = 0;
}

CScriptBuffer::~CScriptBuffer() {
  if (storage_ != nullptr) allocator_.free(storage_);
}

bool CScriptBuffer::Append(const Char16* chars, std::int32_t count) {
  if (storage_ == nullptr || count < 0) return false;
  // The sum must stay a positive 32-bit count.
  const std::int64_t needed = std::int64_t{length_} + count + 1;
  if (needed > INT32_MAX) return false;
  if (needed >= capacity_) {
    std::int64_t grown = capacity_;
    while (grown <= needed) {
      if (grown > 0x3FFFFFFF) return false;
      grown *= 2;
    }
    void* moved = allocator_.realloc(storage_, static_cast<std::size_t>(grown) * sizeof(Char16));
    if (moved == nullptr) return false;
    storage_ = static_cast<Char16*>(moved);
    capacity_ = static_cast<std::int32_t>(grown);
  }
  if (count > 0) std::memcpy(storage_ + length_, chars, static_cast<std::size_t>(count) * sizeof(Char16));
  length_ += count;
  storage_[length_] = 0;
  return true;
}

bool CScriptBuffer::AppendString(const Char16* text) {
  if (text == nullptr) return false;
  const std::size_t n = TextLength(text);
  if (n > INT32_MAX) return false;
  return Append(text, static_cast<std::int32_t>(n));
}

Char16* CScriptBuffer::Detach() {
  Char16* text = storage_;
  storage_ = nullptr;
  length_ = 0;
  capacity_ = 0;
  return text;
}

}  // namespace boardscope
