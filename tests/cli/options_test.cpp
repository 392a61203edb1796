// Every program answers --help and --version at once (without reading its standard input, which
// stays open here) and refuses an unknown --option with one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "support/testsupport.hpp"

using namespace testsupport;

namespace {

struct Program {
  std::string name;
  bool short_help;  // -h, -? and /? print the usage too
};

// Every program of the build. The message compilers' own help switches (/H, /?) print their old
// help text and wait for a key, so they do not take the short help.
std::vector<Program> programs() {
  std::vector<Program> list;
  const std::string names = TOOLKIT_PROGRAMS;
  for (std::size_t at = 0; at <= names.size();) {
    const std::size_t comma = std::min(names.find(',', at), names.size());
    const std::string name = names.substr(at, comma - at);
    list.push_back({name, name != "txt2msg" && name != "slk2msg"});
    at = comma + 1;
  }
  return list;
}

const std::vector<Program> kPrograms = programs();

}  // namespace

TEST(OptionsCli, HelpAndVersionAnswerAtOnce) {
  TempDir dir;
  for (const Program& p : kPrograms) {
    std::vector<std::vector<std::string>> helps = {{"--help"}, {"in.bin", "--help"}};
    if (p.short_help) helps.insert(helps.end(), {{"-h"}, {"-?"}, {"/?"}});
    for (const auto& args : helps) {
      const RunResult r = run_with_idle_stdin(program(p.name), args, dir.path());
      EXPECT_EQ(r.exit_code, 0) << p.name << " " << args.back();
      EXPECT_EQ(r.out.rfind("Usage: " + p.name + " ", 0), 0u) << r.out;
      EXPECT_NE(r.out.find("Exit status"), std::string::npos) << p.name;
      EXPECT_EQ(r.err, "") << p.name;
    }
    const RunResult v = run_with_idle_stdin(program(p.name), {"--version"}, dir.path());
    EXPECT_EQ(v.exit_code, 0) << p.name;
    EXPECT_EQ(v.out, p.name + " 1.1.0\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << p.name << " wrote a file";
  }
}

TEST(OptionsCli, UnknownDoubleDashOptionsAreRefused) {
  TempDir dir;
  for (const Program& p : kPrograms) {
    const RunResult r = run_with_idle_stdin(program(p.name), {"--frobnicate", "x"}, dir.path());
    EXPECT_EQ(r.exit_code, 2) << p.name;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, p.name + ": unknown option '--frobnicate'; --help shows the usage\n");
  }
}

// A report that is the whole product of a run, written to a standard output that fails, is a
// failed run: one line on stderr and a status other than 0.
TEST(OptionsCli, AReportToAFullStandardOutputFails) {
  if (!posix_programs() || !std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "/dev/full and a POSIX shell";
  }
  TempDir dir;
  std::vector<std::string> commands;
  const auto command_of = [](const std::string& name, const char* args) {
    std::string command = "'";
    command += program(name).string();
    command += "' ";
    command += args;
    return command;
  };
  for (const Program& p : kPrograms) {
    for (const char* option : {"--help", "--version"})
      commands.push_back(command_of(p.name, option));
  }
  write_bytes(dir / "p.ips", hex("50 41 54 43 48 45 4F 46"));
  commands.push_back(command_of("bps", "--info p.ips"));
  for (const std::string& command : commands) {
    const RunResult r = shell(command + " </dev/null >/dev/full", dir.path());
    EXPECT_NE(r.exit_code, 0) << command;
    EXPECT_NE(r.err.find(": standard output: cannot be written: no space left on device\n"),
              std::string::npos)
        << command << ": " << r.err;
  }
}

// Windows takes NUL for a character device, as it takes a console; a script that runs `prog < NUL`
// means "no input", and a key question must then end as at the end of input instead of waiting
// for a key from the console. Tried under Wine with a console: a pseudo-terminal made by script(1).
TEST(ConsoleCli, NulInputEndsTheKeyQuestionsOnWindows) {
#ifdef _WIN32
  GTEST_SKIP() << "tried through Wine";
#else
  const char* runner = std::getenv("TOOLKIT_RUNNER");
  if (runner == nullptr || std::string(runner).find("wine") == std::string::npos ||
      std::system("command -v script timeout >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "the Windows programs under Wine, with script(1) and timeout(1)";
  }
  TempDir dir;
  write_bytes(dir / "plain.bin", hex("41 42 43 44 00 00 00 04 61 62 63 64"));  // no signature
  write_bytes(dir / "grey.tga", hex("00 00 03 00 00 00 00 00 00 00 00 00 01 00 01 00 10 08 5A 5A"));
  const struct {
    const char* program;
    const char* input;
    int status;
  } cases[] = {{"unyaz", "plain.bin", 255}, {"greyconv", "grey.tga", 2}};
  for (const auto& c : cases) {
    const std::string exe = program(c.program).filename().string();
    std::filesystem::copy_file(program(c.program), dir / exe);
    // Before, the program waited for a key until timeout(1) ended it (status 124).
    const std::string command = "cd '" + dir.path().string() + "' && timeout 20 script -qec \"'" +
                                runner + "' cmd /c '" + exe + " " + c.input +
                                " < NUL'\" /dev/null </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status) << c.program;
  }
#endif
}
