// libFuzzer entry: arbitrary script text through the token reader and
// %NAME% expansion, and the expanded text through the reader again. Checks
// that tokens respect their limit, that the reader stays inside the text and
// that expansion hands out text exactly when it succeeds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "registrar/reg_script.h"
#include "registrar/text_util.h"

using namespace boardscope;
using fuzz::Check;

namespace {

void ReadAllTokens(CRegObject& registrar, const Char16* text, std::size_t length) {
  CRegScriptParser parser(registrar);
  parser.SetText(text);
  Char16 token[kTokenBuffer];
  while (hr::Succeeded(parser.ReadToken(token))) {
    Check(TextLength(token) <= 4094, "token longer than 4094 characters");
    Check(parser.Position() >= text && parser.Position() <= text + length, "reader left the text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)fuzz::TheEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = fuzz::Decode(data, size);
  // Expansion reads the substitutions only; the registry stays untouched.
  CRegObject& registrar = fuzz::TheEngine().registrar;

  ReadAllTokens(registrar, text.c_str(), text.size());
  CRegScriptParser parser(registrar);
  Char16* expanded = nullptr;
  if (hr::Succeeded(parser.ExpandScript(text.c_str(), &expanded))) {
    Check(expanded != nullptr, "expansion succeeded without output");
    ReadAllTokens(registrar, expanded, TextLength(expanded));
    TaskMemFree(expanded);
  } else {
    Check(expanded == nullptr, "failed expansion left output");
  }
  return 0;
}
