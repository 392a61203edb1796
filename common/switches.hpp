// The one reader of command-line switches. A program lists its switches and a policy; the reader
// sorts the arguments into the switches met (in order) and the names.
//
// - A switch starts with '/' or '-'. An argument that starts with '/' and holds another '/' is an
//   absolute path ("/home/me/dump.txt"), not a switch.
// - A letter switch is "/x" or "-x", in either case. Strict programs take exactly two characters
//   ("-yc" is refused); the message compilers' lenient rule reads only the second character
//   ("-Lx" is "-L", "-" alone is a switch with no letter).
// - A long switch is "--name"; one that takes a value is "--name VALUE" or "--name=VALUE".
// - An unknown switch is refused (the first problem is kept, in words), or, under the lenient
//   rule, passed over.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace switches {

struct Switch {
  int id = 0;                  // what the program tells its switches by
  char letter = '\0';          // "/x" and "-x" in either case; '\0': none
  const char* name = nullptr;  // "--name"; nullptr: none
  // What the long form's value is, for the line when it is missing ("a chip: 6101, ..."); nullptr:
  // the switch takes no value.
  const char* value = nullptr;
};

struct Policy {
  std::span<const Switch> known;
  // The message compilers' rule: only the second character counts and unknown switches are
  // passed over.
  bool lenient = false;
};

// One switch as met.
struct Found {
  int id = 0;
  std::string value;             // a long switch's value
  std::size_t names_before = 0;  // how many names came before it
};

struct Parsed {
  std::vector<Found> found;        // in the order met
  std::vector<std::string> names;  // every other argument, in order
  std::string problem;             // the first argument that cannot be used; empty when none
};

// True when `arg` is read as a switch, not as a name.
bool is_switch(std::string_view arg, bool lenient = false);

Parsed read(std::span<const std::string> args, const Policy& policy);

// True when `arg` is one of the policy's long switches ("--fix", or "--cic=N" for one that takes
// a value): the shell leaves those to the program.
bool is_long_switch(std::string_view arg, const Policy& policy);

}  // namespace switches
