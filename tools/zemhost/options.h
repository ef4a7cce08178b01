// zemhost's command line. Platform-neutral: arguments arrive as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace zemhost {

struct Options {
  bool json = false;
  unsigned long watchSeconds = 0;  // 0: one look, no watching
  unsigned long count = 1;         // rounds; 0: until interrupted
  unsigned long unchangingRounds = 10;  // rounds of --watch before a still reading is marked
  std::string capture;             // --capture FILE
  std::string prometheus;          // --prometheus FILE
};

// What to do after parsing: run with `options`, or end at once with
// `exitCode`, writing `out` to standard output and `err` to standard error.
struct ParsedCommandLine {
  bool run = false;
  int exitCode = 0;
  std::string out;
  std::string err;
  Options options;
};

// `args` without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& version);

}  // namespace zemhost
