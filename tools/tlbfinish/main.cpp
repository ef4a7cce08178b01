// tlbfinish IN.tlb MEMBER-HELP.txt OUT.tlb
//
// Completes the type library that widl wrote with what the IDL cannot say:
// help strings on enumeration members. Each non-blank line of MEMBER-HELP
// that does not start with '#' reads "<type> <member> <help string>"; the
// help string is the rest of the line.
#include "msft_image.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct MemberHelp {
  std::string type;
  std::string member;
  std::string text;
};

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::vector<MemberHelp> ReadMemberHelp(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<MemberHelp> entries;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    MemberHelp entry;
    fields >> entry.type >> entry.member;
    std::getline(fields, entry.text);
    entry.text = Trim(entry.text);
    if (entry.member.empty() || entry.text.empty())
      throw std::runtime_error(path + ":" + std::to_string(number) + ": expected <type> <member> <help string>");
    entries.push_back(entry);
  }
  return entries;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  // written beside the target and renamed, so a failed run leaves no half file
  const std::string partial = path + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + partial);
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot rename to " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tlbfinish IN.tlb MEMBER-HELP.txt OUT.tlb\n");
    return 2;
  }
  try {
    tlbfinish::MsftImage image(ReadFile(argv[1]));
    const std::vector<MemberHelp> entries = ReadMemberHelp(argv[2]);
    for (const MemberHelp& e : entries) image.SetMemberHelpString(e.type, e.member, e.text);
    // read everything back from the finished image before it is written
    tlbfinish::MsftImage finished(image.bytes());
    for (const MemberHelp& e : entries) {
      if (finished.MemberHelpString(e.type, e.member) != e.text)
        throw std::runtime_error("help string of " + e.type + "." + e.member + " did not stick");
    }
    WriteFile(argv[3], finished.bytes());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tlbfinish: %s\n", e.what());
    return 1;
  }
  return 0;
}
