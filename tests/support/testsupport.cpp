#include "support/testsupport.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Whether the line that starts after a line feed at `at` is a located line of `kind`.
bool located_at(const std::string& text, std::size_t at, const std::string& kind) {
  const std::size_t end = std::min(text.find('\n', at), text.size());
  const std::string line = text.substr(at, end - at);
  return line.rfind(kind + ": ", 0) == 0 || line.find(": " + kind + ": ") != std::string::npos;
}

}  // namespace

std::string without_located_lines(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t next = std::min(text.find('\n', at + 1), text.size());
    const bool drop = text[at] == '\n' &&
                      (located_at(text, at + 1, "note") || located_at(text, at + 1, "warning"));
    if (!drop) out.append(text, at, next - at);
    at = next;
  }
  return out;
}

std::string generic_reasons(const std::string& text) {
  std::string out = text;
  for (const std::string lead : {"cannot be opened: ", "cannot be created: "}) {
    for (std::size_t at = out.find(lead); at != std::string::npos; at = out.find(lead, at + 1)) {
      const std::size_t from = at + lead.size();
      const std::size_t end = std::min(out.find('\n', from), out.size());
      out.replace(from, end - from, "REASON");
    }
  }
  return out;
}

std::string located_only(const std::string& text) {
  std::string out;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    if (located_at(text, at + 1, "note") || located_at(text, at + 1, "warning")) {
      const std::size_t end = std::min(text.find('\n', at + 1), text.size());
      out.append(text, at + 1, end - at - 1).push_back('\n');
    }
  }
  return out;
}

std::size_t located_lines(const std::string& text, const std::string& kind) {
  std::size_t n = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    if (located_at(text, at + 1, kind)) ++n;
  }
  return n;
}

Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string string_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes hex(const std::string& text) {
  Bytes out;
  std::istringstream in(text);
  std::string word;
  while (in >> word) out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return out;
}

std::string to_hex(const Bytes& b) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < b.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02X", b[i]);
    if (i) out += ' ';
    out += buf;
  }
  return out;
}

Bytes read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << p;
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  if (!out) ADD_FAILURE() << "cannot write " << p;
}

void write_text(const fs::path& p, const std::string& s) { write_bytes(p, bytes_of(s)); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() /
            ("toolkit-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(path_, ec)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path program(const std::string& name) {
  // The end-to-end suites can be pointed at another build of the programs (for instance the
  // Windows executables, run through TOOLKIT_RUNNER=wine).
  const char* dir = std::getenv("TOOLKIT_PROGRAM_DIR");
  const char* suffix = std::getenv("TOOLKIT_PROGRAM_SUFFIX");
#ifdef _WIN32
  const std::string ending = suffix ? suffix : ".exe";
#else
  const std::string ending = suffix ? suffix : "";
#endif
  return fs::path(dir && *dir ? dir : TOOLKIT_BIN_DIR) / (name + ending);
}

std::string pause_prompt() {
  const char* runner = std::getenv("TOOLKIT_RUNNER");
  if (runner != nullptr && std::string(runner).find("wine") != std::string::npos) {
    return "Press any key to continue... ";
  }
  return "Press any key to continue . . . \n";
}

namespace {
std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
}  // namespace

#ifdef _WIN32

RunResult run(const fs::path& exe, const std::vector<std::string>& args, const std::string& input,
              const fs::path& cwd, int /*timeout_seconds*/) {
  RunResult result;
  TempDir io;
  const fs::path in_path = io / "stdin";
  const fs::path out_path = io / "stdout";
  const fs::path err_path = io / "stderr";
  write_text(in_path, input);
  std::string cmd = "cd /d \"" + cwd.string() + "\" && \"" + exe.string() + "\"";
  for (const auto& a : args) cmd += " \"" + a + "\"";
  cmd += " < \"" + in_path.string() + "\" > \"" + out_path.string() + "\" 2> \"" +
         err_path.string() + "\"";
  result.exit_code = std::system(("\"" + cmd + "\"").c_str());
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}

// A native Windows build has no pipe here: the program gets an empty standard input instead.
RunResult run_with_idle_stdin(const fs::path& exe, const std::vector<std::string>& args,
                              const fs::path& cwd, int timeout_seconds) {
  return run(exe, args, "", cwd, timeout_seconds);
}

#else

namespace {

// Runs `exe` with its standard input read from `stdin_fd` (closed in the caller afterwards).
RunResult run_once(const fs::path& exe, const std::vector<std::string>& args, int stdin_fd,
                   const fs::path& cwd, int timeout_seconds) {
  RunResult result;
  TempDir io;
  const fs::path out_path = io / "stdout";
  const fs::path err_path = io / "stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    const int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (stdin_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(cwd.c_str()) != 0) _exit(127);
    dup2(stdin_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    std::vector<std::string> storage;
    const char* runner = std::getenv("TOOLKIT_RUNNER");
    if (runner != nullptr && *runner != '\0') storage.push_back(runner);
    storage.push_back(exe.string());
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << exe << " did not end within " << timeout_seconds << " s";
      result.exit_code = -1;
      result.out = slurp(out_path);
      result.err = slurp(err_path);
      return result;
    }
    usleep(2000);
  }
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else {
    ADD_FAILURE() << exe << " ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    result.exit_code = -1;
  }
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}

// Under a runner (Wine), a program that failed without a word was most likely never started: the
// runner now and then fails to launch one. Every program here says something when it fails, so
// such a run is made once more, and the test's log says so.
RunResult run_from(const fs::path& exe, const std::vector<std::string>& args, int stdin_fd,
                   const fs::path& cwd, int timeout_seconds) {
  RunResult result = run_once(exe, args, stdin_fd, cwd, timeout_seconds);
  const char* runner = std::getenv("TOOLKIT_RUNNER");
  if (runner != nullptr && *runner != '\0' && result.exit_code > 0 && result.out.empty() &&
      result.err.empty()) {
    std::fprintf(stderr, "note: %s %s ended with status %d and no output; run again\n", runner,
                 exe.c_str(), result.exit_code);
    lseek(stdin_fd, 0, SEEK_SET);  // a file; a pipe was not read
    result = run_once(exe, args, stdin_fd, cwd, timeout_seconds);
  }
  return result;
}

}  // namespace

RunResult run(const fs::path& exe, const std::vector<std::string>& args, const std::string& input,
              const fs::path& cwd, int timeout_seconds) {
  TempDir io;
  const fs::path in_path = io / "stdin";
  write_text(in_path, input);
  const int in_fd = open(in_path.c_str(), O_RDONLY);
  RunResult result = run_from(exe, args, in_fd, cwd, timeout_seconds);
  if (in_fd >= 0) close(in_fd);
  return result;
}

RunResult run_with_idle_stdin(const fs::path& exe, const std::vector<std::string>& args,
                              const fs::path& cwd, int timeout_seconds) {
  int ends[2] = {-1, -1};
  if (pipe(ends) != 0) ADD_FAILURE() << "cannot make a pipe";
  // The write end stays open (and silent) in this process until the program has ended.
  RunResult result = run_from(exe, args, ends[0], cwd, timeout_seconds);
  close(ends[0]);
  close(ends[1]);
  return result;
}

#endif

bool posix_programs() {
#ifdef _WIN32
  return false;
#else
  const char* runner = std::getenv("TOOLKIT_RUNNER");
  return runner == nullptr || *runner == '\0';
#endif
}

RunResult shell(const std::string& command, const fs::path& cwd, int timeout_seconds) {
  return run("/bin/sh", {"-c", command}, "", cwd, timeout_seconds);
}

#ifndef _WIN32
Spawned::Spawned(const fs::path& exe, const std::vector<std::string>& args, const fs::path& cwd,
                 const std::vector<std::string>& env, bool broken_stdout) {
  int in[2];
  int out[2] = {-1, -1};
  if (pipe(in) != 0 || (broken_stdout && pipe(out) != 0)) {
    ADD_FAILURE() << "no pipe";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    const int out_fd =
        broken_stdout ? out[1] : open((io_ / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = open((io_ / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out_fd < 0 || err_fd < 0 || chdir(cwd.c_str()) != 0) _exit(127);
    dup2(in[0], 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    close(in[1]);
    if (broken_stdout) close(out[0]);
    for (const auto& setting : env) putenv(const_cast<char*>(setting.c_str()));
    // Signals take their default action in the program, as from a terminal.
    for (int sig : {SIGINT, SIGQUIT, SIGPIPE, SIGHUP, SIGTERM}) ::signal(sig, SIG_DFL);
    std::vector<std::string> storage{exe.string()};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  input_ = in[1];
  if (broken_stdout) {
    close(out[0]);
    close(out[1]);
  }
}

Spawned::~Spawned() {
  close_input();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void Spawned::send(const std::string& text) const {
  if (input_ >= 0 && write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    ADD_FAILURE() << "cannot write to the program";
  }
}

void Spawned::close_input() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool Spawned::wait_for_output(const std::string& text, int timeout_seconds) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (out().find(text) != std::string::npos || err().find(text) != std::string::npos) return true;
    usleep(2000);
  }
  ADD_FAILURE() << "\"" << text << "\" did not show; output: " << out() << err();
  return false;
}

void Spawned::signal(int sig) const {
  if (pid_ > 0) kill(pid_, sig);
}

int Spawned::wait(int timeout_seconds) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      ADD_FAILURE() << "the program did not end in time";
      return -1;
    }
    usleep(2000);
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Spawned::out() const { return slurp(io_ / "stdout"); }
std::string Spawned::err() const { return slurp(io_ / "stderr"); }
#endif

}  // namespace testsupport
