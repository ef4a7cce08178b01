#include "registrar/reg_script.h"

#include <cstring>
#include <new>

#include "registrar/text_util.h"

namespace boardscope {

namespace {

constexpr HResult kSyntax = hr::DispException;

const Char16* const kProtectedNames[] = {
    u"AppID", u"CLSID",  u"Component Categories", u"FileType", u"Interface", u"Hardware",
    u"Mime",  u"SAM",    u"SECURITY",             u"SYSTEM",   u"Software",  u"TypeLib",
};

struct RootName {
  const Char16* shortName;
  const Char16* longName;
  RootKey root;
};
const RootName kRootNames[] = {
    {u"HKCR", u"HKEY_CLASSES_ROOT", RootKey::ClassesRoot},
    {u"HKCU", u"HKEY_CURRENT_USER", RootKey::CurrentUser},
    {u"HKLM", u"HKEY_LOCAL_MACHINE", RootKey::LocalMachine},
    {u"HKU", u"HKEY_USERS", RootKey::Users},
    {u"HKPD", u"HKEY_PERFORMANCE_DATA", RootKey::PerformanceData},
    {u"HKDD", u"HKEY_DYN_DATA", RootKey::DynData},
    {u"HKCC", u"HKEY_CURRENT_CONFIG", RootKey::CurrentConfig},
};

bool RootKeyFromName(const Char16* name, RootKey* root) {
  for (const RootName& entry : kRootNames) {
    if (EqualsNoCase(name, entry.shortName) || EqualsNoCase(name, entry.longName)) {
      *root = entry.root;
      return true;
    }
  }
  return false;
}

bool IsOpenBrace(const Char16* token) { return token[0] == u'{' && token[1] == 0; }

// A key name names one direct subkey: not empty (that would be the parent
// itself), no backslash, shorter than 260 characters.
bool IsValidKeyName(const Char16* name) {
  std::size_t n = 0;
  for (; name[n] != 0; ++n) {
    if (name[n] == u'\\') return false;
  }
  return n > 0 && n <= kMaxKeyNameLength;
}

// Copies one character step; false when the token would exceed its buffer.
bool CopyStep(Char16* token, std::size_t* copied, const Char16* from, const Char16* to) {
  const auto n = static_cast<std::size_t>(to - from);
  if (*copied + n + 1 >= kTokenBuffer) return false;
  std::memcpy(token + *copied, from, n * sizeof(Char16));
  *copied += n;
  return true;
}

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }

 private:
  int& depth_;
};

}  // namespace

bool IsRemovableKeyName(const Char16* name) {
  for (const Char16* protectedName : kProtectedNames) {
    if (EqualsNoCase(name, protectedName)) return false;
  }
  return true;
}

bool ValueTypeFromLetter(Char16 letter, ScriptValueKind* kind) {
  switch (FoldCase(letter)) {
    case u'S': *kind = ScriptValueKind::String; return true;
    case u'M': *kind = ScriptValueKind::MultiString; return true;
    case u'D': *kind = ScriptValueKind::Dword; return true;
    case u'B': *kind = ScriptValueKind::Binary; return true;
    default: return false;
  }
}

int HexDigitValue(Char16 c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 0;
}

void CRegScriptParser::SkipBlanks() {
  while (IsBlank(*position_)) position_ = NextChar(position_);
}

HResult CRegScriptParser::ReadToken(Char16* token) {
  SkipBlanks();
  if (*position_ == 0) return kSyntax;
  std::size_t copied = 0;
  if (*position_ == u'\'') {
    position_ = NextChar(position_);
    for (;;) {
      if (*position_ == 0) return kSyntax;
      if (*position_ == u'\'') {
        const Char16* next = NextChar(position_);
        if (*next != u'\'') break;
        position_ = next;  // a doubled quote stands for one
      }
      const Char16* next = NextChar(position_);
      if (!CopyStep(token, &copied, position_, next)) return kSyntax;
      position_ = next;
    }
    token[copied] = 0;
    position_ = NextChar(position_);
    return hr::Ok;
  }
  while (*position_ != 0 && !IsBlank(*position_)) {
    const Char16* next = NextChar(position_);
    if (!CopyStep(token, &copied, position_, next)) return kSyntax;
    position_ = next;
  }
  token[copied] = 0;
  return hr::Ok;
}

HResult CRegScriptParser::ExpandScript(const Char16* text, Char16** expanded) {
  if (text == nullptr || expanded == nullptr) return hr::Pointer;
  *expanded = nullptr;
  const std::size_t length = TextLength(text);
  if (length > 0x3FFFFFFF) return hr::OutOfMemory;
  const auto doubled = static_cast<std::int32_t>(length * 2);
  CScriptBuffer out(doubled < 100 ? 1000 : doubled);
  if (!out.Ok()) return hr::OutOfMemory;
  position_ = text;
  while (*position_ != 0) {
    if (*position_ == u'%') {
      position_ = NextChar(position_);
      if (*position_ == u'%') {
        if (!out.Append(position_, 1)) return hr::OutOfMemory;
      } else {
        const Char16* close = FindChar(position_, u'%');
        if (close == nullptr) return kSyntax;
        const auto nameLength = static_cast<std::size_t>(close - position_);
        if (nameLength >= 32) return hr::Fail;
        Char16 name[32];
        std::memcpy(name, position_, nameLength * sizeof(Char16));
        name[nameLength] = 0;
        const Char16* value = registrar_.LookupSubstitution(name);
        if (value == nullptr) return kSyntax;
        if (!out.AppendString(value)) return hr::OutOfMemory;
        position_ = close;
      }
    } else {
      // Everything up to the next % goes over in one piece.
      const Char16* end = position_;
      while (*end != 0 && *end != u'%') end = NextChar(end);
      if (!out.Append(position_, static_cast<std::int32_t>(end - position_))) return hr::OutOfMemory;
      position_ = end;
      continue;
    }
    position_ = NextChar(position_);
  }
  *expanded = out.Detach();
  return hr::Ok;
}

HResult CRegScriptParser::RunScript(const Char16* text, bool registerMode) {
  Char16* expandedText = nullptr;
  RETURN_IF_FAILED(ExpandScript(text, &expandedText));
  const TaskMemPtr<Char16> expanded(expandedText);
  position_ = expanded.get();
  Char16 token[kTokenBuffer];
  HResult result = hr::Ok;
  while (hr::Succeeded(result) && *position_ != 0) {
    result = RunRootBlock(token, registerMode);
    SkipBlanks();
  }
  position_ = nullptr;
  return result;
}

HResult CRegScriptParser::RunRootBlock(Char16* token, bool registerMode) {
  RETURN_IF_FAILED(ReadToken(token));
  RootKey root;
  if (!RootKeyFromName(token, &root)) return kSyntax;
  RETURN_IF_FAILED(ReadToken(token));
  if (token[0] != u'{') return kSyntax;
  const KeyHandle rootKey = store_.Root(root);
  const Char16* blockStart = position_;
  const HResult result = ProcessBlock(token, rootKey, registerMode, false);
  if (registerMode && hr::Failed(result)) {
    // Undo what this block created; blocks before it stay registered.
    position_ = blockStart;
    (void)ProcessBlock(token, rootKey, false, false);
  }
  return result;
}

HResult CRegScriptParser::ProcessBlock(Char16* token, KeyHandle parent, bool registerMode, bool recovering) {
  if (depth_ >= kMaxBlockDepth) return kSyntax;
  const DepthGuard guard(depth_);
  CRegistryKey current(store_);
  Char16 valueName[kTokenBuffer];
  Char16 keyName[kMaxKeyNameLength + 1];
  RETURN_IF_FAILED(ReadToken(token));
  while (token[0] != u'}') {
    RETURN_IF_FAILED(registerMode ? RegisterEntry(token, parent, current, valueName)
                                  : UnregisterEntry(token, parent, recovering, current, valueName, keyName));
  }
  return hr::Ok;
}

HResult CRegScriptParser::RegisterEntry(Char16* token, KeyHandle parent, CRegistryKey& current,
                                        Char16* valueName) {
  const bool isDelete = EqualsNoCase(token, u"Delete");
  if (isDelete || EqualsNoCase(token, u"ForceRemove")) {
    RETURN_IF_FAILED(ReadToken(token));
    if (!IsValidKeyName(token)) return kSyntax;
    if (IsRemovableKeyName(token)) {
      // A missing key is fine: the result is of no interest.
      (void)BorrowedKey(store_, parent)->DeleteTree(token);
    }
    if (isDelete) {
      RETURN_IF_FAILED(ReadToken(token));
      RETURN_IF_FAILED(SkipValueClause(token));
      return IsOpenBrace(token) ? kSyntax : hr::Ok;
    }
  }
  if (EqualsNoCase(token, u"NoRemove")) RETURN_IF_FAILED(ReadToken(token));
  if (EqualsNoCase(token, u"Val")) {
    RETURN_IF_FAILED(ReadToken(valueName));
    RETURN_IF_FAILED(ReadToken(token));
    if (token[0] != u'=') return kSyntax;
    RETURN_IF_FAILED(WriteValue(*BorrowedKey(store_, parent), valueName, token));
    return IsOpenBrace(token) ? kSyntax : hr::Ok;
  }
  if (!IsValidKeyName(token)) return kSyntax;
  if (current.Open(parent, token, access::ReadWrite) != win32::Success &&
      current.Open(parent, token, access::Read) != win32::Success) {
    RETURN_IF_WIN32_ERROR(current.Create(parent, token));
  }
  RETURN_IF_FAILED(ReadToken(token));
  if (token[0] == u'=') RETURN_IF_FAILED(WriteValue(current, nullptr, token));
  if (IsOpenBrace(token)) {
    RETURN_IF_FAILED(ProcessBlock(token, current.Handle(), true, false));
    RETURN_IF_FAILED(ReadToken(token));
  }
  return hr::Ok;
}

HResult CRegScriptParser::UnregisterEntry(Char16* token, KeyHandle parent, bool recovering,
                                          CRegistryKey& current, Char16* valueName, Char16* keyName) {
  // ForceRemove and Delete mean nothing here.
  const bool isDelete = EqualsNoCase(token, u"Delete");
  if (isDelete || EqualsNoCase(token, u"ForceRemove")) RETURN_IF_FAILED(ReadToken(token));
  bool removable = true;
  if (EqualsNoCase(token, u"NoRemove")) {
    removable = false;
    RETURN_IF_FAILED(ReadToken(token));
  }
  if (EqualsNoCase(token, u"Val")) {
    RETURN_IF_FAILED(ReadToken(valueName));
    RETURN_IF_FAILED(ReadToken(token));
    if (token[0] != u'=') return kSyntax;
    if (!recovering && removable) {
      CRegistryKey writable(store_);
      RETURN_IF_WIN32_ERROR(writable.Open(parent, nullptr, access::Write));
      const std::int32_t deleted = writable.DeleteValue(valueName);
      RETURN_IF_WIN32_ERROR(deleted == win32::FileNotFound ? win32::Success : deleted);
    }
    RETURN_IF_FAILED(SkipValueClause(token));
    return IsOpenBrace(token) ? kSyntax : hr::Ok;
  }
  if (!IsValidKeyName(token)) return kSyntax;
  const std::int32_t opened = recovering ? win32::FileNotFound : current.Open(parent, token, access::Read);
  std::memcpy(keyName, token, (TextLength(token) + 1) * sizeof(Char16));
  RETURN_IF_FAILED(ReadToken(token));
  RETURN_IF_FAILED(SkipValueClause(token));
  if (IsOpenBrace(token)) {
    if (isDelete) return kSyntax;
    // Below a key that cannot be opened the block is only read. Its syntax
    // errors still stop the walk: going on from the middle of a block would
    // apply its entries at the wrong level.
    const bool blockRecovering = recovering || opened != win32::Success;
    RETURN_IF_FAILED(ProcessBlock(token, blockRecovering ? 0 : current.Handle(), false, blockRecovering));
    RETURN_IF_FAILED(ReadToken(token));
  }
  if (recovering || opened == win32::FileNotFound) return hr::Ok;
  RETURN_IF_WIN32_ERROR(opened);
  const bool hasSubkeys = current.HasSubkeys();
  RETURN_IF_WIN32_ERROR(current.Close());
  if (removable && !hasSubkeys) RETURN_IF_WIN32_ERROR(BorrowedKey(store_, parent)->DeleteChild(keyName));
  return hr::Ok;
}

HResult CRegScriptParser::WriteValue(CRegistryKey& key, const Char16* valueName, Char16* token) {
  RETURN_IF_FAILED(ReadToken(token));
  ScriptValueKind kind;
  if (!ValueTypeFromLetter(token[0], &kind)) return kSyntax;
  SkipBlanks();
  Char16 text[kTokenBuffer];
  RETURN_IF_FAILED(ReadToken(text));
  std::int32_t written = win32::Success;
  switch (kind) {
    case ScriptValueKind::String:
      written = key.WriteString(valueName, text, regtype::String);
      break;
    case ScriptValueKind::Dword: {
      std::uint32_t number = 0;
      if (hr::Failed(toDword_(text, &number))) return kSyntax;
      written = key.WriteDword(valueName, number);
      break;
    }
    case ScriptValueKind::Binary: {
      const std::size_t n = TextLength(text);
      if (n % 2 != 0) return hr::Fail;
      std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[n / 2 + 1]());
      if (!bytes) return hr::Fail;
      for (std::size_t i = 0; i < n; ++i) {
        bytes[i / 2] |= static_cast<std::uint8_t>(HexDigitValue(text[i]) << (i % 2 == 0 ? 4 : 0));
      }
      written = key.WriteBinary(valueName, bytes.get(), static_cast<std::uint32_t>(n / 2));
      break;
    }
    case ScriptValueKind::MultiString: {
      const std::size_t n = TextLength(text);
      std::unique_ptr<Char16[]> strings(new (std::nothrow) Char16[n + 2]);
      if (!strings) return hr::OutOfMemory;
      std::size_t out = 0;
      for (std::size_t i = 0; i < n; ++i) {
        if (text[i] == u'\\' && text[i + 1] == u'0') {
          strings[out++] = 0;
          ++i;
        } else {
          strings[out++] = text[i];
        }
      }
      strings[out++] = 0;
      strings[out] = 0;
      written = key.WriteMultiString(valueName, strings.get());
      break;
    }
  }
  RETURN_IF_WIN32_ERROR(written);
  return ReadToken(token);
}

HResult CRegScriptParser::SkipValueClause(Char16* token) {
  if (token[0] != u'=') return hr::Ok;
  RETURN_IF_FAILED(ReadToken(token));
  Char16 text[kTokenBuffer];
  RETURN_IF_FAILED(ReadToken(text));
  return ReadToken(token);
}

}  // namespace boardscope
