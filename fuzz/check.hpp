// What every harness shares: the invariant check that aborts (so that libFuzzer keeps the input),
// and a stream that swallows the programs' reports.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "\n%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

// Reports and diagnostics go here: /dev/null, or a temporary file where there is none.
inline std::FILE* quiet() {
  static std::FILE* const sink = [] {
    std::FILE* f = std::fopen("/dev/null", "wb");
    return f != nullptr ? f : std::tmpfile();
  }();
  return sink;
}

}  // namespace fuzz

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::fuzz::fail(#cond, __FILE__, __LINE__))
