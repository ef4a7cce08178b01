// Expansion and interpretation cost per byte of script at 1x, 8x and 64x
// the same structure; constant figures across the sizes mean linear work.
// Prints numbers only; run a build without sanitizers for real figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/memory_registry/memory_registry_store.h"
#include "registrar/reg_object.h"
#include "registrar/reg_script.h"

namespace {

using namespace boardscope;
using Clock = std::chrono::steady_clock;

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// One class-like unit per index, shaped like the system's class script.
std::u16string MakeScript(int units) {
  std::string script;
  for (int i = 0; i < units; ++i) {
    char guid[64];
    std::snprintf(guid, sizeof guid, "{%08X-1111-2222-3333-444444444444}", static_cast<unsigned>(i));
    const std::string n = std::to_string(i);
    script += "HKCR\r\n{\r\n\tBench.Object" + n + ".1 = s 'Bench Class'\r\n\t{\r\n\t\tCLSID = s '" + guid +
              "'\r\n\t}\r\n\tNoRemove CLSID\r\n\t{\r\n\t\tForceRemove " + guid +
              " = s 'Bench Class'\r\n\t\t{\r\n\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t{\r\n"
              "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n\t\t\t}\r\n\t\t\tval AppID = s '%APPID%'\r\n"
              "\t\t\tData = b 0A1B2C3D4E5F\r\n\t\t\tCount = d 12345\r\n\t\t\tList = m 'a\\0b\\0c'\r\n"
              "\t\t\tPercent = s '100%%'\r\n\t\t}\r\n\t}\r\n}\r\n";
  }
  return Widen(script);
}

void AddSubstitutions(CRegObject& registrar) {
  if (hr::Failed(registrar.AddSubstitution(u"APPID", u"{11111111-2222-3333-4444-555555555555}")) ||
      hr::Failed(registrar.AddSubstitution(u"MODULE", u"C:\\Program Files\\Boardscope\\Boardscope.dll"))) {
    std::abort();
  }
}

double NsPerByte(Clock::duration elapsed, std::size_t bytes) {
  return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(bytes);
}

}  // namespace

// Extra scales may be given as arguments, e.g. "bench_script 512".
int main(int argc, char** argv) {
  std::vector<int> scales = {1, 8, 64};
  for (int i = 1; i < argc; ++i) scales.push_back(std::atoi(argv[i]));
  constexpr int kBaseUnits = 32;
  constexpr int kRepeats = 15;
  std::printf("%6s %10s %14s %14s %14s\n", "scale", "bytes", "expand ns/B", "register ns/B", "unregister ns/B");
  for (int scale : scales) {
    const std::u16string script = MakeScript(kBaseUnits * scale);
    const std::size_t bytes = script.size() * sizeof(Char16);
    Clock::duration expandBest = Clock::duration::max();
    Clock::duration registerBest = Clock::duration::max();
    Clock::duration unregisterBest = Clock::duration::max();
    for (int r = 0; r < kRepeats; ++r) {
      MemoryRegistryStore store;
      CRegObject registrar(store);
      AddSubstitutions(registrar);
      {
        CRegScriptParser parser(registrar);
        Char16* expanded = nullptr;
        const auto start = Clock::now();
        const HResult result = parser.ExpandScript(script.c_str(), &expanded);
        expandBest = std::min(expandBest, Clock::now() - start);
        if (hr::Failed(result)) return 1;
        TaskMemFree(expanded);
      }
      auto start = Clock::now();
      if (hr::Failed(registrar.RunScriptText(script.c_str(), true))) return 1;
      registerBest = std::min(registerBest, Clock::now() - start);
      start = Clock::now();
      if (hr::Failed(registrar.RunScriptText(script.c_str(), false))) return 1;
      unregisterBest = std::min(unregisterBest, Clock::now() - start);
    }
    std::printf("%5dx %10zu %14.2f %14.2f %14.2f\n", scale, bytes, NsPerByte(expandBest, bytes),
                NsPerByte(registerBest, bytes), NsPerByte(unregisterBest, bytes));
  }
  return 0;
}
