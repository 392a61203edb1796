// The options that every program understands in the same way, whatever its own switches: --help
// and --version, which answer at once without reading standard input, and a refusal of any other
// argument that starts with "--".
#pragma once

#include <optional>
#include <span>
#include <string>

namespace cli {

// The toolkit's version, printed by --version.
inline constexpr const char* kVersion = "1.1.0";

// Exit status after an argument the program does not know.
inline constexpr int kExitUsage = 2;

struct Program {
  const char* name;   // "unyaz"
  const char* usage;  // the --help text, ending in a line feed
  // -h, -? and /? print the usage too (programs that have no switches of their own).
  bool short_help = false;
};

// Looks at every argument before the program does anything else. --help (and the short forms)
// prints the usage on stdout, --version the program's name and version; both return 0. Another
// argument that starts with "--" gets one line on stderr naming it, and returns kExitUsage.
// nullopt when none of these was given: the program goes on.
std::optional<int> standard_options(const Program& program, std::span<const std::string> args);

// The same over main's argument vector (argv[0] is the program's own name and is passed over).
std::optional<int> standard_options(const Program& program, int argc, char** argv);

}  // namespace cli
