// Helpers for the test suites: temporary folders, file bytes, and running the built programs with
// piped standard input.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// True in a build with AddressSanitizer, which needs more address space than a tight limit
// (ulimit -v) leaves.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& s);
std::string string_of(const Bytes& b);
// `text` without the compilers' located lines ("\nFILE:LINE:COL: note: ..." and "...warning:
// ..."): what the old reports alone print.
std::string without_located_lines(const std::string& text);
// `text` with the system's own words after "cannot be opened: " and "cannot be created: " (which
// differ from system to system) replaced by "REASON".
std::string generic_reasons(const std::string& text);

// The located lines of `text` alone, each ending in a line feed.
std::string located_only(const std::string& text);
// How many located lines of `kind` ("note" or "warning") `text` holds.
std::size_t located_lines(const std::string& text, const std::string& kind);

// "7F 0E 1A 2B" -> bytes.
Bytes hex(const std::string& text);
// Bytes -> "7F 0E 1A 2B", for readable failure messages.
std::string to_hex(const Bytes& b);

Bytes read_bytes(const std::filesystem::path& p);
void write_bytes(const std::filesystem::path& p, const Bytes& b);
void write_text(const std::filesystem::path& p, const std::string& s);

// A fresh empty folder, removed with its contents at the end of the scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int exit_code = -1;
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
};

// Path of a built program, e.g. program("txt2msg"). TOOLKIT_PROGRAM_DIR and
// TOOLKIT_PROGRAM_SUFFIX in the environment point the suites at another build; TOOLKIT_RUNNER
// (for instance "wine") then names the program that runs them.
std::filesystem::path program(const std::string& name);

// Runs `exe` with `args` in folder `cwd`, with `input` as its whole standard input (closed after
// it), and returns its exit code and output. A program that runs longer than `timeout_seconds` is
// killed and the test fails.
// What the console's "wait for a key" prints (through Wine, its command interpreter's own text).
std::string pause_prompt();

RunResult run(const std::filesystem::path& exe, const std::vector<std::string>& args,
              const std::string& input, const std::filesystem::path& cwd, int timeout_seconds = 60);

// The same with a standard input that stays open and never delivers a byte: a program that reads
// it waits until `timeout_seconds` have passed, is killed, and the test fails.
RunResult run_with_idle_stdin(const std::filesystem::path& exe,
                              const std::vector<std::string>& args,
                              const std::filesystem::path& cwd, int timeout_seconds = 20);

// True where the programs run as on POSIX, so that signals, FIFOs and limits can be tried: not on
// Windows, and not through a TOOLKIT_RUNNER (Wine, valgrind).
bool posix_programs();

// Runs `command` with /bin/sh in `cwd` (POSIX only; for limits set with ulimit, pipes and the
// like).
RunResult shell(const std::string& command, const std::filesystem::path& cwd,
                int timeout_seconds = 60);

#ifndef _WIN32
// A program left running while the test talks to it: its standard input is a pipe the test
// writes to, its standard output and error go to files the test can watch.
class Spawned {
 public:
  // `env` holds "NAME=value" settings added to the environment. With `broken_stdout`, standard
  // output is a pipe whose reading end is already closed.
  Spawned(const std::filesystem::path& exe, const std::vector<std::string>& args,
          const std::filesystem::path& cwd, const std::vector<std::string>& env = {},
          bool broken_stdout = false);
  ~Spawned();
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  void send(const std::string& text) const;
  void close_input();
  // Waits until `text` shows on standard output or error; false after `timeout_seconds`.
  bool wait_for_output(const std::string& text, int timeout_seconds = 20) const;
  void signal(int sig) const;
  // Waits for the end: the exit status, or 128 + the signal that ended the program (-1 when it
  // did not end in time and was killed).
  int wait(int timeout_seconds = 30);
  std::string out() const;
  std::string err() const;

 private:
  TempDir io_;
  int pid_ = -1;
  int input_ = -1;
};
#endif

}  // namespace testsupport
