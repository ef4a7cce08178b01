#include "tools/memory_registry/memory_registry_store.h"

#include <algorithm>
#include <cstring>

#include "registrar/text_util.h"

namespace boardscope {

namespace {
constexpr KeyHandle kRootBase = 0x80000000u;
constexpr std::size_t kMaxKeyName = 255;
constexpr std::uint32_t kNotify = 0x0010;  // KEY_NOTIFY, part of KEY_READ
constexpr std::size_t kMaxValueName = 16383;

// A name inside a longer text, not terminated.
struct NameView {
  const Char16* text;
  std::size_t length;
};

// Calls visit for each non-empty component of a backslash-separated path
// (doubled or trailing separators are skipped) until it returns false;
// returns whether every call returned true. No copies: lookups along a path
// allocate nothing.
template <typename Visit>
bool ForEachPart(const Char16* path, Visit visit) {
  if (path == nullptr) return true;
  const Char16* p = path;
  for (;;) {
    while (*p == u'\\') ++p;
    if (*p == 0) return true;
    const Char16* start = p;
    while (*p != 0 && *p != u'\\') ++p;
    if (!visit(NameView{start, static_cast<std::size_t>(p - start)})) return false;
  }
}

std::string Printable(const std::u16string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (Char16 c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(hex[(c >> shift) & 0xF]);
    }
  }
  return out;
}

const char* const kRootNames[kRootKeyCount] = {"HKCR", "HKCU", "HKLM", "HKU", "HKPD", "HKDD", "HKCC"};

// Children and values are kept by case-folded name, so lookups stay
// logarithmic however many siblings a benchmark creates.
std::u16string Folded(const std::u16string& name) {
  std::u16string folded(name);
  for (Char16& c : folded) c = FoldCase(c);
  return folded;
}

// Orders folded names as std::less does; a NameView is folded while it is
// compared, so a lookup needs no folded copy.
struct FoldedLess {
  using is_transparent = void;
  bool operator()(const std::u16string& a, const std::u16string& b) const { return a < b; }
  bool operator()(const std::u16string& folded, NameView name) const { return Compare(folded, name) < 0; }
  bool operator()(NameView name, const std::u16string& folded) const { return Compare(folded, name) > 0; }
  static int Compare(const std::u16string& folded, NameView name) {
    const std::size_t n = std::min(folded.size(), name.length);
    for (std::size_t i = 0; i < n; ++i) {
      const Char16 c = FoldCase(name.text[i]);
      if (folded[i] != c) return folded[i] < c ? -1 : 1;
    }
    if (folded.size() == name.length) return 0;
    return folded.size() < name.length ? -1 : 1;
  }
};

NameView ViewOf(const Char16* name) {
  return name != nullptr ? NameView{name, TextLength(name)} : NameView{u"", 0};
}
}  // namespace

struct MemoryRegistryStore::Node {
  struct Value {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  std::u16string name;
  Node* parent = nullptr;
  bool deleted = false;
  Protection protection = Protection::None;
  std::map<std::u16string, Value, FoldedLess> values;
  std::map<std::u16string, std::shared_ptr<Node>, FoldedLess> children;

  const std::shared_ptr<Node>* Child(NameView childName) const {
    const auto it = children.find(childName);
    return it != children.end() ? &it->second : nullptr;
  }
  bool Allows(std::uint32_t accessMask) const {
    if (protection == Protection::NoAccess) return false;
    if (protection == Protection::ReadOnly) {
      return (accessMask & (access::SetValue | access::CreateSubKey)) == 0;
    }
    if (protection == Protection::WriteOnly) {
      return (accessMask & (access::QueryValue | access::EnumerateSubKeys | kNotify)) == 0;
    }
    return true;
  }
  void MarkDeleted() {
    deleted = true;
    for (auto& child : children) child.second->MarkDeleted();
  }
  void Dump(const std::string& path, std::string* out) const {
    static const char hex[] = "0123456789ABCDEF";
    *out += path + "\n";
    for (const auto& entry : values) {
      const Value& value = entry.second;
      *out += path + " [" + Printable(value.name) + "] type " + std::to_string(value.type) + ":";
      for (std::uint8_t b : value.data) {
        out->push_back(hex[b >> 4]);
        out->push_back(hex[b & 0xF]);
      }
      *out += "\n";
    }
    for (const auto& child : children) child.second->Dump(path + "\\" + Printable(child.second->name), out);
  }
};

MemoryRegistryStore::MemoryRegistryStore() {
  for (auto& root : roots_) root = std::make_shared<Node>();
}

MemoryRegistryStore::~MemoryRegistryStore() = default;

KeyHandle MemoryRegistryStore::Root(RootKey root) const {
  return kRootBase + static_cast<KeyHandle>(root);
}

std::int32_t MemoryRegistryStore::Resolve(KeyHandle key, std::shared_ptr<Node>* node,
                                          std::uint32_t* accessMask) const {
  if (key >= kRootBase && key < kRootBase + kRootKeyCount) {
    *node = roots_[key - kRootBase];
    *accessMask = access::ReadWrite;
    return win32::Success;
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return win32::InvalidHandle;
  if (it->second.node->deleted) return win32::KeyDeleted;
  *node = it->second.node;
  *accessMask = it->second.access;
  return win32::Success;
}

std::int32_t MemoryRegistryStore::ResolveFor(KeyHandle key, std::uint32_t needed,
                                             std::shared_ptr<Node>* node) const {
  std::uint32_t keyAccess = 0;
  const std::int32_t result = Resolve(key, node, &keyAccess);
  if (result != win32::Success) return result;
  return (keyAccess & needed) == 0 ? win32::AccessDenied : win32::Success;
}

KeyHandle MemoryRegistryStore::AddHandle(const std::shared_ptr<Node>& node, std::uint32_t accessMask) {
  const KeyHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = OpenKeyEntry{node, accessMask};
  return handle;
}

std::int32_t MemoryRegistryStore::OpenKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                          KeyHandle* key) {
  *key = 0;
  std::shared_ptr<Node> node;
  std::uint32_t parentAccess = 0;
  std::int32_t result = Resolve(parent, &node, &parentAccess);
  if (result != win32::Success) return result;
  const bool found = ForEachPart(name, [&](NameView part) {
    if (part.length > kMaxKeyName) {
      result = win32::InvalidParameter;
      return false;
    }
    const std::shared_ptr<Node>* child = node->Child(part);
    if (child == nullptr) {
      result = win32::FileNotFound;
      return false;
    }
    node = *child;
    return true;
  });
  if (!found) return result;
  if (!node->Allows(accessMask)) return win32::AccessDenied;
  *key = AddHandle(node, accessMask);
  return win32::Success;
}

std::int32_t MemoryRegistryStore::CreateKey(KeyHandle parent, const Char16* name, std::uint32_t accessMask,
                                            KeyHandle* key) {
  *key = 0;
  std::shared_ptr<Node> node;
  std::uint32_t parentAccess = 0;
  std::int32_t result = Resolve(parent, &node, &parentAccess);
  if (result != win32::Success) return result;
  if (!ForEachPart(name, [](NameView part) { return part.length <= kMaxKeyName; })) {
    return win32::InvalidParameter;
  }
  bool first = true;
  const bool created = ForEachPart(name, [&](NameView part) {
    const std::shared_ptr<Node>* existing = node->Child(part);
    if (existing != nullptr) {
      node = *existing;
    } else {
      // A new subkey needs create rights on the handle (for the first level)
      // and on the key it goes under.
      if ((first && (parentAccess & access::CreateSubKey) == 0) || !node->Allows(access::CreateSubKey)) {
        return false;
      }
      auto child = std::make_shared<Node>();
      child->name.assign(part.text, part.length);
      child->parent = node.get();
      node->children.emplace(Folded(child->name), child);
      node = std::move(child);
    }
    first = false;
    return true;
  });
  if (!created) return win32::AccessDenied;
  if (!node->Allows(accessMask)) return win32::AccessDenied;
  *key = AddHandle(node, accessMask);
  return win32::Success;
}

std::int32_t MemoryRegistryStore::CloseKey(KeyHandle key) {
  if (key >= kRootBase && key < kRootBase + kRootKeyCount) return win32::Success;
  return handles_.erase(key) == 1 ? win32::Success : win32::InvalidHandle;
}

std::int32_t MemoryRegistryStore::SetValue(KeyHandle key, const Char16* name, std::uint32_t type,
                                           const void* data, std::uint32_t size) {
  std::shared_ptr<Node> node;
  const std::int32_t result = ResolveFor(key, access::SetValue, &node);
  if (result != win32::Success) return result;
  const std::u16string valueName = name != nullptr ? std::u16string(name) : std::u16string();
  if (valueName.size() > kMaxValueName) return win32::InvalidParameter;
  if (data == nullptr && size != 0) return win32::InvalidParameter;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> copy(bytes, bytes + size);
  node->values[Folded(valueName)] = Node::Value{valueName, type, std::move(copy)};
  return win32::Success;
}

std::int32_t MemoryRegistryStore::QueryValue(KeyHandle key, const Char16* name, std::uint32_t* type,
                                             void* data, std::uint32_t* size) {
  std::shared_ptr<Node> node;
  const std::int32_t result = ResolveFor(key, access::QueryValue, &node);
  if (result != win32::Success) return result;
  const auto found = node->values.find(ViewOf(name));
  if (found == node->values.end()) return win32::FileNotFound;
  const Node::Value* value = &found->second;
  if (type != nullptr) *type = value->type;
  if (size == nullptr) return data == nullptr ? win32::Success : win32::InvalidParameter;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (data != nullptr && *size < needed) {
    *size = needed;
    return win32::MoreData;
  }
  if (data != nullptr && needed != 0) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return win32::Success;
}

std::int32_t MemoryRegistryStore::DeleteValue(KeyHandle key, const Char16* name) {
  std::shared_ptr<Node> node;
  const std::int32_t result = ResolveFor(key, access::SetValue, &node);
  if (result != win32::Success) return result;
  const auto found = node->values.find(ViewOf(name));
  if (found == node->values.end()) return win32::FileNotFound;
  node->values.erase(found);
  return win32::Success;
}

std::int32_t MemoryRegistryStore::DeleteKey(KeyHandle key, const Char16* name, std::uint32_t) {
  std::shared_ptr<Node> node;
  std::uint32_t keyAccess = 0;
  std::int32_t result = Resolve(key, &node, &keyAccess);
  if (result != win32::Success) return result;
  // As on Windows, the handle's own rights do not matter; an empty name
  // means the key itself.
  const bool found = ForEachPart(name, [&](NameView part) {
    const std::shared_ptr<Node>* child = node->Child(part);
    if (child != nullptr) node = *child;
    return child != nullptr;
  });
  if (!found) return win32::FileNotFound;
  Node* parent = node->parent;
  if (parent == nullptr || !node->children.empty() || node->protection != Protection::None) {
    return win32::AccessDenied;
  }
  parent->children.erase(Folded(node->name));
  node->MarkDeleted();
  node->parent = nullptr;
  return win32::Success;
}

std::int32_t MemoryRegistryStore::EnumSubkey(KeyHandle key, std::uint32_t index, Char16* name,
                                             std::uint32_t* length) {
  std::shared_ptr<Node> node;
  const std::int32_t result = ResolveFor(key, access::EnumerateSubKeys, &node);
  if (result != win32::Success) return result;
  if (index >= node->children.size()) return win32::NoMoreItems;
  const std::u16string& childName = std::next(node->children.begin(), index)->second->name;
  if (childName.size() + 1 > *length) return win32::MoreData;
  std::memcpy(name, childName.c_str(), (childName.size() + 1) * sizeof(Char16));
  *length = static_cast<std::uint32_t>(childName.size());
  return win32::Success;
}

std::int32_t MemoryRegistryStore::QuerySubkeyCount(KeyHandle key, std::uint32_t* count) {
  std::shared_ptr<Node> node;
  const std::int32_t result = ResolveFor(key, access::QueryValue, &node);
  if (result != win32::Success) return result;
  *count = static_cast<std::uint32_t>(node->children.size());
  return win32::Success;
}

std::shared_ptr<MemoryRegistryStore::Node> MemoryRegistryStore::Find(RootKey root,
                                                                     const std::u16string& path) const {
  std::shared_ptr<Node> node = roots_[static_cast<int>(root)];
  const bool found = ForEachPart(path.c_str(), [&](NameView part) {
    const std::shared_ptr<Node>* child = node->Child(part);
    if (child != nullptr) node = *child;
    return child != nullptr;
  });
  return found ? node : nullptr;
}

bool MemoryRegistryStore::KeyExists(RootKey root, const std::u16string& path) const {
  return Find(root, path) != nullptr;
}

void MemoryRegistryStore::Protect(RootKey root, const std::u16string& path, Protection protection) {
  KeyHandle key = 0;
  if (CreateKey(Root(root), path.c_str(), access::ReadWrite, &key) == win32::Success) {
    (void)CloseKey(key);  // a handle just made: closing it cannot fail
  }
  if (auto node = Find(root, path)) node->protection = protection;
}

std::string MemoryRegistryStore::Dump() const {
  std::string out;
  for (int i = 0; i < kRootKeyCount; ++i) roots_[i]->Dump(kRootNames[i], &out);
  return out;
}

}  // namespace boardscope
