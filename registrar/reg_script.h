// The registry script reader and interpreter: expansion of %NAME%
// references, tokens, and the register/unregister walk over root blocks.
#pragma once

#include <cstdint>

#include "contract/status.h"
#include "registrar/reg_object.h"
#include "registrar/registry_key.h"
#include "registrar/registry_store.h"
#include "registrar/script_text.h"

namespace boardscope {

// Value kinds by type letter, named by their automation variant types.
enum class ScriptValueKind : std::uint16_t {
  String = 8,             // VT_BSTR
  MultiString = 0x4008,   // VT_BSTR | VT_BYREF
  Dword = 19,             // VT_UI4
  Binary = 17,            // VT_UI1
};

// Key names that ForceRemove and Delete never remove.
bool IsRemovableKeyName(const Char16* name);
// S, M, D, B in either case.
bool ValueTypeFromLetter(Char16 letter, ScriptValueKind* kind);
// 0..15, and 0 for anything that is not a hexadecimal digit.
int HexDigitValue(Char16 c);

// Key names of 260 characters or more are refused.
constexpr std::size_t kMaxKeyNameLength = 259;
// Blocks nest at most this deep (the system's scripts use four levels);
// every level costs about 9 KB of stack.
constexpr int kMaxBlockDepth = 32;

// One script run on one thread.
class CRegScriptParser {
 public:
  explicit CRegScriptParser(CRegObject& registrar)
      : registrar_(registrar), store_(registrar.Store()), toDword_(registrar.DwordConverter()) {}
  CRegScriptParser(const CRegScriptParser&) = delete;
  CRegScriptParser& operator=(const CRegScriptParser&) = delete;

  // Places the reader at the start of text (for reading tokens directly).
  void SetText(const Char16* text) { position_ = text; }
  const Char16* Position() const { return position_; }

  void SkipBlanks();
  // Next token into a kTokenBuffer-unit buffer; DISP_E_EXCEPTION at the end
  // of the text, for an open quote and for more than 4094 characters.
  [[nodiscard]] HResult ReadToken(Char16* token);
  // Replaces %NAME% from the registrar's table and %% by %; on success
  // *expanded is task memory the caller frees.
  [[nodiscard]] HResult ExpandScript(const Char16* text, Char16** expanded);

  [[nodiscard]] HResult RunScript(const Char16* text, bool registerMode);
  // One root name and its block; a block that fails to register is undone.
  [[nodiscard]] HResult RunRootBlock(Char16* token, bool registerMode);
  // Entered after the block's opening brace; leaves its closing brace in token.
  [[nodiscard]] HResult ProcessBlock(Char16* token, KeyHandle parent, bool registerMode, bool recovering);
  // token holds the equals sign; reads the type letter and text, writes the
  // value and reads the next token into token.
  [[nodiscard]] HResult WriteValue(CRegistryKey& key, const Char16* valueName, Char16* token);
  // Reads past "= type text" when token holds the equals sign.
  [[nodiscard]] HResult SkipValueClause(Char16* token);

 private:
  [[nodiscard]] HResult RegisterEntry(Char16* token, KeyHandle parent, CRegistryKey& current, Char16* valueName);
  [[nodiscard]] HResult UnregisterEntry(Char16* token, KeyHandle parent, bool recovering, CRegistryKey& current,
                          Char16* valueName, Char16* keyName);

  CRegObject& registrar_;
  RegistryStore& store_;
  DwordFromText toDword_;
  const Char16* position_ = nullptr;
  int depth_ = 0;
};

}  // namespace boardscope
