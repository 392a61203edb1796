#include <gtest/gtest.h>

#include "common/switches.hpp"

namespace {

enum { kA, kB, kCount };
constexpr switches::Switch kKnown[] = {
    {.id = kA, .letter = 'a', .name = "--all"},
    {.id = kB, .letter = 'b'},
    {.id = kCount, .name = "--count", .value = "a number"},
};

// The switches met as "id=value" words, then the names, then the problem.
std::string parsed(std::vector<std::string> args, bool lenient) {
  const switches::Parsed p = switches::read(args, {.known = kKnown, .lenient = lenient});
  std::string text;
  for (const switches::Found& f : p.found) {
    text += std::to_string(f.id) + "=" + f.value + "@" + std::to_string(f.names_before) + " ";
  }
  text += "|";
  for (const std::string& n : p.names) text += " " + n;
  return text + " | " + p.problem;
}

}  // namespace

TEST(Switches, StrictAndLenientReading) {
  struct Case {
    std::vector<std::string> args;
    bool lenient;
    const char* want;
  };
  const Case cases[] = {
      {{"/A", "-b", "in", "--all", "out"}, false, "0=@0 1=@0 0=@1 | in out | "},
      {{"--count", "7", "--count=8", "x"}, false, "2=7@0 2=8@0 | x | "},
      {{"--count"}, false, "| | --count needs a number"},
      {{"-ab", "/x", "-"}, false, "| - | unknown switch '-ab'"},
      {{"--nope", "/home/me/a.bin", "/"}, false, "| /home/me/a.bin / | unknown option '--nope'"},
      // The message compilers' rule: the second character alone, unknown ones passed over.
      {{"-ab", "/x", "-", "/", "f"}, true, "0=@0 | f | "},
      {{"/home/me/a.bin", "-Bq"}, true, "1=@1 | /home/me/a.bin | "},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.args, c.lenient), c.want) << c.args[0];
  const switches::Policy policy{.known = kKnown};
  EXPECT_TRUE(switches::is_long_switch("--count=3", policy));
  EXPECT_FALSE(switches::is_long_switch("--all=3", policy));  // takes no value
}
