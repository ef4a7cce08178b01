// libFuzzer entry: arbitrary script text through expansion, the token reader
// and the interpreter in both modes, against an in-memory registry seeded
// with protected, unreadable and read-only keys. Besides the sanitizers it
// checks that no run leaks a key handle, that tokens respect their limit,
// and that a successful registration is repeatable with the same result.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "registrar/memory_registry_store.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script.h"
#include "registrar/text_util.h"

namespace {

using namespace boardscope;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// First byte: bit 0 reads the rest as UTF-16LE, otherwise one unit per byte
// (keywords are then easy to reach).
std::u16string Decode(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  if (size == 0) return text;
  const bool wide = (data[0] & 1) != 0;
  ++data;
  --size;
  if (wide) {
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<Char16>(data[i] | (data[i + 1] << 8)));
  } else {
    for (std::size_t i = 0; i < size; ++i) text.push_back(static_cast<Char16>(data[i]));
  }
  // The engine sees text up to the first NUL, as after resource conversion.
  const auto nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.resize(nul);
  return text;
}

void Seed(MemoryRegistryStore& store) {
  KeyHandle key = 0;
  for (const Char16* path : {u"CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32", u"AppID\\x",
                             u"Software\\Vendor\\App", u"a\\b\\c"}) {
    if (store.CreateKey(store.Root(RootKey::ClassesRoot), path, &key) == 0) {
      const std::uint32_t one = 1;
      store.SetValue(key, u"v", regtype::Dword, &one, 4);
      store.CloseKey(key);
    }
  }
  store.Protect(RootKey::ClassesRoot, u"Locked", MemoryRegistryStore::Protection::NoAccess);
  store.Protect(RootKey::ClassesRoot, u"ro", MemoryRegistryStore::Protection::ReadOnly);
  store.Protect(RootKey::CurrentUser, u"Software\\Locked", MemoryRegistryStore::Protection::NoAccess);
}

void AddSubstitutions(CRegObject& registrar) {
  registrar.AddSubstitution(u"APPID", u"{11111111-2222-3333-4444-555555555555}");
  registrar.AddSubstitution(u"Module", u"C:\\it''s\\Boardscope.dll");
  registrar.AddSubstitution(u"Module_Raw", u"C:\\it''s\\Boardscope.dll");
  registrar.AddSubstitution(u"Q", u"'");
  registrar.AddSubstitution(u"E", u"");
  registrar.AddSubstitution(u"BIG", std::u16string(3000, u'x').c_str());
}

void ReadAllTokens(CRegObject& registrar, const std::u16string& text) {
  CRegScriptParser parser(registrar);
  parser.SetText(text.c_str());
  Char16 token[kTokenBuffer];
  while (hr::Succeeded(parser.ReadToken(token))) {
    Check(TextLength(token) <= 4094, "token longer than 4094 characters");
    Check(parser.Position() >= text.c_str() && parser.Position() <= text.c_str() + text.size(),
          "reader left the text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = Decode(data, size);
  MemoryRegistryStore store;
  Seed(store);
  CRegObject registrar(store);
  AddSubstitutions(registrar);

  ReadAllTokens(registrar, text);
  {
    CRegScriptParser parser(registrar);
    Char16* expanded = nullptr;
    if (hr::Succeeded(parser.ExpandScript(text.c_str(), &expanded))) {
      Check(expanded != nullptr, "expansion succeeded without output");
      ReadAllTokens(registrar, expanded);
      TaskMemFree(expanded);
    } else {
      Check(expanded == nullptr, "failed expansion left output");
    }
  }

  const HResult registered = registrar.RunScriptText(text.c_str(), true);
  Check(store.OpenHandleCount() == 0, "register leaked a key handle");
  if (hr::Succeeded(registered)) {
    const std::string once = store.Dump();
    Check(hr::Succeeded(registrar.RunScriptText(text.c_str(), true)), "repeated registration failed");
    Check(store.Dump() == once, "repeated registration changed the registry");
  }
  (void)registrar.RunScriptText(text.c_str(), false);
  Check(store.OpenHandleCount() == 0, "unregister leaked a key handle");
  (void)registrar.RunScriptText(text.c_str(), false);
  Check(store.OpenHandleCount() == 0, "second unregister leaked a key handle");
  return 0;
}
