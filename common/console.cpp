#include "common/console.hpp"

#include <cerrno>
#include <cstdlib>

#include "common/files_detail.hpp"
#include "common/signals.hpp"

#ifdef _WIN32
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace con {
namespace {

const char* g_program = "toolkit";
// True while the last character taken from standard input ended a line (or nothing was read yet):
// "discarding the rest of the line" then has nothing to drop.
bool g_at_line_start = true;

int next_stdin_byte() {
  const int c = std::fgetc(stdin);
  if (c != EOF) g_at_line_start = (c == '\n');
  return c;
}

}  // namespace

void set_program_name(const char* name) { g_program = name; }

#ifdef _WIN32

namespace {

// A console, not any character device: _isatty() says yes to NUL too, and a key would then be
// awaited from the console while the script that ran `prog < NUL` expects the end of input.
bool is_terminal(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

int read_terminal_key() { return _getch(); }

void drop_typed_ahead() { FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)); }

}  // namespace

void init() {
  signals::install();
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void clear_screen() {
  std::fflush(stdout);
  std::system("CLS");
}

void pause() {
  std::fflush(stdout);
  std::system("PAUSE");
}

#else

namespace {

bool is_terminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

int read_terminal_key() {
  // Kept outside the call so that an interruption while the key is awaited can put it back.
  static termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return next_stdin_byte();
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  signals::restore_terminal_on_interrupt(&saved);
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  unsigned char byte = 0;
  const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  signals::restore_terminal_on_interrupt(nullptr);
  return got == 1 ? byte : EOF;
}

void drop_typed_ahead() { tcflush(STDIN_FILENO, TCIFLUSH); }

}  // namespace

void init() {
  // A standard stream closed by whoever started the program (`prog >&-`) would hand its number to
  // the next file opened, and prompts and reports written to it would land in an output file.
  // Each closed one reads and writes /dev/null instead. The lowest free number is the one opened.
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      ::close(null);
    }
  }
  signals::install();
}

void clear_screen() {
  std::fflush(stdout);
  if (stdout_is_terminal()) {
    std::fputs("\x1b[H\x1b[2J\x1b[3J", stdout);
    std::fflush(stdout);
  }
}

void pause() {
  std::fflush(stdout);
  std::fputs("Press any key to continue . . . ", stdout);
  std::fflush(stdout);
  read_key();
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

#endif

bool stdin_is_terminal() { return is_terminal(stdin); }
bool stdout_is_terminal() { return is_terminal(stdout); }
bool stderr_is_terminal() { return is_terminal(stderr); }

std::optional<std::string> read_line() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::string line;
  int c = next_stdin_byte();
  if (c == EOF) return std::nullopt;
  while (c != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
    c = next_stdin_byte();
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int read_char() {
  std::fflush(stdout);
  std::fflush(stderr);
  return next_stdin_byte();
}

int read_key() {
  std::fflush(stdout);
  std::fflush(stderr);
  return stdin_is_terminal() ? read_terminal_key() : next_stdin_byte();
}

void discard_pending_input() {
  // The rest of a line that a one-character answer left behind.
  if (!g_at_line_start) {
    int c = 0;
    do {
      c = next_stdin_byte();
    } while (c != EOF && c != '\n');
    g_at_line_start = true;
  }
  if (stdin_is_terminal()) drop_typed_ahead();
}

std::optional<std::string> ask_line(std::FILE* out, const char* prompt, const char* what) {
  std::fputs(prompt, out);
  std::fflush(out);
  auto line = read_line();
  if (!line) error_line(std::string("input ended before a ") + what + " was given");
  return line;
}

bool put_report(std::string_view text) {
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  if (std::fflush(stdout) == 0 && written && std::ferror(stdout) == 0) return true;
  const std::error_code why = files::detail::last_errno();
  std::clearerr(stdout);
  error_line(why ? "standard output: cannot be written: " + files::detail::reason(why)
                 : std::string("standard output: cannot be written"));
  return false;
}

void error_line(const std::string& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "\n%s: %s\n", g_program, text.c_str());
  std::fflush(stderr);
}

}  // namespace con
