// A Diagnostics whose messages are captured for the test to read back.
#pragma once

#include <cstdio>
#include <string>

#include "msgcore/diagnostics.hpp"

struct DiagCapture {
  std::FILE* file = std::tmpfile();
  int waits = 0;
  msg::Diagnostics diag;

  explicit DiagCapture(msg::DiagBuild build = msg::DiagBuild::text_dump)
      : diag(build, file, [this] {
          ++waits;
          return EOF;
        }) {}
  ~DiagCapture() { std::fclose(file); }
  DiagCapture(const DiagCapture&) = delete;
  DiagCapture& operator=(const DiagCapture&) = delete;

  std::string text() const {
    std::fflush(file);
    std::rewind(file);
    std::string out;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
      out.push_back(static_cast<char>(c));
    return out;
  }
};
