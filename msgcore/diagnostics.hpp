// The diagnostics routine of the message compilers: every problem found inside a message is
// reported through it by a status number naming a fixed message. No problem stops a compile.
#pragma once

#include <cstdio>
#include <functional>

namespace msg {

// The two builds differ: the SYLK compiler has no character map (no message for status 0) and
// waits for one character from standard input after every report.
enum class DiagBuild { text_dump, sylk };

class Diagnostics {
 public:
  using ReadChar = std::function<int()>;

  // `err` receives the messages; `read_char` supplies a character when one is waited for (it
  // returns EOF at the end of input, and the routine then goes on at once). With a null `err` and
  // an empty `read_char` the reports are only counted.
  Diagnostics(DiagBuild build, std::FILE* err, ReadChar read_char);

  // Prints the message of `status` (some have none); the SYLK build then waits for one character.
  void report(int status);

  // The fixed message of `status` in `build`, or nullptr when it has none.
  static const char* message(int status, DiagBuild build);

  // Counts reports and prints nothing, waits for nothing.
  static Diagnostics quiet() { return Diagnostics(DiagBuild::text_dump, nullptr, {}); }

  DiagBuild build() const { return build_; }
  // Number of reports so far (whether or not they printed anything).
  unsigned long reports() const { return reports_; }

 private:
  DiagBuild build_;
  std::FILE* err_;
  ReadChar read_char_;
  unsigned long reports_ = 0;
};

}  // namespace msg
