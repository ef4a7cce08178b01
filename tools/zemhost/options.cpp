#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "exit_codes.h"

namespace zemhost {

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& version) {
  ParsedCommandLine parsed;
  Options& o = parsed.options;
  CLI::App app(
      "Finds the ZEM plug-ins listed under HKEY_LOCAL_MACHINE\\SOFTWARE\\Quendal\\ZEM4\\PLUGINS,\n"
      "creates each through COM as the host does and prints its identity, capabilities,\n"
      "instances and information entries.\n",
      "zemhost");
  app.set_version_flag("--version", "zemhost " + version);
  // The option texts are set throughout so that the help does not list the
  // exclusions beside the options; the footer says them once.
  auto* json = app.add_flag("--json", o.json, "Print JSON instead of a table")->option_text(" ");
  auto* watch = app.add_option("--watch", o.watchSeconds, "Ask again every SECONDS (1 to 86400) until interrupted")
                    ->option_text("SECONDS")
                    ->check(CLI::Range(1ul, 86400ul));
  auto* count = app.add_option("--count", o.count, "Stop after N rounds of --watch")
                    ->option_text("N")
                    ->check(CLI::Range(1ul, 4294967295ul))
                    ->needs(watch);
  auto* unchanging =
      app.add_option("--unchanging-rounds", o.unchangingRounds,
                     "Mark a zone whose reading has not moved in N rounds of --watch (default 10)")
          ->option_text("N")
          ->check(CLI::Range(2ul, 4294967295ul))
          ->needs(watch);
  auto* prometheus = app.add_option("--prometheus", o.prometheus, "Also write the thermal zones to FILE for Prometheus")
                         ->option_text("FILE");
  app.add_option("--capture", o.capture, "Save this machine's raw thermal-zone WMI block to FILE")
      ->option_text("FILE")
      ->excludes(json, watch, count, unchanging, prometheus);
  app.footer(
      "--prometheus writes the Prometheus text format to a temporary file beside FILE and renames\n"
      "it over FILE, every round with --watch, so that the textfile collector of the Windows\n"
      "exporter (which reads the *.prom files of a folder) never sees half a file.\n"
      "--capture saves the block to send with a bug report; the WMI test double replays it.\n"
      "It takes no other option.\n"
      "--json with --watch prints one document per line (JSON Lines).\n"
      "\n"
      "A zone can read 27.8 \xC2\xB0" "C forever because many boards' firmware answers a fixed value\n"
      "(3010, 3030, 2732 or 0 tenths of a kelvin) when no sensor stands behind it; zemhost marks\n"
      "such a zone as a probable placeholder, and one whose reading never moves under --watch.\n"
      "Do not trust or alert on a marked zone: read that machine's temperatures from another\n"
      "sensor source (its board's or CPU's own sensors).\n"
      "\n"
      "Exit codes: 0 fine, 2 bad arguments, 3 no PLUGINS key or no plug-in in it, 4 class not\n"
      "registered, 5 plug-in cannot be created, 6 a plug-in method failed, 7 capture failed,\n"
      "8 the Prometheus file could not be written, 9 the replayed capture cannot be read.");

  // Windows users ask for help with /?.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  std::replace(reversed.begin(), reversed.end(), std::string("/?"), std::string("--help"));
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    parsed.out = app.help();
    parsed.exitCode = kExitOk;
    return parsed;
  } catch (const CLI::CallForVersion& e) {
    parsed.out = std::string(e.what()) + "\n";
    parsed.exitCode = kExitOk;
    return parsed;
  } catch (const CLI::ParseError& e) {
    parsed.err = "zemhost: " + std::string(e.what()) + "\nRun zemhost --help for the options.\n";
    parsed.exitCode = kExitUsage;
    return parsed;
  }
  if (o.watchSeconds != 0 && count->count() == 0) o.count = 0;
  parsed.run = true;
  return parsed;
}

}  // namespace zemhost
