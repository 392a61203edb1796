// Every program answers --help and --version at once (without reading its standard input, which
// stays open here) and refuses an unknown --option with one line.
#include <gtest/gtest.h>

#include "support/testsupport.hpp"

using namespace testsupport;

namespace {

struct Program {
  const char* name;
  bool short_help;  // -h, -? and /? print the usage too (programs without switches of their own)
};

const Program kPrograms[] = {
    {"txt2msg", false}, {"slk2msg", false}, {"msg2txt", true}, {"msg2slk", true},
    {"unyaz", true},    {"yaz", true},      {"greyconv", true}, {"romext", true},
};

}  // namespace

TEST(OptionsCli, HelpAndVersionAnswerAtOnce) {
  TempDir dir;
  for (const Program& p : kPrograms) {
    std::vector<std::vector<std::string>> helps = {{"--help"}, {"in.bin", "--help"}};
    if (p.short_help) helps.insert(helps.end(), {{"-h"}, {"-?"}, {"/?"}});
    for (const auto& args : helps) {
      const RunResult r = run_with_idle_stdin(program(p.name), args, dir.path());
      EXPECT_EQ(r.exit_code, 0) << p.name << " " << args.back();
      EXPECT_EQ(r.out.rfind(std::string("Usage: ") + p.name + " ", 0), 0u) << r.out;
      EXPECT_NE(r.out.find("Exit status"), std::string::npos) << p.name;
      EXPECT_EQ(r.err, "") << p.name;
    }
    const RunResult v = run_with_idle_stdin(program(p.name), {"--version"}, dir.path());
    EXPECT_EQ(v.exit_code, 0) << p.name;
    EXPECT_EQ(v.out, std::string(p.name) + " 1.1.0\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << p.name << " wrote a file";
  }
}

TEST(OptionsCli, UnknownDoubleDashOptionsAreRefused) {
  TempDir dir;
  for (const Program& p : kPrograms) {
    const RunResult r = run_with_idle_stdin(program(p.name), {"--frobnicate", "x"}, dir.path());
    EXPECT_EQ(r.exit_code, 2) << p.name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              std::string(p.name) + ": unknown option '--frobnicate'; --help shows the usage\n");
  }
}
