#!/usr/bin/env bash
# Checks that the tools a make target needs are installed, before anything is built.
#   tools/need.sh WHAT...          WHAT: programs, test, bench, windows, tidy, format, valgrind
#   tools/need.sh --list WHAT...   prints the Debian packages that are missing, one per line
# Without --list it prints one line naming the missing packages and fails, or prints nothing.
set -u
list=""
if [ "${1:-}" = "--list" ]; then list=1; shift; fi

missing=()
want() { missing+=("$1"); }
have() { command -v "$1" >/dev/null 2>&1; }
# Builds $source with the C++ compiler $1, the flags $2 and the libraries $3; true when it links.
compiles() {
  local work
  work=$(mktemp -d) || return 1
  printf '%s\n' "$source" >"$work/t.cpp"
  # shellcheck disable=SC2086
  "$1" $2 "$work/t.cpp" -o "$work/t" $3 >/dev/null 2>&1
  local ok=$?
  rm -rf "$work"
  return $ok
}

for what in "$@"; do
  case $what in
    programs)
      have cmake || want cmake
      have c++ || have g++ || want g++
      # tex2png and png2tex write and read PNG through zlib.
      source='#include <zlib.h>
int main() { return zlibVersion() == nullptr; }'
      cxx=$(command -v c++ || command -v g++)
      [ -n "$cxx" ] && { compiles "$cxx" "" -lz || want zlib1g-dev; }
      ;;
    test)
      have cmake || want cmake
      have g++ || want g++
      source='#include <gtest/gtest.h>
TEST(A, B) {}'
      have g++ && { compiles g++ "-std=c++20 -pthread" "-lgtest_main -lgtest" || want libgtest-dev; }
      # The sanitizer build and the fuzz harnesses: clang with its sanitizer and libFuzzer runtimes.
      if have clang++; then
        source='#include <cstdint>
#include <cstddef>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }'
        version=$(clang++ -dumpversion 2>/dev/null | cut -d. -f1)
        compiles clang++ -fsanitize=fuzzer,address,undefined "" ||
          want "libclang-rt-${version:-14}-dev"
      else
        want clang
        want libclang-rt-14-dev
      fi
      ;;
    bench)
      source='#include <benchmark/benchmark.h>
int main() {}'
      have g++ && { compiles g++ "-std=c++20 -pthread" -lbenchmark || want libbenchmark-dev; }
      ;;
    tidy) have clang-tidy-14 || have clang-tidy || want clang-tidy ;;
    format) have clang-format || want clang-format ;;
    valgrind) have valgrind || want valgrind ;;
    windows)
      have x86_64-w64-mingw32-g++-posix || want g++-mingw-w64-x86-64-posix
      # zlib for the static Windows executables.
      [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || want libz-mingw-w64-dev
      have wine || have wine64 || want wine
      ;;
    *) echo "tools/need.sh: unknown target '$what'" >&2; exit 2 ;;
  esac
done

# Each package once, in the order first wanted.
packages=()
for p in "${missing[@]+"${missing[@]}"}"; do
  case " ${packages[*]+"${packages[*]}"} " in *" $p "*) ;; *) packages+=("$p") ;; esac
done
if [ -n "$list" ]; then
  [ ${#packages[@]} -eq 0 ] || printf '%s\n' "${packages[@]}"
  exit 0
fi
if [ ${#packages[@]} -gt 0 ]; then
  echo "make: missing ${packages[*]}; install with: sudo apt-get install ${packages[*]}" >&2
  exit 1
fi
