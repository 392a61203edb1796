#include "common/shell.hpp"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string_view>

#include "common/console.hpp"

namespace shell {
namespace {

std::string g_subject;

bool is_own_option(const Program& program, std::string_view arg) {
  return program.switches != nullptr && switches::is_long_switch(arg, *program.switches);
}

}  // namespace

void set_subject(const std::string& name) { g_subject = name; }

int usage_error(const std::string& problem) {
  con::error_line(problem + "; --help shows the usage");
  return exit_status::kUsage;
}

int standard_options(const Program& program, std::span<const std::string> args) {
  for (const std::string& arg : args) {
    const bool short_help = program.short_help && (arg == "-h" || arg == "-?" || arg == "/?");
    if (arg == "--help" || short_help) {
      return con::put_report(program.usage) ? exit_status::kDone : program.failure;
    }
    if (arg == "--version") {
      const std::string version = std::string(program.name) + " " + kVersion + "\n";
      return con::put_report(version) ? exit_status::kDone : program.failure;
    }
    if (arg.rfind("--", 0) == 0 && !is_own_option(program, arg)) {
      // Nothing has been printed yet, so the line stands on its own.
      std::fprintf(stderr, "%s: unknown option '%s'; --help shows the usage\n", program.name,
                   arg.c_str());
      std::fflush(stderr);
      return exit_status::kUsage;
    }
  }
  return -1;
}

int main(const Program& program, int argc, char** argv) {
  con::init();
  con::set_program_name(program.name);
  const Args args(argv + 1, argv + argc);
  if (const int status = standard_options(program, args); status >= 0) return status;
  try {
    return program.run(args);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  // The files the run was writing were dropped as it unwound.
  const char* problem = "not enough memory to go on; nothing written";
  con::error_line(g_subject.empty() ? std::string(problem) : g_subject + ": " + problem);
  return program.failure;
}

}  // namespace shell
