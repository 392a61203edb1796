// The program shell: what every program does the same way around its own work. A program's
// main.cpp is one line:
//
//     int main(int argc, char** argv) { return shell::main(yaz::kProgram, argc, argv); }
//
// and its own file defines `kProgram` and `run`. The shell puts the standard streams into binary
// mode and installs the handling of interruptions, answers --help and --version at once (without
// reading standard input), refuses any other "--" option that is not the program's own with
// status 2, runs the program and turns memory running out into one line and the program's failure
// status.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "common/exit_status.hpp"
#include "common/switches.hpp"

namespace shell {

// The toolkit's version, printed by --version.
inline constexpr const char* kVersion = "1.1.0";

// The arguments after the program's own name.
using Args = std::vector<std::string>;

// A program, written with designated initialisers:
//   const shell::Program kProgram{.name = "yaz", .usage = kUsage, .run = run, .switches =
//   &kSwitches};
struct Program {
  const char* name = "";   // "unyaz": the head of the program's error lines
  const char* usage = "";  // the --help text, ending in a line feed
  int (*run)(const Args& args) = nullptr;
  // -h, -? and /? print the usage too (programs whose old help switches do not differ).
  bool short_help = true;
  // The exit status when memory runs out.
  int failure = exit_status::kFailed;
  // The program's switches. Its long ones ("--fix", "--cic=N") are left to it; any other "--"
  // option is refused.
  const switches::Policy* switches = nullptr;
};

// The whole process: returns the exit status for main.
int main(const Program& program, int argc, char** argv);

// Answers the options every program understands, before the program does anything else. Returns
// -1 when the program is to go on, else the exit status.
int standard_options(const Program& program, std::span<const std::string> args);

// Refuses arguments the program cannot use: one line, "PROBLEM; --help shows the usage", and
// the status to end with (exit_status::kUsage).
int usage_error(const std::string& problem);

// The file that a line about memory running out names: the input, once it is known.
void set_subject(const std::string& name);

}  // namespace shell
