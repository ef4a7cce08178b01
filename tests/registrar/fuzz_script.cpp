// libFuzzer entry: arbitrary script text through the interpreter in both
// modes (expansion included), against an in-memory registry seeded with
// protected, unreadable and read-only keys. Besides the sanitizers it checks
// that no run leaks a key handle and that a successful registration is
// repeatable with the same result. The token reader and expansion on their
// own are fuzz_script_text's.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"

using namespace boardscope;
using fuzz::Check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)fuzz::TheEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = fuzz::Decode(data, size);
  fuzz::Engine& engine = fuzz::TheEngine();
  MemoryRegistryStore& store = engine.store.Memory();
  CRegObject& registrar = engine.registrar;

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
  engine.store.Restore();
  return 0;
}
