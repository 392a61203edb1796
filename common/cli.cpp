#include "common/cli.hpp"

#include <cstdio>
#include <vector>

namespace cli {

std::optional<int> standard_options(const Program& program, std::span<const std::string> args) {
  for (const std::string& arg : args) {
    const bool short_help = program.short_help && (arg == "-h" || arg == "-?" || arg == "/?");
    if (arg == "--help" || short_help) {
      std::fputs(program.usage, stdout);
      std::fflush(stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s %s\n", program.name, kVersion);
      std::fflush(stdout);
      return 0;
    }
    if (arg.rfind("--", 0) == 0) {
      // Nothing has been printed yet, so the line stands on its own.
      std::fprintf(stderr, "%s: unknown option '%s'; --help shows the usage\n", program.name,
                   arg.c_str());
      std::fflush(stderr);
      return kExitUsage;
    }
  }
  return std::nullopt;
}

std::optional<int> standard_options(const Program& program, int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return standard_options(program, args);
}

}  // namespace cli
