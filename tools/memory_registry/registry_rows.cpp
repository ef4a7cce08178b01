// registry_rows: what registration writes, as rows for the installer. Runs
// the module's registry scripts through the script engine in register mode
// against the in-memory key store, with the module path the installer will
// give the file, writes the host's plug-in value the same way the module
// does, and writes the store to OUTPUT (MemoryRegistryStore::Dump's lines).
//
//   registry_rows OUTPUT APPID MODULE PLUGINS_KEY PLUGIN_VALUE CLSID SCRIPT...
//
// Scripts are plain 7-bit text here; the module reads them in the system's
// ANSI code page, which agrees with that.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "registrar/plugin_value.h"
#include "registrar/reg_object.h"
#include "tools/memory_registry/memory_registry_store.h"

namespace {

using boardscope::Char16;

bool Widen(const std::string& narrow, std::u16string* wide) {
  wide->clear();
  for (unsigned char c : narrow) {
    if (c == 0 || c > 0x7E) return false;
    wide->push_back(static_cast<Char16>(c));
  }
  return true;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "registry_rows: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 8) return Fail("usage: registry_rows OUTPUT APPID MODULE PLUGINS_KEY PLUGIN_VALUE CLSID SCRIPT...");
  std::u16string appId, module, pluginsKey, pluginValue, classId;
  if (!Widen(argv[2], &appId) || !Widen(argv[3], &module) || !Widen(argv[4], &pluginsKey) ||
      !Widen(argv[5], &pluginValue) || !Widen(argv[6], &classId)) {
    return Fail("arguments must be printable 7-bit text");
  }
  // The module path reaches the scripts quote-escaped, as the module hands it over.
  std::vector<Char16> escaped(module.size() * 2 + 1);
  boardscope::EscapeSingleQuotes(escaped.data(), escaped.size(), module.c_str());

  boardscope::MemoryRegistryStore store;
  for (int i = 7; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::u16string text;
    if (!file.good() && !file.eof()) return Fail(std::string("cannot read ") + argv[i]);
    if (bytes.empty() || !Widen(bytes, &text)) return Fail(std::string("not a 7-bit script: ") + argv[i]);
    boardscope::CRegObject registrar(store);
    if (registrar.AddSubstitution(u"APPID", appId.c_str()) < 0 ||
        registrar.AddSubstitution(u"Module", escaped.data()) < 0 ||
        registrar.AddSubstitution(u"Module_Raw", escaped.data()) < 0) {
      return Fail("cannot add the substitutions");
    }
    const boardscope::HResult result = registrar.RunScriptText(text.c_str(), true);
    if (result < 0) {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(result));
      return Fail(std::string("script ") + argv[i] + " failed: 0x" + hex);
    }
  }
  boardscope::WritePluginValue(store, pluginsKey.c_str(), pluginValue.c_str(), classId.c_str());
  std::ofstream output(argv[1], std::ios::binary | std::ios::trunc);
  output << store.Dump();
  output.close();
  return output.good() ? 0 : Fail(std::string("cannot write ") + argv[1]);
}
